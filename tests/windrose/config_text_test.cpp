// Number texts, configuration lines and the splitting of a file into pieces.

#include "windrose/config_reader.h"
#include "windrose/config_writer.h"
#include "windrose/number_text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <vector>

namespace quel {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(NumberText, DecimalIntegers)
{
    EXPECT_EQ(ReadDecimalInt("12abc"), 12);
    EXPECT_EQ(ReadDecimalInt("abc"), 0);
    EXPECT_EQ(ReadDecimalInt(""), 0);
    EXPECT_EQ(ReadDecimalInt(" \t-7"), -7);
    EXPECT_EQ(ReadDecimalInt("+5"), 5);
    EXPECT_EQ(ReadDecimalInt("- 5"), 0);
    EXPECT_EQ(ReadDecimalInt("3.9"), 3);
    EXPECT_EQ(ReadDecimalInt("0x10"), 0);
    EXPECT_EQ(ReadDecimalInt("2147483647"), INT_MAX);
    EXPECT_EQ(ReadDecimalInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ReadDecimalInt("99999999999999999999999"), INT_MAX) << "overflow clamps";
    EXPECT_EQ(ReadDecimalInt("-2147483649"), INT_MIN);
}

TEST(NumberText, DecimalReals)
{
    EXPECT_EQ(ReadDecimalReal("100.000000"), 100.0);
    EXPECT_EQ(ReadDecimalReal("  -2.5"), -2.5);
    EXPECT_EQ(ReadDecimalReal(".5"), 0.5);
    EXPECT_EQ(ReadDecimalReal("5."), 5.0);
    EXPECT_EQ(ReadDecimalReal("1.5e3x"), 1500.0);
    EXPECT_EQ(ReadDecimalReal("1E-2"), 0.01);
    EXPECT_EQ(ReadDecimalReal("1e"), 1.0) << "an exponent needs digits";
    EXPECT_EQ(ReadDecimalReal("2e+"), 2.0);
    EXPECT_EQ(ReadDecimalReal("1.2.3"), 1.2);
    EXPECT_EQ(ReadDecimalReal("abc"), 0.0);
    EXPECT_EQ(ReadDecimalReal("."), 0.0);
    EXPECT_EQ(ReadDecimalReal("-"), 0.0);
    EXPECT_EQ(ReadDecimalReal(""), 0.0);
    EXPECT_EQ(ReadDecimalReal("0x1p3"), 0.0) << "decimal only";
    EXPECT_EQ(ReadDecimalReal("info"), HUGE_VAL) << "as strtod: the longest prefix that fits";
    EXPECT_EQ(ReadDecimalReal("1e999"), HUGE_VAL);
    EXPECT_EQ(ReadDecimalReal("-1e999"), -HUGE_VAL);
    EXPECT_EQ(ReadDecimalReal("1e-999"), 0.0);
}

TEST(NumberText, NonFiniteValuesReadAsTheyAreWritten)
{
    for (double value : {HUGE_VAL, -HUGE_VAL})
        EXPECT_EQ(ReadDecimalReal(FormatFixed6(value)), value) << FormatFixed6(value);
    EXPECT_EQ(FormatFixed6(ReadDecimalReal("1e309")), "inf");
    for (const char* text : {"INF", " +Infinity", "iNf"})
        EXPECT_EQ(ReadDecimalReal(text), HUGE_VAL) << text;
    EXPECT_EQ(ReadDecimalReal("-inf"), -HUGE_VAL);
    for (const char* text : {"nan", "NaN", "nan(123)", "-nan"}) {
        EXPECT_TRUE(std::isnan(ReadDecimalReal(text))) << text;
        EXPECT_EQ(FormatFixed6(ReadDecimalReal(text)), text[0] == '-' ? "-nan" : "nan") << text;
    }
    EXPECT_EQ(ReadDecimalReal("in"), 0.0) << "not a word strtod knows";
    EXPECT_EQ(ReadDecimalReal("na"), 0.0);
}

TEST(NumberText, FormatsIgnoreTheProcessLocale)
{
    // A locale with a decimal comma, where one exists on this machine.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(FormatFixed6(100), "100.000000");
    EXPECT_EQ(FormatFixed6(-2.5), "-2.500000");
    EXPECT_EQ(FormatFixed6(1.0 / 3), "0.333333");
    EXPECT_EQ(FormatFixed6(HUGE_VAL), "inf");
    EXPECT_EQ(FormatFixed(2.5, 2), "2.50");
    EXPECT_EQ(FormatFixed(-0.005, 2), "-0.01");
    EXPECT_EQ(ReadDecimalReal("1.5"), 1.5);
    EXPECT_EQ(FormatInt(INT_MIN), "-2147483648");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma)
        GTEST_SKIP() << "no de_DE locale here; checked in the C locale only";
}

TEST(ConfigWriter, LinesEndInCrLf)
{
    ConfigWriter w;
    w.Line("BeginAxis");
    w.Key("Name", "# Processes");
    w.Key("Desc", "");
    w.Key("GridStep", -3);
    w.KeyReal("MaxValue", 1000);
    EXPECT_EQ(w.Text(), "BeginAxis\r\nName=# Processes\r\nDesc=\r\nGridStep=-3\r\nMaxValue=1000.000000\r\n");
}

std::vector<ConfigLine> ReadPieces(const std::string& content)
{
    TempFolder folder;
    const std::string path = folder / "pieces.txt";
    WriteFile(path, content);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<ConfigLine> lines;
    ConfigReader reader(file);
    ConfigLine line;
    while (reader.Next(line))
        lines.push_back(line);
    EXPECT_FALSE(reader.Failed());
    std::fclose(file);
    return lines;
}

TEST(ConfigReader, SplitsLinesKeysAndValues)
{
    const auto lines = ReadPieces("#comment\r\nA=1\r\n #x=y\nB\r\nC=a=b\n\nD=\rE=2");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].key, "A");
    EXPECT_EQ(lines[0].value, "1");
    EXPECT_EQ(lines[0].lineNumber, 2);
    EXPECT_EQ(lines[1].key, " #x") << "only a # in the first column is a comment";
    EXPECT_EQ(lines[2].key, "B");
    EXPECT_EQ(lines[2].value, "B");
    EXPECT_FALSE(lines[2].hasEquals);
    EXPECT_EQ(lines[3].key, "C");
    EXPECT_EQ(lines[3].value, "a=b");
    EXPECT_EQ(lines[4].key, "");
    EXPECT_EQ(lines[4].lineNumber, 6);
    EXPECT_EQ(lines[5].key, "D");
    EXPECT_EQ(lines[5].value, "\rE=2") << "a lone CR is no line end";
    EXPECT_EQ(lines[5].lineNumber, 7);
}

TEST(ConfigReader, CutsLongLinesIntoPieces)
{
    const std::string longValue(3000, 'v');
    const auto lines = ReadPieces("Desc=" + longValue + "\r\n" + std::string(2046, 'x') + "\r\nNext=1\r\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].value, std::string(2041, 'v'));
    EXPECT_EQ(lines[1].key, std::string(959, 'v'));
    EXPECT_EQ(lines[1].lineNumber, 1);
    EXPECT_EQ(lines[2].key, std::string(2046, 'x'));
    EXPECT_EQ(lines[3].key, "") << "the line end of a full piece is a piece of its own";
    EXPECT_EQ(lines[3].lineNumber, 2);
    EXPECT_EQ(lines[4].key, "Next");
    EXPECT_EQ(lines[4].lineNumber, 3);
}

TEST(ConfigReader, ContinuationStartingWithHashIsSkipped)
{
    const auto lines = ReadPieces(std::string(2046, 'a') + "#tail=1\nX=2\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].key, "X");
}

TEST(ConfigReader, StopsAtNulBytes)
{
    const auto lines = ReadPieces(std::string("Name=ab\0cd\nK=\0\n", 15));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].value, "ab");
    EXPECT_EQ(lines[1].value, "");
}

} // namespace
} // namespace quel
