// Reading untrusted files: regular files only, never blocking, never past a limit.

#include "platform/regular_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace quel::test {
namespace {

TEST(RegularFileTest, ReadsWholeFilesUpToTheLimit)
{
    TempFolder folder;
    std::string text = "stale";
    FileProblem problem;
    EXPECT_TRUE(ReadRegularFile(folder.Write("empty", ""), 10, text, problem));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(ReadRegularFile(folder.Write("ten", "0123456789"), 10, text, problem));
    EXPECT_EQ(text, "0123456789");
    EXPECT_FALSE(ReadRegularFile(folder.Write("eleven", "0123456789a"), 10, text, problem));
    EXPECT_EQ(problem.failure, FileFailure::TooLarge);
    EXPECT_EQ(problem.reason, "larger than 10 bytes");
    EXPECT_EQ(text, "");
    // Procfs files report a size of 0: the limit holds while reading, too.
    EXPECT_TRUE(ReadRegularFile("/proc/self/status", 1 << 20, text, problem)) << problem.reason;
    EXPECT_NE(text.find("Pid:"), std::string::npos);
    EXPECT_FALSE(ReadRegularFile("/proc/self/status", 16, text, problem));
    EXPECT_EQ(problem.reason, "larger than 16 bytes");
}

TEST(RegularFileTest, EverythingElseIsRefusedAtOnceWithTheReason)
{
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder.Write("target", "x"), folder / "link");
    std::string text;
    FileProblem problem;
    const std::pair<std::string, FileFailure> refused[] = {
        {(folder / "missing").string(), FileFailure::Missing},
        {"", FileFailure::Missing},
        {folder.Path().string(), FileFailure::NotRegular},
        {(folder / "fifo").string(), FileFailure::NotRegular},  // no writer needed to return
        {"/dev/null", FileFailure::NotRegular},
    };
    for (const auto& [path, failure] : refused) {
        EXPECT_FALSE(ReadRegularFile(path, 100, text, problem)) << path;
        EXPECT_EQ(problem.failure, failure) << path;
    }
    UniqueFd fd(99);
    fd.Release();
    EXPECT_FALSE(OpenRegularFile((folder / "fifo").string(), fd, problem));
    EXPECT_FALSE(fd.Valid());
    EXPECT_EQ(problem.reason, "not a regular file");
    EXPECT_FALSE(OpenRegularFile(folder.Path().string(), fd, problem));
    EXPECT_EQ(problem.reason, "Is a directory");
    EXPECT_TRUE(ReadRegularFile((folder / "link").string(), 100, text, problem)) << "links are followed";
    EXPECT_EQ(text, "x");
    EXPECT_EQ(SizeText(std::size_t{1} << 20), "1 MiB");
    EXPECT_EQ(SizeText(64 * 1024), "64 KiB");
}

} // namespace
} // namespace quel::test
