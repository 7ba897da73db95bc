// The diagram view: "Loading..." until the counters are added, then the diagram; the
// background colour; a repaint after every sample.

#include "tests/desktop/desktop_test_support.h"

#include "tests/desktop/gated_source.h"

#include "desktop/command_table.h"
#include "desktop/document_dialogs.h"
#include "desktop/main_frame.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "engine/counter_monitor.h"

#include <QEvent>
#include <QImage>

namespace quel::desktop::test {
namespace {

class ViewTest : public DesktopTest {
protected:
    QImage Snapshot() const { return Frame().View().grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

int CountPixels(const QImage& image, const std::function<bool(QColor)>& match)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y)))
                ++count;
        }
    }
    return count;
}

bool IsBlue(QColor c)
{
    return c.blue() > 100 && c.red() < 60 && c.green() < 60;
}

bool IsWhite(QColor c)
{
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}

TEST_F(ViewTest, ShowsLoadingUntilTheCountersAreAddedThenTheDiagram)
{
    UseGatedSource();
    const std::string path = MakeProfile(root + "View.qlmd", [](MonitorSettings& s) {
        s.LineColor = 0xFF0000;  // blue grid and axes
        s.BackColor = 0x281E14;  // RGB(20, 30, 40)
        s.WndLeft = 10;
        s.WndTop = 10;
        s.WndRight = 410;
        s.WndBottom = 410;
    });
    Start({QString::fromStdString(path)});
    ASSERT_EQ(Monitor().GetStatusText(), "Loading...");

    const QImage loading = Snapshot();
    const QPoint corner = Frame().View().contentsRect().topLeft();
    EXPECT_EQ(loading.pixelColor(corner), QColor(20, 30, 40));
    EXPECT_EQ(CountPixels(loading, IsBlue), 0) << "no diagram while loading";
    const QImage middle = loading.copy(0, loading.height() / 3, loading.width(), loading.height() / 3);
    EXPECT_GT(CountPixels(middle, IsWhite), 0) << "the status text in the middle";

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
    const QImage diagram = Snapshot();
    EXPECT_GT(CountPixels(diagram, IsBlue), 0);
    EXPECT_EQ(diagram.pixelColor(corner), QColor(20, 30, 40));
}

TEST_F(ViewTest, AnOpenedProfileShowsLoadingUntilItsFirstSample)
{
    UseGatedSource();
    gate->Open();
    const std::string first = MakeProfile(root + "First.qlmd", [](MonitorSettings& s) { s.LineColor = 0xFF0000; });
    const std::string second = MakeProfile(root + "Second.qlmd", [](MonitorSettings& s) { s.LineColor = 0xFF0000; });
    Start({QString::fromStdString(first)});
    ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
    ASSERT_GT(CountPixels(Snapshot(), IsBlue), 0);

    gate->HoldCollections();
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(second)));
    ASSERT_TRUE(WaitUntil([&] { return gate->Holding(); }));
    EXPECT_EQ(Monitor().GetStatusText(), "Loading...") << "the counters are added, but there is no sample yet";
    const QImage loading = Snapshot();
    EXPECT_EQ(CountPixels(loading, IsBlue), 0) << "no diagram of zeros";
    EXPECT_GT(CountPixels(loading, IsWhite), 0);

    gate->Open();
    ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
    EXPECT_GT(CountPixels(Snapshot(), IsBlue), 0);
}

TEST_F(ViewTest, ABackgroundColourChangeRepaintsTheWholeView)
{
    Start();
    prompt.color = QColor(200, 10, 10);
    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdBackColor)->color));
    const QImage image = Snapshot();
    const QRect inside = Frame().View().contentsRect();
    EXPECT_EQ(image.pixelColor(inside.topLeft()), QColor(200, 10, 10));
    EXPECT_EQ(image.pixelColor(inside.bottomRight()), QColor(200, 10, 10));
}

TEST_F(ViewTest, TheDiagramLiesInsideASunkenEdge)
{
    Start();
    prompt.color = QColor(200, 10, 10);
    ASSERT_TRUE(ChooseSettingColor(prompt, Doc(), FindCommand(CmdBackColor)->color));
    const CQuellarimondView& view = Frame().View();
    EXPECT_EQ(view.frameShadow(), QFrame::Sunken);
    ASSERT_GE(view.frameWidth(), 1);

    const QImage image = Snapshot();
    const QRect inside = view.contentsRect();
    EXPECT_EQ(inside, view.rect().adjusted(view.frameWidth(), view.frameWidth(), -view.frameWidth(), -view.frameWidth()));
    for (const QPoint edge : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1), QPoint(image.width() / 2, 0)})
        EXPECT_NE(image.pixelColor(edge), QColor(200, 10, 10)) << edge.x() << "," << edge.y();
    // The upper and left edge are darker than the lower and right one: sunken, not raised.
    EXPECT_LT(image.pixelColor(image.width() / 2, 0).lightness(),
              image.pixelColor(image.width() / 2, image.height() - 1).lightness());
    EXPECT_EQ(image.pixelColor(inside.topLeft() + QPoint(1, 1)), QColor(200, 10, 10));
}

// Counts the paints of a widget.
class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

TEST_F(ViewTest, EverySampleRepaintsTheView)
{
    const std::string path = MakeProfile(root + "Fast.qlmd", [](MonitorSettings& s) { s.Interval = 1; });
    Start({QString::fromStdString(path)});
    ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
    PaintCounter counter;
    Frame().View().installEventFilter(&counter);
    EXPECT_TRUE(WaitUntil([&] { return counter.paints >= 2; }));
    Frame().View().removeEventFilter(&counter);
}

} // namespace
} // namespace quel::desktop::test
