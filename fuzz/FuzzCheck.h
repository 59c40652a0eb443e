// SPDX-License-Identifier: MIT
#pragma once

#include <cstdlib>

/** A property a fuzz input broke: abort, so that libFuzzer keeps the input. */
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}
