#include "saver/saver_program.h"

#include "engine/counter_monitor.h"
#include "gui/qt_repaint_target.h"
#include "platform/linux_perf_data_source.h"
#include "saver/foreign_saver.h"
#include "saver/quit_signal.h"
#include "saver/saver_config_dialog.h"
#include "saver/saver_profile.h"
#include "saver/saver_settings.h"
#include "saver/saver_window.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <ostream>
#include <vector>

namespace quel::saver {
namespace {

// The program-wide monitor of the saver: silent, set up with the default profile, then the
// chosen one (or the fallback).
class SaverMonitor {
public:
    SaverMonitor(const SaverSettings& settings, ScreenSize screen)
        : monitor_(MakeEnvironment(source_, screen))
    {
        monitor_.SetUpDefaultProfile();
        LoadSaverProfile(monitor_, settings.profile);
    }
    ~SaverMonitor() { monitor_.StopSampling(); }
    SaverMonitor(const SaverMonitor&) = delete;
    SaverMonitor& operator=(const SaverMonitor&) = delete;

    CounterMonitor& Get() { return monitor_; }
    // Names and value texts are left out when the narrowest window is a preview.
    void ApplyWidth(int narrowest)
    {
        if (narrowest < CompactWidth) {
            monitor_.SetShowNames(0);
            monitor_.SetShowValues(0);
        }
    }

private:
    static MonitorEnvironment MakeEnvironment(PerfDataSource& source, ScreenSize screen)
    {
        MonitorEnvironment environment;
        environment.source = &source;
        environment.interactive = false;
        environment.screen = screen;
        return environment;
    }

    LinuxPerfDataSource source_;
    CounterMonitor monitor_;
};

ScreenSize PrimaryScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return ScreenSize {1024, 768};
    return ScreenSize {screen->geometry().width(), screen->geometry().height()};
}

void QuitOnSignal(QuitSignal& signal)
{
    signal.Install();
    QObject::connect(&signal, &QuitSignal::Received, qApp, &QCoreApplication::quit);
}

int RunFullScreen(const SaverSettings& settings)
{
    QuitSignal signal;
    QuitOnSignal(signal);
    std::vector<std::unique_ptr<SaverWindow>> windows;
    QtRepaintTarget repaint(*qApp, [&windows] {
        for (auto& window : windows)
            window->RepaintDiagram();
    });
    SaverMonitor monitor(settings, PrimaryScreenSize());
    const RandomSource random = TimeSeededRandom();
    int narrowest = CompactWidth;
    for (QScreen* screen : QGuiApplication::screens()) {
        auto window = std::make_unique<SaverWindow>(monitor.Get(), settings.AreaSize, settings.Timeout, random);
        window->setGeometry(screen->geometry());
        window->winId();  // makes the native window, so that it can be put on its screen
        window->windowHandle()->setScreen(screen);
        QObject::connect(window.get(), &SaverWindow::InputSeen, qApp, &QCoreApplication::quit);
        narrowest = std::min(narrowest, screen->geometry().width());
        windows.push_back(std::move(window));
    }
    monitor.ApplyWidth(narrowest);
    for (auto& window : windows)
        window->showFullScreen();
    if (!windows.empty()) {
        // Keys end the saver wherever the focus was (where the window system allows a grab).
        windows.front()->activateWindow();
        QTimer::singleShot(0, windows.front().get(), &QWidget::grabKeyboard);
    }
    monitor.Get().StartSampling(&repaint, false);
    const int status = QApplication::exec();
    monitor.Get().StopSampling();
    return status;
}

int RunForeignWindow(const SaverCommand& command, const SaverSettings& settings, std::ostream& err)
{
    std::string error;
    std::unique_ptr<ForeignWindow> window = ForeignWindow::Open(command.window, error);
    std::optional<QSize> size = window ? window->CurrentSize() : std::nullopt;
    if (!size) {
        err << "quelmond: " << (error.empty() ? "the window has gone" : error) << '\n';
        return 1;
    }
    QuitSignal signal;
    QuitOnSignal(signal);
    // Declared before the monitor, so that both outlive its sampling thread.
    std::unique_ptr<ForeignSaver> saver;
    QtRepaintTarget repaint(*qApp, [&saver] {
        if (saver)
            saver->RepaintDiagram();
    });
    SaverMonitor monitor(settings, ScreenSize {size->width(), size->height()});
    monitor.ApplyWidth(size->width());
    saver = std::make_unique<ForeignSaver>(std::move(window), *size, monitor.Get(), settings.AreaSize,
                                           settings.Timeout, TimeSeededRandom());
    QObject::connect(saver.get(), &ForeignSaver::Finished, qApp, &QCoreApplication::quit);
    saver->Repaint();
    monitor.Get().StartSampling(&repaint, false);
    const int status = QApplication::exec();
    monitor.Get().StopSampling();
    return status;
}

int RunConfigure()
{
    SaverConfigDialog dialog;
    dialog.exec();
    return 0;
}

} // namespace

int RunSaver(const SaverCommand& command, std::ostream& err)
{
    SaverSettings settings;
    ReadSaverSettings(settings);
    switch (command.mode) {
    case SaverMode::FullScreen:
        return RunFullScreen(settings);
    case SaverMode::ForeignWindow:
        return RunForeignWindow(command, settings, err);
    case SaverMode::Configure:
        return RunConfigure();
    case SaverMode::Help:
    case SaverMode::Version:
    case SaverMode::Error:
        break;
    }
    return 2;
}

} // namespace quel::saver
