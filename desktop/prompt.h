#pragma once
// Every message box, file dialog and colour chooser of the program goes through a Prompt, and
// every document or address handed to the desktop goes through a Shell, so that tests answer
// and record them without opening a window.

#include <QColor>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

namespace quel::desktop {

enum class Answer {
    Ok,
    Yes,
    No,
    Cancel,
};

using CustomColors = std::array<QColor, 16>;

class Prompt {
public:
    virtual ~Prompt() = default;
    // A message with an OK button and the caption "Quellarimond".
    virtual void Message(const QString& text) = 0;
    // A question with Yes, No and Cancel; applicationModal blocks every window of the program.
    virtual Answer Question(const QString& text, bool applicationModal = false) = 0;
    // The open and save dialogs of profiles; an empty result means cancelled.
    virtual QString OpenProfileName() = 0;
    virtual QString SaveProfileName(const QString& suggestion) = 0;
    // The open dialog of logs (HTML and CSV); empty when cancelled.
    virtual QString OpenLogName() = 0;
    // The colour chooser with the initial colour preselected; none when cancelled.
    virtual std::optional<QColor> ChooseColor(const QColor& initial, const CustomColors& customColors) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or address with the desktop's default program; false when that fails.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

} // namespace quel::desktop
