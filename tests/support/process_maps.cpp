#include "support/process_maps.h"

#include <fstream>
#include <string>

namespace quel::test {

bool IsFileMapped(std::string_view fileName)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() >= fileName.size() && line.ends_with(fileName)
            && (line.size() == fileName.size() || line[line.size() - fileName.size() - 1] == '/'))
            return true;
    }
    return false;
}

} // namespace quel::test
