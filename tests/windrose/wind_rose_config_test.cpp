// Saving and loading the configuration block: the exact bytes, the reader's rules, the hooks and
// the save that never destroys the previous file.

#include "windrose/wind_rose.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace quel {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string BaseHead =
    "\r\n# WINDROSE CONFIGURATION FILE. DO NOT EDIT!\r\n\r\n"
    "GridStep=20\r\nCriticalBorder=80\r\nShowNames=1\r\nShowNumbers=0\r\nShowValues=1\r\nLabelTrunc=2\r\n\r\n";

struct PathData final : AxisData {
    explicit PathData(std::string path) : path(std::move(path)) {}
    std::string path;
};

// A derived model that fills every hook, as the counter monitor does.
class HookedRose : public WindRose {
public:
    bool WriteHeader(ConfigWriter& file) override
    {
        file.Line("# HOOKED");
        return headerOk;
    }
    bool WriteExtraKeys(ConfigWriter& file) override
    {
        file.Key("Extra", 5);
        return true;
    }
    bool WriteAxisData(ConfigWriter& file, const AxisData& data) override
    {
        file.Key("Counter", static_cast<const PathData&>(data).path);
        return axisDataOk;
    }
    AxisDataPtr ReadAxisKey(const std::string& key, const std::string& value) override
    {
        axisKeys.emplace_back(key, value);
        if (key == "Counter")
            return std::make_unique<PathData>(value);
        return nullptr;
    }
    void ReadExtraKey(const std::string& key, const std::string& value) override { extraKeys.emplace_back(key, value); }
    void FreeAxisData(AxisDataPtr data) override
    {
        if (data)
            freed.push_back(static_cast<PathData&>(*data).path);
    }

    std::string CounterOf(int axis) const
    {
        const AxisData* data = nullptr;
        if (!GetAxisData(axis, data) || data == nullptr)
            return "<none>";
        return static_cast<const PathData*>(data)->path;
    }

    bool headerOk = true;
    bool axisDataOk = true;
    std::vector<std::pair<std::string, std::string>> axisKeys;
    std::vector<std::pair<std::string, std::string>> extraKeys;
    std::vector<std::string> freed;
};

class WindRoseConfig : public ::testing::Test {
protected:
    std::string Save(WindRose& rose)
    {
        const std::string path = folder / "saved.cfg";
        EXPECT_EQ(rose.SaveToFile(path), 1);
        return ReadFile(path);
    }
    int Load(WindRose& rose, const std::string& content)
    {
        const std::string path = folder / "input.cfg";
        WriteFile(path, content);
        return rose.LoadFromFile(path);
    }
    TempFolder folder;
};

std::string Name(const WindRose& rose, int axis)
{
    std::optional<std::string> name;
    if (!rose.GetAxisName(axis, name))
        return "<bad index>";
    return name ? *name : "<none>";
}

double Max(const WindRose& rose, int axis)
{
    double v = -1;
    rose.GetAxisMax(axis, v);
    return v;
}

TEST_F(WindRoseConfig, BaseModelWithDefaultsIsExact)
{
    WindRose rose;
    EXPECT_EQ(Save(rose), BaseHead);
}

TEST_F(WindRoseConfig, AxisSectionIsExact)
{
    WindRose rose;
    rose.AddAxis("# Processes", "", 0, 0, 1000, 100, 1, nullptr);
    rose.AddAxis("neg", "free text", 1, -2.5, 0.5, 0, 1024, nullptr);
    rose.SetLabelTrunc(7);
    std::string expected = BaseHead;
    expected.replace(expected.find("LabelTrunc=2"), 12, "LabelTrunc=7");
    expected +=
        "BeginAxis\r\nName=# Processes\r\nDesc=\r\nMinValue=0.000000\r\nMaxValue=1000.000000\r\n"
        "CriticalValue=100.000000\r\nMultiplier=1.000000\r\nInverse=0\r\nEndAxis\r\n\r\n"
        "BeginAxis\r\nName=neg\r\nDesc=free text\r\nMinValue=-2.500000\r\nMaxValue=0.500000\r\n"
        "CriticalValue=0.000000\r\nMultiplier=1024.000000\r\nInverse=1\r\nEndAxis\r\n\r\n";
    EXPECT_EQ(Save(rose), expected);
    EXPECT_EQ(rose.IsModified(), 0);
}

TEST_F(WindRoseConfig, HooksWriteInTheirPlaces)
{
    HookedRose rose;
    rose.AddAxis("a", "", 0, 0, 1, 1, 1, std::make_unique<PathData>("\\Processor(_Total)\\% Processor Time"));
    rose.AddAxis("b", "", 0, 0, 1, 1, 1, nullptr);
    const std::string text = Save(rose);
    EXPECT_EQ(text.substr(0, 10), "# HOOKED\r\n");
    EXPECT_NE(text.find("LabelTrunc=2\r\nExtra=5\r\n\r\nBeginAxis"), std::string::npos);
    EXPECT_NE(text.find("Inverse=0\r\nCounter=\\Processor(_Total)\\% Processor Time\r\nEndAxis\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Counter=", text.find("Name=b")), std::string::npos) << "no hook for an axis without data";
}

TEST_F(WindRoseConfig, RoundTripReproducesOptionsAndAxes)
{
    HookedRose rose;
    rose.SetGridStep(30);
    rose.SetCriticalBorder(0);
    rose.SetShowNames(0);
    rose.SetShowNumbers(1);
    rose.SetShowValues(0);
    rose.SetLabelTrunc(1);
    rose.AddAxis("Name=with equals", "desc", 1, -1, 1e6 / 3, 5, 1024, std::make_unique<PathData>("\\A\\B"));
    rose.AddAxis("", "", 0, 0, 0, 0, 0.5, nullptr);
    const std::string path = folder / "round.cfg";
    ASSERT_EQ(rose.SaveToFile(path), 1);

    HookedRose loaded;
    loaded.SetModified(1);
    ASSERT_EQ(loaded.LoadFromFile(path), 1);
    EXPECT_EQ(loaded.IsModified(), 0);
    EXPECT_EQ(loaded.GetGridStep(), 30);
    EXPECT_EQ(loaded.GetCriticalBorder(), 0);
    EXPECT_EQ(loaded.GetShowNames(), 0);
    EXPECT_EQ(loaded.GetShowNumbers(), 1);
    EXPECT_EQ(loaded.GetShowValues(), 0);
    EXPECT_EQ(loaded.GetLabelTrunc(), 1);
    ASSERT_EQ(loaded.GetAxisCount(), 2);
    EXPECT_EQ(Name(loaded, 0), "Name=with equals");
    EXPECT_EQ(Max(loaded, 0), 333333.333333) << "six decimals";
    std::uint8_t inverse = 0;
    loaded.GetAxisInverse(0, inverse);
    EXPECT_EQ(inverse, 1);
    EXPECT_EQ(loaded.CounterOf(0), "\\A\\B");
    EXPECT_EQ(loaded.CounterOf(1), "<none>");
    // Empty lines outside the sections reach the hook as empty keys.
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(loaded.extraKeys, (Pairs {{"Extra", "5"}, {"", ""}, {"", ""}, {"", ""}}));
    EXPECT_EQ(ReadFile(folder / "round.cfg"), Save(loaded)) << "a loaded file saves to the same bytes";
}

TEST_F(WindRoseConfig, OverflowedAndNonFiniteBoundsSurviveASave)
{
    WindRose rose;
    ASSERT_EQ(Load(rose, "BeginAxis\r\nName=Big\r\nMinValue=-1e400\r\nMaxValue=1e309\r\nCriticalValue=nan\r\n"
                         "Multiplier=INF\r\nEndAxis\r\n"),
              1);
    const std::string saved = Save(rose);
    EXPECT_NE(saved.find("MinValue=-inf\r\nMaxValue=inf\r\nCriticalValue=nan\r\nMultiplier=inf\r\n"), std::string::npos)
        << saved;

    WindRose loaded;
    ASSERT_EQ(Load(loaded, saved), 1);
    EXPECT_EQ(Max(loaded, 0), HUGE_VAL);
    EXPECT_EQ(Save(loaded), saved) << "save, load, save gives the same bytes";
}

TEST_F(WindRoseConfig, ReaderQuirks)
{
    HookedRose rose;
    rose.SetGridStep(50);
    const std::string file =
        "# comment\r\n"
        "GridStep=\r\n"
        "ShowNames\r\n"
        "CriticalBorder=12abc\r\n"
        "ShowValues = 0\r\n"
        "Name=outside\r\n"
        "=empty key\r\n"
        "EndAxis\r\n"
        "BeginAxis\r\n"
        "Name=a=b\r\n"
        "GridStep=9\r\n"
        "Inverse=2\r\n"
        "Multiplier=0\r\n"
        "MaxValue=1.5e2\r\n"
        "Counter=first\r\n"
        "Counter=second\r\n"
        "BeginAxis\n"
        "Desc=# not a comment\n"
        "MinValue=abc\n";
    ASSERT_EQ(Load(rose, file), 1);
    EXPECT_EQ(rose.GetGridStep(), 0);
    EXPECT_EQ(rose.GetShowNames(), 0);
    EXPECT_EQ(rose.GetCriticalBorder(), 12);
    EXPECT_EQ(rose.GetShowValues(), 1) << "keys are not trimmed";
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(rose.extraKeys, (Pairs {{"ShowValues ", " 0"}, {"Name", "outside"}, {"", "empty key"}}));
    EXPECT_EQ(rose.axisKeys, (Pairs {{"GridStep", "9"}, {"Counter", "first"}, {"Counter", "second"}}));
    EXPECT_EQ(rose.freed, std::vector<std::string>({"first"})) << "replaced data is released";
    ASSERT_EQ(rose.GetAxisCount(), 2);
    EXPECT_EQ(Name(rose, 0), "a=b");
    std::uint8_t inverse = 0;
    rose.GetAxisInverse(0, inverse);
    EXPECT_EQ(inverse, 1);
    double v = -1;
    rose.GetAxisMultiplier(0, v);
    EXPECT_EQ(v, 0.0) << "nothing read is validated";
    EXPECT_EQ(Max(rose, 0), 150.0);
    EXPECT_EQ(rose.CounterOf(0), "second");
    EXPECT_EQ(Name(rose, 1), "<none>") << "a section without Name leaves the axis nameless";
    std::optional<std::string> desc;
    rose.GetAxisDesc(1, desc);
    EXPECT_EQ(desc, "# not a comment");
    rose.GetAxisMin(1, v);
    EXPECT_EQ(v, 0.0);
    EXPECT_NE(Save(rose).find("BeginAxis\r\nName=\r\nDesc=# not a comment\r\n"), std::string::npos);
}

TEST_F(WindRoseConfig, FullAxisTableStopsReadingAndSucceeds)
{
    HookedRose rose;
    std::string file;
    for (int i = 0; i < 33; ++i)
        file += "BeginAxis\r\nName=axis" + std::to_string(i) + "\r\nEndAxis\r\n\r\n";
    file += "After=1\r\n";
    ASSERT_EQ(Load(rose, file), 1);
    EXPECT_EQ(rose.GetAxisCount(), 32);
    EXPECT_EQ(Name(rose, 31), "axis31");
    // The empty lines between sections reach the hook; nothing after the 33rd "BeginAxis" does.
    for (const auto& [key, value] : rose.extraKeys)
        EXPECT_EQ(key, "");
}

TEST_F(WindRoseConfig, LoadingTwiceAppendsAxes)
{
    WindRose rose;
    rose.AddAxis("x", "", 0, 0, 1, 1, 1, nullptr);
    const std::string path = folder / "twice.cfg";
    ASSERT_EQ(rose.SaveToFile(path), 1);
    ASSERT_EQ(rose.LoadFromFile(path), 1);
    ASSERT_EQ(rose.LoadFromFile(path), 1);
    EXPECT_EQ(rose.GetAxisCount(), 3);
}

TEST_F(WindRoseConfig, MissingFilesFailWithoutChange)
{
    WindRose rose;
    rose.SetLastError(TableFull);
    rose.SetModified(1);
    EXPECT_EQ(rose.LoadFromFile(""), 0);
    EXPECT_EQ(rose.GetLastError(), TableFull) << "an empty path fails at once";
    EXPECT_EQ(rose.LoadFromFile(folder / "missing.cfg"), 0);
    EXPECT_EQ(rose.GetLastError(), Ok);
    EXPECT_EQ(rose.IsModified(), 1);
    EXPECT_EQ(rose.LoadFromFile(folder.Path().string()), 0) << "a folder is no file";
}

TEST_F(WindRoseConfig, BinaryGarbageNeverCrashesTheReader)
{
    std::string garbage;
    std::uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(x >> 24));
        if (i % 5000 == 0)
            garbage += "\nBeginAxis\nName=";
    }
    HookedRose rose;
    EXPECT_EQ(Load(rose, garbage), 1);
    // The garbage holds 40 axis sections on lines of their own: the reader gets through the
    // bytes between them and fills all 32 slots.
    EXPECT_EQ(rose.GetAxisCount(), rose.GetAxisCapacity());
    EXPECT_EQ(rose.GetAxisCapacity(), 32);
    for (const auto& [key, value] : rose.extraKeys)
        EXPECT_LE(key.size() + value.size(), 2046u);
}

// --- the save never destroys the previous file ---------------------------------------------------

TEST_F(WindRoseConfig, FailingHookKeepsThePreviousFile)
{
    HookedRose rose;
    rose.AddAxis("a", "", 0, 0, 1, 1, 1, std::make_unique<PathData>("p"));
    const std::string path = folder / "profile.cfg";
    WriteFile(path, "previous contents\r\n");
    rose.axisDataOk = false;
    EXPECT_EQ(rose.SaveToFile(path), 0);
    EXPECT_EQ(ReadFile(path), "previous contents\r\n");
    EXPECT_EQ(rose.IsModified(), 1);
    rose.axisDataOk = true;
    rose.headerOk = false;
    EXPECT_EQ(rose.SaveToFile(path), 0);
    EXPECT_EQ(ReadFile(path), "previous contents\r\n");
    EXPECT_EQ(folder.EntryCount(), 1u) << "no temporary file is left behind";
}

TEST_F(WindRoseConfig, UnwritablePlacesFailCleanly)
{
    WindRose rose;
    rose.SetLastError(BadRange);
    EXPECT_EQ(rose.SaveToFile(folder / "no/such/folder.cfg"), 0);
    EXPECT_EQ(rose.SaveToFile(""), 0);
    const std::string dir = folder / "a-folder";
    std::filesystem::create_directory(dir);
    EXPECT_EQ(rose.SaveToFile(dir), 0) << "a folder is never replaced";
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_EQ(folder.EntryCount(), 1u);
    EXPECT_EQ(rose.GetLastError(), BadRange) << "saving leaves the last error alone";

    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop the superuser";
    const std::string locked = folder / "locked";
    std::filesystem::create_directory(locked);
    const std::string path = locked + "/profile.cfg";
    WriteFile(path, "old");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(rose.SaveToFile(path), 0);
    EXPECT_EQ(ReadFile(path), "old");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

TEST_F(WindRoseConfig, ReplacementKeepsModeAndFollowsLinks)
{
    WindRose rose;
    const std::string path = folder / "profile.cfg";
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(rose.SaveToFile(path), 1);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadFile(path), BaseHead);

    const std::string link = folder / "link.cfg";
    std::filesystem::create_symlink(path, link);
    rose.SetGridStep(10);
    ASSERT_EQ(rose.SaveToFile(link), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFile(path).find("GridStep=10\r\n"), std::string::npos);
    EXPECT_EQ(folder.EntryCount(), 2u);
}

} // namespace
} // namespace quel
