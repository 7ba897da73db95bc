// quelmonctl list and sample against fixture machines.

#include "cli/counter_path_expansion.h"
#include "tests/cli/cli_process.h"
#include "tests/platform/fixture_machine.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

namespace quel::test {
namespace {

std::string FixtureRoot(const std::string& machine, const std::string& tree)
{
    return std::string(QUEL_FIXTURES_DIR) + "/" + machine + "/" + tree;
}

std::map<std::string, std::string> FixtureEnvironment(const std::string& machine)
{
    return MachineEnvironment(FixtureRoot(machine, "proc"), FixtureRoot(machine, "sys"));
}

TEST(CliList, ObjectsInTheProvidersOrder)
{
    const CliResult result = RunCli({"list"}, FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Processor\nMemory\nPaging File\nSystem\nObjects\nServer\nLogicalDisk\nPhysicalDisk\n"
                          "Network Interface\nIPv4\nIPv6\nUDPv4\nUDPv6\nTCP\nPressure\nProcess\nControl Group\n"
                          "Thermal Zone Information\nFan\nPower Meter\nBattery\n"
                          "GPU Engine\nGPU Adapter Memory\n");
}

TEST(CliList, EveryCounterWithEveryInstance)
{
    const CliResult result = RunCli({"list", "pressure", "Paging File"}, FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "\\Pressure(cpu)\\% Some Stalled\n"
              "\\Pressure(memory)\\% Some Stalled\n"
              "\\Pressure(io)\\% Some Stalled\n"
              "\\Pressure(cpu)\\% Full Stalled\n"
              "\\Pressure(memory)\\% Full Stalled\n"
              "\\Pressure(io)\\% Full Stalled\n"
              "\\Paging File(/dev/sda3)\\% Usage\n"
              "\\Paging File(/swap file)\\% Usage\n"
              "\\Paging File(_Total)\\% Usage\n"
              "\\Paging File(/dev/sda3)\\% Usage Peak\n"
              "\\Paging File(/swap file)\\% Usage Peak\n"
              "\\Paging File(_Total)\\% Usage Peak\n");
}

TEST(CliList, WithoutInstancesAndForObjectsThatHaveNone)
{
    const CliResult result = RunCli({"list", "Pressure", "Objects", "--no-instances"}, FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "\\Pressure(*)\\% Some Stalled\n"
              "\\Pressure(*)\\% Full Stalled\n"
              "\\Objects\\Processes\n"
              "\\Objects\\Threads\n");
}

TEST(CliList, UnknownObjectIsAUsageErrorOnOneLine)
{
    const CliResult result = RunCli({"list", "Objects", "Bogus"}, FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(SplitLines(result.out).size(), 2u);  // Objects' counters still listed
    EXPECT_EQ(result.err, "quelmonctl list: \"Bogus\": no such object\n");
}

std::string Stat(int user, int system, int idle)
{
    const std::string cpu = std::to_string(user) + " 0 " + std::to_string(system) + " " + std::to_string(idle)
                          + " 100 0 100 0 0 0\n";
    return "cpu  " + cpu + "cpu0 " + cpu + "ctxt 5000\nprocesses 300\nprocs_running 1\nprocs_blocked 0\n";
}

std::string MemInfo(long availableKb)
{
    return "MemTotal:        2000000 kB\nMemFree:          500000 kB\nMemAvailable:    " + std::to_string(availableKb)
         + " kB\nSwapTotal:             0 kB\nSwapFree:              0 kB\nCommitLimit:     1000000 kB\n"
           "Committed_AS:    2500000 kB\n";
}

// The fields of one CSV line, every one quoted.
std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    const std::regex field("\"([^\"]*)\"(,|\n)");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), field); it != std::sregex_iterator(); ++it)
        fields.push_back((*it)[1]);
    return fields;
}

const std::regex SampleTime(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\.\d{3})");

// The provider's files change between samples: each line shows the change since the line before.
// The first collection only primes, and the header comes after it.
TEST(CliSample, CsvOfChangingCountersWithAFailedRead)
{
    FixtureMachine machine("machine-1cpu");
    machine.Write("proc/stat", Stat(500, 300, 9000));
    CliProcess process({"sample", "-n", "3", "-i", "1", "\\Processor(*)\\% Processor Time",
                        "\\Processor(_Total)\\% User Time", "\\Memory\\Available Bytes"},
                       MachineEnvironment(machine.ProcRoot(), machine.SysRoot()));
    std::string header, line1, line2, line3;
    ASSERT_TRUE(process.ReadLine(header)) << process.Err();
    machine.Write("proc/stat", Stat(550, 300, 9050));  // 50 of 100 jiffies busy, all of them user
    machine.Write("proc/meminfo", MemInfo(1400000));
    ASSERT_TRUE(process.ReadLine(line1));
    machine.Write("proc/stat", Stat(560, 310, 9130));  // 20 of 100 busy, 10 user
    ASSERT_TRUE(process.ReadLine(line2));
    ASSERT_TRUE(process.ReadLine(line3));              // nothing changed: no time passed for the CPU
    EXPECT_EQ(process.ReadRest(), "");
    EXPECT_EQ(process.Wait(), 0) << process.Err();
    EXPECT_EQ(process.Err(), "");

    const std::string host = "\\\\" + cli::LocalHostName();
    EXPECT_EQ(header, "\"(PDH-CSV 4.0)\",\"" + host + "\\Processor(0)\\% Processor Time\",\"" + host
                          + "\\Processor(_Total)\\% Processor Time\",\"" + host + "\\Processor(_Total)\\% User Time\",\""
                          + host + "\\Memory\\Available Bytes\"\n");
    const std::vector<std::string> expected[] = {
        {"50.000000", "50.000000", "50.000000", "1433600000.000000"},
        {"20.000000", "20.000000", "10.000000", "1433600000.000000"},
        {"", "", "", "1433600000.000000"},
    };
    const std::string* lines[] = {&line1, &line2, &line3};
    for (int i = 0; i < 3; ++i) {
        const std::vector<std::string> fields = Fields(*lines[i]);
        ASSERT_EQ(fields.size(), 5u) << *lines[i];
        EXPECT_TRUE(std::regex_match(fields[0], SampleTime)) << fields[0];
        EXPECT_EQ(std::vector<std::string>(fields.begin() + 1, fields.end()), expected[i]) << "line " << i + 1;
    }
}

TEST(CliSample, BadPathsAreLeftOutAndTheRestGoesToTheFile)
{
    TempFolder folder;
    const std::string output = (folder.Path() / "out.csv").string();
    const CliResult result = RunCli({"sample", "-n", "2", "-i", "0.1", "-o", output, "\\Objects\\Processes",
                                     "\\Bogus\\Counter", "\\Memory(x)\\Available Bytes"},
                                    FixtureEnvironment("machine-1cpu"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quelmonctl sample: \"\\Bogus\\Counter\": no such object; left out\n"
                          "quelmonctl sample: \"\\Memory(x)\\Available Bytes\": the object has no instances: "
                          "\\Object\\Counter; left out\n");
    const std::vector<std::string> lines = SplitLines(ReadFile(output));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Fields(lines[0] + "\n").size(), 2u);
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(Fields(lines[i] + "\n").at(1), "1.000000");  // the fixture's one process folder
}

TEST(CliSample, CtrlCEndsAfterACompleteLine)
{
    CliProcess process({"sample", "-i", "0.2", "\\Objects\\Processes"}, FixtureEnvironment("machine-1cpu"));
    std::string header, line;
    ASSERT_TRUE(process.ReadLine(header)) << process.Err();
    ASSERT_TRUE(process.ReadLine(line));
    process.Signal(SIGINT);
    const std::string rest = process.ReadRest();
    EXPECT_EQ(process.Wait(), 0) << process.Err();
    EXPECT_TRUE(rest.empty() || rest.back() == '\n') << rest;
    for (const std::string& more : SplitLines(rest))
        EXPECT_EQ(Fields(more + "\n").size(), 2u) << more;
}

TEST(CliSample, UsageErrors)
{
    const std::vector<std::vector<std::string>> bad = {
        {"sample"},
        {"sample", "-n", "0", "\\Objects\\Processes"},
        {"sample", "-i", "abc", "\\Objects\\Processes"},
        {"sample", "-i", "-1", "\\Objects\\Processes"},
        {"sample", "-i"},
        {"sample", "--bogus", "\\Objects\\Processes"},
        {"sample", "\\Processor(*)"},
        {"sample", "\\\\elsewhere\\Processor(*)\\*"},
        {"sample", ""},
    };
    for (const auto& args : bad) {
        const CliResult result = RunCli(args, FixtureEnvironment("machine-1cpu"));
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_EQ(result.out, "") << args.back();
        EXPECT_FALSE(result.err.empty()) << args.back();
    }
}

// A column that stays empty is explained once, not once per line; a run without any value
// fails.
TEST(CliSample, EmptyColumnsAreExplainedOnceAndNoValueAtAllFails)
{
    const std::string missing = "\\Processor(7)\\% Processor Time";
    const std::string explained =
        "quelmonctl sample: \"" + missing + "\": no such instance; its column is empty until it can be read\n";
    const CliResult some = RunCli({"sample", "-n", "3", "-i", "0.1", missing, "\\Objects\\Processes"},
                                  FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(some.exitCode, 0);
    EXPECT_EQ(some.err, explained);
    EXPECT_EQ(SplitLines(some.out).size(), 4u);

    const CliResult none = RunCli({"sample", "-n", "3", "-i", "0.1", missing}, FixtureEnvironment("machine-4cpu"));
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, explained + "quelmonctl sample: no value could be read\n");
}

// A mistyped provider root is an error for every command that reads counters, not a machine
// without any.
TEST(CliProviderRoot, ATreeThatIsNotProcfsIsRefused)
{
    TempFolder folder;
    const std::map<std::string, std::string> environment =
        MachineEnvironment((folder.Path() / "porc").string(), FixtureRoot("machine-4cpu", "sys"));
    const std::vector<std::vector<std::string>> commands = {
        {"list"},
        {"sample", "-n", "1", "\\Memory\\Available Bytes"},
        {"render", "--default", "--wait", "0", "-o", (folder.Path() / "out.png").string()},
    };
    for (const auto& args : commands) {
        const CliResult result = RunCli(args, environment);
        EXPECT_EQ(result.exitCode, 2) << args[0];
        EXPECT_EQ(result.out, "") << args[0];
        EXPECT_EQ(result.err, "quelmonctl " + args[0] + ": QUELLARIMOND_PROCFS \"" + (folder.Path() / "porc").string() +
                                  "\" does not look like procfs: it holds neither stat nor meminfo\n");
    }
    EXPECT_EQ(folder.EntryCount(), 0u);
}

} // namespace
} // namespace quel::test

namespace quel::test {
namespace {

// Another computer's counters through its metrics endpoint (a fake node exporter page).
class CliRemote : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string page = "node_memory_MemAvailable_bytes 2048000\nnode_memory_MemTotal_bytes 4096000\n";
        for (const char* cpu : {"0", "1"}) {
            for (const char* mode : {"user", "system", "idle"})
                page += std::string("node_cpu_seconds_total{cpu=\"") + cpu + "\",mode=\"" + mode + "\"} 10\n";
        }
        ASSERT_TRUE(server.Start(FakeMetricsServer("page", folder.Write("metrics", page).string())));
        computer = "127.0.0.1:" + std::to_string(server.Port());
    }
    TempFolder folder;
    ServerProcess server;
    std::string computer;
};

TEST_F(CliRemote, ListsTheComputersInstancesAsPathsOnThatComputer)
{
    const CliResult result = RunCli({"list", "--computer", computer, "Processor"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string prefix = "\\\\" + computer + "\\Processor(";
    EXPECT_EQ(result.out.substr(0, result.out.find('\n') + 1), prefix + "0)\\% Processor Time\n");
    EXPECT_NE(result.out.find(prefix + "_Total)\\% Idle Time\n"), std::string::npos) << result.out;
    const CliResult objects = RunCli({"list", "--computer", computer});
    EXPECT_EQ(objects.exitCode, 0) << objects.err;
    EXPECT_NE(objects.out.find("Memory\n"), std::string::npos);
}

TEST_F(CliRemote, SamplesAndExpandsWildcardsOnThatComputer)
{
    const CliResult result = RunCli({"sample", "-n", "1", "-i", "1", "\\\\" + computer + "\\Memory\\Available Bytes",
                                     "\\\\" + computer + "\\Processor(*)\\% Idle Time"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string header = result.out.substr(0, result.out.find('\n'));
    EXPECT_EQ(header, "\"(PDH-CSV 4.0)\",\"\\\\" + computer + "\\Memory\\Available Bytes\",\"\\\\" + computer
                          + "\\Processor(0)\\% Idle Time\",\"\\\\" + computer + "\\Processor(1)\\% Idle Time\",\"\\\\"
                          + computer + "\\Processor(_Total)\\% Idle Time\"");
    // The page does not change: the idle time has no second value yet, the memory has its own.
    EXPECT_NE(result.out.find(",\"2048000.000000\",\"\",\"\",\"\""), std::string::npos) << result.out;
}

TEST_F(CliRemote, AComputerThatDoesNotAnswerIsSaidSo)
{
    server.Stop();
    const CliResult result = RunCli({"list", "--computer", computer, "Memory"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("the computer did not answer"), std::string::npos) << result.err;
}

TEST_F(CliRemote, SamplingSaysOnceWhatTheComputerDoesNotServeOrThatItDidNotAnswer)
{
    const std::string available = "\\\\" + computer + "\\Memory\\Available Bytes";
    const std::string processes = "\\\\" + computer + "\\Objects\\Processes";
    const CliResult served = RunCli({"sample", "-n", "2", "-i", "0.1", available, processes});
    EXPECT_EQ(served.exitCode, 0);
    EXPECT_EQ(served.err, "quelmonctl sample: \"" + processes +
                              "\": not available from this computer; its column is empty until it can be read\n");

    server.Stop();
    const CliResult silent = RunCli({"sample", "-n", "2", "-i", "0.1", available});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_EQ(silent.err, "quelmonctl sample: \"" + available +
                              "\": the computer did not answer; its column is empty until it can be read\n"
                              "quelmonctl sample: no value could be read\n");
}

} // namespace
} // namespace quel::test
