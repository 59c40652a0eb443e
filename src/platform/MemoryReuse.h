// SPDX-License-Identifier: MIT
#pragma once

namespace torvash {

/**
 * Lets the process keep memory it frees for its next allocations instead of handing it back to the
 * system at once. A search allocates a body of some hundred kilobytes a page, a hundred times over, on
 * worker threads that come and go; handed back and mapped afresh each time, every page of that memory
 * costs a fault again. Call once at start, before any thread starts.
 */
void KeepFreedMemoryForReuse();

} // namespace torvash
