// The Performance Counters dialog and the counter browser on the fixture machine: the fields and
// their checks, the list buttons, carrying the list over (rebuilt or in place), and adding
// counters through the browser, of this computer or of another one served on loopback.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/main_frame.h"
#include "desktop/document_dialogs.h"
#include "desktop/counter_browser_dlg.h"
#include "desktop/counters_dlg.h"
#include "desktop/field_exchange.h"
#include "desktop/quellarimond_doc.h"
#include "engine/counter_monitor.h"
#include "support/server_process.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>

namespace quel::desktop::test {
namespace {

constexpr const char* Marker = "not restarted";

class CountersDialogTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        Start();
        dialogs.shown.clear();  // the wizard of the first start
        ASSERT_TRUE(Doc().StopSamplingForChange());
        Monitor().RemoveAllAxes();
    }

    void AddAxis(const std::string& name, const std::string& path, double min = 0, double max = 100,
                 double critical = 80)
    {
        ASSERT_TRUE(Monitor().AddAxis(name, "", 0, min, max, critical, 1, std::make_unique<CounterPathData>(path)));
    }

    // Three axes, sampled; the status text tells whether sampling was restarted since.
    void ThreeAxes()
    {
        AddAxis("CPU", "\\Processor(_Total)\\% Processor Time");
        AddAxis("Processes", "\\Objects\\Processes", 0, 1000, 800);
        AddAxis("Threads", "\\Objects\\Threads", 0, 5000, 4000);
        ASSERT_TRUE(Doc().StartMonitoring(false));
        ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
        Monitor().SetStatusText(Marker);
    }

    bool Restarted() const { return Monitor().GetStatusText() != Marker; }

    std::string AxisName(int axis) const
    {
        std::optional<std::string> name;
        Monitor().GetAxisName(axis, name);
        return name.value_or("");
    }

    static void Type(QLineEdit& field, const QString& text)
    {
        field.selectAll();
        QTest::keyClicks(&field, text);
    }

    static std::vector<std::string> Lines(const QListWidget& list)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < list.count(); ++i)
            lines.push_back(list.item(i)->text().toStdString());
        return lines;
    }

    static void ClickLine(QListWidget& list, int row)
    {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
    }

    static void SelectLine(QListWidget& list, const QString& text)
    {
        const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list.clearSelection();
        list.setCurrentItem(found.front());
        found.front()->setSelected(true);
    }

    // A computer typed into the browser as the user does, ended with Enter.
    static void EnterComputer(CCounterBrowserDlg& browser, const std::string& computer)
    {
        browser.ComputerField().setFocus();
        Type(browser.ComputerField(), QString::fromStdString(computer));
        if (computer.empty())
            browser.ComputerField().clear();
        QTest::keyClick(&browser.ComputerField(), Qt::Key_Return);
    }

    // A node exporter's page with two processors, served on loopback.
    std::string ServeNodePage()
    {
        const std::filesystem::path page = pages.Write(
            "metrics", "node_cpu_seconds_total{cpu=\"0\",mode=\"idle\"} 1000\n"
                       "node_cpu_seconds_total{cpu=\"0\",mode=\"user\"} 100\n"
                       "node_cpu_seconds_total{cpu=\"1\",mode=\"idle\"} 1000\n"
                       "node_cpu_seconds_total{cpu=\"1\",mode=\"user\"} 100\n"
                       "node_memory_MemAvailable_bytes 123456512\n"
                       "node_memory_MemTotal_bytes 987654321\n");
        EXPECT_TRUE(node.Start(quel::test::FakeMetricsServer("page", page.string())));
        return "127.0.0.1:" + std::to_string(node.Port());
    }

    quel::test::TempFolder pages;
    quel::test::ServerProcess node;
};

TEST_F(CountersDialogTest, AProfileWithoutCountersOffersOnlyAdding)
{
    CCountersDlg dialog(*app, Doc());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Performance Counters - Quellarimond"));
    EXPECT_EQ(dialog.CounterList().count(), 0);
    EXPECT_EQ(dialog.CurrentEntry(), -1);
    for (QPushButton* button : {&dialog.DeleteButton(), &dialog.ClearAllButton(), &dialog.ComputerButton(),
                                &dialog.UpButton(), &dialog.DownButton(), &dialog.ApplyButton()})
        EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
    EXPECT_TRUE(dialog.AddButton().isEnabled());
    EXPECT_EQ(dialog.LabelField().text(), QString());
    EXPECT_EQ(dialog.MinField().text(), QStringLiteral("0"));
    EXPECT_EQ(dialog.MaxField().text(), QStringLiteral("100"));
    EXPECT_EQ(dialog.CriticalField().text(), QStringLiteral("80"));
    EXPECT_EQ(dialog.ScaleField().text(), QStringLiteral("1"));
    EXPECT_FALSE(dialog.InverseBox().isChecked());
    EXPECT_TRUE(dialog.OkButton().isDefault());
}

TEST_F(CountersDialogTest, OpensOnTheFirstEntryWithNumberedLines)
{
    ThreeAxes();
    CCountersDlg dialog(*app, Doc());
    EXPECT_EQ(Lines(dialog.CounterList()),
              (std::vector<std::string> {"1. \\Processor(_Total)\\% Processor Time", "2. \\Objects\\Processes",
                                         "3. \\Objects\\Threads"}));
    EXPECT_EQ(dialog.CurrentEntry(), 0);
    EXPECT_EQ(dialog.LabelField().text(), QStringLiteral("CPU"));
    EXPECT_FALSE(dialog.UpButton().isEnabled());
    EXPECT_TRUE(dialog.DownButton().isEnabled());
    EXPECT_FALSE(dialog.ApplyButton().isEnabled());
    EXPECT_FALSE(dialog.ListChanged());

    Type(dialog.MaxField(), QStringLiteral("250"));
    EXPECT_TRUE(dialog.ApplyButton().isEnabled()) << "typing enables Apply";
}

TEST_F(CountersDialogTest, FieldMessagesComeInOrderAndKeepTheDialogOpen)
{
    ThreeAxes();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        Type(dialog.MinField(), QStringLiteral("20"));
        Type(dialog.MaxField(), QStringLiteral("10"));
        Type(dialog.CriticalField(), QStringLiteral("abc"));
        dialog.OkButton().click();
        EXPECT_TRUE(dialog.isVisible());
        Type(dialog.MaxField(), QStringLiteral("100"));
        dialog.OkButton().click();
        EXPECT_TRUE(dialog.isVisible());
        Type(dialog.CriticalField(), QStringLiteral("10"));
        dialog.OkButton().click();
        EXPECT_TRUE(dialog.isVisible());
        Type(dialog.CriticalField(), QStringLiteral("100"));  // equal to max: accepted
        dialog.OkButton().click();
        EXPECT_FALSE(dialog.isVisible());
    });
    RunCountersDialog(*app, Doc(), &Frame());
    ASSERT_EQ(prompt.messages.size(), 3u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("Maximal value should be more than minimal value."));
    EXPECT_EQ(prompt.messages[1], QStringLiteral("Please enter a number."));
    EXPECT_EQ(prompt.messages[2], QStringLiteral("Critical value should be in between of minimal and maximal values."));
    double min = 0, critical = 0;
    Monitor().GetAxisMin(0, min);
    Monitor().GetAxisCritical(0, critical);
    EXPECT_EQ(min, 20);
    EXPECT_EQ(critical, 100);
    EXPECT_TRUE(Doc().GetDocumentModified());
}

TEST_F(CountersDialogTest, ASelectionChangeReportsAnInvalidFieldAndDropsIt)
{
    ThreeAxes();
    CCountersDlg dialog(*app, Doc());
    dialog.show();
    Type(dialog.MinField(), QStringLiteral("-5"));
    ClickLine(dialog.CounterList(), 2);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("All range values must be positive numbers."));
    EXPECT_EQ(dialog.CurrentEntry(), 2);
    EXPECT_EQ(dialog.LabelField().text(), QStringLiteral("Threads"));
    EXPECT_EQ(dialog.GetWorkingList()[0].min, 0);
    EXPECT_TRUE(dialog.UpButton().isEnabled());
    EXPECT_FALSE(dialog.DownButton().isEnabled());
}

TEST_F(CountersDialogTest, MovingDownAndBackUpRestartsSamplingOnOk)
{
    ThreeAxes();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        dialog.DownButton().click();
        EXPECT_EQ(dialog.CurrentEntry(), 1);
        EXPECT_EQ(dialog.LabelField().text(), QStringLiteral("CPU"));
        EXPECT_EQ(Lines(dialog.CounterList())[1], "2. \\Processor(_Total)\\% Processor Time");
        dialog.UpButton().click();
        EXPECT_EQ(dialog.CurrentEntry(), 0);
        EXPECT_TRUE(dialog.ListChanged());
        dialog.OkButton().click();
    });
    RunCountersDialog(*app, Doc(), &Frame());
    EXPECT_TRUE(Restarted());
    EXPECT_EQ(AxisName(0), "CPU");
    EXPECT_EQ(Monitor().GetAxisCount(), 3);
    EXPECT_TRUE(SamplingRunning());
}

TEST_F(CountersDialogTest, ALabelOnlyChangeRenamesWithoutARestart)
{
    ThreeAxes();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        Type(dialog.LabelField(), QStringLiteral("Load"));
        QTest::keyClick(&dialog.LabelField(), Qt::Key_Return);  // Enter is OK
    });
    RunCountersDialog(*app, Doc(), &Frame());
    EXPECT_EQ(AxisName(0), "Load");
    EXPECT_FALSE(Restarted());
    EXPECT_TRUE(Doc().GetDocumentModified());
}

TEST_F(CountersDialogTest, BoundsAboveTheOldRangeAreTakenInPlace)
{
    ThreeAxes();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        Type(dialog.MinField(), QStringLiteral("150"));
        Type(dialog.MaxField(), QStringLiteral("300"));
        Type(dialog.CriticalField(), QStringLiteral("200"));
        dialog.ApplyButton().click();
        EXPECT_FALSE(dialog.ApplyButton().isEnabled());
        dialog.CancelButton().click();  // what Apply carried over stays
    });
    RunCountersDialog(*app, Doc(), &Frame());
    double min = 0, max = 0, critical = 0;
    Monitor().GetAxisMin(0, min);
    Monitor().GetAxisMax(0, max);
    Monitor().GetAxisCritical(0, critical);
    EXPECT_EQ(min, 150);
    EXPECT_EQ(max, 300);
    EXPECT_EQ(critical, 200);
    EXPECT_FALSE(Restarted());
}

TEST_F(CountersDialogTest, DeleteSelectsTheNewLastLineAndTheOnlyLineLeavesNothing)
{
    ThreeAxes();
    CCountersDlg dialog(*app, Doc());
    dialog.show();
    ClickLine(dialog.CounterList(), 2);
    dialog.DeleteButton().click();
    EXPECT_EQ(dialog.CounterList().count(), 2);
    EXPECT_EQ(dialog.CurrentEntry(), 1);
    EXPECT_EQ(dialog.CounterList().currentRow(), 1);
    EXPECT_EQ(dialog.LabelField().text(), QStringLiteral("Processes"));
    EXPECT_FALSE(dialog.DownButton().isEnabled());

    dialog.ClearAllButton().click();
    EXPECT_EQ(dialog.CounterList().count(), 0);
    dialog.AddCounterPath("\\Objects\\Threads");
    dialog.DeleteButton().click();
    EXPECT_EQ(dialog.CurrentEntry(), -1);
    EXPECT_EQ(dialog.LabelField().text(), QString());
    EXPECT_EQ(dialog.MaxField().text(), QStringLiteral("100"));
    EXPECT_FALSE(dialog.DeleteButton().isEnabled());
    EXPECT_FALSE(dialog.ComputerButton().isEnabled());
    EXPECT_TRUE(prompt.messages.empty());
}

// Up and Down follow the selected line after every kind of change: Add, a click, a move,
// Delete and Clear All.
TEST_F(CountersDialogTest, UpAndDownFollowTheSelectionThroughEveryChange)
{
    ThreeAxes();
    CCountersDlg dialog(*app, Doc());
    dialog.show();
    QListWidget& list = dialog.CounterList();
    const auto expectFollows = [&](const char* step) {
        const int row = list.currentRow();
        EXPECT_EQ(dialog.UpButton().isEnabled(), row > 0) << step;
        EXPECT_EQ(dialog.DownButton().isEnabled(), row >= 0 && row < list.count() - 1) << step;
    };
    expectFollows("opened");
    ClickLine(list, 1);
    expectFollows("middle line clicked");
    ASSERT_TRUE(dialog.AddCounterPath("\\Objects\\Threads"));
    EXPECT_EQ(list.currentRow(), 3);
    expectFollows("added");
    dialog.UpButton().click();
    EXPECT_EQ(list.currentRow(), 2);
    expectFollows("moved up");
    dialog.DownButton().click();
    EXPECT_EQ(list.currentRow(), 3);
    expectFollows("moved down");
    ClickLine(list, 0);
    expectFollows("first line clicked");
    dialog.DeleteButton().click();
    expectFollows("first line deleted");
    ClickLine(list, 2);
    dialog.DeleteButton().click();
    expectFollows("last line deleted");
    dialog.ClearAllButton().click();
    expectFollows("cleared");
    ASSERT_TRUE(dialog.AddCounterPath("\\Objects\\Processes"));
    expectFollows("only line added");
}

TEST_F(CountersDialogTest, PathsOutsideTheProvidersGrammarAndA33rdCounterAreRefused)
{
    CCountersDlg dialog(*app, Doc());
    EXPECT_FALSE(dialog.AddCounterPath("Processor Time"));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].endsWith(QStringLiteral(": Processor Time"))) << prompt.messages[0].toStdString();
    EXPECT_FALSE(dialog.AddCounterPath(""));
    EXPECT_EQ(dialog.CounterList().count(), 0);

    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(dialog.AddCounterPath("\\Objects\\Processes"));
    EXPECT_FALSE(dialog.AddCounterPath("\\Objects\\Threads"));
    EXPECT_EQ(dialog.CurrentEntry(), 31);
    EXPECT_EQ(dialog.LabelField().text(), QStringLiteral("\\Objects\\Processes"));
    dialog.AddButton().click();
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], QStringLiteral("Exceeded maximal number of counters."));
    EXPECT_TRUE(dialogs.shown.empty()) << "no browser with a full list";
}

TEST_F(CountersDialogTest, ComputerPointsTheListAtAnotherComputer)
{
    ThreeAxes();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        dialogs.scripts.push_back([](QDialog& host) {
            QTest::keyClicks(host.findChild<QLineEdit*>(), QStringLiteral("srv1"));
            QTest::keyClick(host.findChild<QLineEdit*>(), Qt::Key_Return);
        });
        dialog.ComputerButton().click();
        EXPECT_EQ(Lines(dialog.CounterList())[1], "2. \\\\srv1\\Objects\\Processes");
        EXPECT_TRUE(dialog.ListChanged());
        dialog.OkButton().click();
    });
    RunCountersDialog(*app, Doc(), &Frame());
    std::string path;
    Monitor().GetCounterPath(2, path);
    EXPECT_EQ(path, "\\\\srv1\\Objects\\Threads");
    EXPECT_EQ(dialogs.shown, (std::vector<QString> {QStringLiteral("quel::desktop::CCountersDlg"),
                                                   QStringLiteral("quel::desktop::CRemoteHostDlg")}));
}

TEST_F(CountersDialogTest, TheBrowserAddsEverySelectedPathInOrderAndStaysOpen)
{
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        dialogs.scripts.push_back([&](QDialog& opened) {
            auto& browser = dynamic_cast<CCounterBrowserDlg&>(opened);
            EXPECT_EQ(browser.windowTitle(), QStringLiteral("Select Counters"));
            EXPECT_TRUE(browser.ObjectList().findItems(QStringLiteral("Server"), Qt::MatchExactly).isEmpty())
                << "the costly object is left out";
            EXPECT_EQ(browser.ObjectList().item(0)->text(), QStringLiteral("Processor"));
            EXPECT_EQ(browser.InstanceList().currentItem()->text(), QStringLiteral("_Total"));
            ASSERT_EQ(browser.InstanceList().count(), 5);

            QTest::keyClicks(&browser.FilterField(), QStringLiteral("user"));
            ASSERT_EQ(browser.CounterList().count(), 1);
            EXPECT_EQ(browser.CounterList().item(0)->text(), QStringLiteral("% User Time"));
            EXPECT_TRUE(browser.ExplainBox().toPlainText().contains(QStringLiteral("user mode")));
            browser.CounterList().item(0)->setSelected(true);
            browser.InstanceList().clearSelection();
            browser.InstanceList().item(1)->setSelected(true);
            browser.InstanceList().item(4)->setSelected(true);
            browser.AddButton().click();
            EXPECT_TRUE(browser.isVisible());
            EXPECT_EQ(dialog.CounterList().count(), 2);

            browser.FilterField().clear();
            ClickLine(browser.ObjectList(), 1);  // Memory, without instances
            EXPECT_EQ(browser.ObjectList().currentItem()->text(), QStringLiteral("Memory"));
            EXPECT_FALSE(browser.InstanceList().isEnabled());
            browser.CounterList().clearSelection();
            browser.CounterList().item(1)->setSelected(true);
            browser.AddButton().click();
            // The explanation shows the value read once a second, off the window's thread.
            EXPECT_TRUE(WaitUntil([&] {
                return browser.ExplainBox().toPlainText().contains(QStringLiteral("Current value: "))
                    && !browser.ExplainBox().toPlainText().contains(QStringLiteral("reading"));
            }));
            browser.CloseButton().click();
        });
        dialog.AddButton().click();
        dialog.OkButton().click();
    });
    RunCountersDialog(*app, Doc(), &Frame());
    std::vector<std::string> paths(3);
    ASSERT_EQ(Monitor().GetAxisCount(), 3);
    for (int i = 0; i < 3; ++i)
        Monitor().GetCounterPath(i, paths[static_cast<std::size_t>(i)]);
    EXPECT_EQ(paths, (std::vector<std::string> {"\\Processor(1)\\% User Time", "\\Processor(_Total)\\% User Time",
                                                "\\Memory\\Available Bytes"}));
    EXPECT_EQ(AxisName(0), "\\Processor(1)\\% User Time");
}

TEST_F(CountersDialogTest, TheBrowserListsTheCostlyObjectOnRequestAndSaysWhenAComputerCannotBeReached)
{
    CounterBrowserOptions options;
    options.includeCostly = true;
    options.hostName = "fixture";
    CCounterBrowserDlg browser(*source, options, {});
    EXPECT_FALSE(browser.ObjectList().findItems(QStringLiteral("Server"), Qt::MatchExactly).isEmpty());

    browser.ComputerField().setText(QStringLiteral("FIXTURE"));
    browser.ListComputer();
    EXPECT_GT(browser.ObjectList().count(), 0) << "the machine's own name is this computer";
    EXPECT_EQ(browser.SelectedPaths().front().rfind("\\\\FIXTURE\\Processor(", 0), 0u);

    // A loopback port where nothing listens: a name would be looked up in DNS.
    const std::string closed = "127.0.0.1:" + std::to_string(quel::test::FreeLoopbackPort());
    browser.ComputerField().setText(QString::fromStdString(closed));
    browser.ListComputer();
    ASSERT_TRUE(WaitUntil([&] { return !browser.Connecting(); }));
    EXPECT_EQ(browser.ObjectList().count(), 0);
    EXPECT_TRUE(browser.SelectedPaths().empty());
    EXPECT_EQ(browser.ExplainBox().toPlainText(),
              QString::fromStdString("The computer " + closed + " cannot be reached."));

    // This computer again: listed at once, with nothing of the failure left.
    browser.ComputerField().clear();
    browser.ListComputer();
    EXPECT_FALSE(browser.Connecting());
    EXPECT_EQ(browser.ObjectList().item(0)->text(), QStringLiteral("Processor"));
    EXPECT_EQ(browser.SelectedPaths().front().rfind("\\Processor(", 0), 0u);
    EXPECT_FALSE(browser.ExplainBox().toPlainText().contains(QStringLiteral("cannot be reached")));
}

// Another computer is listed from its metrics page off the window's thread; its counters are
// added with the computer in their paths and the selected one shows its value read from there.
TEST_F(CountersDialogTest, TheBrowserListsAnotherComputersPageAndAddsItsPaths)
{
    const std::string computer = ServeNodePage();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CCountersDlg&>(shown);
        dialogs.scripts.push_back([&](QDialog& opened) {
            auto& browser = dynamic_cast<CCounterBrowserDlg&>(opened);
            EnterComputer(browser, computer);
            // Nothing of the answer can have been taken yet: the window's thread did not wait.
            const QString connecting = QString::fromStdString("Connecting to " + computer + "...");
            ASSERT_TRUE(browser.Connecting());
            EXPECT_EQ(Lines(browser.ObjectList()), std::vector<std::string> {connecting.toStdString()});
            EXPECT_EQ(browser.ExplainBox().toPlainText(), connecting);
            EXPECT_FALSE(browser.AddButton().isEnabled());
            EXPECT_TRUE(browser.SelectedPaths().empty());

            ASSERT_TRUE(WaitUntil([&] { return !browser.Connecting(); }));
            EXPECT_TRUE(browser.AddButton().isEnabled());
            ASSERT_EQ(browser.ObjectList().item(0)->text(), QStringLiteral("Processor"));
            EXPECT_EQ(Lines(browser.InstanceList()), (std::vector<std::string> {"0", "1", "_Total"}))
                << "the page's two processors, not the four of this computer";
            SelectLine(browser.CounterList(), QStringLiteral("% User Time"));
            SelectLine(browser.InstanceList(), QStringLiteral("1"));
            browser.AddButton().click();

            SelectLine(browser.ObjectList(), QStringLiteral("Memory"));
            SelectLine(browser.CounterList(), QStringLiteral("Available Bytes"));
            browser.AddButton().click();
            const QString value = QString::fromStdString("Current value: " + FormatNumber(123456512.0));
            EXPECT_TRUE(WaitUntil([&] { return browser.ExplainBox().toPlainText().endsWith(value); }))
                << browser.ExplainBox().toPlainText().toStdString();
        });
        dialog.AddButton().click();
        EXPECT_EQ(Lines(dialog.CounterList()),
                  (std::vector<std::string> {"1. \\\\" + computer + "\\Processor(1)\\% User Time",
                                             "2. \\\\" + computer + "\\Memory\\Available Bytes"}));
    });
    RunCountersDialog(*app, Doc(), &Frame());
}

// A computer the user has replaced while it was still connecting never shows its answer, and a
// browser closed during a connection never hears of it afterwards.
TEST_F(CountersDialogTest, ALaterComputerSupersedesOneStillConnecting)
{
    const std::string computer = ServeNodePage();
    quel::test::ServerProcess silent;  // accepts and never answers: its listing ends at the deadline
    ASSERT_TRUE(silent.Start(quel::test::FakeMetricsServer("silent")));
    const std::string slow = "127.0.0.1:" + std::to_string(silent.Port());
    dialogs.scripts.push_back([&](QDialog& shown) {
        dialogs.scripts.push_back([&](QDialog& opened) {
            auto& browser = dynamic_cast<CCounterBrowserDlg&>(opened);
            std::vector<QString> explanations;
            const QMetaObject::Connection recording =
                QObject::connect(&browser.ExplainBox(), &QPlainTextEdit::textChanged, &browser,
                                 [&] { explanations.push_back(browser.ExplainBox().toPlainText()); });

            EnterComputer(browser, slow);
            ASSERT_TRUE(browser.Connecting());
            EnterComputer(browser, "");
            EXPECT_FALSE(browser.Connecting()) << "this computer is listed at once";
            EXPECT_EQ(browser.InstanceList().count(), 5);
            EnterComputer(browser, computer);  // waits behind the slow one, then is listed
            ASSERT_TRUE(WaitUntil([&] { return !browser.Connecting(); }));
            // The slow answer was handed over first, if at all: it would show before this one.
            EXPECT_EQ(browser.InstanceList().count(), 3);
            for (const QString& text : explanations)
                EXPECT_FALSE(text.contains(QStringLiteral("cannot be reached"))) << text.toStdString();
            QObject::disconnect(recording);

            EnterComputer(browser, slow);
            ASSERT_TRUE(browser.Connecting());
            browser.CloseButton().click();
        });
        dynamic_cast<CCountersDlg&>(shown).AddButton().click();
    });
    RunCountersDialog(*app, Doc(), &Frame());
    // The browser is gone while its listing still waits for the silent computer; a listing asked
    // now is answered after that one has ended, which reported to no one.
    std::atomic<bool> listed = false;
    app->Lister().List(computer, "", false,
                       [&](std::uint64_t, PerfStatus status, const std::vector<BrowsedObject>&) {
                           listed = status == perf_status::Ok;
                       });
    EXPECT_TRUE(WaitUntil([&] { return listed.load(); }));
}

TEST_F(CountersDialogTest, HelpOpensTheCountersPage)
{
    CCountersDlg dialog(*app, Doc());
    dialog.HelpButton().click();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_NE(ReadFile(shell.opened[0].toLocalFile().toStdString()).find("useit.html#modify"), std::string::npos);
}

} // namespace
} // namespace quel::desktop::test
