#include "log/log_reader.h"

#include "log/log_parser.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

constexpr std::size_t ChunkBytes = 1024 * 1024;
constexpr std::size_t MaxLineBytes = ChunkBytes;

// Hands the complete lines of text to parser; returns where the unfinished last line starts,
// or npos once the parser stops.
std::size_t ParseLines(LogParser& parser, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n', start)) {
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!parser.Line(line, true))
            return std::string_view::npos;
        start = end + 1;
    }
    return start;
}

LogReading Outcome(LogParser& parser, bool ended)
{
    LogReading reading;
    if (ended && parser.Finish()) {
        reading.status = LogReadStatus::Complete;
        return reading;
    }
    reading.status = parser.IsLog() ? LogReadStatus::Damaged : LogReadStatus::Refused;
    reading.message = parser.Problem();
    return reading;
}

LogReading Refusal(std::string message)
{
    return LogReading {LogReadStatus::Refused, std::move(message)};
}

std::string MiBText(long long bytes)
{
    constexpr long long MiB = 1024 * 1024;
    return bytes % MiB == 0 ? std::to_string(bytes / MiB) + " MiB" : std::to_string(bytes) + " bytes";
}

// Closes a file descriptor at the end of a scope (and so gives its lock back).
struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

} // namespace

LogReading ReadLogText(std::string_view text, LogData& data)
{
    LogParser parser(data);
    parser.ExpectBytes(static_cast<long long>(text.size()));
    const std::size_t rest = ParseLines(parser, text);
    if (rest == std::string_view::npos)
        return Outcome(parser, false);
    if (rest < text.size() && !parser.Line(text.substr(rest), false))
        return Outcome(parser, false);
    return Outcome(parser, true);
}

LogReading ReadLog(const std::string& path, LogData& data, long long maxBytes)
{
    data = LogData {};
    // Non-blocking, so that a pipe in the log's place cannot hang the reader; only a regular
    // file is a log.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Refusal(std::strerror(errno));
    const FileCloser closer {fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return Refusal("not a regular file");
    if (status.st_size > maxBytes)
        return Refusal("the file has " + MiBText(status.st_size) + ", more than the " + MiBText(maxBytes) +
                       " a log is read up to");
    // A writer writes each row whole under this lock: read between two rows.
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }

    LogParser parser(data);
    parser.ExpectBytes(status.st_size);
    // As large as the file (a small log takes little memory), up to a chunk and the longest line.
    constexpr std::size_t MaxBuffer = ChunkBytes + MaxLineBytes;
    std::vector<char> buffer(static_cast<std::size_t>(std::clamp<long long>(status.st_size + 1, 4096, MaxBuffer)));
    std::size_t kept = 0;  // the start of an unfinished line, moved to the buffer's front
    long long total = 0;
    for (;;) {
        if (kept == buffer.size())  // a file that grew, or a long line: a larger buffer
            buffer.resize(std::min(MaxBuffer, buffer.size() * 2));
        const ssize_t n = ::read(fd, buffer.data() + kept, buffer.size() - kept);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LogReading {parser.IsLog() ? LogReadStatus::Damaged : LogReadStatus::Refused,
                               "line " + std::to_string(parser.LineNumber() + 1) + ": " + std::strerror(errno)};
        total += n;
        if (total > maxBytes)
            return Refusal("the file grew beyond the " + MiBText(maxBytes) + " a log is read up to");
        const std::string_view text(buffer.data(), kept + static_cast<std::size_t>(n));
        if (n == 0) {
            if (!text.empty() && !parser.Line(text, false))
                return Outcome(parser, false);
            return Outcome(parser, true);
        }
        const std::size_t rest = ParseLines(parser, text);
        if (rest == std::string_view::npos)
            return Outcome(parser, false);
        kept = text.size() - rest;
        if (kept > MaxLineBytes)
            return LogReading {parser.IsLog() ? LogReadStatus::Damaged : LogReadStatus::Refused,
                               "line " + std::to_string(parser.LineNumber() + 1) + ": longer than " + MiBText(MaxLineBytes)};
        std::memmove(buffer.data(), buffer.data() + rest, kept);
    }
}

} // namespace quel
