#include "desktop/new_profile_path.h"

#include "platform/registry.h"

#include <cctype>
#include <climits>
#include <filesystem>
#include <system_error>

namespace quel::desktop {

namespace {

constexpr const char* SettingsKey = "Settings";
constexpr const char* NewFileNumValue = "NewFileNum";
// A folder holding this many profiles in a row is not searched any further.
constexpr int MaxNameProbes = 100000;

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found
        && !error;
}

} // namespace

int ParseFileNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

std::string NewProfileFileName(long long n)
{
    return "MyProfile" + (n == 1 ? std::string() : std::to_string(n)) + ".qlmd";
}

std::string MakeNewProfilePath(const std::string& folder)
{
    std::optional<RegistryKey> key = RegistryKey::Create(RegistryHive::CurrentUser, SettingsKey);
    std::string stored;
    if (key)
        key->GetString(NewFileNumValue, stored);
    long long n = static_cast<long long>(ParseFileNumber(stored)) + 1;
    for (int probe = 0; probe < MaxNameProbes && Exists(folder + NewProfileFileName(n)); ++probe)
        ++n;
    if (key)
        key->SetString(NewFileNumValue, std::to_string(n));
    return folder + NewProfileFileName(n);
}

} // namespace quel::desktop
