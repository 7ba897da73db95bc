#include "platform/remote_fetcher.h"

#include <new>

namespace quel {
namespace {

struct Receiver {
    std::string* page;
};

int Receive(void* context, const char* data, size_t size)
{
    std::string& page = *static_cast<Receiver*>(context)->page;
    if (size > MaxPageBytes - page.size())
        return 0;
    try {
        page.append(data, size);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

} // namespace

bool RemoteFetcher::Load(std::string& error)
{
    if (Loaded())
        return true;
    LoadableModule module = LoadableModule::Open(RemoteModuleName, error);
    if (!module.IsOpen())
        return false;
    auto* init = module.Find<int()>("quel_remote_init", error);
    auto* open = module.Find<void*()>("quel_remote_open", error);
    auto* close = module.Find<void(void*)>("quel_remote_close", error);
    auto* fetch = module.Find<int(void*, const char*, long, QuelRemoteSink, void*, char*, size_t)>(
        "quel_remote_fetch", error);
    if (init == nullptr || open == nullptr || close == nullptr || fetch == nullptr) {
        error = "module " + module.Path() + " is incomplete";
        return false;
    }
    if (init() != 0) {
        error = "module " + module.Path() + " could not start its HTTP client";
        return false;
    }
    module_ = std::move(module);
    open_ = open;
    close_ = close;
    fetch_ = fetch;
    return true;
}

void* RemoteFetcher::OpenSession() const
{
    return open_ ? open_() : nullptr;
}

void RemoteFetcher::CloseSession(void* session) const
{
    if (close_ && session)
        close_(session);
}

bool RemoteFetcher::Fetch(void* session, const std::string& url, std::chrono::milliseconds deadline,
                          std::string& page, std::string& error) const
{
    page.clear();
    if (!fetch_ || !session) {
        error = "no HTTP client";
        return false;
    }
    Receiver receiver{&page};
    char reason[256] = {};
    const long deadlineMs = static_cast<long>(deadline.count() > 0 ? deadline.count() : 1);
    if (fetch_(session, url.c_str(), deadlineMs, Receive, &receiver, reason, sizeof reason) != 0) {
        error = reason;
        page.clear();
        return false;
    }
    return true;
}

} // namespace quel
