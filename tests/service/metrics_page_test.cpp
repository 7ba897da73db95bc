// The /metrics page the module serves, parsed back as Prometheus reads it, and the listener's
// address and option parsing.

#include "service/command_line.h"
#include "service/metrics/metric_families.h"
#include "service/metrics_listener.h"

#include <prometheus/text_serializer.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace quel;

namespace {

struct Sample {
    std::string name;
    std::map<std::string, std::string> labels;
    std::string value;
};

// Reads one quoted label value of the text format, undoing \\, \" and \n; false when the text
// is not valid there (an unescaped quote or a raw line break would end or break the value).
bool ReadLabelValue(const std::string& line, std::size_t& at, std::string& value)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++at >= line.size())
            return false;
        const char e = line[at];
        if (e != '\\' && e != '"' && e != 'n')
            return false;
        value += e == 'n' ? '\n' : e;
    }
    return false;
}

// The sample lines of a page; a line that does not parse fails the test.
std::vector<Sample> ParsePage(const std::string& page)
{
    std::vector<Sample> samples;
    std::istringstream lines(page);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        Sample sample;
        std::size_t at = line.find_first_of("{ ");
        sample.name = line.substr(0, at);
        if (at < line.size() && line[at] == '{') {
            ++at;
            while (at < line.size() && line[at] != '}') {
                const std::size_t equals = line.find('=', at);
                if (equals == std::string::npos) {
                    ADD_FAILURE() << "bad labels: " << line;
                    return samples;
                }
                const std::string name = line.substr(at, equals - at);
                at = equals + 1;
                std::string value;
                if (!ReadLabelValue(line, at, value)) {
                    ADD_FAILURE() << "bad label value: " << line;
                    return samples;
                }
                sample.labels[name] = value;
                if (at < line.size() && line[at] == ',')
                    ++at;
            }
            ++at;
        }
        if (at >= line.size() || line[at] != ' ') {
            ADD_FAILURE() << "no value: " << line;
            return samples;
        }
        sample.value = line.substr(at + 1);
        samples.push_back(sample);
    }
    return samples;
}

std::string Serialize(const QuelMetricsPage& page)
{
    return prometheus::TextSerializer().Serialize(MetricFamilies(page));
}

const Sample* Find(const std::vector<Sample>& samples, const std::string& name, const std::string& axis = "")
{
    for (const Sample& sample : samples) {
        if (sample.name == name && (axis.empty() || sample.labels.at("axis") == axis))
            return &sample;
    }
    return nullptr;
}

QuelMetricsAxis Axis(const char* name, const char* path)
{
    return {name, path, 0, 100, 80, 0, 0, 0, 1, 1, 0};
}

TEST(MetricsPage, NamesAndPathsWithQuotesBackslashesAndLineBreaksStayValidLabels)
{
    const std::string name = "Disk \"C:\\\" used\nsecond line";
    const std::string path = "\\\\web01:9100\\LogicalDisk(C:\\)\\% Free Space";
    QuelMetricsAxis axis = Axis(name.c_str(), path.c_str());
    axis.current = 12.5;
    const QuelMetricsPage page {"my \"profile\"", &axis, 1, 3, 0, 1.7e9, 1};

    const std::vector<Sample> samples = ParsePage(Serialize(page));
    const Sample* current = Find(samples, "quellarimond_axis_current_value");
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->labels.at("axis"), name);
    EXPECT_EQ(current->labels.at("path"), path);
    EXPECT_EQ(current->labels.at("profile"), "my \"profile\"");
    EXPECT_EQ(std::stod(current->value), 12.5);
}

TEST(MetricsPage, EveryAxisHasItsValuesBoundsAndStateAndTheServiceItsHealth)
{
    QuelMetricsAxis axes[] = {Axis("cpu", "\\Processor(_Total)\\% Processor Time"),
                              Axis("memory", "\\Memory\\Available Bytes")};
    axes[0].current = 93;
    axes[0].average = 40;
    axes[0].maximum = 99;
    axes[0].critical = 1;
    axes[1].hasCurrent = 0;  // its last read failed
    axes[1].minValue = 1;
    axes[1].maxValue = 2048;
    axes[1].criticalValue = 1024;
    const QuelMetricsPage page {"web", axes, 2, 42, 7, 1700000123, 1};
    const std::vector<Sample> samples = ParsePage(Serialize(page));

    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_current_value", "cpu")->value), 93);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_average_value", "cpu")->value), 40);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_maximum_value", "cpu")->value), 99);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_critical", "cpu")->value), 1);
    EXPECT_EQ(Find(samples, "quellarimond_axis_current_value", "memory"), nullptr);  // no data: no series
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_critical", "memory")->value), 0);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_min_value", "memory")->value), 1);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_max_value", "memory")->value), 2048);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_axis_critical_value", "memory")->value), 1024);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_samples_total")->value), 42);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_failed_reads_total")->value), 7);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_last_sample_timestamp_seconds")->value), 1700000123);
}

TEST(MetricsPage, BeforeTheFirstSampleOnlyBoundsAndZeroTotals)
{
    QuelMetricsAxis axis = Axis("cpu", "\\Processor(_Total)\\% Processor Time");
    axis.hasValues = 0;
    axis.hasCurrent = 0;
    const QuelMetricsPage page {"web", &axis, 1, 0, 0, 0, 0};
    const std::vector<Sample> samples = ParsePage(Serialize(page));
    EXPECT_EQ(Find(samples, "quellarimond_axis_current_value"), nullptr);
    EXPECT_EQ(Find(samples, "quellarimond_axis_average_value"), nullptr);
    EXPECT_EQ(Find(samples, "quellarimond_axis_critical"), nullptr);
    EXPECT_NE(Find(samples, "quellarimond_axis_critical_value"), nullptr);
    EXPECT_EQ(std::stod(Find(samples, "quellarimond_samples_total")->value), 0);
    EXPECT_EQ(Find(samples, "quellarimond_last_sample_timestamp_seconds"), nullptr);
}

TEST(MetricsListenAddress, EveryInterfaceLoopbackAndIpv6)
{
    std::string port, reason;
    ASSERT_TRUE(ParseListenAddress(":9187", port, reason));
    EXPECT_EQ(port, "+9187");
    ASSERT_TRUE(ParseListenAddress("127.0.0.1:9187", port, reason));
    EXPECT_EQ(port, "127.0.0.1:9187");
    ASSERT_TRUE(ParseListenAddress("[::1]:9187", port, reason));
    EXPECT_EQ(port, "[::1]:9187");
}

TEST(MetricsListenAddress, BadAddressesSayWhy)
{
    std::string port, reason;
    for (const char* bad : {"9187", "127.0.0.1:", ":0", ":65536", ":91x", "localhost:9187", "300.1.1.1:80",
                            "::1:9187", "[::1:9187", "[nonsense]:80", "127.0.0.1:9187;rm -rf /", ""}) {
        reason.clear();
        EXPECT_FALSE(ParseListenAddress(bad, port, reason)) << bad;
        EXPECT_FALSE(reason.empty()) << bad;
    }
}

TEST(MetricsOption, TakenOutAfterRunSoTheProfileStaysThird)
{
    std::vector<std::string> words {"quelmondsrvc", "-run", "-METRICS", "127.0.0.1:9187", "p.qlmd"};
    std::optional<std::string> address;
    std::string problem;
    TakeMetricsOption(words, address, problem);
    EXPECT_EQ(words, (std::vector<std::string> {"quelmondsrvc", "-run", "p.qlmd"}));
    EXPECT_EQ(address, "127.0.0.1:9187");
    EXPECT_EQ(problem, "");

    words = {"quelmondsrvc", "-run", "p.qlmd", "/metrics", ":9187"};
    address.reset();
    TakeMetricsOption(words, address, problem);
    EXPECT_EQ(words, (std::vector<std::string> {"quelmondsrvc", "-run", "p.qlmd"}));
    EXPECT_EQ(address, ":9187");

    words = {"quelmondsrvc", "-run", "p.qlmd", "-metrics"};
    address.reset();
    TakeMetricsOption(words, address, problem);
    EXPECT_EQ(words, (std::vector<std::string> {"quelmondsrvc", "-run", "p.qlmd"}));
    EXPECT_FALSE(address);
    EXPECT_NE(problem, "");
}

} // namespace
