// SPDX-License-Identifier: MIT
#include "platform/MemoryReuse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace torvash {

void KeepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // Blocks below 32 MiB come from the heap and go back to it; the heap gives back to the system only
    // what stands free above 64 MiB. A body larger than that is still mapped, and unmapped when freed.
    constexpr int kMappedFrom = 32 << 20;
    constexpr int kKeptUpTo = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
    mallopt(M_TRIM_THRESHOLD, kKeptUpTo);
#endif
}

} // namespace torvash
