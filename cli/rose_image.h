#pragma once
// Painting a monitor's wind rose into a PNG or SVG image without a display, for the commands
// that render.

#include "engine/counter_monitor.h"

#include <QGuiApplication>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quel::cli {

enum class ImageFormat { Png, Svg };

// The format a file name's extension names (".png" or ".svg", in any case); none for others.
std::optional<ImageFormat> ImageFormatOf(std::string_view path);

// The Qt application painting needs; offscreen unless a platform was chosen. Only Qt's errors
// are shown, one line each, as the render command's.
std::unique_ptr<QGuiApplication> MakeOffscreenApplication();

struct RoseImage {
    std::string path;
    ImageFormat format = ImageFormat::Png;
    int width = 600;
    int height = 600;
};

// The monitor's wind rose on its background colour into the image's file.
bool WriteRoseImage(CounterMonitor& monitor, const RoseImage& image);

} // namespace quel::cli
