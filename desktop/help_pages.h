#pragma once
// Help: which page (and anchor) answers a help request, where the pages are, and how a page is
// opened at its anchor.

#include <QString>
#include <QUrl>

#include <string>

namespace quel::desktop {

struct HelpTopic {
    const char* page;    // "help.html", "useit.html", "troubles.html" or "log.html"
    const char* anchor;  // "" or "#name"
};

// Help context: 0 contents, 0x20000 + dialog template id, 0x30000 + prompt id.
HelpTopic HelpTopicFor(unsigned helpContext);

// The folder of the help pages, with a trailing "/": "Help/" beside the program when it holds
// the contents page, else <program folder>/../share/quellarimond/Help/, else the installed
// <prefix>/share/quellarimond/Help/.
std::string FindHelpFolder(const std::string& programFolder);

// The address to hand to the browser for a page at an anchor. Desktop openers drop the anchor
// of a file address, so for an anchor a small page that forwards to it is written into
// redirectFolder and its address returned; empty when that page cannot be written.
QUrl HelpAddress(const QString& page, const QString& anchor, const QString& redirectFolder);

} // namespace quel::desktop
