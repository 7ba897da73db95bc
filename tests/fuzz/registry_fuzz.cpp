// The registry reader: an input is a settings file. Its values are read; one value is set,
// which rewrites the file; afterwards every value reads as before and the new one as written.

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

Values ReadAll(const std::string& file)
{
    Values values;
    for (const char* key : Keys) {
        const std::optional<RegistryKey> opened = RegistryKey::OpenFile(file, key);
        if (!opened)
            continue;
        for (const char* name : Names) {
            std::string value;
            if (opened->GetString(name, value))
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
    const std::string file = ScratchFolder() + "/Quellarimond.conf";
    WriteInPlace(file, AsText(data, size));
    Values before = ReadAll(file);

    std::optional<RegistryKey> key = RegistryKey::CreateFile(file, "Settings");
    if (!key)
        return 0;  // a file the registry refuses to rewrite
    const std::string written = "C:\\x=y [z] ;w";
    if (!key->SetString("Written", written))
        Finding("a value could not be set");
    before[{"Settings", "Written"}] = written;
    if (ReadAll(file) != before)
        Finding("setting one value changed what the others read");
    return 0;
}
