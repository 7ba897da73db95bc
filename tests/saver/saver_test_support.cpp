#include "tests/saver/saver_test_support.h"

#include "tests/support/text_files.h"

#include <cstdlib>

namespace quel::saver::test {
namespace {

const char* const Variables[] = {"HOME", "XDG_CONFIG_HOME", "QUELLARIMOND_SYSTEM_CONFIG"};

} // namespace

SaverHome::SaverHome()
{
    for (const char* name : Variables) {
        const char* value = std::getenv(name);
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    ::setenv("HOME", folder_.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("QUELLARIMOND_SYSTEM_CONFIG", SystemFile().c_str(), 1);
}

SaverHome::~SaverHome()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

void SaverHome::WriteUser(const std::string& content) const
{
    std::filesystem::create_directories(UserFile().parent_path());
    ASSERT_TRUE(quel::test::WriteFile(UserFile(), content));
}

void SaverHome::WriteSystem(const std::string& content) const
{
    std::filesystem::create_directories(SystemFile().parent_path());
    ASSERT_TRUE(quel::test::WriteFile(SystemFile(), content));
}

void SaverHome::MakeSystemUnwritable()
{
    const std::filesystem::path blocked = folder_ / "blocked";
    ASSERT_TRUE(quel::test::WriteFile(blocked, "a file, not a folder\n"));
    ::setenv("QUELLARIMOND_SYSTEM_CONFIG", (blocked / "Quellarimond.conf").c_str(), 1);
}

} // namespace quel::saver::test
