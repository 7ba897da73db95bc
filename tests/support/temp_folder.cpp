#include "tests/support/temp_folder.h"

#include "tests/support/text_files.h"

#include <cstdlib>
#include <iterator>
#include <stdexcept>

namespace quel::test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    // A test may have taken the write permission away to make saving fail.
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, std::string_view content) const
{
    const std::filesystem::path path = path_ / name;
    WriteFile(path, content);
    return path;
}

std::size_t TempFolder::EntryCount() const
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
}

} // namespace quel::test
