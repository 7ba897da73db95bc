#include "desktop/counters_dlg.h"

#include "desktop/counter_browser_dlg.h"
#include "desktop/dialog_host.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"
#include "desktop/field_exchange.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/remote_host_dlg.h"
#include "desktop/retarget_counters.h"
#include "desktop/string_table.h"
#include "engine/counter_monitor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quel::desktop {

namespace {

QString FromText(const std::string& text)
{
    return QString::fromStdString(text);
}

QString Number(double value)
{
    return QString::fromStdString(FormatNumber(value));
}

} // namespace

CCountersDlg::CCountersDlg(DialogHost& app, CQuellarimondDoc& document, QWidget* parent)
    : QDialog(parent), app_(app), document_(document)
{
    setWindowTitle(QString::fromLatin1(text::CountersCaption));
    CreateControls();
    Connect();

    list_ = ReadWorkingList(document_.GetMonitor());
    FillList();
    listChanged_ = false;
    currentEntry_ = 0;
    skipNextStore_ = true;
    SelectLine(0);
    UpdateMoveButtons();
    apply_->setEnabled(false);
}

void CCountersDlg::CreateControls()
{
    auto* listGroup = new QGroupBox(QStringLiteral(" List of monitoring counters "), this);
    counterList_ = new QListWidget(listGroup);
    counterList_->setSelectionMode(QAbstractItemView::SingleSelection);
    counterList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    counterList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    counterList_->setSortingEnabled(false);
    counterList_->setMinimumWidth(420);
    add_ = new QPushButton(QStringLiteral(" Add..."), listGroup);
    delete_ = new QPushButton(QStringLiteral("Delete"), listGroup);
    clearAll_ = new QPushButton(QStringLiteral("Clear All"), listGroup);
    up_ = new QPushButton(QStringLiteral(" Up "), listGroup);
    down_ = new QPushButton(QStringLiteral(" Down "), listGroup);
    costly_ = new QCheckBox(QStringLiteral("Include costly objects when browsing performance counters on adding"),
                            listGroup);
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* button : {add_, delete_, clearAll_, up_, down_})
        listButtons->addWidget(button);
    listButtons->addStretch(1);
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(counterList_, 1);
    listLayout->addLayout(listButtons);
    listLayout->addWidget(costly_);

    auto* fieldGroup = new QGroupBox(QStringLiteral(" Selected counter "), this);
    label_ = new QLineEdit(fieldGroup);
    min_ = new QLineEdit(fieldGroup);
    max_ = new QLineEdit(fieldGroup);
    critical_ = new QLineEdit(fieldGroup);
    scale_ = new QLineEdit(fieldGroup);
    inverse_ = new QCheckBox(QStringLiteral("Inverse"), fieldGroup);
    auto* fields = new QGridLayout(fieldGroup);
    fields->addWidget(new QLabel(QStringLiteral("Axis label: "), fieldGroup), 0, 0);
    fields->addWidget(label_, 0, 1, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Min value: "), fieldGroup), 1, 0);
    fields->addWidget(min_, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("Max value: "), fieldGroup), 1, 2);
    fields->addWidget(max_, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Critical value: "), fieldGroup), 2, 0);
    fields->addWidget(critical_, 2, 1);
    fields->addWidget(new QLabel(QStringLiteral("Scale: "), fieldGroup), 2, 2);
    fields->addWidget(scale_, 2, 3);
    fields->addWidget(inverse_, 3, 0, 1, 4);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    computer_ = new QPushButton(QStringLiteral("Computer..."), this);
    apply_ = new QPushButton(QStringLiteral("Apply"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {ok_, cancel_, computer_, apply_, help_})
        buttons->addWidget(button);
    buttons->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(listGroup, 1);
    left->addWidget(fieldGroup);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    QWidget* order[] = {counterList_, add_, delete_, clearAll_, up_, down_, costly_, label_, min_, max_,
                        critical_, scale_, inverse_, ok_, cancel_, computer_, apply_, help_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void CCountersDlg::Connect()
{
    connect(add_, &QPushButton::clicked, this, &CCountersDlg::OnAdd);
    connect(delete_, &QPushButton::clicked, this, &CCountersDlg::OnDelete);
    connect(clearAll_, &QPushButton::clicked, this, &CCountersDlg::OnClearAll);
    connect(up_, &QPushButton::clicked, this, &CCountersDlg::OnUp);
    connect(down_, &QPushButton::clicked, this, &CCountersDlg::OnDown);
    connect(ok_, &QPushButton::clicked, this, &CCountersDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CCountersDlg::reject);
    connect(computer_, &QPushButton::clicked, this, &CCountersDlg::OnComputer);
    connect(apply_, &QPushButton::clicked, this, &CCountersDlg::OnApply);
    connect(help_, &QPushButton::clicked, this, &CCountersDlg::OnHelp);
    connect(counterList_, &QListWidget::itemSelectionChanged, this, [this] { UpdateMoveButtons(); });
    for (QLineEdit* field : {label_, min_, max_, critical_, scale_})
        connect(field, &QLineEdit::textEdited, this, [this] { apply_->setEnabled(true); });
    connect(inverse_, &QCheckBox::clicked, this, [this] { apply_->setEnabled(true); });
}

void CCountersDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

bool CCountersDlg::IncludeCostly() const
{
    return costly_->isChecked();
}

// --- field exchange ------------------------------------------------------------------------

bool CCountersDlg::ControlsToMembers()
{
    const AxisFieldTexts texts {label_->text().toStdString(), min_->text().toStdString(),
                                max_->text().toStdString(), critical_->text().toStdString(),
                                scale_->text().toStdString()};
    CounterEntry read = fields_;
    if (const std::optional<AxisFieldError> error = ReadAxisFields(texts, read)) {
        Message(QString::fromLatin1(error->message));
        QLineEdit& field = FieldOf(error->field);
        field.setFocus();
        field.selectAll();
        return false;
    }
    read.inverse = inverse_->isChecked() ? 1 : 0;
    fields_ = read;
    return true;
}

void CCountersDlg::MembersToControls()
{
    label_->setText(FromText(fields_.label));
    min_->setText(Number(fields_.min));
    max_->setText(Number(fields_.max));
    critical_->setText(Number(fields_.critical));
    scale_->setText(Number(fields_.scale));
    inverse_->setChecked(fields_.inverse != 0);
}

QLineEdit& CCountersDlg::FieldOf(AxisField field) const
{
    switch (field) {
    case AxisField::Label:
        return *label_;
    case AxisField::Min:
        return *min_;
    case AxisField::Max:
        return *max_;
    case AxisField::Critical:
        return *critical_;
    default:
        return *scale_;
    }
}

void CCountersDlg::LoadSelected()
{
    if (currentEntry_ < 0 || currentEntry_ >= static_cast<int>(list_.size()))
        fields_ = NewCounterEntry(std::string());
    else
        fields_ = list_[static_cast<std::size_t>(currentEntry_)];
    MembersToControls();
}

bool CCountersDlg::StoreSelected()
{
    if (currentEntry_ < 0 || currentEntry_ >= static_cast<int>(list_.size()))
        return true;
    if (!ControlsToMembers())
        return false;
    CounterEntry& entry = list_[static_cast<std::size_t>(currentEntry_)];
    CounterEntry stored = fields_;
    stored.path = entry.path;
    if (stored != entry) {
        entry = stored;
        axesChanged_ = true;
    }
    MembersToControls();
    return true;
}

// --- the list ------------------------------------------------------------------------------

void CCountersDlg::FillList()
{
    {
        const QSignalBlocker blocker(counterList_);
        counterList_->clear();
        for (std::size_t i = 0; i < list_.size(); ++i)
            counterList_->addItem(FromText(CounterListLine(i, list_[i].path)));
    }
    if (currentEntry_ != -1)
        SelectLine(currentEntry_);
    EnableMoveButtons();  // the selection above changed without a signal
    listChanged_ = true;
    apply_->setEnabled(true);
    const bool any = !list_.empty();
    clearAll_->setEnabled(any);
    delete_->setEnabled(any);
    computer_->setEnabled(any);
    MembersToControls();
}

void CCountersDlg::UpdateMoveButtons()
{
    if (!skipNextStore_)
        StoreSelected();  // an invalid field is reported and dropped
    skipNextStore_ = false;
    currentEntry_ = SelectedLine();
    EnableMoveButtons();
    LoadSelected();
}

// Up and Down as the selected line allows: no Up on the first line, no Down on the last.
void CCountersDlg::EnableMoveButtons()
{
    const int selected = SelectedLine();
    const int count = static_cast<int>(list_.size());
    up_->setEnabled(selected > 0 && selected < count);
    down_->setEnabled(selected >= 0 && selected < count - 1);
}

void CCountersDlg::SelectLine(int line)
{
    const QSignalBlocker blocker(counterList_);
    if (line >= 0 && line < counterList_->count())
        counterList_->setCurrentRow(line);
}

int CCountersDlg::SelectedLine() const
{
    const QList<QListWidgetItem*> selected = counterList_->selectedItems();
    return selected.isEmpty() ? -1 : counterList_->row(selected.front());
}

void CCountersDlg::SwapEntries(int a, int b)
{
    const int count = static_cast<int>(list_.size());
    if (a < 0 || b < 0 || a >= count || b >= count || a == b)
        return;
    std::swap(list_[static_cast<std::size_t>(a)], list_[static_cast<std::size_t>(b)]);
    FillList();
}

// --- buttons -------------------------------------------------------------------------------

void CCountersDlg::OnAdd()
{
    if (!StoreSelected())
        return;
    if (list_.size() >= MaxCounters) {
        Message(QString::fromLatin1(text::TooManyCounters));
        return;
    }
    BrowseCounters(std::string());
}

void CCountersDlg::BrowseCounters(const std::string& initialPath)
{
    CounterBrowserOptions options;
    options.initialPath = initialPath.empty() ? browsePath_ : initialPath;
    options.includeCostly = IncludeCostly();
    options.lister = &app_.Lister();
    CCounterBrowserDlg browser(document_.GetMonitor().GetSource(), options,
                               [this](const std::vector<std::string>& paths) {
                                   for (const std::string& path : paths)
                                       AddCounterPath(path);
                               },
                               this);
    app_.RunDialog(browser);
}

bool CCountersDlg::AddCounterPath(const std::string& path)
{
    if (list_.size() >= MaxCounters || path.empty())
        return false;
    // An axis whose path the provider cannot read could never show a value.
    if (!IsCounterPath(path)) {
        Message(QString::fromLatin1(text::NotACounterPath) + FromText(path));
        return false;
    }
    currentEntry_ = static_cast<int>(list_.size());
    list_.push_back(NewCounterEntry(path));
    FillList();
    LoadSelected();
    return true;
}

void CCountersDlg::OnDelete()
{
    if (!StoreSelected())
        return;
    const int s = SelectedLine();
    if (s < 0 || s >= static_cast<int>(list_.size()))
        return;
    list_.erase(list_.begin() + s);
    if (list_.empty())
        currentEntry_ = -1;
    else
        currentEntry_ = s == static_cast<int>(list_.size()) ? s - 1 : s;
    FillList();
    LoadSelected();
    UpdateMoveButtons();
}

void CCountersDlg::OnClearAll()
{
    if (!StoreSelected())
        return;
    list_.clear();
    currentEntry_ = -1;
    FillList();
    LoadSelected();
    UpdateMoveButtons();
}

void CCountersDlg::OnUp()
{
    if (!StoreSelected())
        return;
    const int s = SelectedLine();
    if (s <= 0)
        return;
    currentEntry_ = s - 1;
    SwapEntries(s, s - 1);
    UpdateMoveButtons();
    MembersToControls();
}

void CCountersDlg::OnDown()
{
    if (!StoreSelected())
        return;
    const int s = SelectedLine();
    if (s < 0 || s + 1 >= static_cast<int>(list_.size()))
        return;
    currentEntry_ = s + 1;
    SwapEntries(s, s + 1);
    UpdateMoveButtons();
    MembersToControls();
}

void CCountersDlg::OnApply()
{
    if (!StoreSelected())
        return;
    ApplyToMonitor();
    document_.RefreshViews();
    apply_->setEnabled(false);
}

void CCountersDlg::accept()
{
    if (!StoreSelected())
        return;
    QDialog::accept();
}

void CCountersDlg::OnComputer()
{
    if (!StoreSelected())
        return;
    CRemoteHostDlg dialog(app_, this);
    if (app_.RunDialog(dialog) != QDialog::Accepted)
        return;
    // The working list follows the computer; OK or Apply carries it into the profile.
    for (CounterEntry& entry : list_)
        entry.path = RetargetCounterPath(entry.path, dialog.ComputerName());
    FillList();
}

void CCountersDlg::OnHelp()
{
    app_.ShowHelp(text::DialogHelp + text::CountersTemplate);
}

// --- carrying the list over ----------------------------------------------------------------

void CCountersDlg::ApplyToMonitor()
{
    if (!listChanged_ && !axesChanged_)
        return;
    CounterMonitor& monitor = document_.GetMonitor();
    if (listChanged_) {
        const bool changed = document_.ChangeSampling([this](CounterMonitor& rebuilt) {
            rebuilt.RemoveAllAxes();
            for (const CounterEntry& entry : list_) {
                rebuilt.AddAxis(entry.label, "", entry.inverse, entry.min, entry.max, entry.critical, entry.scale,
                                std::make_unique<CounterPathData>(entry.path));
            }
            return true;
        });
        if (!changed)
            return;
    } else {
        for (std::size_t i = 0; i < list_.size(); ++i) {
            const CounterEntry& entry = list_[i];
            const int axis = static_cast<int>(i);
            WindRoseLock guard(monitor);
            monitor.SetAxisName(axis, entry.label);
            ApplyAxisBounds(monitor, axis, entry.min, entry.max, entry.critical);
            monitor.SetAxisMultiplier(axis, entry.scale);
            monitor.SetAxisInverse(axis, entry.inverse);
        }
        monitor.RequestSample();  // outside the monitor lock: the sampling lock comes first
    }
    listChanged_ = false;
}

void CCountersDlg::Message(const QString& text)
{
    app_.GetPrompt().Message(text);
}

} // namespace quel::desktop
