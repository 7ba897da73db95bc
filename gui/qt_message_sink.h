#pragma once
// QtMessageSink: shows the messages of an interactive monitor. ShowMessage may be called from
// any thread and never blocks it: the message is queued onto the GUI thread, where a non-modal
// message box with the caption "Quellarimond" shows it.

#include "platform/user_interface.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace quel {

class QtMessageSink final : public MessageSink {
public:
    using Presenter = std::function<void(const QString&)>;

    // context: an object of the GUI thread that outlives the sink's callers (the application).
    // presenter: shows one message on the GUI thread; empty: a non-modal warning box.
    explicit QtMessageSink(QObject& context, Presenter presenter = {});
    void ShowMessage(const std::string& text) override;

    // The default presenter.
    static void ShowMessageBox(const QString& text);

private:
    QPointer<QObject> context_;
    Presenter presenter_;
};

} // namespace quel
