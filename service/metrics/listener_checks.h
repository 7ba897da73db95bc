#pragma once
// What the metrics listener decides itself before prometheus-cpp serves a request: whether a
// connection is within the bound of connections served at once, and whether a user's password
// is right.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace quel {

// Connections served at once. A connection beyond the bound is not counted: it gets a refusal
// and is closed, instead of waiting for a worker in civetweb's queue.
class ConnectionBound {
public:
    explicit ConnectionBound(int limit) : limit_(limit) {}
    ConnectionBound(const ConnectionBound&) = delete;
    ConnectionBound& operator=(const ConnectionBound&) = delete;

    // A connection arrived: true (and counted) when it is within the bound.
    bool Admit();
    // A connection that Admit counted has closed.
    void Release();
    int Limit() const { return limit_; }

private:
    const int limit_;
    std::atomic<int> open_ {0};
};

// The basic_auth_users of the web configuration: user name -> bcrypt hash.
class PasswordCheck {
public:
    explicit PasswordCheck(std::map<std::string, std::string> users) : users_(std::move(users)) {}

    // Whether user is known and password is theirs. One check at a time: a bcrypt check takes
    // tens of milliseconds of CPU on purpose, and a flood of wrong passwords on hundreds of
    // workers must leave the sampling a core. An unknown user costs a check as well, so the
    // time does not tell which names exist.
    bool Authorized(const std::string& user, const std::string& password);

private:
    const std::map<std::string, std::string> users_;
    std::mutex checkLock_;
};

} // namespace quel
