#include "profile_verdict_set.h"

#include "text_files.h"

#include <sys/stat.h>

namespace quel::test {
namespace {

const char* const Header = "# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!";
const char* const Axis = "BeginAxis\r\nName=Threads\r\nMaxValue=10000.000000\r\nCriticalValue=9000.000000\r\n"
                         "Counter=\\Objects\\Threads\r\nEndAxis\r\n";

std::string Binary()
{
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += static_cast<char>((i * 7919) % 256);
    return bytes + "\nBeginAxis\n";
}

} // namespace

std::vector<VerdictCase> MakeProfileVerdictSet(const TempFolder& folder)
{
    const std::string written = std::string("\r\n") + Header + "\r\n\r\nInterval=1\r\nLogMode=1\r\n\r\n" + Axis;
    const std::string neither = "not a profile (neither the profile header nor an axis section)";
    std::vector<VerdictCase> cases = {
        {"axes without the header", folder.Write("axes.qlmd", std::string("Interval=1\nLogMode=1\n") + Axis), true, ""},
        {"the header without axes",
         folder.Write("header.qlmd", std::string("\r\n") + Header + "\r\n\r\nLogFileSize=0\r\n"), true, ""},
        {"an empty file", folder.Write("empty.qlmd", ""), false, "not a profile (empty)"},
        {"a binary file", folder.Write("binary.qlmd", Binary()), false, "not a profile (binary data)"},
        {"a file of 2 MiB", folder.Write("huge.qlmd", written + std::string(2 << 20, '#')), false,
         "too large for a profile (larger than 1 MiB)"},
        {"a FIFO", folder / "fifo.qlmd", false, "not a regular file"},
        {"a folder", folder / "folder.qlmd", false, "Is a directory"},
        {"a symbolic link to a profile", folder / "link.qlmd", true, ""},
        {"/etc/passwd copied", folder.Write("passwd.qlmd", ReadFile("/etc/passwd")), false, neither},
    };
    ::mkfifo((folder / "fifo.qlmd").c_str(), 0600);
    std::filesystem::create_directory(folder / "folder.qlmd");
    std::filesystem::create_symlink(folder.Write("target.qlmd", written), folder / "link.qlmd");
    return cases;
}

} // namespace quel::test
