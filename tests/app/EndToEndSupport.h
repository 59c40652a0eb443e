// SPDX-License-Identifier: MIT
#pragma once

#include "support/TemporaryFolder.h"

#include <atomic>
#include <chrono>
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

/** A RawResponder's way with a request that is never answered: it holds the connection open. */
inline void neverAnswer(int, const std::string&, const std::atomic<bool>& stopping)
{
    while (!stopping)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace torvash
