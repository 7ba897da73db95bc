// Where the saver's settings come from, and how they are written.

#include "saver/saver_settings.h"
#include "tests/saver/saver_test_support.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

namespace quel::saver {
namespace {

using SaverSettingsTest = test::SaverHome;

TEST_F(SaverSettingsTest, NothingStoredGivesTheDefaultsAndNoProfile)
{
    SaverSettings s;
    s.profile = "left over";
    EXPECT_FALSE(ReadSaverSettings(s));
    EXPECT_EQ(s.profile, "");
    EXPECT_EQ(s.AreaSize, 40);
    EXPECT_EQ(s.areaText, "40");
    EXPECT_EQ(s.Timeout, 20);
    EXPECT_EQ(s.timeoutText, "20");
}

TEST_F(SaverSettingsTest, TheDesktopProgramsRecentProfileStandsInForAMissingOne)
{
    WriteUser("[Recent File List]\nFile1=/p/recent.qlmd\nFile2=/p/older.qlmd\n");
    SaverSettings s;
    EXPECT_TRUE(ReadSaverSettings(s));
    EXPECT_EQ(s.profile, "/p/recent.qlmd");

    // A key with numbers but no profile still falls back for the profile only.
    WriteUser("[Screen Saver]\nAreaSize=55\nTimeout=7\n[Recent File List]\nFile1=/p/recent.qlmd\n");
    EXPECT_TRUE(ReadSaverSettings(s));
    EXPECT_EQ(s.profile, "/p/recent.qlmd");
    EXPECT_EQ(s.AreaSize, 55);
    EXPECT_EQ(s.Timeout, 7);
}

TEST_F(SaverSettingsTest, TheUsersOwnChoiceWinsOverTheRecentProfileAndTheSystemDefaults)
{
    WriteSystem("[Screen Saver]\nProfile=/sys.qlmd\nAreaSize=10\nTimeout=10\n");
    WriteUser("[Screen Saver]\nProfile=/mine.qlmd\nAreaSize=040\nTimeout=5\n[Recent File List]\nFile1=/recent.qlmd\n");
    SaverSettings s;
    EXPECT_TRUE(ReadSaverSettings(s));
    EXPECT_EQ(s.profile, "/mine.qlmd");
    EXPECT_EQ(s.areaText, "040");
    EXPECT_EQ(s.AreaSize, 40);
    EXPECT_EQ(s.Timeout, 5);
}

TEST_F(SaverSettingsTest, AUserWithoutSettingsGetsTheSystemDefaults)
{
    WriteSystem("[Screen Saver]\nProfile=/sys.qlmd\nAreaSize=10\nTimeout=12\n");
    WriteUser("[Recent File List]\nFile1=/recent.qlmd\n");
    SaverSettings s;
    EXPECT_TRUE(ReadSaverSettings(s));
    EXPECT_EQ(s.profile, "/sys.qlmd");
    EXPECT_EQ(s.AreaSize, 10);
    EXPECT_EQ(s.Timeout, 12);
}

TEST_F(SaverSettingsTest, NumbersAreReadAsFarAsTheyGo)
{
    WriteUser("[Screen Saver]\nProfile=/a.qlmd\nAreaSize=abc\nTimeout=  +15 seconds\n");
    SaverSettings s;
    ReadSaverSettings(s);
    EXPECT_EQ(s.AreaSize, 40);
    EXPECT_EQ(s.areaText, "40");
    EXPECT_EQ(s.Timeout, 15);
    EXPECT_EQ(s.timeoutText, "  +15 seconds");

    WriteUser("[Screen Saver]\nAreaSize=-30\nTimeout=123456789012345678901234567890\n");
    ReadSaverSettings(s);
    EXPECT_EQ(s.AreaSize, -30);                  // used as read; placement copes with it
    EXPECT_EQ(s.timeoutText.size(), 23u);        // cut to what the dialog holds
    EXPECT_GT(s.Timeout, 0);
}

TEST_F(SaverSettingsTest, WritingStoresTheTextsAsTypedAndKeepsOtherValues)
{
    WriteUser("[Recent File List]\nFile1=/recent.qlmd\n");
    SaverSettings s;
    s.profile = "/home/u/My Profiles/x.qlmd";
    s.areaText = "040";
    s.timeoutText = "7";
    ASSERT_TRUE(WriteSaverSettings(RegistryHive::CurrentUser, s));
    SaverSettings read;
    EXPECT_TRUE(ReadSaverSettings(read));
    EXPECT_EQ(read.profile, s.profile);
    EXPECT_EQ(read.areaText, "040");
    EXPECT_EQ(read.timeoutText, "7");
    EXPECT_NE(quel::test::ReadFile(UserFile()).find("File1=/recent.qlmd"), std::string::npos);
}

TEST_F(SaverSettingsTest, WritingTheSystemDefaultsCreatesTheFileOrFails)
{
    SaverSettings s;
    s.profile = "/p.qlmd";
    s.areaText = "50";
    s.timeoutText = "9";
    EXPECT_TRUE(WriteSaverSettings(RegistryHive::LogonDefault, s));
    EXPECT_NE(quel::test::ReadFile(SystemFile()).find("[Screen Saver]"), std::string::npos);

    MakeSystemUnwritable();
    EXPECT_FALSE(WriteSaverSettings(RegistryHive::LogonDefault, s));
}

} // namespace
} // namespace quel::saver
