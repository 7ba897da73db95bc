#include "desktop/history_controller.h"

#include "desktop/history_bar.h"
#include "desktop/main_frame.h"
#include "desktop/native_path.h"
#include "desktop/quellarimond_doc.h"
#include "desktop/quellarimond_view.h"
#include "desktop/string_table.h"
#include "engine/log_moment_rose.h"
#include "log/log_reader.h"
#include "log/log_text.h"
#include "profile/profile_file.h"

#include <QFileInfo>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include <climits>
#include <filesystem>

namespace quel::desktop {

namespace {

constexpr const char* CaptionTimeFormat = "%Y-%m-%d %H:%M:%S";
constexpr const char* CannotOpenLog = "Cannot open the log %1 as history: %2";
constexpr const char* NoRows = "it has no rows";

std::vector<int> LaterSectionStarts(const LogData& log)
{
    std::vector<int> starts;
    for (const LogSection& section : log.sections) {
        if (section.firstRow > 0 && section.rowCount > 0)
            starts.push_back(static_cast<int>(section.firstRow));
    }
    return starts;
}

} // namespace

// The log, its moments, the rose they are drawn on and the columns' axes on it.
struct HistoryController::Shown {
    QString name;
    LogData log;
    std::unique_ptr<LogHistory> history;
    std::unique_ptr<CounterMonitor> rose;
    ColumnAxes axes;
};

HistoryController::HistoryController(CQuellarimondDoc& document, CMainFrame& frame)
    : QObject(&frame), document_(document), frame_(frame), toolBar_(new QToolBar(&frame)),
      bar_(new HistoryBar(toolBar_))
{
    toolBar_->setObjectName(QStringLiteral("HistoryBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->addWidget(bar_);
    frame.addToolBar(Qt::BottomToolBarArea, toolBar_);
    toolBar_->hide();
    connect(bar_, &HistoryBar::RowChosen, this, [this](int row) { ShowRow(static_cast<std::size_t>(std::max(0, row))); });
    connect(bar_, &HistoryBar::BackToLive, this, &HistoryController::BackToLive);
    // Esc wherever the focus is in the window, while history is shown.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), bar_, nullptr, nullptr, Qt::WindowShortcut);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, &HistoryController::BackToLive);
}

// The frame deletes the view, made before this, first: nothing draws the rose after it goes.
HistoryController::~HistoryController() = default;

void HistoryController::OnOpenLog()
{
    const QString path = document_.GetPrompt().OpenLogName();
    if (!path.isEmpty())
        Open(path);
}

bool HistoryController::Open(const QString& path)
{
    auto shown = std::make_unique<Shown>();
    if (!ReadLogFile(path, shown->log))
        return false;
    shown->rose = MakeRose();
    if (!LoadProfile(path, shown->log, *shown->rose))
        return false;
    // Sampling pauses while history is shown: stopped, and not started again.
    if (!IsOpen() && !document_.ChangeSampling([](CounterMonitor&) { return false; }))
        return false;
    shown->name = QFileInfo(path).fileName();
    shown->history = std::make_unique<LogHistory>(shown->log);
    shown->axes = PlaceColumns(*shown->rose, *shown->history);
    shown_ = std::move(shown);

    QStringList notes;
    for (const std::string& note : shown_->axes.notes)
        notes << QString::fromStdString(note);
    frame_.statusBar()->showMessage(notes.join(QStringLiteral("; ")));
    frame_.View().ShowInstead(shown_->rose.get());
    bar_->Reset(static_cast<int>(std::min<std::size_t>(shown_->log.RowCount(), INT_MAX)), LaterSectionStarts(shown_->log), 0);
    toolBar_->show();
    escape_->setEnabled(true);
    ShowRow(0);
    bar_->Slider().setFocus();
    return true;
}

void HistoryController::BackToLive()
{
    if (!IsOpen())
        return;
    Leave();
    // A profile that could not be read was not sampled before either. Sampling may have been
    // restarted (Restart) while the history was shown: it starts afresh.
    if (document_.LastLoadFailed())
        return;
    document_.ChangeSampling([](CounterMonitor&) { return true; });
}

void HistoryController::Leave()
{
    if (!IsOpen())
        return;
    toolBar_->hide();
    escape_->setEnabled(false);
    frame_.View().ShowInstead(nullptr);
    shown_.reset();
    frame_.statusBar()->clearMessage();
    frame_.UpdateTitle();
}

void HistoryController::ShowRow(std::size_t row)
{
    if (!IsOpen())
        return;
    row_ = std::min(row, shown_->log.RowCount() - 1);
    ShowMoment(*shown_->rose, shown_->axes.axis, shown_->history->MomentAt(row_));
    if (bar_->Slider().value() != static_cast<int>(row_)) {
        const QSignalBlocker blocker(bar_->Slider());
        bar_->Slider().setValue(static_cast<int>(row_));
    }
    UpdateCaption();
    frame_.View().update();
}

CounterMonitor* HistoryController::Rose() const
{
    return shown_ ? shown_->rose.get() : nullptr;
}

bool HistoryController::ReadLogFile(const QString& path, LogData& log)
{
    const LogReading reading = ReadLog(ToNative(path), log);
    QString problem = QString::fromStdString(reading.message);
    if (reading.status == LogReadStatus::Complete && log.RowCount() == 0)
        problem = QString::fromLatin1(NoRows);
    else if (reading.status == LogReadStatus::Complete)
        return true;
    Message(QString::fromLatin1(CannotOpenLog).arg(path, problem));
    return false;
}

// The profile beside the log, else the one the user picks (a log copied from another machine
// has none beside it). The rose is never sampled and writes no log.
bool HistoryController::LoadProfile(const QString& logPath, const LogData& log, CounterMonitor& rose)
{
    std::string path = ProfileBesideLog(ToNative(logPath), log);
    std::error_code code;
    if (path.empty() || !std::filesystem::is_regular_file(path, code)) {
        const QString chosen = document_.GetPrompt().OpenProfileName();
        if (chosen.isEmpty())
            return false;
        path = ToNative(chosen);
    }
    if (rose.LoadProfile(path, ProfileFile::Read(path)) == 0) {
        Message(QString::fromLatin1(text::CannotRead) + FromNative(path));
        return false;
    }
    rose.SetLogLocation(std::string(), false);
    MonitorSettings settings = rose.GetSettings();
    settings.LogMode = 0;
    rose.ApplySettings(settings);
    rose.ApplyDisplaySettings();
    rose.SetStatusText(std::string());
    return true;
}

std::unique_ptr<CounterMonitor> HistoryController::MakeRose() const
{
    const MonitorEnvironment& live = document_.Environment().monitor;
    MonitorEnvironment environment;
    environment.source = live.source;
    environment.screen = live.screen;
    environment.clock = live.clock;
    auto rose = std::make_unique<CounterMonitor>(environment);
    rose->SetUpDefaultProfile();
    rose->RemoveAllAxes();
    rose->ResetSettings();
    return rose;
}

void HistoryController::Message(const QString& text) const
{
    document_.GetPrompt().Message(text);
}

void HistoryController::UpdateCaption()
{
    const std::string time = LocalTimeText(shown_->log.times[row_], CaptionTimeFormat);
    const QString moment = QString::fromStdString(time);
    bar_->SetTimeText(moment);
    frame_.setWindowTitle(shown_->name + QStringLiteral(" at ") + moment + QStringLiteral(" - ") +
                          QString::fromLatin1(text::AppName));
}

} // namespace quel::desktop
