#include "platform/exposition_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace quel {
namespace {

struct Flat {
    std::string name;
    std::vector<std::pair<std::string, std::string>> labels;
    double value;
};

std::vector<Flat> Flatten(const ExpositionPage& page)
{
    std::vector<Flat> out;
    for (const ExpositionSample& sample : page.Samples()) {
        Flat flat{std::string(sample.name), {}, sample.value};
        for (const ExpositionLabel& label : page.Labels(sample))
            flat.labels.emplace_back(std::string(label.name), std::string(label.value));
        out.push_back(flat);
    }
    return out;
}

TEST(ExpositionPage, ReadsSamplesLabelsEscapesAndSpecialValues)
{
    ExpositionPage page;
    page.Parse("# HELP node_cpu_seconds_total Seconds the CPUs spent in each mode.\n"
               "# TYPE node_cpu_seconds_total counter\n"
               "node_cpu_seconds_total{cpu=\"0\",mode=\"idle\"} 20.5\n"
               "\n"
               "node_boot_time_seconds 1.796746685e+09\r\n"
               "  spaced_metric  {  a = \"x\" ,  b=\"y\", }   -3   1700000000000\n"
               "esc{path=\"\\\\\\\\web01\\\\Memory\\\\Available Bytes\",q=\"say \\\"hi\\\"\",nl=\"a\\nb\"} 1\n"
               "special{v=\"nan\"} NaN\n"
               "special{v=\"inf\"} +Inf\n"
               "special{v=\"-inf\"} -Inf\n"
               "empty_labels{} 7\n"
               "colon:name_total 0\n");
    const std::vector<Flat> samples = Flatten(page);
    ASSERT_EQ(samples.size(), 9u) << page.SkippedLines();
    EXPECT_EQ(page.SkippedLines(), 0u);
    EXPECT_EQ(samples[0].name, "node_cpu_seconds_total");
    EXPECT_EQ(samples[0].labels, (std::vector<std::pair<std::string, std::string>>{{"cpu", "0"}, {"mode", "idle"}}));
    EXPECT_DOUBLE_EQ(samples[0].value, 20.5);
    EXPECT_DOUBLE_EQ(samples[1].value, 1796746685.0);
    EXPECT_EQ(samples[2].name, "spaced_metric");
    EXPECT_EQ(samples[2].labels, (std::vector<std::pair<std::string, std::string>>{{"a", "x"}, {"b", "y"}}));
    EXPECT_DOUBLE_EQ(samples[2].value, -3.0);
    EXPECT_EQ(samples[3].labels[0].second, "\\\\web01\\Memory\\Available Bytes");
    EXPECT_EQ(samples[3].labels[1].second, "say \"hi\"");
    EXPECT_EQ(samples[3].labels[2].second, "a\nb");
    EXPECT_TRUE(std::isnan(samples[4].value));
    EXPECT_EQ(samples[5].value, INFINITY);
    EXPECT_EQ(samples[6].value, -INFINITY);
    EXPECT_TRUE(samples[7].labels.empty());
    EXPECT_EQ(samples[8].name, "colon:name_total");

    const ExpositionSample& first = page.Samples()[0];
    EXPECT_EQ(page.Label(first, "mode"), "idle");
    EXPECT_EQ(page.Label(first, "absent"), "");
    EXPECT_TRUE(page.HasMetric("empty_labels"));
    EXPECT_FALSE(page.HasMetric("empty"));
}

TEST(ExpositionPage, SkipsMalformedLinesAndKeepsTheirNeighbours)
{
    const char* const bad[] = {
        "no_value",
        "no_value{a=\"b\"}",
        "1starts_with_digit 1",
        "unclosed{a=\"b} 1",
        "unclosed_brace{a=\"b\" 1",
        "bad_label{1a=\"b\"} 1",
        "no_equals{a\"b\"} 1",
        "unquoted{a=b} 1",
        "missing_comma{a=\"b\" c=\"d\"} 1",
        "garbage_value 1x",
        "two_values 1 2 3",
        "bad_stamp 1 12ab",
        "double_sign 1 --5",
        "sign_only +",
        "name{a=\"b\"}} 1",
        "{a=\"b\"} 1",
        "trailing_escape{a=\"\\",
    };
    std::string text;
    for (const char* line : bad)
        text += std::string("good_before 1\n") + line + "\n";
    text += "good_after 2";  // no final newline
    ExpositionPage page;
    page.Parse(text);
    EXPECT_EQ(page.SkippedLines(), std::size(bad));
    const std::vector<Flat> samples = Flatten(page);
    ASSERT_EQ(samples.size(), std::size(bad) + 1);
    for (std::size_t i = 0; i + 1 < samples.size(); ++i)
        EXPECT_EQ(samples[i].name, "good_before");
    EXPECT_EQ(samples.back().name, "good_after");
}

TEST(ExpositionPage, SkipsOverlongLinesAndSamplesWithTooManyLabels)
{
    std::string labels;
    for (std::size_t i = 0; i <= ExpositionPage::MaxLabels; ++i)
        labels += (i ? "," : "") + std::string("l") + std::to_string(i) + "=\"v\"";
    const std::string text = "long{v=\"" + std::string(ExpositionPage::MaxLineLength, 'x') + "\"} 1\n"
        + "many{" + labels + "} 1\nkept 3\n";
    ExpositionPage page;
    page.Parse(text);
    EXPECT_EQ(page.SkippedLines(), 2u);
    ASSERT_EQ(page.Samples().size(), 1u);
    EXPECT_EQ(page.Samples()[0].name, "kept");
}

TEST(ExpositionPage, ReparsingReusesTheBufferAndTakeTextEmptiesThePage)
{
    ExpositionPage page;
    page.Parse("a 1\nb 2\n");
    std::string buffer = page.TakeText();
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(page.Samples().empty());
    buffer = "c{x=\"1\"} 3\n";
    page.Parse(std::move(buffer));
    ASSERT_EQ(page.Samples().size(), 1u);
    EXPECT_EQ(page.Label(page.Samples()[0], "x"), "1");
}

// Pages made by cutting, splicing and corrupting a valid page at random: parsing never fails
// badly, and whatever it keeps is well-formed (names valid, labels inside the sample).
TEST(ExpositionPage, SurvivesThousandsOfGeneratedMalformedPages)
{
    const std::string valid = "# TYPE node_cpu_seconds_total counter\n"
                              "node_cpu_seconds_total{cpu=\"0\",mode=\"idle\"} 20\n"
                              "node_filesystem_avail_bytes{device=\"/dev/sda2\",fstype=\"ext4\",mountpoint=\"/\"} 1.5e+10\n"
                              "quellarimond_axis_current_value{path=\"\\\\Memory\\\\Available Bytes\",axis=\"a\\\"b\\n\"} NaN\n"
                              "node_time_seconds 1.7e9 123\n";
    const std::string alphabet = "{}\"\\=, \n\r\t#aZ_:09.+-eEInfNa\x01\xff";
    std::mt19937 random(1234);
    ExpositionPage page;
    for (int round = 0; round < 5000; ++round) {
        std::string text = valid;
        const int edits = 1 + static_cast<int>(random() % 12);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = random() % text.size();
            switch (random() % 4) {
            case 0: text[at] = alphabet[random() % alphabet.size()]; break;
            case 1: text.erase(at, 1 + random() % 8); break;
            case 2: text.insert(at, 1 + random() % 4, alphabet[random() % alphabet.size()]); break;
            default: text.insert(at, valid.substr(random() % valid.size(), random() % 40)); break;
            }
        }
        const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        page.Parse(text);
        ASSERT_LE(page.Samples().size() + page.SkippedLines(), lines);
        for (const ExpositionSample& sample : page.Samples()) {
            ASSERT_FALSE(sample.name.empty());
            ASSERT_FALSE(sample.name.front() >= '0' && sample.name.front() <= '9');
            ASSERT_LE(sample.labelCount, ExpositionPage::MaxLabels);
            for (const ExpositionLabel& label : page.Labels(sample))
                ASSERT_FALSE(label.name.empty());
        }
    }
}

} // namespace
} // namespace quel
