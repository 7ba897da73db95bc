#include "desktop/xscreensaver_prefs.h"

#include "platform/atomic_file.h"
#include "platform/program_folders.h"
#include "platform/text_scan.h"

#include <cerrno>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace quel::desktop {
namespace {

constexpr const char* MinimalHeader = "# XScreenSaver Preferences File\n";

struct Line {
    std::string_view text;  // without its end
    std::string_view end;   // "\n", "\r\n" or "" (last line without one)
};

std::vector<Line> SplitLines(std::string_view prefs)
{
    std::vector<Line> lines;
    while (!prefs.empty()) {
        const std::size_t newline = prefs.find('\n');
        std::string_view text = prefs.substr(0, newline);
        std::string_view end = newline == std::string_view::npos ? std::string_view() : prefs.substr(newline, 1);
        if (!text.empty() && text.back() == '\r' && !end.empty()) {
            text.remove_suffix(1);
            end = prefs.substr(newline - 1, 2);
        }
        lines.push_back({text, end});
        prefs.remove_prefix(newline == std::string_view::npos ? prefs.size() : newline + 1);
    }
    return lines;
}

// A line ending with an odd number of backslashes goes on over the next line.
bool Continues(std::string_view text)
{
    std::size_t backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\')
        ++backslashes;
    return backslashes % 2 == 1;
}

// One resource: its lines [first, last] and its value with the continuations joined.
struct Resource {
    std::size_t first = 0;
    std::size_t last = 0;
    std::string value;
};

std::optional<Resource> FindResource(const std::vector<Line>& lines, std::string_view name)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t start = i;
        while (i + 1 < lines.size() && Continues(lines[i].text))
            ++i;
        std::string_view head = text::Trim(lines[start].text);
        if (head.empty() || head[0] == '!' || head[0] == '#')
            continue;
        const std::size_t colon = head.find(':');
        if (colon == std::string_view::npos || text::Trim(head.substr(0, colon)) != name)
            continue;
        Resource resource {start, i, {}};
        for (std::size_t j = start; j <= i; ++j) {
            std::string_view part = j == start ? head.substr(colon + 1) : lines[j].text;
            if (j < i)
                part.remove_suffix(1);  // the continuing backslash
            resource.value += part;
        }
        resource.value = std::string(text::Trim(resource.value));
        return resource;
    }
    return std::nullopt;
}

// The entries of a "programs:" value.
std::vector<std::string> ProgramEntries(std::string_view value)
{
    std::vector<std::string> entries;
    while (!value.empty()) {
        const std::size_t separator = value.find("\\n");
        const std::string_view entry = text::Trim(value.substr(0, separator));
        if (!entry.empty())
            entries.emplace_back(entry);
        value.remove_prefix(separator == std::string_view::npos ? value.size() : separator + 2);
    }
    return entries;
}

// Whether an entry runs quelmond, with or without a folder before the name.
bool RunsQuelmond(std::string_view entry)
{
    if (!entry.empty() && entry[0] == '-')
        entry = text::Trim(entry.substr(1));
    const std::size_t firstBlank = entry.find_first_of(" \t");
    const std::string_view firstWord = entry.substr(0, firstBlank);
    if (!firstWord.empty() && firstWord.back() == ':')  // a visual: "GL:", "default:"
        entry = text::Trim(entry.substr(firstWord.size()));
    if (!entry.empty() && entry[0] == '"') {
        const std::size_t close = entry.find('"', 1);
        entry = close == std::string_view::npos ? std::string_view() : text::Trim(entry.substr(close + 1));
    }
    std::string_view command = entry.substr(0, entry.find_first_of(" \t"));
    const std::size_t slash = command.rfind('/');
    if (slash != std::string_view::npos)
        command.remove_prefix(slash + 1);
    return command == SaverProgramName;
}

std::optional<std::size_t> QuelmondIndex(const std::vector<Line>& lines)
{
    const std::optional<Resource> programs = FindResource(lines, "programs");
    if (!programs)
        return std::nullopt;
    const std::vector<std::string> entries = ProgramEntries(programs->value);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (RunsQuelmond(entries[i]))
            return i;
    }
    return std::nullopt;
}

std::string Join(const std::vector<Line>& lines, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) {
        text += lines[i].text;
        text += lines[i].end;
    }
    return text;
}

// The whole text with the lines of a resource replaced (or the text appended when it is absent).
std::string Replace(const std::vector<Line>& lines, const std::optional<Resource>& resource, const std::string& text)
{
    if (!resource) {
        std::string all = Join(lines, 0, lines.size());
        if (!all.empty() && all.back() != '\n')
            all += '\n';
        return all + text;
    }
    return Join(lines, 0, resource->first) + text + Join(lines, resource->last + 1, lines.size());
}

std::string SetResource(std::string_view prefs, std::string_view name, const std::string& value)
{
    const std::vector<Line> lines = SplitLines(prefs);
    const std::optional<Resource> resource = FindResource(lines, name);
    if (resource && resource->value == value)
        return std::string(prefs);
    const std::string end = resource && !lines[resource->last].end.empty() ? std::string(lines[resource->last].end) : "\n";
    return Replace(lines, resource, std::string(name) + ":\t\t" + value + end);
}

// prefs with the quelmond entry first in "programs:".
std::string WithQuelmondEntry(std::string_view prefs)
{
    const std::vector<Line> lines = SplitLines(prefs);
    const std::optional<Resource> programs = FindResource(lines, "programs");
    const std::string entry = std::string("\t\t") + SaverProgramEntry + "\t\t\\n";
    if (!programs)
        return Replace(lines, programs, "programs:\t\\\n" + entry + "\n");
    const Line& header = lines[programs->first];
    const std::string end = header.end.empty() ? "\n" : std::string(header.end);
    if (programs->first < programs->last) {
        // The list goes on under its header: the entry becomes its first line.
        return Join(lines, 0, programs->first + 1) + entry + "\\" + end + Join(lines, programs->first + 1, lines.size());
    }
    // The whole list is on the header line.
    std::string text = "programs:\t\\" + end + entry;
    text += programs->value.empty() ? end : "\\" + end + "\t\t" + programs->value + end;
    return Replace(lines, programs, text);
}

} // namespace

std::string XScreenSaverFile()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home != '/')
        return {};
    return WithSlash(home) + ".xscreensaver";
}

bool SelectsQuelmond(std::string_view prefs)
{
    const std::vector<Line> lines = SplitLines(prefs);
    const std::optional<Resource> mode = FindResource(lines, "mode");
    const std::optional<Resource> selected = FindResource(lines, "selected");
    const std::optional<Resource> programs = FindResource(lines, "programs");
    std::int64_t index = -1;
    if (!mode || mode->value != "one" || !selected || !programs || !text::ParseI64(selected->value, index))
        return false;
    const std::vector<std::string> entries = ProgramEntries(programs->value);
    return index >= 0 && static_cast<std::size_t>(index) < entries.size() &&
           RunsQuelmond(entries[static_cast<std::size_t>(index)]);
}

std::string WithQuelmondSelected(std::string_view prefs)
{
    std::string text = prefs.empty() ? std::string(MinimalHeader) : std::string(prefs);
    std::optional<std::size_t> index = QuelmondIndex(SplitLines(text));
    if (!index) {
        text = WithQuelmondEntry(text);
        index = 0;
    }
    text = SetResource(text, "mode", "one");
    return SetResource(text, "selected", std::to_string(*index));
}

std::string WithBlankMode(std::string_view prefs)
{
    return SetResource(prefs.empty() ? std::string_view(MinimalHeader) : prefs, "mode", "blank");
}

std::optional<std::string> ReadPrefsFile(const std::string& path, std::string& error)
{
    std::error_code status;
    const std::filesystem::file_type type = std::filesystem::status(path, status).type();
    if (type == std::filesystem::file_type::not_found)
        return std::nullopt;
    if (type != std::filesystem::file_type::regular) {
        error = status ? status.message() : "not a regular file";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text;
    if (file)
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
        error = "cannot be read";
        return std::nullopt;
    }
    return text;
}

bool WriteUserSaver(const std::string& path, bool use, std::string& error)
{
    if (path.empty()) {
        error = "no home folder (HOME is not set)";
        return false;
    }
    error.clear();
    const std::optional<std::string> prefs = ReadPrefsFile(path, error);
    if (!error.empty())
        return false;
    const std::string text = use ? WithQuelmondSelected(prefs.value_or("")) : WithBlankMode(prefs.value_or(""));
    if (!WriteFileAtomically(path, text)) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace quel::desktop
