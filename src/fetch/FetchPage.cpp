// SPDX-License-Identifier: MIT
#include "fetch/FetchPage.h"

#include "fetch/FetchExchange.h"
#include "fetch/RequestWorker.h"
#include "text/TextOperations.h"

#include <memory>

namespace torvash {

namespace {

/** Waits for the worker, dispatching the calling thread's messages after every wake-up; each wake-up
 *  by messages starts the full wait again. A stop gives up waiting as a time-out would. */
WaitOutcome waitForWorker(WorkerThreads& threads, WorkerThread& worker, std::chrono::seconds timeout,
                          const std::stop_token& stop)
{
    // A stop posts an empty message, which wakes the wait at once.
    const std::stop_callback wake(stop, [queue = threads.currentThreadQueue()] { queue->post([] {}); });
    for (;;) {
        const WaitOutcome outcome = threads.waitForWorkerOrMessages(worker, timeout);
        threads.dispatchMessages();
        if (outcome != WaitOutcome::MessagesArrived)
            return outcome;
        if (stop.stop_requested())
            return WaitOutcome::TimedOut;
    }
}

} // namespace

Bytes FetchPage(FetchPlatform& platform, TextView address, const FetchOptions& options)
{
    if (options.stop.stop_requested())
        return {};
    ProgressSlot::process().set(options.progress);
    const FetchJob job{Text(address),    options.verb,         options.proxy, options.userName,
                       options.password, options.extraHeaders, options.body};
    auto exchange = std::make_shared<FetchExchange>(job);
    const int32_t seconds = options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultFetchTimeoutSeconds;

    // The worker keeps the exchange alive for as long as it runs, so an abandoned one never writes
    // into freed memory.
    HttpLayer& http = platform.http;
    std::unique_ptr<WorkerThread> worker = platform.threads.start(
        [exchange, &http] { RequestWorker(*exchange, http, ProgressSlot::process()); });
    if (!worker)
        return {};
    const WaitOutcome outcome =
        waitForWorker(platform.threads, *worker, std::chrono::seconds(seconds), options.stop);
    if (outcome != WaitOutcome::WorkerEnded)
        exchange->abandon();
    worker.reset();

    FetchReply reply = exchange->reply();
    const bool replied = CompareText(reply.marker, FetchReply::kMarker) == 0;
    if (options.responseHeaders != nullptr)
        *options.responseHeaders = replied ? reply.headerText : Text();
    if (!replied || outcome != WaitOutcome::WorkerEnded)
        return {};
    return std::move(reply.body);
}

} // namespace torvash
