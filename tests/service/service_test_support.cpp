#include "service_test_support.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quel::test {

std::string ProfileText(int interval, int logMode, int logFormat, const std::vector<TestAxis>& axes)
{
    std::ostringstream out;
    out << "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n"
        << "GridStep=4\r\nCriticalBorder=1\r\nShowNames=1\r\nShowNumbers=1\r\nShowValues=0\r\nLabelTrunc=0\r\n"
        << "History=30\r\nInterval=" << interval << "\r\n"
        << "LogMode=" << logMode << "\r\nLogFormat=" << logFormat << "\r\nLogFileSize=64\r\n\r\n";
    for (const TestAxis& axis : axes) {
        char numbers[256];
        std::snprintf(numbers, sizeof numbers, "MinValue=%f\r\nMaxValue=%f\r\nCriticalValue=%f\r\nMultiplier=%f\r\n",
                      0.0, axis.maxValue, axis.criticalValue, axis.multiplier);
        out << "BeginAxis\r\nName=" << axis.name << "\r\nDesc=\r\n" << numbers << "Inverse=0\r\n"
            << "Counter=" << axis.counter << "\r\nEndAxis\r\n\r\n";
    }
    return out.str();
}

FixtureMachine::FixtureMachine(const std::string& name)
{
    fs::copy(fs::path(QUEL_FIXTURES_DIR) / name, folder_.Path(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void FixtureMachine::Use(ServiceProcess& process) const
{
    process.SetEnv("QUELLARIMOND_PROCFS", folder_ / "proc");
    process.SetEnv("QUELLARIMOND_SYSFS", folder_ / "sys");
}

void FixtureMachine::Replace(const std::string& file, const std::string& from, const std::string& to) const
{
    const std::string path = folder_ / file;
    std::string text = ReadFile(path);
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    // In place, as the kernel changes its files: the provider keeps them open and reads again.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
        ::ftruncate(fd, static_cast<off_t>(text.size()));
    ::close(fd);
}

LoopbackPort::LoopbackPort()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
}

void LoopbackPort::Listen()
{
    ::listen(fd_, 1);
}

void LoopbackPort::Release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int HtmlRows(const std::string& html)
{
    return CountOf(html, "<tr bgcolor=");
}

std::vector<std::string> CsvRows(const std::string& csv)
{
    std::vector<std::string> rows;
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 6 && line[2] == '/' && line[5] == ',')
            rows.push_back(line);
    }
    return rows;
}

std::string CopyOfBinary(const TempFolder& folder)
{
    const std::string copy = folder / "quelmondsrvc";
    fs::copy_file(ServiceBinary(), copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    return copy;
}

} // namespace quel::test
