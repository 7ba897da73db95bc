// The quel_remote module: fetches metrics pages with libcurl. Loaded with dlopen at the first
// remote counter, so that programs watching only their own machine never map libcurl and its
// TLS libraries.

#include "platform/remote_fetch_api.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>

namespace {

struct Transfer {
    QuelRemoteSink sink;
    void* context;
    bool refused = false;
};

size_t Write(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->sink(transfer->context, data, bytes) == 0) {
        transfer->refused = true;
        return 0;  // makes curl end the transfer with CURLE_WRITE_ERROR
    }
    return bytes;
}

void SetError(char* error, size_t errorSize, const char* text)
{
    if (error != nullptr && errorSize > 0)
        std::snprintf(error, errorSize, "%s", text);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int quel_remote_init(void)
{
    return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK ? 0 : 1;
}

__attribute__((visibility("default"))) void* quel_remote_open(void)
{
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return nullptr;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // we run on threads: no SIGALRM for timeouts
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Metrics endpoints are reached directly, as Prometheus reaches them: no proxy from the
    // environment, which would also send loopback requests away.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quellarimond");
    return curl;
}

__attribute__((visibility("default"))) void quel_remote_close(void* session)
{
    if (session != nullptr)
        curl_easy_cleanup(static_cast<CURL*>(session));
}

__attribute__((visibility("default"))) int quel_remote_fetch(void* session, const char* url, long deadlineMs,
                                                             QuelRemoteSink sink, void* context, char* error,
                                                             size_t errorSize)
{
    CURL* curl = static_cast<CURL*>(session);
    if (curl == nullptr || url == nullptr || sink == nullptr) {
        SetError(error, errorSize, "no session");
        return 1;
    }
    Transfer transfer{sink, context};
    curl_slist* headers = curl_slist_append(nullptr, "Accept: text/plain;version=0.0.4");
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, deadlineMs);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, deadlineMs);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    if (result == CURLE_OK)
        return 0;
    SetError(error, errorSize, transfer.refused ? "page too large" : curl_easy_strerror(result));
    return 1;
}

}
