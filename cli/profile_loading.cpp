#include "cli/profile_loading.h"

#include "profile/profile_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quel::cli {

bool ReadProfileText(const std::string& path, std::string& text, std::string& error)
{
    ProfileFile file = ProfileFile::Read(path);
    if (!file.IsProfile()) {
        error = file.Reason();
        return false;
    }
    text = file.Text();
    return true;
}

ScratchFolder::~ScratchFolder()
{
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

bool ScratchFolder::Create(std::string& error)
{
    std::error_code code;
    std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code)
        base = "/tmp";
    std::string pattern = (base / "quelmonctl-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a folder in " + base.string() + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern;
    return true;
}

bool LoadProfileText(CounterMonitor& monitor, const std::string& text, std::string& error)
{
    if (!monitor.LoadFromText(text)) {
        error = "read error";
        return false;
    }
    return true;
}

} // namespace quel::cli
