#pragma once
// LogOwnerLock: makes one writer the only one of a profile's log for as long as it logs. It
// holds an exclusive flock on a lock file beside the log, "<profile>-log.lock" in the Logs
// folder. The lock file is never renamed or removed: rotation renames the log itself, so a
// lock on the log would move to the backup with it and let a second writer take the new log.
// One name for both formats: a profile has one writer whether it logs HTML or CSV.
// The lock goes with the open file description: closing it (or the process ending) gives it
// back, and it is not inherited across exec.

#include <string>

namespace quel {

class LogOwnerLock {
public:
    enum class Result {
        Owned,      // this object holds the lock
        Taken,      // another writer (another process, or another object) holds it
        Unlocked,   // the lock file cannot be opened: the log is written without the lock
    };

    LogOwnerLock() = default;
    ~LogOwnerLock() { Release(); }
    LogOwnerLock(const LogOwnerLock&) = delete;
    LogOwnerLock& operator=(const LogOwnerLock&) = delete;

    // Takes the lock on path without waiting; keeps it when it already holds path's lock.
    Result Take(const std::string& path);
    void Release();
    bool Holds(const std::string& path) const { return fd_ >= 0 && path == path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// What follows the profile's name in its lock file's name.
inline constexpr const char* LogLockSuffix = "-log.lock";

// The lock file of the log of the profile named baseName, in the log folder directory
// (which ends with a slash).
std::string LogLockPath(const std::string& directory, const std::string& baseName);

} // namespace quel
