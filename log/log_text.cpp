#include "log/log_text.h"

#include <algorithm>

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
    for (std::size_t start = 0; start < fileName.size();) {
        const std::size_t special = std::min(fileName.find_first_of("%#?", start), fileName.size());
        Html(fileName.substr(start, special - start));
        if (special < fileName.size())
            text_ += fileName[special] == '%' ? "%25" : fileName[special] == '#' ? "%23" : "%3F";
        start = special + 1;
    }
    return *this;
}

LogText& LogText::Fixed2(double value)
{
    AppendFixed(text_, value, 2);
    return *this;
}

void LocalTimeText(std::time_t time, const char* format, std::string& text)
{
    text.clear();
    std::tm local {};
    if (localtime_r(&time, &local) == nullptr)
        return;
    const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr))
        return;
    char buffer[128];
    const std::size_t length = strftime_l(buffer, sizeof buffer, format, &local, c);
    freelocale(c);
    text.assign(buffer, length);
}

LocalTimeReader::LocalTimeReader() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {}

LocalTimeReader::~LocalTimeReader()
{
    if (c_ != static_cast<locale_t>(nullptr))
        freelocale(c_);
}

bool LocalTimeReader::Read(std::string_view text, const char* format, std::tm& local) const
{
    char buffer[128];
    if (c_ == static_cast<locale_t>(nullptr) || text.size() >= sizeof buffer || text.find('\0') != std::string_view::npos)
        return false;
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    const char* end = strptime_l(buffer, format, &local, c_);
    return end == buffer + text.size();
}

bool HtmlToText(std::string_view html, std::string& text)
{
    static constexpr std::string_view Entities[][2] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\""}};
    text.clear();
    for (std::size_t start = 0; start < html.size();) {
        const std::size_t amp = std::min(html.find('&', start), html.size());
        text.append(html.substr(start, amp - start));
        if (amp == html.size())
            break;
        bool known = false;
        for (const auto& entity : Entities) {
            if (html.substr(amp).starts_with(entity[0])) {
                text.append(entity[1]);
                start = amp + entity[0].size();
                known = true;
                break;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

std::string LocalTimeText(std::time_t time, const char* format)
{
    std::string text;
    LocalTimeText(time, format, text);
    return text;
}

} // namespace quel
