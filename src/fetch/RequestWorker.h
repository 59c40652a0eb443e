// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/FetchExchange.h"
#include "fetch/HttpLayer.h"
#include "fetch/ProgressSlot.h"

#include <cstdint>

namespace torvash {

/** A body stops growing here, as a read that failed mid-body would: memory is finite, and no result
 *  page comes near it. */
inline constexpr int64_t kBodyCap = int64_t{256} << 20;

/**
 * Carries out the one HTTP request of the job in `exchange` and writes the reply back into it, then
 * stores the cookies the response sets. Runs on a thread of its own. 1 when it went through to the
 * end, 0 when it stopped early (no job, no session, connection or request, or a verb other than GET
 * and POST). Every handle it opens is closed on every path.
 */
int RequestWorker(FetchExchange& exchange, HttpLayer& http, const ProgressSlot& progress);

} // namespace torvash
