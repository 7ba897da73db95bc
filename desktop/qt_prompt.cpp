#include "desktop/qt_prompt.h"

#include "desktop/string_table.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace quel::desktop {

namespace {

QString ProfileFilter()
{
    return QString::fromLatin1(text::ProfileFilter);
}

} // namespace

void QtPrompt::Message(const QString& message)
{
    QMessageBox::warning(QApplication::activeWindow(), QString::fromLatin1(text::AppName), message);
}

Answer QtPrompt::Question(const QString& question, bool applicationModal)
{
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(text::AppName), question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QApplication::activeWindow());
    if (applicationModal)
        box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString QtPrompt::OpenProfileName()
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), ProfileFilter());
}

QString QtPrompt::OpenLogName()
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                        QString::fromLatin1(text::LogFilter));
}

QString QtPrompt::SaveProfileName(const QString& suggestion)
{
    QFileDialog dialog(QApplication::activeWindow(), QString(), suggestion, ProfileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromLatin1(text::ProfileExtension).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

std::optional<QColor> QtPrompt::ChooseColor(const QColor& initial, const CustomColors& customColors)
{
    for (int i = 0; i < static_cast<int>(customColors.size()); ++i)
        QColorDialog::setCustomColor(i, customColors[static_cast<std::size_t>(i)]);
    const QColor chosen = QColorDialog::getColor(initial, QApplication::activeWindow());
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

} // namespace quel::desktop
