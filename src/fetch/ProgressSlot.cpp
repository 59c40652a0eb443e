// SPDX-License-Identifier: MIT
#include "fetch/ProgressSlot.h"

namespace torvash {

ProgressSlot& ProgressSlot::process()
{
    // Never destroyed: a worker abandoned at a time-out may still be ending while the process exits.
    static ProgressSlot& slot = *new ProgressSlot;
    return slot;
}

void ProgressSlot::set(ProgressRoutine routine)
{
    auto held = routine ? std::make_shared<const ProgressRoutine>(std::move(routine)) : nullptr;
    const std::scoped_lock guard(m_lock);
    m_holdsRoutine.store(held != nullptr, std::memory_order_release);
    m_routine = std::move(held);
}

void ProgressSlot::call(int32_t expected, int32_t received) const
{
    if (!holdsRoutine())
        return;
    std::shared_ptr<const ProgressRoutine> routine;
    {
        const std::scoped_lock guard(m_lock);
        routine = m_routine;
    }
    if (routine)
        (*routine)(expected, received, 0, 0);
}

} // namespace torvash
