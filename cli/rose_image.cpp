#include "cli/rose_image.h"

#include "cli/command.h"
#include "gui/wind_rose_render.h"

#include <cctype>
#include <iostream>

namespace quel::cli {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    text.remove_prefix(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != suffix[i])
            return false;
    }
    return true;
}

// Qt's own notes (a missing runtime folder, font fallbacks) are no concern of the user's;
// only its errors are shown, one line each.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::cerr << ProgramName << " render: Qt: " << message.simplified().toStdString() << '\n';
        std::cerr.flush();
    }
}

} // namespace

std::optional<ImageFormat> ImageFormatOf(std::string_view path)
{
    if (EndsWithNoCase(path, ".svg"))
        return ImageFormat::Svg;
    if (EndsWithNoCase(path, ".png"))
        return ImageFormat::Png;
    return std::nullopt;
}

std::unique_ptr<QGuiApplication> MakeOffscreenApplication()
{
    qInstallMessageHandler(QtMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quelmonctl";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool WriteRoseImage(CounterMonitor& monitor, const RoseImage& image)
{
    const QSize size(image.width, image.height);
    const ColorRef background = monitor.GetSettings().BackColor;
    const SurfacePainter paint = [&monitor](Surface& surface, const Rect& rect) { monitor.Draw(surface, rect); };
    const QString path = QString::fromLocal8Bit(image.path.c_str());
    if (image.format == ImageFormat::Svg)
        return SaveSvg(path, size, background, paint, QStringLiteral("Quellarimond"));
    return SavePng(RenderImage(size, background, paint), path);
}

} // namespace quel::cli
