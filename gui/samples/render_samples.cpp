// Renders sample wind rose diagrams to PNG: 4 axes and 12 axes, three series with their own
// colours, some values above their critical value, and a long label cut in front.
//
//   quel_render_samples [output folder]     (default: the current folder)

#include "gui/wind_rose_render.h"
#include "windrose/wind_rose.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace quel;

constexpr ColorRef Black = MakeRgb(0, 0, 0);
constexpr ColorRef White = MakeRgb(255, 255, 255);

struct SampleAxis {
    const char* name;
    double max;
    double critical;
    double values[3];  // maximum, average, current
};

void SetUpAppearance(WindRose& rose)
{
    rose.AddSeries("Max Values", "");
    rose.AddSeries("Historical Values", "");
    rose.AddSeries("Current Values", "");
    const ColorRef colors[3] = {MakeRgb(255, 64, 64), MakeRgb(255, 200, 0), MakeRgb(64, 220, 64)};
    for (int j = 0; j < 3; ++j) {
        rose.SetSeriesPenAt(j, PenSolid, j == 2 ? 2 : 1, colors[j]);
        rose.SetSeriesTextColors(j, colors[j], NoColor);
    }
    rose.SetAxisPen(PenSolid, 1, MakeRgb(128, 128, 128));
    rose.SetGridPen(PenDot, 1, MakeRgb(90, 90, 90));
    rose.SetCriticalPen(PenSolid, 1, MakeRgb(200, 0, 0));
    const FontDesc font {"MS Sans Serif", 14};
    rose.SetFont(&font);
    rose.SetTextColors(White, Black);
}

void AddAxes(WindRose& rose, const std::vector<SampleAxis>& axes)
{
    for (const auto& axis : axes) {
        const int index = rose.GetAxisCount();
        rose.AddAxis(axis.name, "", 0, 0, axis.max, axis.critical, 1, nullptr);
        for (int j = 0; j < 3; ++j)
            rose.SetValue(index, axis.values[j], j);
    }
}

bool Render(WindRose& rose, const QSize& size, const QString& path)
{
    const bool ok = SavePng(RenderImage(size, Black, PaintOf(rose)), path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }

    WindRose four;
    SetUpAppearance(four);
    AddAxes(four, {
                      {"% Processor Time", 100, 80, {97, 42, 88}},
                      {"Available MBytes", 16384, 12000, {9800, 8200, 7600}},
                      {"Processes", 1000, 400, {312, 298, 305}},
                      {"Disk Queue Length", 10, 2, {4.5, 0.75, 0.25}},
                  });

    WindRose twelve;
    SetUpAppearance(twelve);
    twelve.SetShowNumbers(1);
    AddAxes(twelve, {
                        {"CPU 0", 100, 80, {100, 35, 91}},
                        {"CPU 1", 100, 80, {72, 30, 28}},
                        {"CPU 2", 100, 80, {64, 22, 12}},
                        {"CPU 3", 100, 80, {85, 40, 45}},
                        {"Processes", 1000, 400, {310, 290, 301}},
                        {"Threads", 8000, 4000, {2150, 2050, 2100}},
                        {"Committed Bytes In Use", 100, 90, {61, 58, 60}},
                        {"\\PhysicalDisk(0 nvme0n1)\\Average Disk Queue Length", 10, 2, {3.5, 0.5, 0.2}},
                        {"Free Space /", 100, 90, {54, 54, 54}},
                        {"Bytes Received/sec eth0", 1e6, 8e5, {9.2e5, 1.1e5, 4.4e4}},
                        {"Bytes Sent/sec eth0", 1e6, 8e5, {3.1e5, 4.0e4, 1.2e4}},
                        {"Pages/sec", 5000, 1000, {1800, 120, 0}},
                    });
    twelve.SetValueState(11, NoData, 2);  // a counter that could not be read

    bool ok = Render(four, QSize(480, 400), QDir(folder).filePath("windrose-4-axes.png"));
    ok = Render(twelve, QSize(720, 560), QDir(folder).filePath("windrose-12-axes.png")) && ok;
    return ok ? 0 : 1;
}
