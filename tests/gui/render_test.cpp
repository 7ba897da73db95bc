// The QPainter surface and the image and SVG renderers.

#include "gui/qpainter_surface.h"
#include "gui/wind_rose_render.h"
#include "windrose/wind_rose.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace quel {
namespace {

// Fonts need a QGuiApplication; one for the whole test program.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "gui_render_test";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QGuiApplication* app_ = nullptr;
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr ColorRef Background = MakeRgb(10, 20, 30);
constexpr ColorRef SpokeColor = MakeRgb(0, 0, 255);

void SetUpRose(WindRose& rose)
{
    rose.AddSeries("Current Values", "");
    rose.SetSeriesPenAt(0, PenSolid, 2, MakeRgb(0, 255, 0));
    for (int i = 0; i < 4; ++i) {
        rose.AddAxis("axis " + std::to_string(i), "", 0, 0, 100, 80, 1, nullptr);
        rose.SetValue(i, 20.0 * (i + 1), 0);
    }
    rose.SetAxisPen(PenSolid, 1, SpokeColor);
    rose.SetTextColors(MakeRgb(255, 255, 255), Background);
}

TEST(QPainterSurface, RealisesColoursPensAndFonts)
{
    EXPECT_EQ(ToQColor(MakeRgb(1, 2, 3)), QColor(1, 2, 3)) << "red in the low byte";
    EXPECT_EQ(ToQPen(PenDesc {PenDot, 2, 0}).style(), Qt::DotLine);
    EXPECT_EQ(ToQPen(PenDesc {PenNull, 1, 0}).style(), Qt::NoPen);
    EXPECT_EQ(ToQPen(PenDesc {PenSolid, 3, 0}).width(), 3);
    const QFont base;
    EXPECT_EQ(ToQFont(FontDesc {"MS Sans Serif", -13}, base).pixelSize(), 13);
    EXPECT_EQ(ToQFont(FontDesc {"MS Sans Serif", 12}, base).styleHint(), QFont::SansSerif);
    const QFont bold = ToQFont(FontDesc {"DejaVu Sans", 20, 0, 0, 0, 700, true}, base);
    EXPECT_EQ(bold.weight(), QFont::Bold);
    EXPECT_TRUE(bold.italic());
    EXPECT_NEAR(QFontMetrics(bold).height(), 20, 2) << "a positive height is the cell height";
}

TEST(QPainterSurface, MeasuresAndWrapsText)
{
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QPainterSurface surface(painter);
    const FontDesc font {"MS Sans Serif", -12};
    surface.SelectFont(font);
    const Size one = surface.MeasureText("Loading...");
    EXPECT_GT(one.cx, 0);
    EXPECT_GT(one.cy, 0);
    const Size wrapped = surface.MeasureText("one two three four five six", TextCenter | TextWordBreak, one.cx);
    EXPECT_LE(wrapped.cx, one.cx + 12);
    EXPECT_GE(wrapped.cy, 2 * one.cy);
    EXPECT_EQ(surface.SelectFont(FontDesc {}), font) << "selection returns the previous font";
    EXPECT_EQ(surface.SetTextColor(5), 0x000000);
    EXPECT_EQ(surface.SetBkColor(6), 0xFFFFFF);
}

TEST(WindRoseRender, ImageHasSizeBackgroundAndDrawing)
{
    WindRose rose;
    SetUpRose(rose);
    const QImage image = RenderImage(QSize(320, 240), Background, PaintOf(rose));
    ASSERT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(10, 20, 30));
    // The spoke of axis 0 runs straight up from the centre (160, 120).
    EXPECT_EQ(image.pixelColor(160, 110), QColor(0, 0, 255));
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            painted += image.pixelColor(x, y) != QColor(10, 20, 30);
    }
    EXPECT_GT(painted, 1000) << "spokes, circles, polyline and texts";

    QTemporaryDir dir;
    const QString path = dir.filePath("rose.png");
    ASSERT_TRUE(SavePng(image, path));
    EXPECT_EQ(QImage(path).size(), QSize(320, 240));
}

TEST(WindRoseRender, SvgParses)
{
    WindRose rose;
    SetUpRose(rose);
    const QByteArray svg = RenderSvg(QSize(300, 300), Background, PaintOf(rose), "Wind rose");
    QXmlStreamReader xml(svg);
    int elements = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            ++elements;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(elements, 10);
    QSvgRenderer renderer(svg);
    EXPECT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 300, 300));
    EXPECT_TRUE(svg.contains("width=\"79.375mm\"")) << "300 CSS pixels";

    QTemporaryDir dir;
    const QString path = dir.filePath("rose.svg");
    ASSERT_TRUE(SaveSvg(path, QSize(300, 300), Background, PaintOf(rose)));
    EXPECT_TRUE(QSvgRenderer(path).isValid());
}

TEST(WindRoseRender, HelpersTakeAnyPainterOfASurface)
{
    Rect seen;
    const QImage image = RenderImage(QSize(50, 40), NoColor, [&](Surface& surface, const Rect& rect) {
        seen = rect;
        surface.SelectPen(PenDesc {PenSolid, 1, MakeRgb(255, 0, 0)});
        surface.MoveTo(0, 0);
        surface.LineTo(49, 0);
    });
    EXPECT_EQ(seen, (Rect {0, 0, 50, 40}));
    EXPECT_EQ(image.pixelColor(10, 0), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(10, 20).alpha(), 0) << "no background: transparent";
}

} // namespace
} // namespace quel
