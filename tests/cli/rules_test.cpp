// quelmonctl rules: thresholds in raw units, label matchers that select exactly the exporter's
// series, and a file promtool accepts.

#include "cli/alerting_rules.h"
#include "tests/cli/cli_process.h"

#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <cstdlib>
#include <map>
#include <set>

namespace quel::test {
namespace {

using cli::CriticalThreshold;
using cli::PromQlString;

AxisSnapshot Axis(double maxValue, double critical, double multiplier, bool inverse)
{
    AxisSnapshot axis;
    axis.maxValue = maxValue;
    axis.criticalValue = critical;
    axis.multiplier = multiplier;
    axis.inverse = inverse;
    return axis;
}

TEST(RulesThreshold, InRawUnitsForMultipliersAndInverseAxes)
{
    auto t = CriticalThreshold(Axis(100, 80, 1, false));
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->comparison, ">=");
    EXPECT_EQ(t->value, 80);
    // MiB on the axis, bytes on the page.
    t = CriticalThreshold(Axis(4000, 3000, 1048576, false));
    EXPECT_EQ(t->value, 3000.0 * 1048576);
    // "% used" drawn from "% free": 80 used is 20 free, and less free is worse.
    t = CriticalThreshold(Axis(100, 80, 1, true));
    EXPECT_STREQ(t->comparison, "<=");
    EXPECT_EQ(t->value, 20);
    t = CriticalThreshold(Axis(100, 80, -1, false));
    EXPECT_STREQ(t->comparison, "<=");
    EXPECT_EQ(t->value, -80);
    EXPECT_FALSE(CriticalThreshold(Axis(100, 80, 0, false)));
}

// Undoes a PromQL double-quoted string starting at text[at]; advances at past it.
std::string ReadPromQlString(const std::string& text, std::size_t& at)
{
    EXPECT_EQ(text[at], '"');
    std::string value;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] != '\\') {
            value += text[at];
            continue;
        }
        const char e = text[++at];
        if (e == 'n')
            value += '\n';
        else if (e == 'r')
            value += '\r';
        else if (e == 't')
            value += '\t';
        else if (e == 'x') {
            value += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else
            value += e;
    }
    ++at;
    return value;
}

TEST(RulesThreshold, PromQlStringsHoldAnyText)
{
    const std::string text = "C:\\ \"quoted\"\nline\ttab\x01";
    const std::string literal = PromQlString(text);
    EXPECT_EQ(literal.find('\n'), std::string::npos);
    std::size_t at = 0;
    EXPECT_EQ(ReadPromQlString(literal, at), text);
    EXPECT_EQ(at, literal.size());
}

struct RuleAxis {
    std::string name, path;
    int inverse;
};

std::string Profile(int interval, const std::vector<RuleAxis>& axes)
{
    std::string text = "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\nInterval=" + std::to_string(interval) + "\r\n\r\n";
    for (const RuleAxis& axis : axes) {
        text += "BeginAxis\r\nName=" + axis.name + "\r\nDesc=\r\nMinValue=0.000000\r\nMaxValue=100.000000\r\n"
                "CriticalValue=90.000000\r\nMultiplier=1.000000\r\nInverse=" + std::to_string(axis.inverse) +
                "\r\nCounter=" + axis.path + "\r\nEndAxis\r\n\r\n";
    }
    return text;
}

// The label matchers of an expression "metric{a="..",b=".."} op number".
std::map<std::string, std::string> Matchers(const std::string& expr)
{
    std::map<std::string, std::string> labels;
    std::size_t at = expr.find('{') + 1;
    while (at < expr.size() && expr[at] != '}') {
        const std::size_t equals = expr.find('=', at);
        const std::string name = expr.substr(at, equals - at);
        at = equals + 1;
        labels[name] = ReadPromQlString(expr, at);
        if (expr[at] == ',')
            ++at;
    }
    return labels;
}

TEST(CliRules, OneRulePerAxisSelectingTheExportersLabelsExactly)
{
    TempFolder folder;
    const std::vector<RuleAxis> axes = {
        {"Disk \"C:\\\" used: {{ x }}", "\\\\web01:9100\\LogicalDisk(C:\\)\\% Free Space", 1},
        {"CPU #1", "\\Processor(0)\\% Processor Time", 0},
        {"CPU  1", "\\Processor(1)\\% Processor Time", 0},
    };
    const std::string path = (folder.Path() / "web server.qlmd").string();
    WriteFile(path, Profile(4, axes));

    const CliResult result = RunCli({"rules", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const YAML::Node rules = YAML::Load(result.out)["groups"][0]["rules"];
    ASSERT_EQ(rules.size(), axes.size());
    std::set<std::string> names;
    for (std::size_t i = 0; i < axes.size(); ++i) {
        const YAML::Node rule = rules[i];
        names.insert(rule["alert"].as<std::string>());
        EXPECT_EQ(rule["for"].as<std::string>(), "12s");
        const std::string expr = rule["expr"].as<std::string>();
        EXPECT_EQ(expr.rfind("quellarimond_axis_current_value{", 0), 0u) << expr;
        const std::map<std::string, std::string> expected {
            {"profile", "web server"}, {"axis", axes[i].name}, {"path", axes[i].path}};
        EXPECT_EQ(Matchers(expr), expected) << expr;
        EXPECT_NE(expr.find(axes[i].inverse ? "} <= 10" : "} >= 90"), std::string::npos) << expr;
    }
    EXPECT_EQ(names.size(), axes.size());  // "CPU #1" and "CPU  1" get names of their own

    if (std::system("command -v promtool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "promtool is not installed";
    const std::string file = (folder.Path() / "rules.yml").string();
    WriteFile(file, result.out);
    const std::string command = "promtool check rules '" + file + "' > '" + file + ".out' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(file + ".out");

    // Each rule's expression selects its series at exactly the critical value, where the page's
    // quellarimond_axis_critical says 1 too.
    YAML::Emitter test;
    test << YAML::BeginMap << YAML::Key << "rule_files" << YAML::Value << YAML::BeginSeq << file << YAML::EndSeq
         << YAML::Key << "tests" << YAML::Value << YAML::BeginSeq;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string expr = rules[i]["expr"].as<std::string>();
        const std::string series = expr.substr(0, expr.rfind('}') + 1);
        const std::string atCritical = expr.substr(expr.rfind(' ') + 1);
        test << YAML::BeginMap << YAML::Key << "interval" << YAML::Value << "4s";
        test << YAML::Key << "input_series" << YAML::Value << YAML::BeginSeq << YAML::BeginMap << YAML::Key
             << "series" << YAML::Value << series << YAML::Key << "values" << YAML::Value << atCritical + "x5"
             << YAML::EndMap << YAML::EndSeq;
        test << YAML::Key << "promql_expr_test" << YAML::Value << YAML::BeginSeq << YAML::BeginMap << YAML::Key
             << "expr" << YAML::Value << expr << YAML::Key << "eval_time" << YAML::Value << "8s" << YAML::Key
             << "exp_samples" << YAML::Value << YAML::BeginSeq << YAML::BeginMap << YAML::Key << "labels"
             << YAML::Value << series << YAML::Key << "value" << YAML::Value << atCritical << YAML::EndMap
             << YAML::EndSeq << YAML::EndMap << YAML::EndSeq << YAML::EndMap;
    }
    test << YAML::EndSeq << YAML::EndMap;
    const std::string testFile = (folder.Path() / "rules_test.yml").string();
    WriteFile(testFile, test.c_str());
    const std::string unitTest = "promtool test rules '" + testFile + "' > '" + file + ".out' 2>&1";
    EXPECT_EQ(std::system(unitTest.c_str()), 0) << ReadFile(file + ".out");
}

TEST(CliRules, UnreadableProfileAndUsage)
{
    CliResult result = RunCli({"rules", "/nonexistent/p.qlmd"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.rfind("quelmonctl rules: cannot read /nonexistent/p.qlmd: ", 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
    result = RunCli({"rules"});
    EXPECT_EQ(result.exitCode, 2);
}

} // namespace
} // namespace quel::test
