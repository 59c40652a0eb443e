// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/HttpLayer.h"
#include "fetch/ProgressSlot.h"
#include "fetch/WorkerThreads.h"
#include "text/Text.h"

#include <cstdint>
#include <stop_token>

namespace torvash {

/** The platform facilities a fetch runs on; both must outlive every worker a fetch starts. */
struct FetchPlatform
{
    HttpLayer& http;
    WorkerThreads& threads;
};

/** FetchPage's optional arguments; each left as it is means "omitted". */
struct FetchOptions
{
    Text verb{}; // "GET" or "POST" in any letter case; empty means GET; any other verb fails
    Text proxy{};
    Text userName{};
    Text password{};
    Text extraHeaders{};             // lines each ending in CR LF
    Text body{};                     // sent with POST
    int32_t timeoutSeconds = 0;      // the longest single wait; 0 or below means 90
    Text* responseHeaders = nullptr; // receives the reply's header text when given
    ProgressRoutine progress{};      // called after every body read, on the worker's thread
    std::stop_token stop{};          // a stop wakes the wait, which then gives up as at a time-out
};

inline constexpr int32_t kDefaultFetchTimeoutSeconds = 90;

/**
 * Fetches an address on a worker thread and returns the response body, or empty bytes after any
 * failure or a time-out. While it waits, the calling thread's messages are dispatched; each message
 * starts the wait of the time-out afresh. At a time-out the worker is abandoned: it touches nothing of
 * this call's any more, makes no further progress call, and its transfer stops.
 */
Bytes FetchPage(FetchPlatform& platform, TextView address, const FetchOptions& options = {});

} // namespace torvash
