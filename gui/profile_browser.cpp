#include "gui/profile_browser.h"

#include <QFileDialog>

namespace quel {

QString BrowseProfiles(QWidget* parent, const QString& start)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Browse Quellarimond Profiles"), start,
                                        QStringLiteral("Quellarimond Profiles (*.qlmd);;All Files (*)"));
}

} // namespace quel
