#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

namespace quel {
namespace {

bool Fail(FileProblem& problem, FileFailure failure, std::string reason)
{
    problem.failure = failure;
    problem.reason = std::move(reason);
    return false;
}

bool FailWithErrno(FileProblem& problem, int error)
{
    return Fail(problem, error == ENOENT ? FileFailure::Missing : FileFailure::Failed, std::strerror(error));
}

bool TooLarge(FileProblem& problem, std::size_t limit)
{
    return Fail(problem, FileFailure::TooLarge, "larger than " + SizeText(limit));
}

} // namespace

std::string SizeText(std::size_t bytes)
{
    constexpr std::size_t KiB = 1024, MiB = KiB * KiB;
    if (bytes >= MiB && bytes % MiB == 0)
        return std::to_string(bytes / MiB) + " MiB";
    if (bytes >= KiB && bytes % KiB == 0)
        return std::to_string(bytes / KiB) + " KiB";
    return std::to_string(bytes) + " bytes";
}

bool OpenRegularFile(const std::string& path, UniqueFd& fd, FileProblem& problem)
{
    fd.Reset();
    problem = {};
    if (path.empty())
        return FailWithErrno(problem, ENOENT);
    int opened = -1;
    do {
        opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        return FailWithErrno(problem, errno);
    UniqueFd candidate(opened);
    struct stat info {};
    if (::fstat(candidate.Get(), &info) != 0)
        return FailWithErrno(problem, errno);
    if (S_ISDIR(info.st_mode))
        return Fail(problem, FileFailure::NotRegular, std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode))
        return Fail(problem, FileFailure::NotRegular, "not a regular file");
    fd = std::move(candidate);
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& text, FileProblem& problem)
{
    text.clear();
    UniqueFd fd;
    if (!OpenRegularFile(path, fd, problem))
        return false;
    struct stat info {};
    if (::fstat(fd.Get(), &info) == 0 && static_cast<std::uintmax_t>(info.st_size) > limit)
        return TooLarge(problem, limit);
    // The size may change while reading (and procfs reports 0): read until the end, one byte
    // past the limit at most.
    char buffer[8192];
    for (;;) {
        const std::size_t room = limit - std::min(limit, text.size()) + 1;
        const ssize_t got = ::read(fd.Get(), buffer, std::min(sizeof buffer, room));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FailWithErrno(problem, errno);
        if (got == 0)
            return true;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > limit) {
            text.clear();
            return TooLarge(problem, limit);
        }
    }
}

} // namespace quel
