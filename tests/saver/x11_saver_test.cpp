// The built quelmond on a private Xvfb server: drawing into a window the test makes, ending
// when that window goes or on SIGTERM, and the full-screen square that moves and ends on a
// movement of the mouse.

#include "saver/saver_program.h"
#include "tests/service/service_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace quel::saver {
namespace {

using quel::test::ServiceProcess;
using quel::test::WaitFor;

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive; empty: all 0
    bool Empty() const { return right == 0; }
    friend bool operator==(const Box&, const Box&) = default;
};

class X11SaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.SetProgram("/usr/bin/Xvfb");
        ASSERT_TRUE(server_.Start({"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"}));
        ASSERT_TRUE(WaitFor([this] { return server_.Stdout().find('\n') != std::string::npos; },
                            std::chrono::seconds(30)))
            << server_.Stderr();
        display_ = ":" + server_.Stdout().substr(0, server_.Stdout().find('\n'));
        connection_ = xcb_connect(display_.c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(connection_));
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    }
    void TearDown() override
    {
        if (connection_ != nullptr)
            xcb_disconnect(connection_);
        server_.Signal(SIGTERM);
        server_.Wait(std::chrono::seconds(30));
    }

    void StartSaver(ServiceProcess& saver, const std::vector<std::string>& arguments)
    {
        saver.SetProgram(QUEL_SAVER_PROGRAM);
        saver.SetEnv("DISPLAY", display_);
        saver.SetEnv("HOME", home_.Path().string());
        saver.SetEnv("XDG_CONFIG_HOME", (home_ / "config").string());
        saver.SetEnv("QUELLARIMOND_SYSTEM_CONFIG", (home_ / "system.conf").string());
        // As in a login session; without it Qt warns on stderr.
        const std::filesystem::path runtime = home_ / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        saver.SetEnv("XDG_RUNTIME_DIR", runtime.string());
        ASSERT_TRUE(saver.Start(arguments));
    }

    xcb_window_t MakeWindow(int width, int height)
    {
        const xcb_window_t window = xcb_generate_id(connection_);
        const std::uint32_t values[] = {screen_->black_pixel};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 10, 10,
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL, values);
        xcb_map_window(connection_, window);
        xcb_flush(connection_);
        return window;
    }

    // The smallest box holding every pixel of the window that is not black.
    Box Drawn(xcb_window_t window, int width, int height)
    {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), ~0u),
            nullptr);
        Box box;
        if (image == nullptr)
            return box;
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
        bool any = false;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if ((pixels[y * width + x] & 0xffffff) == 0)
                    continue;
                box = any ? Box {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                                 std::max(box.bottom, y + 1)}
                          : Box {x, y, x + 1, y + 1};
                any = true;
            }
        }
        std::free(image);
        return box;
    }

    ServiceProcess server_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    quel::test::TempFolder home_;
};

TEST_F(X11SaverTest, DrawsTheCentredSquareIntoAWindowOfTheTestAndEndsWhenTheWindowGoes)
{
    const xcb_window_t window = MakeWindow(320, 240);
    ServiceProcess saver;
    StartSaver(saver, {"--window-id", std::to_string(window)});
    Box box;
    ASSERT_TRUE(WaitFor([&] { return !(box = Drawn(window, 320, 240)).Empty(); }, std::chrono::seconds(30)))
        << saver.Stderr();
    // 40 % of 320 x 240: a square of side 150 at (85, 45); the diagram lies within it.
    EXPECT_GE(box.left, 85);
    EXPECT_GE(box.top, 45);
    EXPECT_LE(box.right, 85 + 150);
    EXPECT_LE(box.bottom, 45 + 150);

    xcb_destroy_window(connection_, window);
    xcb_flush(connection_);
    EXPECT_EQ(saver.Wait(std::chrono::seconds(30)), 0) << saver.Stderr();
}

TEST_F(X11SaverTest, SigtermEndsItAndAMissingWindowIsSaidInOneLine)
{
    const xcb_window_t window = MakeWindow(200, 150);
    ServiceProcess saver;
    StartSaver(saver, {"-p", std::to_string(window)});
    ASSERT_TRUE(WaitFor([&] { return !Drawn(window, 200, 150).Empty(); }, std::chrono::seconds(30)));
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.Wait(std::chrono::seconds(30)), 0);

    ServiceProcess missing;
    StartSaver(missing, {"--window-id", "0x7fffff"});
    EXPECT_EQ(missing.Wait(std::chrono::seconds(30)), 1);
    EXPECT_EQ(missing.Stderr(), "quelmond: there is no window 0x7fffff\n");
}

TEST_F(X11SaverTest, FullScreenSquareMovesAndAMouseMovementEndsIt)
{
    std::filesystem::create_directories(home_ / "config/Tolvane");
    ASSERT_TRUE(quel::test::WriteFile(home_ / "config/Tolvane/Quellarimond.conf", "[Screen Saver]\nAreaSize=10\nTimeout=1\n"));
    ServiceProcess saver;
    StartSaver(saver, {"-s"});
    Box first;
    ASSERT_TRUE(WaitFor([&] { return !(first = Drawn(screen_->root, 640, 480)).Empty(); }, std::chrono::seconds(30)))
        << saver.Stderr();
    Box later;
    EXPECT_TRUE(WaitFor(
        [&] {
            later = Drawn(screen_->root, 640, 480);
            return !later.Empty() && !(later == first);
        },
        std::chrono::seconds(30)));
    // 10 % of 640 x 480 is a square of side 150: only the new place shows, nothing of the old.
    EXPECT_LE(later.right - later.left, 150 + 4);
    EXPECT_LE(later.bottom - later.top, 150 + 4);

    xcb_warp_pointer(connection_, XCB_NONE, screen_->root, 0, 0, 0, 0, 20, 20);
    xcb_flush(connection_);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    xcb_warp_pointer(connection_, XCB_NONE, screen_->root, 0, 0, 0, 0, 300, 300);
    xcb_flush(connection_);
    EXPECT_EQ(saver.Wait(std::chrono::seconds(30)), 0) << saver.Stderr();
}

TEST(SaverOnWayland, TheForeignWindowModesSayTheyNeedX11)
{
    for (const char* mode : {"--root", "-p"}) {
        ServiceProcess saver;
        saver.SetProgram(QUEL_SAVER_PROGRAM);
        saver.SetEnv("WAYLAND_DISPLAY", "wayland-0");
        saver.SetEnv("XDG_SESSION_TYPE", "wayland");
        std::vector<std::string> arguments {mode};
        if (std::string(mode) == "-p")
            arguments.push_back("0x400001");
        EXPECT_EQ(saver.Run(arguments), 1);
        EXPECT_EQ(saver.Stderr(), std::string(NeedsX11) + "\n");
    }
}

} // namespace
} // namespace quel::saver
