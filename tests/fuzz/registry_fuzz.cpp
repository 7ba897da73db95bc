// The registry reader: an input is a settings file. Its values are read; one value is set,
// which rewrites the file; afterwards every value reads as before and the new one as written.
// The file is kept in memory, through the code the keys use on their file: with a file, each
// read would cost more in system calls than everything else here.

#include "fuzz_support.h"
#include "platform/registry.h"

#include <array>
#include <map>
#include <utility>

namespace quel::fuzz {
namespace {

constexpr std::array<const char*, 5> Keys = {"Settings", "Recent File List", "Service", "Screen Saver", "Fuzz"};
constexpr std::array<const char*, 10> Names = {"NewFileNum", "File1", "File2", "File4", "Profile",
                                               "AreaSize",   "Timeout", "a", "", "Written"};

using Values = std::map<std::pair<std::string, std::string>, std::string>;

Values ReadAll(std::string_view text)
{
    Values values;
    for (const char* key : Keys) {
        if (!RegistryTextHasKey(text, key))
            continue;
        for (const char* name : Names) {
            std::string value;
            if (RegistryTextGetString(text, key, name, value))
                values[{key, name}] = value;
        }
    }
    return values;
}

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quel;
    using namespace quel::fuzz;
    std::string text(AsText(data, size));
    Values before = ReadAll(text);
    const std::string written = "C:\\x=y [z] ;w";
    if (!RegistryTextSetString(text, "Settings", "Written", written))
        Finding("a value could not be set");
    before[{"Settings", "Written"}] = written;
    if (ReadAll(text) != before)
        Finding("setting one value changed what the others read");
    return 0;
}
