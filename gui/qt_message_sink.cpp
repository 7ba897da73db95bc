#include "gui/qt_message_sink.h"

#include <QMessageBox>
#include <QMetaObject>

namespace quel {

QtMessageSink::QtMessageSink(QObject& context, Presenter presenter)
    : context_(&context), presenter_(presenter ? std::move(presenter) : Presenter(&QtMessageSink::ShowMessageBox))
{
}

void QtMessageSink::ShowMessage(const std::string& text)
{
    QObject* context = context_.data();
    if (context == nullptr)
        return;
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(context, [presenter = presenter_, message] { presenter(message); }, Qt::QueuedConnection);
}

void QtMessageSink::ShowMessageBox(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quellarimond"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

} // namespace quel
