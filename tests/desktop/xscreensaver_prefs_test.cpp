// Selecting quelmond in ~/.xscreensaver and giving the blank screen back, every other line kept.

#include "desktop/xscreensaver_prefs.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quel::desktop {
namespace {

// As XScreenSaver writes it (shortened): another hack selected.
const std::string OtherHack =
    "# XScreenSaver Preferences File\n"
    "# Written by xscreensaver-settings 6.06 for u on Tue Dec  8 10:00:00 2026.\n"
    "\n"
    "timeout:\t0:10:00\n"
    "mode:\t\tone\n"
    "selected:\t1\n"
    "\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "-\t\t\t\txflame -root\t\t\t\t    \\n\\\n"
    "\n"
    "\n"
    "pointerPollTime:\t0:00:05\n";

const std::string Entry = "\t\t\"Quellarimond\"  quelmond --root\t\t\\n";

TEST(XScreenSaverPrefs, SelectingAddsTheEntryFirstAndChangesOnlyModeAndSelected)
{
    EXPECT_FALSE(SelectsQuelmond(OtherHack));
    const std::string selected = WithQuelmondSelected(OtherHack);
    const std::string expected =
        "# XScreenSaver Preferences File\n"
        "# Written by xscreensaver-settings 6.06 for u on Tue Dec  8 10:00:00 2026.\n"
        "\n"
        "timeout:\t0:10:00\n"
        "mode:\t\tone\n"
        "selected:\t\t0\n"
        "\n"
        "programs:\t\t\t\t\t\t\t\t      \\\n" +
        Entry + "\\\n" +
        "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
        "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
        "-\t\t\t\txflame -root\t\t\t\t    \\n\\\n"
        "\n"
        "\n"
        "pointerPollTime:\t0:00:05\n";
    EXPECT_EQ(selected, expected);
    EXPECT_TRUE(SelectsQuelmond(selected));
    // Selecting again changes nothing.
    EXPECT_EQ(WithQuelmondSelected(selected), selected);
}

TEST(XScreenSaverPrefs, AnEntryThatIsThereIsSelectedWhereverItStands)
{
    std::string prefs = OtherHack;
    prefs.replace(prefs.find("-\t\t\t\txflame"), 17, "-\t\"Q\" /usr/libexec/xscreensaver/quelmond --root");
    const std::string selected = WithQuelmondSelected(prefs);
    EXPECT_NE(selected.find("selected:\t\t2\n"), std::string::npos) << selected;
    EXPECT_EQ(selected.find("\"Quellarimond\""), std::string::npos);  // no second entry
    EXPECT_TRUE(SelectsQuelmond(selected));
}

TEST(XScreenSaverPrefs, OnlyModeOneWithQuelmondSelectedCounts)
{
    const std::string selected = WithQuelmondSelected(OtherHack);
    std::string random = selected;
    random.replace(random.find("mode:\t\tone"), 10, "mode:\t\trandom");
    EXPECT_FALSE(SelectsQuelmond(random));
    std::string another = selected;
    another.replace(another.find("selected:\t\t0"), 12, "selected:\t3");
    EXPECT_FALSE(SelectsQuelmond(another));
    std::string beyond = selected;
    beyond.replace(beyond.find("selected:\t\t0"), 12, "selected:\t99");
    EXPECT_FALSE(SelectsQuelmond(beyond));
    EXPECT_FALSE(SelectsQuelmond(""));
}

TEST(XScreenSaverPrefs, ClearingSelectsTheBlankScreenAndKeepsTheRest)
{
    const std::string selected = WithQuelmondSelected(OtherHack);
    std::string expected = selected;
    expected.replace(expected.find("mode:\t\tone"), 10, "mode:\t\tblank");
    EXPECT_EQ(WithBlankMode(selected), expected);
    EXPECT_FALSE(SelectsQuelmond(expected));
}

TEST(XScreenSaverPrefs, AListOnItsHeaderLineAndMissingResources)
{
    const std::string oneLine = "timeout: 0:05:00\r\nprograms:\tmaze -root\r\n";
    EXPECT_EQ(WithQuelmondSelected(oneLine), "timeout: 0:05:00\r\n"
                                             "programs:\t\\\r\n" +
                                                 Entry + "\\\r\n\t\tmaze -root\r\n"
                                                 "mode:\t\tone\n"
                                                 "selected:\t\t0\n");
    EXPECT_EQ(WithQuelmondSelected("lock: False"), "lock: False\n"
                                                   "programs:\t\\\n" +
                                                       Entry + "\n"
                                                       "mode:\t\tone\n"
                                                       "selected:\t\t0\n");
}

TEST(XScreenSaverPrefs, TheFileIsMadeWhenMissingAndReplacedWhole)
{
    quel::test::TempFolder folder;
    const std::string path = (folder / ".xscreensaver").string();
    std::string error;
    ASSERT_TRUE(WriteUserSaver(path, true, error)) << error;
    const std::string minimal = quel::test::ReadFile(path);
    EXPECT_EQ(minimal, "# XScreenSaver Preferences File\n"
                       "programs:\t\\\n" +
                           Entry + "\n"
                           "mode:\t\tone\n"
                           "selected:\t\t0\n");
    ASSERT_TRUE(WriteUserSaver(path, false, error)) << error;
    EXPECT_NE(quel::test::ReadFile(path).find("mode:\t\tblank\n"), std::string::npos);
    EXPECT_EQ(folder.EntryCount(), 1u);  // no temporary file left

    const std::string folderPath = (folder / "dir").string();
    std::filesystem::create_directory(folderPath);
    EXPECT_FALSE(WriteUserSaver(folderPath, true, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folderPath));
    EXPECT_FALSE(WriteUserSaver("", true, error));
}

} // namespace
} // namespace quel::desktop
