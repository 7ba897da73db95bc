#include "desktop/counter_browser_dlg.h"

#include "desktop/counter_explanations.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"
#include "desktop/field_exchange.h"
#include "platform/counter_path.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSysInfo>
#include <QVBoxLayout>

namespace quel::desktop {

namespace {

constexpr int IndexRole = Qt::UserRole;

QString FromText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t IndexOf(const QListWidgetItem& item)
{
    return item.data(IndexRole).toULongLong();
}

void AddIndexed(QListWidget& list, const std::string& text, std::size_t index)
{
    auto* item = new QListWidgetItem(FromText(text), &list);
    item->setData(IndexRole, QVariant::fromValue<qulonglong>(index));
}

// The indices of the selected items, in list order.
std::vector<std::size_t> SelectedIndices(const QListWidget& list)
{
    std::vector<std::size_t> indices;
    for (int row = 0; row < list.count(); ++row) {
        if (list.item(row)->isSelected())
            indices.push_back(IndexOf(*list.item(row)));
    }
    return indices;
}

void SelectRowByText(QListWidget& list, std::string_view text, int fallback)
{
    const QList<QListWidgetItem*> found = list.findItems(FromText(text), Qt::MatchExactly);
    const int row = found.isEmpty() ? fallback : list.row(found.front());
    if (row >= 0 && row < list.count()) {
        list.setCurrentRow(row);
        list.scrollToItem(list.item(row));
    }
}

QString StatusText(PerfStatus status)
{
    switch (status) {
    case perf_status::NoData:
        return QStringLiteral("no value yet");
    case perf_status::NoInstance:
        return QStringLiteral("the instance does not exist now");
    case perf_status::NoMachine:
        return QStringLiteral("the computer cannot be reached");
    case perf_status::NotRemote:
        return QStringLiteral("not available from this computer");
    case perf_status::NoLibrary:
        return QStringLiteral("the driver's library is not installed");
    default:
        return QStringLiteral("cannot be read");
    }
}

} // namespace

CCounterBrowserDlg::CCounterBrowserDlg(PerfDataSource& source, CounterBrowserOptions options, AddPaths onAdd,
                                       QWidget* parent)
    : QDialog(parent),
      source_(source),
      options_(std::move(options)),
      onAdd_(std::move(onAdd)),
      ownLister_(options_.lister ? nullptr : std::make_unique<ObjectLister>(source)),
      lister_(options_.lister ? *options_.lister : *ownLister_),
      reader_(source, [this](std::uint64_t generation, PerfStatus status, double value) {
          QMetaObject::invokeMethod(
              this, [this, generation, status, value] { ShowValue(generation, status, value); },
              Qt::QueuedConnection);
      })
{
    if (options_.hostName.empty())
        options_.hostName = QSysInfo::machineHostName().toStdString();
    setWindowTitle(QString::fromLatin1(text::BrowserCaption));
    CreateControls();

    CounterPath initial;
    if (ParseCounterPath(options_.initialPath, initial))
        computer_->setText(FromText(initial.computer));
    ListComputer();
    if (connecting_)
        initialListing_ = listing_;
    else
        SelectInitialPath();
}

CCounterBrowserDlg::~CCounterBrowserDlg()
{
    lister_.Cancel();  // a listing under way reports to no one
    reader_.Stop();
}

void CCounterBrowserDlg::CreateControls()
{
    computer_ = new QLineEdit(this);
    computer_->setPlaceholderText(QStringLiteral("this computer"));
    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(QStringLiteral("type to narrow objects, counters and instances"));
    filter_->setClearButtonEnabled(true);
    objects_ = new QListWidget(this);
    counters_ = new QListWidget(this);
    counters_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    instances_ = new QListWidget(this);
    instances_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    explain_ = new QPlainTextEdit(this);
    explain_->setReadOnly(true);
    explain_->setMaximumHeight(explain_->fontMetrics().lineSpacing() * 5);
    add_ = new QPushButton(QStringLiteral("Add"), this);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    add_->setDefault(true);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Computer:"), this), 0, 0);
    top->addWidget(computer_, 0, 1);
    top->addWidget(new QLabel(QStringLiteral("Filter:"), this), 1, 0);
    top->addWidget(filter_, 1, 1);

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Performance object:"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Counters:"), this), 0, 1);
    lists->addWidget(new QLabel(QStringLiteral("Instances:"), this), 0, 2);
    lists->addWidget(objects_, 1, 0);
    lists->addWidget(counters_, 1, 1);
    lists->addWidget(instances_, 1, 2);
    lists->setColumnStretch(0, 2);
    lists->setColumnStretch(1, 3);
    lists->setColumnStretch(2, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(add_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists, 1);
    layout->addWidget(new QLabel(QStringLiteral("Explanation:"), this));
    layout->addWidget(explain_);
    layout->addLayout(buttons);
    resize(720, 440);

    connect(computer_, &QLineEdit::editingFinished, this, [this] {
        if (computer_->text().toStdString() != listedComputer_)
            ListComputer();
    });
    connect(filter_, &QLineEdit::textChanged, this, &CCounterBrowserDlg::ApplyFilter);
    connect(objects_, &QListWidget::currentRowChanged, this, &CCounterBrowserDlg::FillItems);
    connect(counters_, &QListWidget::currentRowChanged, this, &CCounterBrowserDlg::UpdateExplanation);
    connect(instances_, &QListWidget::currentRowChanged, this, &CCounterBrowserDlg::UpdateExplanation);
    connect(add_, &QPushButton::clicked, this, &CCounterBrowserDlg::OnAdd);
    connect(close_, &QPushButton::clicked, this, &CCounterBrowserDlg::reject);
}

void CCounterBrowserDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

void CCounterBrowserDlg::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (computer_->hasFocus() || filter_->hasFocus())) {
        // Enter asks a computer that could not be reached again.
        if (computer_->text().toStdString() != listedComputer_ || !unreachable_.empty())
            ListComputer();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- lists ---------------------------------------------------------------------------------

void CCounterBrowserDlg::ListComputer()
{
    listedComputer_ = computer_->text().toStdString();
    unreachable_.clear();
    browsed_.clear();
    listing_ = 0;
    if (IsThisComputer(listedComputer_, options_.hostName)) {
        // This computer is listed at once; an answer still awaited from another is dropped.
        lister_.Cancel();
        connecting_ = false;
        ListingEnded(ListBrowsedObjects(source_, listedComputer_, options_.hostName, options_.includeCostly, browsed_));
        return;
    }
    connecting_ = true;
    listing_ = lister_.List(listedComputer_, options_.hostName, options_.includeCostly,
                            [this](std::uint64_t generation, PerfStatus status, std::vector<BrowsedObject> objects) {
                                QMetaObject::invokeMethod(
                                    this,
                                    [this, generation, status, objects = std::move(objects)] {
                                        ShowListing(generation, status, objects);
                                    },
                                    Qt::QueuedConnection);
                            });
    if (listing_ == 0) {
        connecting_ = false;
        ListingEnded(perf_status::NoMemory);
        return;
    }
    ApplyFilter();
}

void CCounterBrowserDlg::ShowListing(std::uint64_t generation, PerfStatus status,
                                     const std::vector<BrowsedObject>& objects)
{
    if (!connecting_ || generation != listing_)
        return;  // the answer of a computer the user has replaced since
    connecting_ = false;
    browsed_ = objects;
    ListingEnded(status);
    if (generation == initialListing_)
        SelectInitialPath();
}

void CCounterBrowserDlg::ListingEnded(PerfStatus status)
{
    if (status != perf_status::Ok) {
        browsed_.clear();
        const QString name = listedComputer_.empty() ? QStringLiteral("(this computer)") : FromText(listedComputer_);
        // Without the HTTP module no computer can be reached: say so rather than blame the computer.
        unreachable_ = status == perf_status::RemoteUnavailable
            ? std::string(text::NoRemoteModule)
            : QString::fromLatin1(text::CannotReach).arg(name).toStdString();
    }
    ApplyFilter();
}

void CCounterBrowserDlg::ApplyFilter()
{
    const std::string filter = filter_->text().toStdString();
    const QListWidgetItem* current = objects_->currentItem();
    const std::string previous = current ? current->text().toStdString() : std::string();
    {
        const QSignalBlocker blocker(objects_);
        objects_->clear();
        if (connecting_) {
            // A line that says so, which cannot be chosen.
            auto* item = new QListWidgetItem(ConnectingText(), objects_);
            item->setFlags(Qt::NoItemFlags);
        } else {
            for (std::size_t i = 0; i < browsed_.size(); ++i) {
                if (FilterObject(browsed_[i], filter).shown)
                    AddIndexed(*objects_, browsed_[i].name, i);
            }
            SelectRowByText(*objects_, previous, 0);
        }
    }
    add_->setEnabled(!connecting_);
    FillItems();
}

QString CCounterBrowserDlg::ConnectingText() const
{
    return QString::fromLatin1(text::Connecting).arg(FromText(listedComputer_));
}

const BrowsedObject* CCounterBrowserDlg::CurrentObject() const
{
    const QListWidgetItem* item = objects_->currentItem();
    if (item == nullptr || connecting_)
        return nullptr;
    const std::size_t index = IndexOf(*item);
    return index < browsed_.size() ? &browsed_[index] : nullptr;
}

void CCounterBrowserDlg::FillItems()
{
    const QListWidgetItem* counter = counters_->currentItem();
    const QListWidgetItem* instance = instances_->currentItem();
    const std::string previousCounter = counter ? counter->text().toStdString() : std::string();
    const std::string previousInstance = instance ? instance->text().toStdString() : std::string();
    {
        const QSignalBlocker counterBlocker(counters_);
        const QSignalBlocker instanceBlocker(instances_);
        counters_->clear();
        instances_->clear();
        if (const BrowsedObject* object = CurrentObject()) {
            const FilteredObject shown = FilterObject(*object, filter_->text().toStdString());
            for (std::size_t i : shown.counters)
                AddIndexed(*counters_, object->counters[i], i);
            for (std::size_t i : shown.instances)
                AddIndexed(*instances_, object->instances[i], i);
            SelectRowByText(*counters_, previousCounter, 0);
            // A new object starts on its total, where it has one.
            const bool hasPrevious = !instances_->findItems(FromText(previousInstance), Qt::MatchExactly).isEmpty();
            SelectRowByText(*instances_, hasPrevious ? previousInstance : std::string("_Total"), 0);
        }
        instances_->setEnabled(instances_->count() > 0);
    }
    UpdateExplanation();
}

std::vector<std::string> CCounterBrowserDlg::SelectedPaths() const
{
    std::vector<std::string> paths;
    const BrowsedObject* object = CurrentObject();
    if (object == nullptr)
        return paths;
    const std::vector<std::size_t> instances = SelectedIndices(*instances_);
    for (std::size_t counter : SelectedIndices(*counters_)) {
        const std::string& name = object->counters[counter];
        if (!object->hasInstances) {
            paths.push_back(ComposeCounterPath(listedComputer_, object->name, nullptr, name));
            continue;
        }
        for (std::size_t instance : instances)
            paths.push_back(ComposeCounterPath(listedComputer_, object->name, &object->instances[instance], name));
    }
    std::erase(paths, std::string());  // parts that make no readable path
    return paths;
}

std::string CCounterBrowserDlg::CurrentPath() const
{
    const BrowsedObject* object = CurrentObject();
    const QListWidgetItem* counter = counters_->currentItem();
    if (object == nullptr || counter == nullptr)
        return std::string();
    const std::string& name = object->counters[IndexOf(*counter)];
    if (!object->hasInstances)
        return ComposeCounterPath(listedComputer_, object->name, nullptr, name);
    const QListWidgetItem* instance = instances_->currentItem();
    if (instance == nullptr)
        return std::string();
    return ComposeCounterPath(listedComputer_, object->name, &object->instances[IndexOf(*instance)], name);
}

void CCounterBrowserDlg::SelectInitialPath()
{
    CounterPath initial;
    if (!ParseCounterPath(options_.initialPath, initial))
        return;
    SelectRowByText(*objects_, initial.object, objects_->currentRow());
    SelectRowByText(*counters_, initial.counter, counters_->currentRow());
    if (initial.hasInstance)
        SelectRowByText(*instances_, initial.instance, instances_->currentRow());
}

// --- explanation and value -----------------------------------------------------------------

void CCounterBrowserDlg::UpdateExplanation()
{
    const BrowsedObject* object = CurrentObject();
    const QListWidgetItem* counter = counters_->currentItem();
    if (connecting_)
        explanation_ = ConnectingText();
    else if (!unreachable_.empty())
        explanation_ = FromText(unreachable_);
    else if (object != nullptr && counter != nullptr)
        explanation_ = FromText(ExplainCounter(object->name, object->counters[IndexOf(*counter)])) + QLatin1Char('\n')
            + FromText(ExplainObject(object->name));
    else
        explanation_.clear();
    const std::string path = CurrentPath();
    valueText_ = path.empty() ? QString() : QStringLiteral("Current value: reading...");
    watched_ = reader_.Watch(path);
    explain_->setPlainText(valueText_.isEmpty() ? explanation_ : explanation_ + QLatin1Char('\n') + valueText_);
}

void CCounterBrowserDlg::ShowValue(std::uint64_t generation, PerfStatus status, double value)
{
    if (generation != watched_)
        return;  // a report of a counter no longer selected
    valueText_ = QStringLiteral("Current value: ")
        + (status == perf_status::Ok ? QString::fromStdString(FormatNumber(value)) : StatusText(status));
    explain_->setPlainText(explanation_ + QLatin1Char('\n') + valueText_);
}

void CCounterBrowserDlg::OnAdd()
{
    const std::vector<std::string> paths = SelectedPaths();
    if (!paths.empty() && onAdd_)
        onAdd_(paths);
}

} // namespace quel::desktop
