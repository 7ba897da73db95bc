#include "saver/foreign_window.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quel::saver {
namespace {

template <typename T>
struct Freed {
    T* reply = nullptr;
    ~Freed() { std::free(reply); }
};

const xcb_visualtype_t* FindVisual(const xcb_setup_t* setup, xcb_visualid_t visual)
{
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem; xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == visual)
                    return visuals.data;
            }
        }
    }
    return nullptr;
}

int BitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth)
{
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == depth)
            return formats.data->bits_per_pixel;
    }
    return 0;
}

// QImage::Format_RGB32 holds 0xffRRGGBB in native byte order: the server must take exactly that.
bool TakesRgb32(const xcb_setup_t* setup, const xcb_visualtype_t& visual, std::uint8_t depth)
{
    const bool nativeOrder = (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) ==
                             (std::endian::native == std::endian::little);
    return visual._class == XCB_VISUAL_CLASS_TRUE_COLOR && visual.red_mask == 0xff0000 &&
           visual.green_mask == 0x00ff00 && visual.blue_mask == 0x0000ff && (depth == 24 || depth == 32) &&
           BitsPerPixel(setup, depth) == 32 && nativeOrder;
}

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace

bool IsWaylandSession()
{
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (session != nullptr && std::strcmp(session, "wayland") == 0) || (wayland != nullptr && *wayland != '\0');
}

std::unique_ptr<ForeignWindow> ForeignWindow::Open(std::optional<std::uint32_t> window, std::string& error)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        const char* display = std::getenv("DISPLAY");
        error = display != nullptr && *display != '\0' ? std::string("cannot open the X display ") + display
                                                       : "no X display (DISPLAY is not set)";
        return nullptr;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (!window) {
        auto screens = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        window = screens.data->root;
    }
    Freed<xcb_get_window_attributes_reply_t> attributes {
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, *window), nullptr)};
    Freed<xcb_get_geometry_reply_t> geometry {
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, *window), nullptr)};
    if (attributes.reply == nullptr || geometry.reply == nullptr) {
        xcb_disconnect(connection);
        error = "there is no window " + Hex(*window);
        return nullptr;
    }
    const xcb_visualtype_t* visual = FindVisual(setup, attributes.reply->visual);
    if (visual == nullptr || !TakesRgb32(setup, *visual, geometry.reply->depth)) {
        xcb_disconnect(connection);
        error = "window " + Hex(*window) + " has a visual of depth " + std::to_string(geometry.reply->depth) +
                " that is not 24- or 32-bit true colour; cannot draw into it";
        return nullptr;
    }
    return std::unique_ptr<ForeignWindow>(new ForeignWindow(connection, *window, geometry.reply->depth));
}

ForeignWindow::ForeignWindow(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth)
    : connection_(connection), window_(window), depth_(depth)
{
    gc_ = xcb_generate_id(connection_);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
}

ForeignWindow::~ForeignWindow()
{
    xcb_free_gc(connection_, gc_);
    xcb_disconnect(connection_);
}

std::optional<QSize> ForeignWindow::CurrentSize()
{
    // Errors of earlier drawing requests arrive as events; nobody needs them.
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
        std::free(event);
    if (xcb_connection_has_error(connection_))
        return std::nullopt;
    Freed<xcb_get_geometry_reply_t> geometry {
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window_), nullptr)};
    if (geometry.reply == nullptr)
        return std::nullopt;
    return QSize(geometry.reply->width, geometry.reply->height);
}

void ForeignWindow::Put(const QImage& frame, QPoint at)
{
    if (frame.isNull() || frame.format() != FrameFormat())
        return;
    // One request carries at most the server's maximum length (in 4-byte units), so a large
    // frame goes in bands of rows.
    const std::size_t maximum = std::size_t {xcb_get_maximum_request_length(connection_)} * 4;
    const std::size_t rowBytes = static_cast<std::size_t>(frame.bytesPerLine());
    const int bandRows = std::max<int>(1, static_cast<int>((maximum - 64) / rowBytes));
    for (int top = 0; top < frame.height(); top += bandRows) {
        const int rows = std::min(bandRows, frame.height() - top);
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(frame.width()),
                      static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(at.x()),
                      static_cast<std::int16_t>(at.y() + top), 0, depth_,
                      static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)), frame.constScanLine(top));
    }
    xcb_flush(connection_);
}

} // namespace quel::saver
