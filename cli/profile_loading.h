#pragma once
// Loading a profile into a counter monitor for the commands. A monitor places its log beside
// the profile it loads, so the commands load a private copy in a scratch folder: nothing is
// ever written beside the user's file.

#include "engine/counter_monitor.h"

#include <filesystem>
#include <string>

namespace quel::cli {

// A regular file that can be opened for reading; else false with the reason.
bool CheckReadableFile(const std::string& path, std::string& error);

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

// Loads a copy of the profile at path (made in scratch) into monitor; false with the reason.
bool LoadProfileCopy(CounterMonitor& monitor, const std::string& path, const ScratchFolder& scratch,
                     std::string& error);

// The text of a file (at most limit bytes); false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& text, std::size_t limit = 64u << 20);

} // namespace quel::cli
