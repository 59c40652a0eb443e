// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>

/*
 * Splitting a web address into the host, path and port that a request needs. Only "http://" is known;
 * an address without it is taken to begin with the host.
 */
namespace torvash {

/** The host, lower-cased; with its ":" and port when `keepPort` is true. */
Text HostOfAddress(TextView address, bool keepPort);
/** The path with any query, beginning with "/"; "/" when the address has none. */
Text PathOfAddress(TextView address);
/** The port after the host's ":"; 80 when there is none, 0 when no number follows the ":". */
int32_t PortOfAddress(TextView address);

} // namespace torvash
