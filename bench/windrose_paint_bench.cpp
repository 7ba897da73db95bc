// Painting a wind rose of 32 axes and 3 series, with names and values, into an 800x600 image,
// against a baseline that issues the same lines, polylines, circles and texts (recorded once from
// the wind rose) through bare QPainter calls. Prints the ratio of the two medians.
//
//   windrose_paint_bench [--benchmark_repetitions=N]

#include "gui/qpainter_surface.h"
#include "gui/wind_rose_render.h"
#include "windrose/wind_rose.h"

#include <benchmark/benchmark.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <map>
#include <utility>
#include <string>
#include <vector>

namespace {

using namespace quel;

constexpr int Width = 800;
constexpr int Height = 600;
constexpr ColorRef Background = MakeRgb(0, 0, 0);

void SetUp(WindRose& rose)
{
    const char* names[] = {"Max Values", "Historical Values", "Current Values"};
    for (int j = 0; j < 3; ++j) {
        rose.AddSeries(names[j], "");
        rose.SetSeriesPenAt(j, PenSolid, 1, MakeRgb(255 - 80 * j, 80 * j, 128));
    }
    for (int i = 0; i < 32; ++i) {
        rose.AddAxis("\\Processor(" + std::to_string(i) + ")\\% Processor Time", "", 0, 0, 100, 80, 1, nullptr);
        for (int j = 0; j < 3; ++j)
            rose.SetValue(i, (i * 37 + j * 11) % 100 + (j == 1 ? 0.25 : 0.0), j);
    }
    rose.SetAxisPen(PenSolid, 1, MakeRgb(128, 128, 128));
    rose.SetGridPen(PenSolid, 1, MakeRgb(64, 64, 64));
    rose.SetCriticalPen(PenSolid, 1, MakeRgb(255, 0, 0));
    const FontDesc font {"MS Sans Serif", 12};
    rose.SetFont(&font);
    rose.SetTextColors(MakeRgb(255, 255, 255), Background);
}

// One drawing call as the wind rose issued it, ready for bare QPainter calls.
struct Op {
    enum Kind { Line, Polyline, Ellipse, Text } kind = Line;
    QPen pen;
    QPointF from, to;
    QVector<QPointF> points;
    QRectF box;
    QRect rect;
    QRect cell;
    int flags = 0;
    QString text;
    QColor textColor;
    QColor bkColor;
};

// Surface that records what the wind rose draws, with the geometry the QPainter surface uses.
class Recorder : public Surface {
public:
    explicit Recorder(QPainter& painter) : painter_(painter), metrics_(painter.font()) {}

    PenDesc SelectPen(const PenDesc& pen) override
    {
        const PenDesc previous = current_;
        current_ = pen;
        return previous;
    }
    FontDesc SelectFont(const FontDesc& font) override
    {
        const FontDesc previous = font_;
        font_ = font;
        qfont_ = ToQFont(font, painter_.font());
        metrics_ = QFontMetrics(qfont_, painter_.device());
        return previous;
    }
    ColorRef SetTextColor(ColorRef color) override { return std::exchange(text_, color); }
    ColorRef SetBkColor(ColorRef color) override { return std::exchange(bk_, color); }
    void MoveTo(int x, int y) override { position_ = QPointF(x + 0.5, y + 0.5); }
    void LineTo(int x, int y) override
    {
        Op op;
        op.kind = Op::Line;
        op.pen = ToQPen(current_);
        op.from = position_;
        op.to = position_ = QPointF(x + 0.5, y + 0.5);
        ops.push_back(op);
    }
    void Polyline(const Point* points, int count) override
    {
        Op op;
        op.kind = Op::Polyline;
        op.pen = ToQPen(current_);
        for (int i = 0; i < count; ++i)
            op.points.push_back(QPointF(points[i].x + 0.5, points[i].y + 0.5));
        ops.push_back(op);
    }
    void Arc(int left, int top, int right, int bottom) override
    {
        Op op;
        op.kind = Op::Ellipse;
        op.pen = ToQPen(current_);
        op.box = QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
        ops.push_back(op);
    }
    Size MeasureText(std::string_view text, unsigned, int) override
    {
        const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        return Size {metrics_.horizontalAdvance(s), metrics_.height()};
    }
    void DrawText(std::string_view text, const Rect& rect, unsigned flags) override
    {
        Op op;
        op.kind = Op::Text;
        op.text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        op.rect = QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        op.flags = Qt::AlignTop | ((flags & TextCenter) ? Qt::AlignHCenter : Qt::AlignLeft);
        const int width = metrics_.horizontalAdvance(op.text);
        const int left = (flags & TextCenter) ? op.rect.left() + (op.rect.width() - width) / 2 : op.rect.left();
        op.cell = QRect(left, op.rect.top(), width, metrics_.height());
        op.textColor = ToQColor(text_);
        op.bkColor = ToQColor(bk_);
        ops.push_back(op);
    }

    std::vector<Op> ops;
    QFont qfont_;

private:
    QPainter& painter_;
    PenDesc current_;
    FontDesc font_;
    QFontMetrics metrics_;
    ColorRef text_ = 0;
    ColorRef bk_ = 0xFFFFFF;
    QPointF position_;
};

struct Fixture {
    Fixture() : image(Width, Height, QImage::Format_ARGB32_Premultiplied) { SetUp(rose); }
    WindRose rose;
    QImage image;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void BM_WindRosePaint(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        QPainter painter(&f.image);
        PaintWithSurface(painter, QRect(0, 0, Width, Height), Background, PaintOf(f.rose));
    }
}

void BM_BareQPainterBaseline(benchmark::State& state)
{
    Fixture& f = Shared();
    std::vector<Op> ops;
    QFont font;
    {
        QPainter painter(&f.image);
        Recorder recorder(painter);
        f.rose.Paint(recorder, Rect {0, 0, Width, Height});
        ops = recorder.ops;
        font = recorder.qfont_;
    }
    for (auto _ : state) {
        QPainter painter(&f.image);
        painter.fillRect(QRect(0, 0, Width, Height), ToQColor(Background));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setFont(font);
        for (const Op& op : ops) {
            switch (op.kind) {
            case Op::Line:
                painter.setPen(op.pen);
                painter.drawLine(op.from, op.to);
                break;
            case Op::Polyline:
                painter.setPen(op.pen);
                painter.drawPolyline(op.points.constData(), static_cast<int>(op.points.size()));
                break;
            case Op::Ellipse:
                painter.setPen(op.pen);
                painter.drawEllipse(op.box);
                break;
            case Op::Text:
                painter.fillRect(op.cell, op.bkColor);
                painter.setPen(op.textColor);
                painter.drawText(op.rect, op.flags, op.text);
                break;
            }
        }
    }
}

BENCHMARK(BM_WindRosePaint)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareQPainterBaseline)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Keeps the medians to print their ratio after the run.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto paint = reporter.medians.find("BM_WindRosePaint");
    const auto bare = reporter.medians.find("BM_BareQPainterBaseline");
    if (paint != reporter.medians.end() && bare != reporter.medians.end() && bare->second > 0)
        std::printf("median per paint: %.1f us, bare QPainter: %.1f us, ratio %.2f (target <= 1.3)\n", paint->second,
                    bare->second, paint->second / bare->second);
    return 0;
}
