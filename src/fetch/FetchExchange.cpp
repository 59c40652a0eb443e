// SPDX-License-Identifier: MIT
#include "fetch/FetchExchange.h"

namespace torvash {

bool FetchExchange::takeJob(FetchJob& job)
{
    bool taken = false;
    unlessAbandoned([&](FetchChannel& channel) {
        taken = job.readFrom(channel);
        if (taken)
            channel.clear();
    });
    return taken;
}

void FetchExchange::abandon()
{
    const std::scoped_lock guard(m_lock);
    m_abandoned = true;
    m_stop.request_stop();
}

FetchReply FetchExchange::reply()
{
    const std::scoped_lock guard(m_lock);
    return FetchReply::readFrom(m_channel);
}

} // namespace torvash
