#pragma once
// Profiles, fixture trees and log reading for the tests that run quelmondsrvc.

#include "service_process.h"

#include <string>
#include <vector>

namespace quel::test {

struct TestAxis {
    std::string name;
    std::string counter;
    double maxValue = 100;
    double criticalValue = 80;
    double multiplier = 1;
};

// A profile as the desktop program writes it.
std::string ProfileText(int interval, int logMode, int logFormat, const std::vector<TestAxis>& axes);

// A copy of a fixture machine whose files a test may change; Use points a process at it.
class FixtureMachine {
public:
    explicit FixtureMachine(const std::string& name = "machine-1cpu");
    std::string Proc(const std::string& file) const { return folder_ / ("proc/" + file); }
    void Use(ServiceProcess& process) const;
    // Replaces every occurrence of a text in a file of the copy (best with texts of equal length).
    void Replace(const std::string& file, const std::string& from, const std::string& to) const;

private:
    TempFolder folder_;
};

// A socket bound to a free loopback port; Release lets the port go for the program.
class LoopbackPort {
public:
    LoopbackPort();
    ~LoopbackPort() { Release(); }
    LoopbackPort(const LoopbackPort&) = delete;
    LoopbackPort& operator=(const LoopbackPort&) = delete;
    void Listen();
    void Release();
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Counting what a log holds.
int HtmlRows(const std::string& html);
// The CSV lines that are rows (they start with a date "MM/DD,").
std::vector<std::string> CsvRows(const std::string& csv);

// A copy of the binary in a folder of its own, so its "program folder" is a temporary one.
std::string CopyOfBinary(const TempFolder& folder);

inline constexpr const char* ConsoleStart =
    "Starting Quellarimond service as a console application.\nUse Control-C to interrupt the program.\n";
inline constexpr const char* ConsoleStop = "Stopping service Quellarimond.\n";
inline constexpr const char* Usage = "Usage:\n"
                                     "  quelmondsrvc -install        to install the service\n"
                                     "  quelmondsrvc -remove         to remove the service\n"
                                     "  quelmondsrvc -run [profile]  to start as a console app\n"
                                     "  quelmondsrvc -run -metrics ADDRESS [profile]\n"
                                     "                      to serve /metrics on ADDRESS (127.0.0.1:9187, :9187) as well\n"
                                     "  quelmondsrvc --help          to show this text\n"
                                     "  quelmondsrvc --version       to show the version\n";

} // namespace quel::test
