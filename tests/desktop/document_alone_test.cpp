// The document on its own: no application, no window, a recorder in the main frame's place.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/document_listener.h"
#include "desktop/quellarimond_doc.h"
#include "engine/counter_monitor.h"

namespace quel::desktop::test {
namespace {

class RecordingListener final : public DocumentListener {
public:
    void TitleChanged() override { ++titleChanges; }
    void AddRecentFile(const QString& path) override { recentFiles.push_back(path); }
    void MoveWindowTo(const Rect& rect) override { moves.push_back(rect); }
    std::optional<Rect> CurrentWindowRect() const override { return window; }
    void Repaint() override { ++repaints; }
    RepaintTarget* SampleRepaintTarget() override { return nullptr; }
    void DocumentClosing() override { closed = true; }

    int titleChanges = 0;
    std::vector<QString> recentFiles;
    std::vector<Rect> moves;
    std::optional<Rect> window;
    int repaints = 0;
    bool closed = false;
};

class DocumentAloneTest : public DesktopTest {
protected:
    std::unique_ptr<CQuellarimondDoc> MakeDocument()
    {
        DocumentEnvironment environment;
        environment.monitor.source = source.get();
        environment.monitor.interactive = true;
        environment.monitor.messages = &sink;
        environment.monitor.screen = Screen;
        environment.prompt = &prompt;
        environment.newProfileFolder = programFolder;
        return std::make_unique<CQuellarimondDoc>(std::move(environment));
    }
};

TEST_F(DocumentAloneTest, TellsItsListenerWhatChangedAndKeepsTheWindowItIsGiven)
{
    const std::string path = MakeProfile(root + "Placed.qlmd", [](MonitorSettings& settings) {
        settings.WndLeft = 40;
        settings.WndTop = 50;
        settings.WndRight = 440;
        settings.WndBottom = 350;
    });
    RecordingListener listener;
    auto document = MakeDocument();
    document->SetListener(&listener);

    // The first New reopens nothing (no recent file) and asks for the wizard after start.
    EXPECT_EQ(document->NewProfile(), CQuellarimondDoc::NewResult::Reopened);
    EXPECT_TRUE(document->WizardAfterStart());
    EXPECT_TRUE(listener.recentFiles.empty()) << "a new profile is not a recent file";
    EXPECT_TRUE(SamplingRunning());

    ASSERT_TRUE(document->OpenProfile(QString::fromStdString(path)));
    ASSERT_EQ(listener.moves.size(), 1u);
    EXPECT_EQ(listener.moves[0].left, 40);
    EXPECT_EQ(listener.moves[0].bottom, 350);
    EXPECT_EQ(listener.recentFiles, std::vector<QString> {QString::fromStdString(path)});
    EXPECT_GT(listener.titleChanges, 0);
    EXPECT_GT(listener.repaints, 0);
    EXPECT_TRUE(SamplingRunning());

    // The modified query keeps the window's place in the profile, saved silently.
    listener.window = Rect {100, 110, 500, 420};
    EXPECT_FALSE(document->NeedsSaving());
    EXPECT_NE(ReadFile(path).find("WndLeft=100"), std::string::npos);

    // A refused file: the reason on its own line, no move, not a recent file, not sampled.
    const QString missing = QString::fromStdString(root + "missing.qlmd");
    ASSERT_TRUE(document->OpenProfile(missing));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0],
              QStringLiteral("Cannot read file: ") + missing + QStringLiteral("\nNo such file or directory"));
    EXPECT_EQ(listener.moves.size(), 1u);
    EXPECT_EQ(listener.recentFiles.size(), 1u);
    EXPECT_FALSE(SamplingRunning());

    document.reset();
    EXPECT_TRUE(listener.closed);
}

TEST_F(DocumentAloneTest, WorksWithoutAnyWindow)
{
    SetRegistry("Recent File List", "File1", MakeProfile(root + "Last.qlmd"));
    auto document = MakeDocument();
    EXPECT_EQ(document->NewProfile(), CQuellarimondDoc::NewResult::Reopened);
    EXPECT_FALSE(document->WizardAfterStart());
    EXPECT_GT(document->GetMonitor().GetAxisCount(), 0);
    EXPECT_EQ(document->NewProfile(), CQuellarimondDoc::NewResult::Fresh);
    EXPECT_TRUE(document->NeedsSaving()) << "a new profile with counters asks to be saved";
    EXPECT_TRUE(document->RetargetCounters(""));
    EXPECT_TRUE(SamplingRunning());
    EXPECT_TRUE(prompt.messages.empty());
}

} // namespace
} // namespace quel::desktop::test
