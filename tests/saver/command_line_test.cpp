// The saver's command line.

#include "saver/saver_command_line.h"

#include <gtest/gtest.h>

namespace quel::saver {
namespace {

SaverCommand Parse(std::vector<std::string> arguments, const std::string& xscreensaverWindow = "")
{
    return ParseSaverCommandLine(arguments, xscreensaverWindow);
}

TEST(SaverCommandLine, Modes)
{
    EXPECT_EQ(Parse({}).mode, SaverMode::Configure);
    EXPECT_EQ(Parse({"-c"}).mode, SaverMode::Configure);
    EXPECT_EQ(Parse({"-s"}).mode, SaverMode::FullScreen);
    EXPECT_EQ(Parse({"--help"}).mode, SaverMode::Help);

    const SaverCommand preview = Parse({"-p", "4194305"});
    EXPECT_EQ(preview.mode, SaverMode::ForeignWindow);
    EXPECT_EQ(preview.window, 4194305u);
}

TEST(SaverCommandLine, RootDrawsIntoXScreenSaversWindowElseTheRoot)
{
    EXPECT_EQ(Parse({"--root"}).mode, SaverMode::ForeignWindow);
    EXPECT_FALSE(Parse({"-root"}).window.has_value());
    EXPECT_EQ(Parse({"-root"}, "0x400001").window, 0x400001u);
    // XScreenSaver's window without any argument.
    EXPECT_EQ(Parse({}, "0x400001").window, 0x400001u);
    EXPECT_EQ(Parse({"-root"}, "junk").mode, SaverMode::Error);
}

TEST(SaverCommandLine, AWindowIdWinsOverRootInEitherOrder)
{
    EXPECT_EQ(Parse({"--root", "--window-id", "0x2a"}, "0x400001").window, 0x2au);
    EXPECT_EQ(Parse({"-window-id", "42", "-root"}, "0x400001").window, 42u);
}

TEST(SaverCommandLine, BadArgumentsAreErrorsThatSayWhat)
{
    const SaverCommand missing = Parse({"--window-id"});
    EXPECT_EQ(missing.mode, SaverMode::Error);
    EXPECT_EQ(missing.error, "--window-id needs a window ID");
    for (const char* id : {"0", "0x", "12ab", "-5", "0x1ffffffff", "99999999999"})
        EXPECT_EQ(Parse({"-p", id}).mode, SaverMode::Error) << id;
    EXPECT_EQ(Parse({"-x"}).error, "unknown argument \"-x\"");
}

} // namespace
} // namespace quel::saver
