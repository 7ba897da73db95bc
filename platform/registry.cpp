#include "platform/registry.h"

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "platform/text_scan.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <utility>
#include <vector>

namespace quel {
namespace {

// A settings file larger than this is not ours; reading it would only waste memory.
constexpr std::size_t MaxFileSize = std::size_t{1} << 20;

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The lines of a settings file, without their line ends.
struct IniLines {
    std::vector<std::string> lines;
};

enum class ReadResult { Ok, Missing, Failed };

void SplitLines(std::string_view text, IniLines& out)
{
    out.lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        // Every carriage return at the end goes: one kept would be dropped by the next rewrite,
        // which ends lines with LF alone, and change the value on that line.
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.lines.push_back(std::move(line));
        start = end + 1;
    }
}

std::string JoinLines(const IniLines& ini)
{
    std::string text;
    for (const std::string& line : ini.lines) {
        text += line;
        text += '\n';
    }
    return text;
}

// Reads a regular file; never blocks on a FIFO or device and refuses oversized files.
ReadResult ReadLines(const std::string& file, IniLines& out, FileProblem& problem)
{
    std::string text;
    if (!ReadRegularFile(file, MaxFileSize, text, problem))
        return problem.failure == FileFailure::Missing ? ReadResult::Missing : ReadResult::Failed;
    SplitLines(text, out);
    return ReadResult::Ok;
}

ReadResult ReadLines(const std::string& file, IniLines& out)
{
    FileProblem ignored;
    return ReadLines(file, out, ignored);
}

bool IsComment(const std::string& line) { return !line.empty() && (line[0] == ';' || line[0] == '#'); }

// "[name]" gives the key name.
bool SectionName(const std::string& line, std::string& name)
{
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return false;
    name = line.substr(1, line.size() - 2);
    return true;
}

// "Name=Value" lines; comments and lines without "=" are not values.
bool SplitValue(const std::string& line, std::string& name, std::string& value)
{
    if (IsComment(line) || line.empty() || line.front() == '[')
        return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    name = line.substr(0, equals);
    value = line.substr(equals + 1);
    return true;
}

// Indices of the lines of every section named key (a key may be split over several sections),
// and of the line after each section's last value line, where a new value goes.
struct KeyLocation {
    std::vector<std::size_t> valueLines;  // value lines that belong to the key
    std::size_t insertAt = 0;             // after the last non-blank line of the key's last section
    bool found = false;
};

KeyLocation FindKey(const IniLines& ini, const std::string& key)
{
    KeyLocation location;
    bool inside = false;
    std::string section;
    std::string name;
    std::string value;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        const std::string& line = ini.lines[i];
        if (SectionName(line, section)) {
            inside = text::EqualsNoCase(section, key);
            if (inside) {
                location.found = true;
                location.insertAt = i + 1;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!line.empty())
            location.insertAt = i + 1;
        if (SplitValue(line, name, value))
            location.valueLines.push_back(i);
    }
    return location;
}

// The last line of the key that sets the value; later lines win, as in most INI readers.
bool FindValue(const IniLines& ini, const KeyLocation& location, const std::string& name, std::string* value,
               std::vector<std::size_t>* lines)
{
    bool found = false;
    std::string lineName;
    std::string lineValue;
    for (std::size_t index : location.valueLines) {
        if (!SplitValue(ini.lines[index], lineName, lineValue) || !text::EqualsNoCase(lineName, name))
            continue;
        found = true;
        if (value)
            *value = lineValue;
        if (lines)
            lines->push_back(index);
    }
    return found;
}

bool ValidKeyName(const std::string& key)
{
    return !key.empty() && key.find_first_of(std::string_view("[]\r\n\0", 5)) == std::string::npos;
}

// A name must read back as itself: no "=", no line break, and not mistaken for a comment or a key.
bool ValidValueName(const std::string& name)
{
    if (name.find_first_of(std::string_view("=\r\n\0", 4)) != std::string::npos)
        return false;
    return name.empty() || (name[0] != ';' && name[0] != '#' && name[0] != '[');
}

bool ValidValue(const std::string& value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

// Replaces the file by the lines, never leaving it half written.
bool ReplaceFile(const std::string& file, const IniLines& ini)
{
    return WriteFileAtomically(file, JoinLines(ini));
}

// What the keys do to the lines of their file; false to give up without writing, modified when
// there is something to write.
bool AddKey(IniLines& ini, const std::string& key, bool& modified)
{
    if (FindKey(ini, key).found)
        return true;
    if (!ini.lines.empty() && !ini.lines.back().empty())
        ini.lines.emplace_back();
    ini.lines.push_back("[" + key + "]");
    modified = true;
    return true;
}

bool GetValue(const IniLines& ini, const std::string& key, const std::string& name, std::string& value)
{
    const KeyLocation location = FindKey(ini, key);
    return location.found && FindValue(ini, location, name, &value, nullptr);
}

bool SetValue(IniLines& ini, const std::string& key, const std::string& name, const std::string& value, bool& modified)
{
    const KeyLocation location = FindKey(ini, key);
    if (!location.found)
        return false;  // the key was removed by someone else
    const std::string line = name + "=" + value;
    std::vector<std::size_t> lines;
    if (!FindValue(ini, location, name, nullptr, &lines)) {
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(location.insertAt), line);
        modified = true;
        return true;
    }
    // The last line that sets the value takes the new one; earlier duplicates go.
    ini.lines[lines.back()] = line;
    for (auto it = lines.rbegin() + 1; it != lines.rend(); ++it)
        ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(*it));
    modified = true;
    return true;
}

// Holds the advisory lock on "<file>.lock" for the time of one read-modify-write.
class FileLock {
public:
    explicit FileLock(const std::string& file)
        : fd_(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644))
    {
        if (fd_.Get() < 0)
            return;
        int result = 0;
        do {
            result = ::flock(fd_.Get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        locked_ = result == 0;
    }
    ~FileLock()
    {
        if (locked_)
            ::flock(fd_.Get(), LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Locked() const { return locked_; }

private:
    UniqueFd fd_;
    bool locked_ = false;
};

// Re-reads the file under the lock, lets change edit it and writes it back when it changed.
// change returns false to give up without writing, and sets modified when there is something to write.
template <typename Change>
bool ModifyFile(const std::string& file, bool createMissing, Change change)
{
    if (file.empty())
        return false;
    FileLock lock(file);
    if (!lock.Locked())
        return false;
    IniLines ini;
    const ReadResult read = ReadLines(file, ini);
    if (read == ReadResult::Failed || (read == ReadResult::Missing && !createMissing))
        return false;
    bool modified = false;
    if (!change(ini, modified))
        return false;
    return !modified || ReplaceFile(file, ini);
}

bool CreateFolderOf(const std::string& file)
{
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return !error && std::filesystem::is_directory(folder, error);
}

} // namespace

std::string RegistryKey::HiveFile(RegistryHive hive)
{
    if (hive == RegistryHive::LogonDefault) {
        const std::string overridden = EnvironmentValue("QUELLARIMOND_SYSTEM_CONFIG");
        return overridden.empty() ? std::string("/etc/quellarimond/Quellarimond.conf") : overridden;
    }
    std::string base = EnvironmentValue("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/') {
        const std::string home = EnvironmentValue("HOME");
        if (home.empty() || home[0] != '/')
            return std::string();
        base = home + "/.config";
    }
    return base + "/Tolvane/Quellarimond.conf";
}

std::optional<RegistryKey> RegistryKey::Open(RegistryHive hive, const std::string& key)
{
    return OpenFile(HiveFile(hive), key);
}

std::optional<RegistryKey> RegistryKey::Create(RegistryHive hive, const std::string& key)
{
    return CreateFile(HiveFile(hive), key);
}

std::optional<RegistryKey> RegistryKey::Open(RegistryHive hive, const std::string& key, std::string& problem)
{
    return OpenFile(HiveFile(hive), key, problem);
}

std::optional<RegistryKey> RegistryKey::OpenFile(const std::string& file, const std::string& key)
{
    std::string ignored;
    return OpenFile(file, key, ignored);
}

std::optional<RegistryKey> RegistryKey::OpenFile(const std::string& file, const std::string& key, std::string& problem)
{
    problem.clear();
    if (!ValidKeyName(key))
        return std::nullopt;
    IniLines ini;
    FileProblem fileProblem;
    const ReadResult read = ReadLines(file, ini, fileProblem);
    if (read == ReadResult::Failed && !file.empty())
        problem = fileProblem.failure == FileFailure::TooLarge ? "the file is " + fileProblem.reason
                                                               : fileProblem.reason;
    if (read != ReadResult::Ok || !FindKey(ini, key).found)
        return std::nullopt;
    return RegistryKey(file, key);
}

std::optional<RegistryKey> RegistryKey::CreateFile(const std::string& file, const std::string& key)
{
    if (file.empty() || !ValidKeyName(key) || !CreateFolderOf(file))
        return std::nullopt;
    const bool created =
        ModifyFile(file, true, [&key](IniLines& ini, bool& modified) { return AddKey(ini, key, modified); });
    if (!created)
        return std::nullopt;
    return RegistryKey(file, key);
}

bool RegistryKey::GetString(const std::string& name, std::string& value) const
{
    IniLines ini;
    return ReadLines(file_, ini) == ReadResult::Ok && GetValue(ini, key_, name, value);
}

bool RegistryKey::SetString(const std::string& name, const std::string& value)
{
    if (!ValidValueName(name) || !ValidValue(value))
        return false;
    return ModifyFile(file_, false, [this, &name, &value](IniLines& ini, bool& modified) {
        return SetValue(ini, key_, name, value, modified);
    });
}

bool RegistryKey::DeleteValue(const std::string& name)
{
    return ModifyFile(file_, false, [this, &name](IniLines& ini, bool& modified) {
        std::vector<std::size_t> lines;
        if (!FindValue(ini, FindKey(ini, key_), name, nullptr, &lines))
            return false;
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(*it));
        modified = true;
        return true;
    });
}

bool RegistryTextHasKey(std::string_view text, const std::string& key)
{
    IniLines ini;
    SplitLines(text, ini);
    return ValidKeyName(key) && FindKey(ini, key).found;
}

bool RegistryTextGetString(std::string_view text, const std::string& key, const std::string& name, std::string& value)
{
    IniLines ini;
    SplitLines(text, ini);
    return GetValue(ini, key, name, value);
}

bool RegistryTextSetString(std::string& text, const std::string& key, const std::string& name, const std::string& value)
{
    if (!ValidKeyName(key) || !ValidValueName(name) || !ValidValue(value))
        return false;
    IniLines ini;
    SplitLines(text, ini);
    bool modified = false;
    if (!AddKey(ini, key, modified) || !SetValue(ini, key, name, value, modified))
        return false;
    text = JoinLines(ini);
    return true;
}

} // namespace quel
