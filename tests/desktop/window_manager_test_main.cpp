// The window manager tests run on a real X display (under_window_manager.sh starts Xvfb and
// openbox), where the window manager places and decorates the window and a tray can dock icons.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationName(QStringLiteral("Quellarimond"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
