#pragma once
// ForeignWindow: an X11 window made by another program (XScreenSaver's, a preview host's, or the
// root window) that the saver draws into. It has its own connection to the X server, reads the
// window's size from the server (Qt knows nothing of such a window) and puts whole frames into
// it. Only TrueColor windows of 24 or 32 bits, 32 bits per pixel, are drawn into.

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace quel::saver {

class ForeignWindow {
public:
    // window: none for the root window of the default screen. On failure, none and error says
    // why in one line.
    static std::unique_ptr<ForeignWindow> Open(std::optional<std::uint32_t> window, std::string& error);
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    // The window's present size; none once the window (or the connection) has gone.
    std::optional<QSize> CurrentSize();
    // The format of the frames Put takes.
    QImage::Format FrameFormat() const { return QImage::Format_RGB32; }
    // Puts an image (of FrameFormat) into the window with its top left corner at the point.
    void Put(const QImage& image, QPoint at);

private:
    ForeignWindow(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth);
    xcb_connection_t* connection_;
    std::uint32_t window_;
    std::uint32_t gc_ = 0;
    std::uint8_t depth_;
};

// Whether this session is a Wayland one, where windows of other programs cannot be drawn into.
bool IsWaylandSession();

} // namespace quel::saver
