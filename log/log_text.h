#pragma once
// LogText: builds the text of a log write with CR LF line ends, and the pieces every log text
// is made of: two-decimal numbers, HTML text, links and local time texts.

#include <ctime>
#include <string>
#include <string_view>

namespace quel {

class LogText {
public:
    void Clear() { text_.clear(); }
    // Appends text, each "\n" written as CR LF.
    LogText& operator<<(std::string_view text);
    // Appends text as HTML character data: <, >, & and " become entities.
    LogText& Html(std::string_view text);
    // Appends a file name as a relative link inside an HTML attribute.
    LogText& Href(std::string_view fileName);
    // Appends a number the way "%.2f" writes it in the C locale.
    LogText& Fixed2(double value);

    std::string_view View() const { return text_; }

private:
    std::string text_;
};

// Local time formatted by strftime in the C locale (English names whatever the process's
// locale); empty when the time cannot be converted or the text exceeds 127 characters.
std::string LocalTimeText(std::time_t time, const char* format);
// The same into text (whose memory is reused).
void LocalTimeText(std::time_t time, const char* format, std::string& text);

} // namespace quel
