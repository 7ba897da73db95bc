#pragma once
// RemoteFetcher: the quel_remote module, loaded on demand, seen as one C++ call that fetches a
// metrics page into a string with a size cap and a deadline.

#include "platform/loadable_module.h"
#include "platform/remote_fetch_api.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace quel {

// Pages larger than this are refused: an endpoint that streams without end must not exhaust
// memory. A node exporter page is about 100 KB.
inline constexpr std::size_t MaxPageBytes = 16 * 1024 * 1024;

class RemoteFetcher {
public:
    // Loads the module and initialises it; false with the reason in error.
    bool Load(std::string& error);
    bool Loaded() const { return fetch_ != nullptr; }

    // A connection that stays open between fetches; null when none can be made.
    void* OpenSession() const;
    void CloseSession(void* session) const;
    // Fetches url into page (its storage reused); false with the reason in error.
    bool Fetch(void* session, const std::string& url, std::chrono::milliseconds deadline, std::string& page,
               std::string& error) const;

private:
    LoadableModule module_;
    QuelRemoteOpen open_ = nullptr;
    QuelRemoteClose close_ = nullptr;
    QuelRemoteFetch fetch_ = nullptr;
};

} // namespace quel
