#include "desktop/new_profile_wizard.h"

#include "desktop/dialog_host.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"
#include "desktop/quellarimond_doc.h"
#include "engine/counter_monitor.h"
#include "engine/standard_counter_set.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quel::desktop {

namespace {

struct CounterChoice {
    const char* text;
    unsigned bit;
    bool initially;
};

// Left column, then right column.
constexpr std::array<CounterChoice, CNewProfileWizard::CounterBoxCount> CounterChoices = {{
    {"CPU utilization", CpuUtilization, true},
    {"Total number of processes", TotalProcesses, true},
    {"Total number of threads", TotalThreads, true},
    {"Physical memory usage", PhysicalMemory, true},
    {"Virtual memory usage", VirtualMemory, true},
    {"Registry space usage", RegistrySpace, false},
    {"Total disk space usage", TotalDiskSpace, true},
    {"Each disk space usage", EachDiskSpace, false},
    {"Total hard drive accessing time", TotalDriveTime, true},
    {"Each hard drive accessing time", EachDriveTime, false},
    {"Network utilization", NetworkUtilization, false},
    {"Total number of server sessions", TotalSessions, false},
}};

// Column by column; the initial states are the defaults of a new profile.
enum VisualIndex : std::size_t {
    ShowCurrentBox, ShowAverageBox, ShowMaxBox,
    BoldCurBox, BoldAvgBox, BoldMaxBox,
    NamesBox, ValuesBox, GridBox,
};
constexpr std::array<std::pair<const char*, bool>, CNewProfileWizard::VisualBoxCount> VisualChoices = {{
    {"Current values (yellow)", true},
    {"Average values (green)", true},
    {"Maximal values (cyan)", false},
    {"Bold current line", false},
    {"Bold average line", true},
    {"Bold maximal line", false},
    {"Axis names", true},
    {"Measured values", true},
    {"Grid circles", true},
}};

constexpr int GridStepWhenOn = 20;
constexpr std::size_t CounterRows = 6;
constexpr std::size_t VisualRows = 3;

} // namespace

CNewProfileWizard::CNewProfileWizard(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
    : QDialog(parent), app_(app), document_(document)
{
    setWindowTitle(QString::fromLatin1(text::WizardCaption));
    CreateControls();
}

void CNewProfileWizard::CreateControls()
{
    auto* counterGroup =
        new QGroupBox(QStringLiteral("Select what you want to monitor. For more options press Counters button."), this);
    auto* counterGrid = new QGridLayout(counterGroup);
    for (std::size_t i = 0; i < CounterBoxCount; ++i) {
        QCheckBox* box = new QCheckBox(QString::fromLatin1(CounterChoices[i].text), counterGroup);
        box->setChecked(CounterChoices[i].initially);
        counterGrid->addWidget(box, static_cast<int>(i % CounterRows), static_cast<int>(i / CounterRows));
        connect(box, &QCheckBox::clicked, this, [this, i] { OnCounterClicked(i); });
        counterBoxes_[i] = box;
    }

    auto* visualGroup = new QGroupBox(QStringLiteral("Visual effects to begin with"), this);
    auto* visualGrid = new QGridLayout(visualGroup);
    for (std::size_t i = 0; i < VisualBoxCount; ++i) {
        QCheckBox* box = new QCheckBox(QString::fromLatin1(VisualChoices[i].first), visualGroup);
        box->setChecked(VisualChoices[i].second);
        visualGrid->addWidget(box, static_cast<int>(i % VisualRows), static_cast<int>(i / VisualRows));
        connect(box, &QCheckBox::clicked, this, &CNewProfileWizard::OnVisualClicked);
        visualBoxes_[i] = box;
    }

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    counters_ = new QPushButton(QStringLiteral("Counters..."), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CNewProfileWizard::accept);
    connect(cancel_, &QPushButton::clicked, this, &CNewProfileWizard::reject);
    connect(counters_, &QPushButton::clicked, this, &CNewProfileWizard::OnCounters);
    connect(help_, &QPushButton::clicked, this, &CNewProfileWizard::OnHelp);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {ok_, cancel_, counters_, help_})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counterGroup);
    layout->addWidget(visualGroup);
    layout->addLayout(buttons);
}

void CNewProfileWizard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

unsigned CNewProfileWizard::CounterFlags() const
{
    unsigned flags = 0;
    for (std::size_t i = 0; i < CounterBoxCount; ++i) {
        if (counterBoxes_[i]->isChecked())
            flags |= CounterChoices[i].bit;
    }
    return flags;
}

void CNewProfileWizard::OnCounterClicked(std::size_t index)
{
    const unsigned flags = CounterFlags();
    // A click that cannot be carried out is undone without a message, as is a cancel.
    const bool changed = document_.ChangeSampling(
        [flags](CounterMonitor& monitor) {
            BuildStandardCounterSet(false, flags, monitor);
            return true;
        },
        {.quiet = true});
    if (!changed)
        counterBoxes_[index]->setChecked(!counterBoxes_[index]->isChecked());  // the click is undone
    document_.RefreshViews();
}

void CNewProfileWizard::OnVisualClicked()
{
    const auto on = [this](VisualIndex box) { return visualBoxes_[box]->isChecked() ? 1 : 0; };
    CounterMonitor& monitor = document_.GetMonitor();
    MonitorSettings settings = monitor.GetSettings();
    settings.ShowCurrent = on(ShowCurrentBox);
    settings.ShowAverage = on(ShowAverageBox);
    settings.ShowMax = on(ShowMaxBox);
    settings.BoldCur = on(BoldCurBox);
    settings.BoldAvg = on(BoldAvgBox);
    settings.BoldMax = on(BoldMaxBox);
    monitor.ApplySettings(settings);
    monitor.ApplyDisplaySettings();
    monitor.SetShowNames(on(NamesBox));
    monitor.SetShowValues(on(ValuesBox));
    monitor.SetGridStep(on(GridBox) ? GridStepWhenOn : 0);
    document_.RefreshViews();
}

void CNewProfileWizard::reject()
{
    document_.ChangeSampling(
        [](CounterMonitor& monitor) {
            BuildStandardCounterSet(true, DefaultStandardCounters, monitor);
            monitor.ResetSettings();
            return true;
        },
        {.quiet = true});
    document_.RefreshViews();
    QDialog::reject();
}

void CNewProfileWizard::OnCounters()
{
    done(CountersResult);
}

void CNewProfileWizard::OnHelp()
{
    app_.ShowHelp(text::DialogHelp + text::WizardTemplate);
}

} // namespace quel::desktop
