#pragma once
// Loading a profile into a counter monitor for the commands: the text the profile gate read is
// parsed, and no log is placed, so nothing is ever written beside the user's file.

#include "engine/counter_monitor.h"

#include <filesystem>
#include <string>

namespace quel::cli {

// The text of a file the programs take as a profile (read once, through the profile gate);
// else false with the reason.
bool ReadProfileText(const std::string& path, std::string& text, std::string& error);

// A private folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Create(std::string& error);
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Loads a profile's text into monitor; false with the reason.
bool LoadProfileText(CounterMonitor& monitor, const std::string& text, std::string& error);

} // namespace quel::cli
