// quelmond: the screen saver.

#include "platform/file_size_signal.h"
#include "saver/foreign_window.h"
#include "saver/saver_command_line.h"
#include "saver/saver_program.h"

#include <QApplication>
#include <QIcon>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    quel::IgnoreFileSizeSignal();
    using namespace quel::saver;
    const char* xscreensaverWindow = std::getenv("XSCREENSAVER_WINDOW");
    const SaverCommand command = ParseSaverCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                                       xscreensaverWindow ? xscreensaverWindow : "");
    if (command.mode == SaverMode::Help) {
        std::cout << SaverUsage;
        return 0;
    }
    if (command.mode == SaverMode::Version) {
        std::cout << "quelmond " QUEL_VERSION "\n";
        return 0;
    }
    if (command.mode == SaverMode::Error) {
        std::cerr << "quelmond: " << command.error << '\n' << SaverUsage;
        return 2;
    }
    if (command.mode == SaverMode::ForeignWindow) {
        if (IsWaylandSession()) {
            std::cerr << NeedsX11 << '\n';
            return 1;
        }
        // The frames go to the X server through the saver's own connection; Qt only paints
        // images, which needs no display of its own.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationName(QStringLiteral("Quellarimond"));
    QApplication::setApplicationVersion(QStringLiteral(QUEL_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")));
    return RunSaver(command, std::cerr);
}
