#pragma once
// The C interface of the quel_remote module (libcurl behind it). Plain C types only: the module
// may be loaded into a program with its own copy of the C++ runtime, so nothing allocated on
// one side is freed on the other.

#include <stddef.h>

extern "C" {

// Receives the next piece of the page; returns 0 to abandon the transfer (the page is too big).
typedef int (*QuelRemoteSink)(void* context, const char* data, size_t size);

// Called once before any other function of the module; 0 on success.
typedef int (*QuelRemoteInit)(void);
// A session keeps its connection open between fetches; null when it cannot be made.
typedef void* (*QuelRemoteOpen)(void);
typedef void (*QuelRemoteClose)(void* session);
// GET url with a deadline for connecting and reading together. 0 when the whole page came with
// status 200; else non-zero with a NUL-terminated reason in error (errorSize bytes at most).
typedef int (*QuelRemoteFetch)(void* session, const char* url, long deadlineMs, QuelRemoteSink sink, void* context,
                               char* error, size_t errorSize);

}

namespace quel {
inline constexpr const char* RemoteModuleName = "quel_remote";
}
