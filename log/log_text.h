#pragma once
// LogText: builds the text of a log write with CR LF line ends, and the pieces every log text
// is made of: two-decimal numbers, HTML text, links and local time texts.

#include <ctime>
#include <locale.h>
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

// The inverse of LocalTimeText: reads time texts by strptime in the C locale.
class LocalTimeReader {
public:
    LocalTimeReader();
    ~LocalTimeReader();
    LocalTimeReader(const LocalTimeReader&) = delete;
    LocalTimeReader& operator=(const LocalTimeReader&) = delete;

    // text into local, which the format must take whole; false when it does not. Fields the
    // format lacks are left as they were.
    bool Read(std::string_view text, const char* format, std::tm& local) const;

private:
    locale_t c_;
};

// The inverse of LogText::Html: the four entities it writes back to their characters; false
// for any other "&" sequence.
bool HtmlToText(std::string_view html, std::string& text);

} // namespace quel
