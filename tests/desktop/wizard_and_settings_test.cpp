// The new-profile wizard and the three settings dialogs (Preferences, Log Settings, Monitor
// Remote Host) on the fixture machine.

#include "tests/desktop/desktop_test_support.h"

#include "tests/desktop/gated_source.h"
#include "tests/engine/fake_clock.h"

#include "desktop/main_frame.h"
#include "desktop/document_dialogs.h"
#include "desktop/counter_browser_dlg.h"
#include "desktop/counters_dlg.h"
#include "desktop/log_settings_dlg.h"
#include "desktop/new_profile_wizard.h"
#include "desktop/preferences_dlg.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/remote_host_dlg.h"
#include "desktop/spin_field.h"
#include "engine/counter_monitor.h"
#include "engine/sampling_control.h"
#include "engine/standard_counter_set.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>

namespace quel::desktop::test {
namespace {

constexpr const char* Marker = "not restarted";

std::vector<std::string> AxisNames(const CounterMonitor& monitor)
{
    std::vector<std::string> names;
    for (int i = 0; i < monitor.GetAxisCount(); ++i) {
        std::optional<std::string> name;
        monitor.GetAxisName(i, name);
        names.push_back(name.value_or(""));
    }
    return names;
}

class WizardTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        Start();
        dialogs.shown.clear();
    }

    // Once the sampling thread has cleared "Loading...", a marker in the status text tells
    // whether sampling is restarted.
    void MarkSampling()
    {
        ASSERT_TRUE(WaitUntil([&] { return Monitor().GetStatusText().empty(); }));
        Monitor().SetStatusText(Marker);
    }

    std::vector<std::string> DefaultAxes()
    {
        CounterMonitor reference(MonitorEnvironment {.source = source.get(), .screen = Screen});
        BuildStandardCounterSet(true, DefaultStandardCounters, reference);
        return AxisNames(reference);
    }
};

TEST_F(WizardTest, StartsOnTheDefaultChoiceAndDisplay)
{
    EXPECT_TRUE(app->Document()->WizardAfterStart());
    CNewProfileWizard wizard(*app, Doc());
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Create Monitoring Profile - Quellarimond Wizard"));
    EXPECT_EQ(wizard.CounterFlags(), 3889u);
    // The fixture has four processors: four processor axes and the six totals.
    EXPECT_EQ(AxisNames(Monitor()).size(), 10u);
    EXPECT_EQ(AxisNames(Monitor()), DefaultAxes());
    const MonitorSettings settings = Monitor().GetSettings();
    const bool visual[] = {settings.ShowCurrent != 0, settings.ShowAverage != 0, settings.ShowMax != 0,
                           settings.BoldCur != 0,     settings.BoldAvg != 0,     settings.BoldMax != 0,
                           Monitor().GetShowNames() != 0, Monitor().GetShowValues() != 0,
                           Monitor().GetGridStep() == 20};
    for (std::size_t i = 0; i < CNewProfileWizard::VisualBoxCount; ++i)
        EXPECT_EQ(wizard.VisualBox(i).isChecked(), visual[i]) << wizard.VisualBox(i).text().toStdString();
    EXPECT_EQ(wizard.CounterBox(0).text(), QStringLiteral("CPU utilization"));
    EXPECT_EQ(wizard.CounterBox(6).text(), QStringLiteral("Total disk space usage"));
}

TEST_F(WizardTest, UncheckingAllTwelveLeavesNoAxesAndSamplingRuns)
{
    CNewProfileWizard wizard(*app, Doc());
    wizard.show();
    for (std::size_t i = 0; i < CNewProfileWizard::CounterBoxCount; ++i) {
        if (wizard.CounterBox(i).isChecked())
            wizard.CounterBox(i).click();
    }
    EXPECT_EQ(wizard.CounterFlags(), 0u);
    EXPECT_EQ(Monitor().GetAxisCount(), 0);
    EXPECT_TRUE(SamplingRunning());
    wizard.CounterBox(10).click();  // Network utilization: the fixture's two interfaces
    EXPECT_EQ(Monitor().GetAxisCount(), 2);
}

TEST_F(WizardTest, GridCirclesGiveZeroAndTwentyWhateverTheStepWas)
{
    Monitor().SetGridStep(30);
    MarkSampling();
    CNewProfileWizard wizard(*app, Doc());
    wizard.show();
    QCheckBox& grid = wizard.VisualBox(8);
    ASSERT_EQ(grid.text(), QStringLiteral("Grid circles"));
    grid.click();
    EXPECT_EQ(Monitor().GetGridStep(), 0);
    grid.click();
    EXPECT_EQ(Monitor().GetGridStep(), 20);
    wizard.VisualBox(2).click();  // Maximal values
    EXPECT_EQ(Monitor().GetSettings().ShowMax, 1);
    EXPECT_EQ(Monitor().GetStatusText(), Marker) << "a visual box does not interrupt sampling";
}

TEST_F(WizardTest, CancelAfterChangesReturnsToTheDefaults)
{
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& wizard = dynamic_cast<CNewProfileWizard&>(shown);
        wizard.CounterBox(0).click();
        wizard.CounterBox(10).click();
        wizard.VisualBox(0).click();
        wizard.VisualBox(8).click();
        MonitorSettings settings = Monitor().GetSettings();
        settings.Interval = 7;
        settings.CurColor = 0x123456;
        Monitor().ApplySettings(settings);
        QTest::keyClick(&wizard, Qt::Key_Escape);
        EXPECT_FALSE(wizard.isVisible());
    });
    RunNewProfileWizard(*app, Doc(), &Frame());
    EXPECT_EQ(AxisNames(Monitor()), DefaultAxes());
    EXPECT_EQ(Monitor().GetSettings(), DefaultMonitorSettings(Screen));
    EXPECT_EQ(Monitor().GetGridStep(), 20);
    EXPECT_TRUE(SamplingRunning());
}

TEST_F(WizardTest, CountersOpensTheCountersDialogOnTheNewChoice)
{
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& wizard = dynamic_cast<CNewProfileWizard&>(shown);
        wizard.CounterBox(10).click();
        wizard.CountersButton().click();
        EXPECT_EQ(wizard.result(), 18);
    });
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& counters = dynamic_cast<CCountersDlg&>(shown);
        EXPECT_EQ(counters.GetWorkingList().size(), 12u);
        EXPECT_EQ(counters.GetWorkingList().back().path, "\\Network Interface(wlan0)\\Bytes Total/sec");
    });
    RunNewProfileWizard(*app, Doc(), &Frame());
    EXPECT_EQ(dialogs.shown, (std::vector<QString> {QStringLiteral("quel::desktop::CNewProfileWizard"),
                                                   QStringLiteral("quel::desktop::CCountersDlg")}));
    EXPECT_EQ(Monitor().GetAxisCount(), 12);
}

TEST_F(WizardTest, OkAtOnceKeepsTheDefaultProfileAndFileNewRunsTheWizard)
{
    prompt.defaultAnswer = Answer::No;
    ASSERT_TRUE(app->OnFileNew());
    EXPECT_EQ(dialogs.shown, (std::vector<QString> {QStringLiteral("quel::desktop::CNewProfileWizard")}));
    EXPECT_EQ(AxisNames(Monitor()), DefaultAxes());
    EXPECT_EQ(Monitor().GetSettings(), DefaultMonitorSettings(Screen));
}

TEST_F(WizardTest, AProfileComposedInTheDialogsIsSavedReopenedAndLogged)
{
    const std::string added = "\\System\\Context Switches/sec";
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& wizard = dynamic_cast<CNewProfileWizard&>(shown);
        wizard.CounterBox(0).click();  // no processors
        wizard.CountersButton().click();
    });
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& counters = dynamic_cast<CCountersDlg&>(shown);
        dialogs.scripts.push_back([&](QDialog& opened) {
            auto& browser = dynamic_cast<CCounterBrowserDlg&>(opened);
            QTest::keyClicks(&browser.FilterField(), QStringLiteral("context"));
            ASSERT_EQ(browser.CounterList().count(), 1);
            browser.CounterList().item(0)->setSelected(true);
            browser.AddButton().click();
            browser.CloseButton().click();
        });
        counters.AddButton().click();
        counters.OkButton().click();
    });
    RunNewProfileWizard(*app, Doc(), &Frame());
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& log = dynamic_cast<CLogSettingsDlg&>(shown);
        log.ModeGroup().button(1)->click();  // everything
        log.OkButton().click();
    });
    RunLogSettingsDialog(*app, Doc(), &Frame());
    const std::vector<std::string> composed = AxisNames(Monitor());
    ASSERT_EQ(composed.size(), 7u);
    EXPECT_EQ(composed.back(), added);

    const std::string path = root + "composed.qlmd";
    prompt.saveName = QString::fromStdString(path);
    ASSERT_TRUE(app->OnFileSaveAs());
    prompt.defaultAnswer = Answer::No;
    ASSERT_TRUE(app->OnFileNew());
    ASSERT_NE(AxisNames(Monitor()), composed);
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(path)));
    EXPECT_EQ(AxisNames(Monitor()), composed);
    EXPECT_EQ(Monitor().GetSettings().LogMode, 1);
    const std::string log = Monitor().GetLogPath();
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(log).find("Context Switches/sec") != std::string::npos; })) << log;
    EXPECT_TRUE(prompt.messages.empty());
}

// A sampling thread held in its query, as by a slow network, cannot be stopped.
class StopFailureTest : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        clock = &fakeClock_;
        UseGatedSource();
        Start({QString::fromStdString(MakeProfile(root + "Slow.qlmd"))});
        axes_ = AxisNames(Monitor());
        ASSERT_FALSE(axes_.empty());
    }

    std::vector<std::string> axes_;

private:
    quel::test::FakeClock fakeClock_;
};

TEST_F(StopFailureTest, AWizardClickIsUndoneSilentlyAndCancelClosesWithoutAReset)
{
    CNewProfileWizard wizard(*app, Doc());
    wizard.show();
    wizard.CounterBox(10).click();
    EXPECT_FALSE(wizard.CounterBox(10).isChecked());
    EXPECT_EQ(wizard.CounterFlags(), 3889u);
    EXPECT_EQ(AxisNames(Monitor()), axes_);
    wizard.VisualBox(2).click();  // a visual box needs no stop
    EXPECT_EQ(Monitor().GetSettings().ShowMax, 1);
    wizard.CancelButton().click();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(Monitor().GetSettings().ShowMax, 1) << "no reset without a stop";
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(StopFailureTest, ARebuildIsRefusedWithTheMessageAndTheListKeepsItsChanges)
{
    CCountersDlg dialog(*app, Doc());
    dialog.show();
    dialog.ClearAllButton().click();
    dialog.ApplyButton().click();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].startsWith(QStringLiteral("Cannot stop counter collecting process.")));
    EXPECT_EQ(AxisNames(Monitor()), axes_);
    EXPECT_TRUE(dialog.ListChanged());
    EXPECT_FALSE(dialog.ApplyButton().isEnabled());
    gate->Open();
    // The refused stop stays asked for: once let go, the sampling thread ends.
    ASSERT_TRUE(WaitUntil([] {
        SamplingControl& control = SamplingControl::Instance();
        std::lock_guard guard(control.lock);
        return !control.running;
    }));
    dialog.ApplyToMonitor();  // what the document runs after OK
    EXPECT_EQ(Monitor().GetAxisCount(), 0);
    EXPECT_FALSE(dialog.ListChanged());
}

// --- settings dialogs ----------------------------------------------------------------------

using SettingsTest = WizardTest;

TEST_F(SettingsTest, PreferencesShowTheListItemBelowAStepAndStoreIt)
{
    Monitor().SetGridStep(25);
    Monitor().SetCriticalBorder(0);
    CPreferencesDlg dialog(*app, Doc());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Preferences - Quellarimond"));
    EXPECT_EQ(dialog.GridList().currentText(), QStringLiteral("20"));
    EXPECT_EQ(dialog.CriticalList().currentText(), QStringLiteral("none"));
    EXPECT_EQ(dialog.CriticalList().count(), 11);
    EXPECT_EQ(dialog.IntervalField().text(), QStringLiteral("2"));
    EXPECT_EQ(dialog.HistoryField().text(), QString::number(Monitor().GetSettings().History));
    EXPECT_FALSE(dialog.ApplyButton().isEnabled());
    dialog.OkButton().click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Monitor().GetGridStep(), 20);
    EXPECT_EQ(Monitor().GetCriticalBorder(), 0);
}

TEST_F(SettingsTest, AnIntervalOutOfRangeIsReportedAndNotTaken)
{
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CPreferencesDlg&>(shown);
        QLineEdit& interval = *dialog.IntervalField().findChild<QLineEdit*>();
        interval.selectAll();
        QTest::keyClicks(&interval, QStringLiteral("150"));
        EXPECT_EQ(dialog.IntervalField().text(), QStringLiteral("150")) << "the field takes what is typed";
        EXPECT_TRUE(dialog.ApplyButton().isEnabled());
        EXPECT_GT(dialog.IntervalField().Position(), 65535);
        dialog.OkButton().click();
        EXPECT_TRUE(dialog.isVisible());
        dialog.CriticalList().setCurrentIndex(9);
        dialog.IntervalField().SetPosition(9);
        dialog.OkButton().click();
    });
    RunPreferencesDialog(*app, Doc(), &Frame());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("Please enter an integer between 1 and 120."));
    EXPECT_EQ(Monitor().GetSettings().Interval, 9);
    EXPECT_EQ(Monitor().GetCriticalBorder(), 90);
    EXPECT_TRUE(Doc().GetDocumentModified());
}

TEST_F(SettingsTest, HistoryIsCheckedBeforeTheInterval)
{
    CPreferencesDlg dialog(*app, Doc());
    dialog.show();
    dialog.HistoryField().findChild<QLineEdit*>()->setText(QString());
    dialog.IntervalField().findChild<QLineEdit*>()->setText(QStringLiteral("0"));
    const int history = Monitor().GetSettings().History;
    dialog.OkButton().click();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("Please enter an integer."));
    EXPECT_EQ(Monitor().GetSettings().History, history);
    EXPECT_EQ(Monitor().GetSettings().Interval, 2);
    dialog.HistoryField().SetPosition(2);
    dialog.ApplyButton().click();  // the message again, and the store of what is valid
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1], QStringLiteral("Please enter an integer between 1 and 120."));
    EXPECT_EQ(Monitor().GetSettings().History, 2);
}

TEST_F(SettingsTest, OnlyTheTruncationChangedRedrawsWithoutARestartAndMarksTheProfile)
{
    Monitor().SetModified(0);
    MarkSampling();
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CPreferencesDlg&>(shown);
        ASSERT_EQ(Monitor().GetLabelTrunc(), 2);
        dialog.TruncationRadio(0).click();
        EXPECT_TRUE(dialog.ApplyButton().isEnabled());
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    RunPreferencesDialog(*app, Doc(), &Frame());
    EXPECT_EQ(Monitor().GetLabelTrunc(), 0);
    EXPECT_TRUE(Doc().GetDocumentModified());
    EXPECT_EQ(Monitor().GetStatusText(), Marker);
}

TEST_F(SettingsTest, TheSpinFieldStepsWithinItsRange)
{
    CSpinField field;
    field.SetRange(1, 120);
    field.SetPosition(1);
    field.show();
    QTest::keyClick(&field, Qt::Key_Up);
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(field.Position(), 3);
    QTest::keyClick(&field, Qt::Key_Down);
    EXPECT_EQ(field.Position(), 2);
    field.SetPosition(119);
    field.stepBy(5);
    EXPECT_EQ(field.Position(), 120);
    field.SetPosition(500);
    EXPECT_EQ(field.text(), QStringLiteral("120"));
    QTest::keyClicks(field.findChild<QLineEdit*>(), QStringLiteral("x1,0"));
    EXPECT_EQ(field.text(), QStringLiteral("12010")) << "digits only, no separators";
    EXPECT_EQ(field.Position(), CSpinField::ErrorFlag | 120);
}

TEST_F(SettingsTest, LogSettingsRefuseASizeOfZero)
{
    CLogSettingsDlg dialog(*app);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Log Settings - Quellarimond"));
    EXPECT_EQ(dialog.SizeField().text(), QStringLiteral("64"));
    EXPECT_EQ(dialog.ModeGroup().checkedId(), -1);
    dialog.SetValues(1, 0, 0);
    dialog.show();
    dialog.OkButton().click();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], QStringLiteral("Please enter an integer between 1 and 10240."));
    EXPECT_TRUE(dialog.isVisible());
    dialog.SizeField().setText(QStringLiteral("12k"));
    dialog.OkButton().click();
    EXPECT_EQ(prompt.messages.back(), QStringLiteral("Please enter an integer."));
    dialog.SizeField().setText(QStringLiteral("10240"));
    dialog.OkButton().click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.FileSize(), 10240);
}

TEST_F(SettingsTest, HtmlToCsvReopensTheLogWithANewSection)
{
    MonitorSettings settings = Monitor().GetSettings();
    settings.LogMode = 1;
    Monitor().ApplySettings(settings);
    const std::string html = Monitor().GetLogPath();
    ASSERT_TRUE(html.ends_with("-log.html")) << html;
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CLogSettingsDlg&>(shown);
        EXPECT_EQ(dialog.ModeGroup().checkedId(), 1);
        EXPECT_EQ(dialog.FormatGroup().checkedId(), 0);
        dialog.FormatGroup().button(1)->click();
        dialog.ModeGroup().button(2)->click();
        dialog.OkButton().click();
    });
    RunLogSettingsDialog(*app, Doc(), &Frame());
    EXPECT_EQ(Monitor().GetSettings().LogFormat, 1);
    EXPECT_EQ(Monitor().GetSettings().LogMode, 2);
    const std::string csv = Monitor().GetLogPath();
    EXPECT_TRUE(csv.ends_with("-log.csv")) << csv;
    ASSERT_TRUE(std::filesystem::exists(csv));
    EXPECT_FALSE(ReadFile(csv).empty()) << "a new section begins";
}

TEST_F(SettingsTest, RemoteHostTakesTheNameAsTypedAndBlankMeansThisComputer)
{
    dialogs.scripts.push_back([&](QDialog& shown) {
        auto& dialog = dynamic_cast<CRemoteHostDlg&>(shown);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Monitor Remote Host - Quellarimond"));
        QTest::keyClicks(&dialog.ComputerField(), QStringLiteral("srv1 "));
        dialog.OkButton().click();
    });
    RunConnectToDialog(*app, Doc(), &Frame());
    std::string path;
    Monitor().GetCounterPath(0, path);
    EXPECT_EQ(path.rfind("\\\\srv1 \\", 0), 0u) << path;

    dialogs.scripts.push_back([&](QDialog& shown) { dynamic_cast<CRemoteHostDlg&>(shown).OkButton().click(); });
    RunConnectToDialog(*app, Doc(), &Frame());
    for (int i = 0; i < Monitor().GetAxisCount(); ++i) {
        Monitor().GetCounterPath(i, path);
        EXPECT_EQ(path.rfind("\\\\", 0), std::string::npos) << path;
    }
    EXPECT_TRUE(SamplingRunning());
}

TEST_F(SettingsTest, HelpButtonsOpenTheirPages)
{
    const auto target = [&] { return ReadFile(shell.opened.back().toLocalFile().toStdString()); };
    CNewProfileWizard wizard(*app, Doc());
    wizard.HelpButton().click();
    EXPECT_NE(target().find("useit.html#new"), std::string::npos);
    CPreferencesDlg preferences(*app, Doc());
    preferences.HelpButton().click();
    EXPECT_NE(target().find("useit.html#options"), std::string::npos);
    CLogSettingsDlg log(*app);
    log.HelpButton().click();
    EXPECT_NE(target().find("log.html#config"), std::string::npos);
    CRemoteHostDlg remote(*app);
    remote.HelpButton().click();
    EXPECT_NE(target().find("useit.html#remote"), std::string::npos);
    EXPECT_EQ(shell.opened.size(), 4u);
}

} // namespace
} // namespace quel::desktop::test
