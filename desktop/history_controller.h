#pragma once
// HistoryController: a log opened as history in the main window. It reads the log, loads the
// log's profile (the one beside it, else the one the user picks) into a wind rose of its own, so
// that the document's profile never changes, pauses the document's sampling and shows the
// history bar under the diagram. The view draws the history's rose until "Back to Live", which
// hides the bar and samples again.

#include "engine/counter_monitor.h"
#include "log/log_data.h"
#include "log/log_history.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

class QShortcut;
class QToolBar;

namespace quel::desktop {

class CMainFrame;
class CQuellarimondDoc;
class HistoryBar;

class HistoryController final : public QObject {
    Q_OBJECT

public:
    HistoryController(CQuellarimondDoc& document, CMainFrame& frame);
    ~HistoryController() override;

    // File > Open Log...: asks for the log, then opens it.
    void OnOpenLog();
    // Opens the log at path as history. False, after a message, when the log or its profile
    // cannot be read or sampling cannot stop: then nothing has changed.
    bool Open(const QString& path);
    // Closes the history and samples again; nothing when no history is open.
    void BackToLive();
    // Closes the history and leaves sampling to the caller (a profile made or opened next).
    void Leave();

    bool IsOpen() const { return shown_ != nullptr; }
    // The row shown; moving to a row past the last one shows the last.
    std::size_t Row() const { return row_; }
    void ShowRow(std::size_t row);
    // The rose the view draws while history is open; null otherwise.
    CounterMonitor* Rose() const;
    HistoryBar& Bar() const { return *bar_; }

private:
    struct Shown;
    bool ReadLogFile(const QString& path, LogData& log);
    bool LoadProfile(const QString& logPath, const LogData& log, CounterMonitor& rose);
    std::unique_ptr<CounterMonitor> MakeRose() const;
    void Message(const QString& text) const;
    void UpdateCaption();

    CQuellarimondDoc& document_;
    CMainFrame& frame_;
    QToolBar* toolBar_;
    HistoryBar* bar_;
    QShortcut* escape_;
    std::unique_ptr<Shown> shown_;
    std::size_t row_ = 0;
};

} // namespace quel::desktop
