#include "support/process_maps.h"

#include <fstream>
#include <string>

namespace quel::test {

bool IsFileMapped(std::string_view fileName)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t slash = line.rfind('/');
        if (slash == std::string::npos)
            continue;
        const std::string_view name = std::string_view(line).substr(slash + 1);
        // "libcurl.so.4" is mapped as the file it links to, "libcurl.so.4.8.0".
        if (name == fileName || (name.starts_with(fileName) && name[fileName.size()] == '.'))
            return true;
    }
    return false;
}

} // namespace quel::test
