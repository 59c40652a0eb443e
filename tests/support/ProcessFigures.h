// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

/* What the process holds right now, from /proc/self, for tests that prove nothing piles up. */
namespace torvash::process {

#if defined(__SANITIZE_ADDRESS__)
/** AddressSanitizer keeps freed blocks in quarantine, so memory freed is not given back at once. */
inline constexpr bool kFreedMemoryIsHeldBack = true;
#else
inline constexpr bool kFreedMemoryIsHeldBack = false;
#endif

/** A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1 when it cannot be read. */
inline long statusKibibytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":"))
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

/** The entries of a /proc/self folder, or -1 when it cannot be read. */
inline long entriesOf(const char* folder)
{
    std::error_code error;
    long count = 0;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
        ++count;
    return error ? -1 : count;
}

inline long threadCount()
{
    return entriesOf("/proc/self/task");
}
/** Counts the descriptor the count itself opens to list the folder, the same every time. */
inline long openFileCount()
{
    return entriesOf("/proc/self/fd");
}

} // namespace torvash::process
