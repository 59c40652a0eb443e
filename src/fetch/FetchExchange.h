// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/FetchChannel.h"

#include <mutex>
#include <stop_token>

namespace torvash {

/**
 * The channel between one FetchPage call and its request worker, and the call's right to walk away.
 * Once the call has abandoned the worker (at its time-out), nothing the worker does reaches the
 * channel or the progress routine any more, and the worker's transfer is asked to stop.
 * Shared by both threads; every member is safe to call from either.
 */
class FetchExchange
{
public:
    explicit FetchExchange(const FetchJob& job) { job.writeTo(m_channel); }

    /** Worker: takes the job out and empties the channel; false, channel untouched, without a job. */
    bool takeJob(FetchJob& job);
    /** Worker: runs `step` unless the call has walked away, holding it off meanwhile; false when it
     *  has. */
    template <typename Step> bool unlessAbandoned(Step step)
    {
        const std::scoped_lock guard(m_lock);
        if (m_abandoned)
            return false;
        step(m_channel);
        return true;
    }
    /** Worker: whether the call has walked away; a cheap look between steps. */
    [[nodiscard]] bool abandoned() const { return m_stop.stop_requested(); }
    /** Worker: a stop is requested on it when the call walks away. */
    [[nodiscard]] std::stop_token stopToken() const { return m_stop.get_token(); }

    /** Call: walks away from the worker; returns once no worker step is under way. */
    void abandon();
    /** Call: the reply as the channel holds it now. */
    FetchReply reply();

private:
    std::mutex m_lock;
    bool m_abandoned = false;
    std::stop_source m_stop;
    FetchChannel m_channel;
};

} // namespace torvash
