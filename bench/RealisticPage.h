// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace torvash::bench {

/** The seller whose listings a generated page holds. */
inline constexpr const char* kBenchSeller = "\xB2\xE8\xD2\xB6tea\xC6\xEC\xBD\xA2\xB5\xEA";

/**
 * A result page of about `size` bytes in the marketplace's layout: mostly ASCII markup with about 15%
 * GBK text, `sellerHits` listing blocks of kBenchSeller spread evenly among other shops' listings.
 * Deterministic for the same arguments.
 */
std::string makeRealisticPage(size_t size, int32_t sellerHits);

} // namespace torvash::bench
