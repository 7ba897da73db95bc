// The pieces of quelmonctl that need no process: arguments, CSV and terminal-safe text.

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/config_value_text.h"
#include "cli/sample_csv.h"

#include <gtest/gtest.h>

namespace quel::cli {
namespace {

const std::vector<OptionRule> Rules {{"-i", "", true}, {"", "--size", true}, {"", "--default", false}};

TEST(CliArguments, ShortLongAttachedAndPositional)
{
    ParsedArguments parsed;
    std::string error;
    ASSERT_TRUE(ParseArguments({"-i", "2", "a", "--size=3x4", "-i5", "--default", "--", "-i", "--size"}, Rules,
                               parsed, error))
        << error;
    EXPECT_EQ(parsed.Value("-i"), "5");  // the last one counts
    EXPECT_EQ(parsed.Value("--size"), "3x4");
    EXPECT_TRUE(parsed.Has("--default"));
    EXPECT_EQ(parsed.positional, (std::vector<std::string> {"a", "-i", "--size"}));
    // A lone "-" and counter paths are positional.
    ASSERT_TRUE(ParseArguments({"-", "\\Memory\\Available Bytes"}, Rules, parsed, error));
    EXPECT_EQ(parsed.positional.size(), 2u);
}

TEST(CliArguments, ErrorsNameTheArgument)
{
    ParsedArguments parsed;
    std::string error;
    EXPECT_FALSE(ParseArguments({"--sise", "3x4"}, Rules, parsed, error));
    EXPECT_EQ(error, "unknown option \"--sise\"");
    EXPECT_FALSE(ParseArguments({"a", "-i"}, Rules, parsed, error));
    EXPECT_EQ(error, "option \"-i\" needs a value");
    EXPECT_FALSE(ParseArguments({"--default=1"}, Rules, parsed, error));
    EXPECT_EQ(error, "option \"--default\" takes no value");
}

TEST(CliArguments, NumbersAndSizes)
{
    double seconds = 0;
    EXPECT_TRUE(ParseSeconds("0.25", 10, false, seconds));
    EXPECT_EQ(seconds, 0.25);
    EXPECT_TRUE(ParseSeconds("0", 10, true, seconds));
    for (const char* bad : {"0", "-1", "11", "1e3", "nan", "inf", "", "2s", " 2"})
        EXPECT_FALSE(ParseSeconds(bad, 10, false, seconds)) << bad;
    long long count = 0;
    EXPECT_TRUE(ParseCount("12", 100, count));
    EXPECT_EQ(count, 12);
    for (const char* bad : {"0", "-3", "101", "1.5", "", "99999999999999999999999"})
        EXPECT_FALSE(ParseCount(bad, 100, count)) << bad;
    int width = 0, height = 0;
    EXPECT_TRUE(ParseSize("640X480", 1000, width, height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    for (const char* bad : {"640", "x480", "640x", "0x10", "10x1001", "10x10x10", "axb"})
        EXPECT_FALSE(ParseSize(bad, 1000, width, height)) << bad;
}

TEST(SampleCsv, QuotedFieldsSixDecimalsAndEmptyFailures)
{
    EXPECT_EQ(CsvField("a \"b\""), "\"a \"\"b\"\"\"");
    EXPECT_EQ(CsvHeaderLine({"\\\\h\\Memory\\Available Bytes"}), "\"(PDH-CSV 4.0)\",\"\\\\h\\Memory\\Available Bytes\"\n");
    EXPECT_EQ(CsvRowLine("t", {1.0 / 3.0, std::nullopt, -2.5, 1e12}),
              "\"t\",\"0.333333\",\"\",\"-2.500000\",\"1000000000000.000000\"\n");
}

TEST(SampleCsv, LocalTimeWithMilliseconds)
{
    // The tests run with TZ=UTC. 2024-03-05 07:08:09.123 UTC.
    const std::chrono::system_clock::time_point moment {std::chrono::milliseconds(1709622489123LL)};
    EXPECT_EQ(FormatSampleTime(moment), "03/05/2024 07:08:09.123");
}

TEST(ConfigValueText, NumbersThatReadAsWritten)
{
    for (const char* clean : {"0", "-12", " 7", "+3", "2147483647"})
        EXPECT_TRUE(IsCleanInt(clean)) << clean;
    for (const char* unclean : {"", " ", "12abc", "abc", "1.5", "2147483648", "7 ", "--1"})
        EXPECT_FALSE(IsCleanInt(unclean)) << unclean;
    for (const char* clean : {"0", "100.000000", "-2.5", ".5", "5.", "1e3", " 1E-2", "+4"})
        EXPECT_TRUE(IsCleanReal(clean)) << clean;
    for (const char* unclean : {"", ".", "e5", "1e", "1e+", "nan", "inf", "1e999", "0x10", "1,5", "1.5 "})
        EXPECT_FALSE(IsCleanReal(unclean)) << unclean;
}

TEST(CliText, ControlCharactersEscapedAndLongTextCut)
{
    EXPECT_EQ(Printable("a\x1b[31mb\n"), "a\\x1B[31mb\\x0A");
    EXPECT_EQ(Printable("abcdef", 3), "abc...");
    EXPECT_EQ(Printable("mount/ü"), "mount/ü");
}

} // namespace
} // namespace quel::cli
