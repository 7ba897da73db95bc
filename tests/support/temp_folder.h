#pragma once
// A private folder for one test under the system's temporary folder, removed with everything
// in it when the test ends.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace quel::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of an entry in the folder (name may hold subfolders: "a/b.txt").
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // Writes a file in the folder and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view content) const;
    // How many entries the folder holds (not counting those of subfolders).
    std::size_t EntryCount() const;

private:
    std::filesystem::path path_;
};

} // namespace quel::test
