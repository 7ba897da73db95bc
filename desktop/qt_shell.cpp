#include "desktop/qt_shell.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quel::desktop {

namespace {

// Starts arguments[0] with default signal handling and none of this program's descriptors
// beyond the standard three (a log's lock must never live on in a browser).
bool Spawn(char* const arguments[], pid_t& pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    if (::posix_spawnattr_init(&attributes) != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    sigset_t none;
    sigset_t all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    bool ready = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
    ready = ready && ::posix_spawnattr_setsigmask(&attributes, &none) == 0;
    ready = ready && ::posix_spawnattr_setsigdefault(&attributes, &all) == 0;
    ready = ready && ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    const bool started = ready && ::posix_spawn(&pid, arguments[0], &actions, &attributes, arguments, environ) == 0;
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    return started;
}

} // namespace

QtShell::QtShell(FailureHandler failed, QString opener) : failed_(std::move(failed)), opener_(std::move(opener)) {}

QtShell::~QtShell()
{
    // Not reaped here: an opener still running is adopted by init when the program ends.
    for (auto& [pidfd, child] : children_) {
        child.exited.reset();
        ::close(pidfd);
    }
}

bool QtShell::OpenUrl(const QUrl& url)
{
    const QString program = QStandardPaths::findExecutable(opener_);
    if (program.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(program);
    const QByteArray argument = url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : url.toEncoded();
    char* arguments[] = {const_cast<char*>(path.constData()), const_cast<char*>(argument.constData()), nullptr};
    pid_t pid = -1;
    if (!Spawn(arguments, pid))
        return false;
    // Debian 12's <sys/pidfd.h> lacks C linkage for C++, hence the system call itself.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return true;  // started, but not watched (the kernel has no process descriptors)
    Child& child = children_[pidfd];
    child.pid = pid;
    child.pidfd = pidfd;
    child.url = url;
    child.exited = std::make_unique<QSocketNotifier>(pidfd, QSocketNotifier::Read);
    connect(child.exited.get(), &QSocketNotifier::activated, this, [this, pidfd] { OnExited(pidfd); });
    return true;
}

void QtShell::OnExited(int pidfd)
{
    const auto found = children_.find(pidfd);
    if (found == children_.end())
        return;
    int status = 0;
    const bool ended = ::waitpid(found->second.pid, &status, WNOHANG) == found->second.pid;
    if (!ended)
        return;
    const QUrl url = found->second.url;
    found->second.exited.reset();
    ::close(pidfd);
    children_.erase(found);
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0) && failed_)
        failed_(url);
}

} // namespace quel::desktop
