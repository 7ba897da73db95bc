#include "log/log_text.h"

#include "windrose/number_text.h"

#include <locale.h>
#include <time.h>

namespace quel {

LogText& LogText::operator<<(std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t newline = text.find('\n'); newline != std::string_view::npos; newline = text.find('\n', start)) {
        text_.append(text, start, newline - start);
        text_ += "\r\n";
        start = newline + 1;
    }
    text_.append(text, start);
    return *this;
}

LogText& LogText::Html(std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '<': text_ += "&lt;"; break;
        case '>': text_ += "&gt;"; break;
        case '&': text_ += "&amp;"; break;
        case '"': text_ += "&quot;"; break;
        case '\n': text_ += "\r\n"; break;
        default: text_ += c; break;
        }
    }
    return *this;
}

LogText& LogText::Href(std::string_view fileName)
{
    // '%', '#' and '?' would make the rest of a relative link a query or an anchor.
    std::string link;
    for (const char c : fileName) {
        switch (c) {
        case '%': link += "%25"; break;
        case '#': link += "%23"; break;
        case '?': link += "%3F"; break;
        default: link += c; break;
        }
    }
    return Html(link);
}

LogText& LogText::Fixed2(double value)
{
    text_ += FormatFixed(value, 2);
    return *this;
}

std::string LocalTimeText(std::time_t time, const char* format)
{
    std::tm local {};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr))
        return {};
    char text[128];
    const std::size_t length = strftime_l(text, sizeof text, format, &local, c);
    freelocale(c);
    return std::string(text, length);
}

} // namespace quel
