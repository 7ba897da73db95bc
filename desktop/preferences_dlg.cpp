#include "desktop/preferences_dlg.h"

#include "desktop/dialog_host.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"
#include "desktop/field_exchange.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/spin_field.h"
#include "engine/counter_monitor.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quel::desktop {

namespace {

constexpr int PercentItems = 11;  // "none", "10" ... "100": item i stands for 10 * i
constexpr int PercentStep = 10;

void FillPercentList(QComboBox& list)
{
    list.addItem(QStringLiteral("none"));
    for (int i = 1; i < PercentItems; ++i)
        list.addItem(QString::number(i * PercentStep));
}

QLabel* Explanation(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

CPreferencesDlg::CPreferencesDlg(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
    : QDialog(parent), app_(app), document_(document)
{
    setWindowTitle(QString::fromLatin1(text::PreferencesCaption));
    CreateControls();
    Initialize();
}

void CPreferencesDlg::CreateControls()
{
    auto* monitoring = new QGroupBox(QStringLiteral(" Monitoring settings "), this);
    interval_ = new CSpinField(monitoring);
    history_ = new CSpinField(monitoring);
    auto* monitoringGrid = new QGridLayout(monitoring);
    monitoringGrid->addWidget(new QLabel(QStringLiteral("Update interval: "), monitoring), 0, 0);
    monitoringGrid->addWidget(interval_, 0, 1);
    monitoringGrid->addWidget(
        Explanation("Timeout in seconds the program will wait between updates of counter values.", monitoring), 0, 2);
    monitoringGrid->addWidget(new QLabel(QStringLiteral("History items: "), monitoring), 1, 0);
    monitoringGrid->addWidget(history_, 1, 1);
    monitoringGrid->addWidget(
        Explanation("The number of last collected values for evaluating the average counter value.", monitoring), 1,
        2);
    monitoringGrid->setColumnStretch(2, 1);

    auto* graph = new QGroupBox(QStringLiteral(" Graph characteristics "), this);
    critical_ = new QComboBox(graph);
    grid_ = new QComboBox(graph);
    FillPercentList(*critical_);
    FillPercentList(*grid_);
    auto* graphGrid = new QGridLayout(graph);
    graphGrid->addWidget(new QLabel(QStringLiteral("Critical range: "), graph), 0, 0);
    graphGrid->addWidget(critical_, 0, 1);
    graphGrid->addWidget(
        Explanation("The border on the graph in percentage to separate normal and critical values.", graph), 0, 2);
    graphGrid->addWidget(new QLabel(QStringLiteral("Grid step: "), graph), 1, 0);
    graphGrid->addWidget(grid_, 1, 1);
    graphGrid->addWidget(
        Explanation("The step in percents for centric circles creating a grid in the field of values.", graph), 1, 2);
    graphGrid->setColumnStretch(2, 1);

    auto* truncation = new QGroupBox(QStringLiteral("Truncation of text in labels "), this);
    truncationGroup_ = new QButtonGroup(this);
    auto* truncationRow = new QHBoxLayout(truncation);
    const char* choices[] = {"no truncation", "truncate in the end", "truncate in front"};
    for (int i = 0; i < 3; ++i) {
        truncation_[static_cast<std::size_t>(i)] = new QRadioButton(QString::fromLatin1(choices[i]), truncation);
        truncationGroup_->addButton(truncation_[static_cast<std::size_t>(i)], i);
        truncationRow->addWidget(truncation_[static_cast<std::size_t>(i)]);
    }
    truncationRow->addStretch(1);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    apply_ = new QPushButton(QStringLiteral("Apply"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {ok_, cancel, apply_, help_})
        buttons->addWidget(button);
    buttons->addStretch(1);

    auto* groups = new QVBoxLayout;
    groups->addWidget(monitoring);
    groups->addWidget(graph);
    groups->addWidget(truncation);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());

    connect(ok_, &QPushButton::clicked, this, &CPreferencesDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CPreferencesDlg::reject);
    connect(apply_, &QPushButton::clicked, this, &CPreferencesDlg::OnApply);
    connect(help_, &QPushButton::clicked, this,
            [this] { app_.ShowHelp(text::DialogHelp + text::PreferencesTemplate); });
    for (CSpinField* field : {interval_, history_})
        connect(field, &CSpinField::TextChanged, this, &CPreferencesDlg::Changed);
    for (QComboBox* list : {critical_, grid_})
        connect(list, &QComboBox::currentIndexChanged, this, &CPreferencesDlg::Changed);
    connect(truncationGroup_, &QButtonGroup::idClicked, this, &CPreferencesDlg::Changed);

    QWidget* order[] = {interval_, history_, critical_, grid_, truncation_[0], truncation_[1], truncation_[2],
                        ok_, cancel, apply_, help_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void CPreferencesDlg::Initialize()
{
    const CounterMonitor& monitor = document_.GetMonitor();
    truncationChoice_ = monitor.GetLabelTrunc();
    initializing_ = true;
    if (truncationChoice_ >= 0 && truncationChoice_ < 3)
        truncation_[static_cast<std::size_t>(truncationChoice_)]->setChecked(true);
    history_->SetRange(MinHistory, MaxHistory);
    interval_->SetRange(MinInterval, MaxInterval);
    const MonitorSettings settings = monitor.GetSettings();
    history_->SetPosition(settings.History);
    interval_->SetPosition(settings.Interval);
    grid_->setCurrentIndex(std::clamp(monitor.GetGridStep() / PercentStep, 0, PercentItems - 1));
    critical_->setCurrentIndex(std::clamp(monitor.GetCriticalBorder() / PercentStep, 0, PercentItems - 1));
    apply_->setEnabled(false);
    initializing_ = false;
}

void CPreferencesDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

void CPreferencesDlg::Changed()
{
    if (!initializing_)
        apply_->setEnabled(true);
}

bool CPreferencesDlg::ControlsToMembers()
{
    const struct {
        CSpinField* field;
        int minimum, maximum;
        int* member;
    } checks[] = {
        {history_, MinHistory, MaxHistory, &historyValue_},
        {interval_, MinInterval, MaxInterval, &intervalValue_},
    };
    for (const auto& check : checks) {
        const IntegerField read = ReadInteger(check.field->text().toStdString(), check.minimum, check.maximum,
                                              *check.member);
        if (read != IntegerField::Ok) {
            app_.GetPrompt().Message(
                QString::fromStdString(IntegerFieldMessage(read, check.minimum, check.maximum)));
            check.field->setFocus();
            check.field->selectAll();
            return false;
        }
    }
    truncationChoice_ = truncationGroup_->checkedId();
    return true;
}

void CPreferencesDlg::Store()
{
    CounterMonitor& monitor = document_.GetMonitor();
    MonitorSettings settings = monitor.GetSettings();
    settings.History = history_->Position();  // above 65535 when unreadable: ApplySettings keeps the old value
    settings.Interval = interval_->Position();
    monitor.ApplySettings(settings);
    monitor.SetGridStep(grid_->currentIndex() * PercentStep);
    monitor.SetCriticalBorder(critical_->currentIndex() * PercentStep);
    if (truncationGroup_->checkedId() >= 0)
        monitor.SetLabelTrunc(truncationGroup_->checkedId());
}

void CPreferencesDlg::OnApply()
{
    ControlsToMembers();  // a range message may appear; the store runs in any case
    Store();
    document_.RefreshViews();
    apply_->setEnabled(false);
}

void CPreferencesDlg::accept()
{
    const bool valid = ControlsToMembers();
    Store();
    if (valid)
        QDialog::accept();
}

} // namespace quel::desktop
