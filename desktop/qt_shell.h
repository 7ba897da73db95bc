#pragma once
// QtShell: the Shell of the running program. It hands documents and addresses to the desktop's
// opener (xdg-open) and watches it without waiting for it: the opener may run as long as the
// browser it started, but when it ends with an error (no program for the file, or the program
// failed) the failure is reported.

#include "desktop/prompt.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>

#include <sys/types.h>

class QSocketNotifier;

namespace quel::desktop {

class QtShell final : public QObject, public Shell {
    Q_OBJECT

public:
    using FailureHandler = std::function<void(const QUrl&)>;
    // failed runs on this thread when an opener that was started ends with an error.
    explicit QtShell(FailureHandler failed, QString opener = QStringLiteral("xdg-open"));
    // Openers still running go on by themselves.
    ~QtShell() override;

    // False at once when the opener cannot be found or started.
    bool OpenUrl(const QUrl& url) override;
    // The openers started that have not ended yet.
    int Running() const { return static_cast<int>(children_.size()); }

private:
    struct Child {
        pid_t pid = -1;
        int pidfd = -1;
        QUrl url;
        std::unique_ptr<QSocketNotifier> exited;
    };
    void OnExited(int pidfd);

    FailureHandler failed_;
    QString opener_;
    std::map<int, Child> children_;  // by pidfd
};

} // namespace quel::desktop
