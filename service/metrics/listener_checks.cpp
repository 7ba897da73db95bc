#include "service/metrics/listener_checks.h"

#include "service/metrics/web_config.h"

#include <exception>

namespace quel {

bool ConnectionBound::Admit()
{
    int open = open_.load();
    do {
        if (open >= limit_)
            return false;
    } while (!open_.compare_exchange_weak(open, open + 1));
    return true;
}

void ConnectionBound::Release()
{
    open_.fetch_sub(1);
}

bool PasswordCheck::Authorized(const std::string& user, const std::string& password)
{
    if (users_.empty())
        return false;
    try {
        const auto found = users_.find(user);
        const std::string& hash = found != users_.end() ? found->second : users_.begin()->second;
        const std::lock_guard<std::mutex> lock(checkLock_);
        return PasswordMatches(password, hash) && found != users_.end();
    } catch (const std::exception&) {
        return false;  // out of memory: refused, and the scrape may try again
    }
}

} // namespace quel
