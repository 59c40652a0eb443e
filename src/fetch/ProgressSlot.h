// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace torvash {

/** Called after every body read with (expected length, bytes received so far, 0, 0); its result is
 *  ignored. Runs on the request worker's thread. */
using ProgressRoutine = std::function<intptr_t(intptr_t, intptr_t, intptr_t, intptr_t)>;

/** The progress routine of the latest FetchPage call, or none; process-wide, read afresh at each call. */
class ProgressSlot
{
public:
    static ProgressSlot& process();

    /** An empty routine clears the slot. */
    void set(ProgressRoutine routine);
    /** Calls the routine the slot holds now, if any. */
    void call(int32_t expected, int32_t received) const;
    /** Whether the slot holds a routine now; cheap enough to ask before every read. */
    [[nodiscard]] bool holdsRoutine() const { return m_holdsRoutine.load(std::memory_order_acquire); }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const ProgressRoutine> m_routine;
    std::atomic<bool> m_holdsRoutine = false;
};

} // namespace torvash
