// SPDX-License-Identifier: MIT
#pragma once

#include "fakes/FakeControls.h"
#include "fetch/FetchPage.h"
#include "search/SearchRun.h"
#include "support/GbkTexts.h"
#include "support/RealFetchTest.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace torvash {

/** Polls until `condition` holds or `timeout` passes; whether it held. */
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

/** A page number as the run's page cell shows it: "001" to "100". */
inline std::string pageCell(int page)
{
    char cell[16];
    std::snprintf(cell, sizeof cell, "%03d", page);
    return cell;
}

/** A RawResponder's way with a request that is never answered: it holds the connection open. */
inline void neverAnswer(int, const std::string&, const std::atomic<bool>& stopping)
{
    while (!stopping)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

/** Search runs on the real fetching stack, each page fetched with the given time-out (0: the default). */
class FetchingTest : public RealFetchTest
{
protected:
    SearchRunSetup setupFor(FakeControls& controls, const std::string& root, int32_t timeoutSeconds = 0)
    {
        return SearchRunSetup{
            controls, m_addresses,
            [this, timeoutSeconds](TextView address, std::stop_token stop) {
                return FetchPage(m_platform, address,
                                 FetchOptions{.timeoutSeconds = timeoutSeconds, .stop = std::move(stop)});
            },
            Text(std::string_view(root))};
    }

    FetchPlatform m_platform{m_http, m_threads};
    PageAddressList m_addresses;
};

} // namespace torvash
