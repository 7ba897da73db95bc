// quelmonctl render: images of the asked size, painted with the profile's colours, and nothing
// written beside the profile.

#include "tests/cli/cli_process.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

namespace quel::test {
namespace {

std::map<std::string, std::string> Machine()
{
    const std::string root = std::string(QUEL_FIXTURES_DIR) + "/machine-1cpu/";
    return MachineEnvironment(root + "proc", root + "sys");
}

// BackColor 0x00336699 is red 0x99, green 0x66, blue 0x33.
const char* const ProfileText =
    "\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n"
    "Interval=1\r\nBackColor=3368601\r\nLogMode=1\r\n\r\n"
    "BeginAxis\r\nName=# Processes\r\nMaxValue=10\r\nCriticalValue=8\r\nCounter=\\Objects\\Processes\r\nEndAxis\r\n"
    "BeginAxis\r\nName=CPU\r\nMaxValue=100\r\nCriticalValue=80\r\nCounter=\\Processor(_Total)\\% Processor Time\r\nEndAxis\r\n"
    "BeginAxis\r\nName=Memory\r\nMaxValue=100\r\nCriticalValue=90\r\nCounter=\\Memory\\% Committed Bytes In Use\r\nEndAxis\r\n";

TEST(CliRender, PngOfTheAskedSizeOnTheProfilesBackground)
{
    TempFolder folder;
    const auto profile = folder.Write("watch.qlmd", ProfileText);
    const std::string image = (folder.Path() / "rose.png").string();
    const CliResult result = RunCli({"render", profile.string(), "-o", image, "--size", "320x200", "--wait", "0.3"}, Machine());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const QImage png(QString::fromStdString(image));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), 320);
    EXPECT_EQ(png.height(), 200);
    const QColor background(0x99, 0x66, 0x33);
    for (const QPoint corner : {QPoint(0, 0), QPoint(319, 0), QPoint(0, 199), QPoint(319, 199), QPoint(2, 100)})
        EXPECT_EQ(png.pixelColor(corner), background) << corner.x() << "," << corner.y();
    // Something besides the background was painted (the grid, the axes, the labels).
    int painted = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x)
            painted += png.pixelColor(x, y) != background ? 1 : 0;
    }
    EXPECT_GT(painted, 500);
    // The profile logs every update, yet rendering leaves no log beside it.
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Logs"));
}

TEST(CliRender, SvgOfTheStandardCounterSet)
{
    TempFolder folder;
    const std::string image = (folder.Path() / "rose.SVG").string();
    const CliResult result = RunCli({"render", "--default", "-o", image, "--size", "200x100", "--wait", "0"}, Machine());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string svg = ReadFile(image);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("viewBox=\"0 0 200 100\""), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST(CliRender, BadArgumentsAndUnreadableProfiles)
{
    TempFolder folder;
    const std::string image = (folder.Path() / "x.png").string();
    const auto profile = folder.Write("p.qlmd", ProfileText);
    const std::vector<std::vector<std::string>> bad = {
        {"render", "-o", image},
        {"render", "--default", profile.string(), "-o", image},
        {"render", "--default"},
        {"render", "--default", "-o", (folder.Path() / "x.jpg").string()},
        {"render", "--default", "-o", image, "--size", "0x10"},
        {"render", "--default", "-o", image, "--size", "100"},
        {"render", "--default", "-o", image, "--wait", "-1"},
        {"render", (folder.Path() / "missing.qlmd").string(), "-o", image},
        {"render", folder.Path().string(), "-o", image},
        {"render", "/dev/zero", "-o", image},
    };
    for (const auto& args : bad) {
        const CliResult result = RunCli(args, Machine());
        EXPECT_EQ(result.exitCode, 2) << args[1];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(image));
}

TEST(CliRender, UnwritableImageIsAFailure)
{
    const CliResult result = RunCli({"render", "--default", "-o", "/nonexistent-folder/x.png", "--wait", "0"}, Machine());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "quelmonctl render: cannot write /nonexistent-folder/x.png\n");
}

} // namespace
} // namespace quel::test
