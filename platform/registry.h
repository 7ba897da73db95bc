#pragma once
// Registry: the program's settings store, kept in INI files.
//
// Hives:
//   CurrentUser  - "Software\Tolvane\Quellarimond" of the current user:
//                  ${XDG_CONFIG_HOME:-~/.config}/Tolvane/Quellarimond.conf
//   LogonDefault - ".DEFAULT\Software\Tolvane\Quellarimond" (the logon desktop and the service):
//                  /etc/quellarimond/Quellarimond.conf, or $QUELLARIMOND_SYSTEM_CONFIG
//
// File format (documented here because every program reads and writes the same files):
//   - UTF-8 / 8-bit text, lines ended by LF (CR LF accepted when reading, and carriage returns
//     at the end of a line are not part of it).
//   - "[Key name]" starts a key: the key's path below the application key, e.g. "[Settings]",
//     "[Recent File List]", "[Screen Saver]", "[Service]". Names compare without case.
//   - "Name=Value" inside a key is a string value; the name is everything before the first
//     "=", the value everything after it, up to the line end. Values are stored unescaped, so a
//     value cannot hold a line break (a write with one fails).
//   - Lines starting with ";" or "#", blank lines and lines without "=" are ignored; a value
//     before the first key is ignored.
// Writes are atomic: the whole file is written to a temporary file in the same folder, synced
// and renamed over the old one, under an advisory lock (flock) on "<file>.lock", and the file is
// re-read under that lock first, so two programs never lose each other's values.
// A settings file holds at most 1 MiB; a larger one is not read.
// A missing or unreadable file behaves as a key that cannot be opened; an unwritable one as a
// key that cannot be created. Nothing here throws.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quel {

enum class RegistryHive {
    CurrentUser,
    LogonDefault,
};

class RegistryKey {
public:
    // The file behind a hive (for CurrentUser without HOME or XDG_CONFIG_HOME: empty, so every
    // open fails).
    static std::string HiveFile(RegistryHive hive);

    // Opens an existing key for reading and writing; none when the file or the key is missing.
    static std::optional<RegistryKey> Open(RegistryHive hive, const std::string& key);
    // The same; when the file exists but cannot be read (a folder, unreadable, larger than the
    // 1 MiB a settings file may have), problem says why. A missing file or key is no problem.
    static std::optional<RegistryKey> Open(RegistryHive hive, const std::string& key, std::string& problem);
    // Opens a key, creating the file (and its folder) and the key when missing; none when that
    // is not possible.
    static std::optional<RegistryKey> Create(RegistryHive hive, const std::string& key);
    // The same on an explicit file (tests, tools).
    static std::optional<RegistryKey> OpenFile(const std::string& file, const std::string& key);
    static std::optional<RegistryKey> OpenFile(const std::string& file, const std::string& key, std::string& problem);
    static std::optional<RegistryKey> CreateFile(const std::string& file, const std::string& key);

    // A string value of the key; false when it is missing.
    bool GetString(const std::string& name, std::string& value) const;
    // Stores a string value (atomic write); false when the file cannot be written.
    bool SetString(const std::string& name, const std::string& value);
    bool DeleteValue(const std::string& name);

    const std::string& File() const { return file_; }
    const std::string& Key() const { return key_; }

private:
    RegistryKey(std::string file, std::string key) : file_(std::move(file)), key_(std::move(key)) {}
    std::string file_;
    std::string key_;
};

// The same reading and writing on a settings file's text in memory, through the code the keys
// use on their file (what the format does, checked without a file).
bool RegistryTextHasKey(std::string_view text, const std::string& key);
bool RegistryTextGetString(std::string_view text, const std::string& key, const std::string& name, std::string& value);
// Creates the key when missing and sets the value, as CreateFile and SetString do to a file;
// false (text unchanged) when they would refuse.
bool RegistryTextSetString(std::string& text, const std::string& key, const std::string& name, const std::string& value);

} // namespace quel
