// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace torvash {

/**
 * Entry i is the address of the result page that row i of the result list came from. The search run
 * appends on its thread while the row menu reads on the user-interface thread, so every operation
 * takes the list's lock and hands out copies.
 */
class PageAddressList
{
public:
    void clear();
    void append(TextView address);
    [[nodiscard]] int32_t count() const;
    /** A copy of entry `index`; the empty text for an index outside the list. */
    [[nodiscard]] Text entryAt(int32_t index) const;

private:
    mutable std::mutex m_lock;
    std::vector<Text> m_entries;
};

} // namespace torvash
