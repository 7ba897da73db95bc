// The profile gate: which files every program takes as a profile, and why it refuses the rest.

#include "profile/profile_file.h"
#include "tests/support/profile_verdict_set.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace quel::test {
namespace {

const std::string Fixtures = QUEL_FIXTURES_DIR;

TEST(ProfileFileTest, TheSharedFileSetGetsTheExpectedVerdicts)
{
    TempFolder folder;
    for (const VerdictCase& file : MakeProfileVerdictSet(folder)) {
        const ProfileFile read = ProfileFile::Read(file.path);  // a FIFO returns without a writer
        EXPECT_EQ(read.IsProfile(), file.isProfile) << file.name;
        EXPECT_EQ(read.Reason(), file.reason) << file.name;
        if (file.isProfile) {
            EXPECT_FALSE(read.Text().empty()) << file.name;
        }
    }
}

TEST(ProfileFileTest, ProfilesAsWrittenAndByHand)
{
    TempFolder folder;
    const char* const accepted[] = {
        "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\nInterval=2\r\n",
        "\xEF\xBB\xBF\n\n  # QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\n",
        "# my notes\nBeginAxis\r\nCounter=\\Memory\\Available Bytes\nEndAxis",
    };
    for (const char* text : accepted) {
        const ProfileFile read = ProfileFile::Read(folder.Write("p.qlmd", text));
        EXPECT_TRUE(read.IsProfile()) << text << read.Reason();
        EXPECT_EQ(read.Text(), text);
    }
    for (const char* fixture : {"/profile/default-2cpu.qlmd", "/cli/problems.qlmd"})
        EXPECT_TRUE(ProfileFile::Read(Fixtures + fixture).IsProfile()) << fixture;
}

TEST(ProfileFileTest, OtherFilesAreRefusedWithTheReason)
{
    TempFolder folder;
    const std::pair<std::string, std::string> refused[] = {
        {"\n# WINDROSE CONFIGURATION FILE. DO NOT EDIT!\n", "not a profile (neither the profile header nor an axis section)"},
        {"Interval=1\nBeginAxisX\n BeginAxis\n", "not a profile (neither the profile header nor an axis section)"},
        {std::string(10000, '\n') + " \t\r\n", "not a profile (empty)"},
        {std::string("BeginAxis\n\0\x01\x02", 13), "not a profile (binary data)"},
        {"BeginAxis\n" + std::string(3 << 20, '#'), "too large for a profile (larger than 1 MiB)"},
    };
    for (const auto& [text, reason] : refused) {
        const ProfileFile read = ProfileFile::Read(folder.Write("p.qlmd", text));
        EXPECT_FALSE(read.IsProfile()) << text.substr(0, 40);
        EXPECT_EQ(read.Reason(), reason);
    }
    EXPECT_EQ(ProfileFile::Read(folder / "none.qlmd").Reason(), "No such file or directory");
    EXPECT_EQ(ProfileFile::Read("").Reason(), "No such file or directory");
    // Exactly at the limit still passes.
    const std::string atLimit = "BeginAxis\n" + std::string(MaxProfileSize - 10, '#');
    EXPECT_TRUE(ProfileFile::Read(folder.Write("limit.qlmd", atLimit)).IsProfile());
}

TEST(ProfileFileTest, UnreadableFileGivesTheSystemsReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempFolder folder;
    const auto path = folder.Write("locked.qlmd", "BeginAxis\n");
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(ProfileFile::Read(path).Reason(), "Permission denied");
}

} // namespace
} // namespace quel::test
