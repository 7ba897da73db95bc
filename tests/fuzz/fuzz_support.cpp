#include "fuzz_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace quel::fuzz {
namespace {

struct Scratch {
    Scratch()
    {
        // Memory-backed when possible: saves sync their files, which on a disk costs more
        // than everything else a target does.
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmp && *tmp ? tmp : "/tmp";
        std::string pattern = base + "/quel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            Finding("cannot make a scratch folder");
        path = pattern;
    }
    ~Scratch()
    {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::string path;
};

} // namespace

const std::string& ScratchFolder()
{
    static const Scratch scratch;
    return scratch.path;
}

void WriteInPlace(const std::string& path, std::string_view content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Finding("cannot write a scratch file");
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written <= 0)
            Finding("cannot write a scratch file");
        done += static_cast<std::size_t>(written);
    }
    ::close(fd);
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace quel::fuzz
