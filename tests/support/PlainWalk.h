// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

/*
 * FindText and FindTextReverse done the plain way, one byte after another along the character walk,
 * for the tests and the fuzz targets to hold the fast searches against.
 */
namespace torvash::plainwalk {

inline unsigned char comparedByte(char byte, bool ignoreCase)
{
    const auto value = static_cast<unsigned char>(byte);
    if (ignoreCase && value >= 'A' && value <= 'Z')
        return static_cast<unsigned char>(value + 0x20);
    return value;
}

/** Whether the needle occurs at the 1-based `position`, which leaves room for all of it. */
inline bool occursAt(std::string_view text, std::string_view needle, int64_t position, bool ignoreCase)
{
    for (size_t i = 0; i < needle.size(); ++i) {
        const char byte = text[static_cast<size_t>(position - 1) + i];
        if (comparedByte(byte, ignoreCase) != comparedByte(needle[i], ignoreCase))
            return false;
    }
    return true;
}

inline int64_t characterStep(std::string_view text, int64_t position)
{
    return static_cast<unsigned char>(text[static_cast<size_t>(position - 1)]) >= 0x80 ? 2 : 1;
}

/** Every occurrence at a character start of the walk that begins at `first` (1 or more), in order. */
inline std::vector<int32_t> walkOccurrences(std::string_view text, std::string_view needle, int64_t first,
                                            bool ignoreCase)
{
    std::vector<int32_t> found;
    const auto length = static_cast<int64_t>(text.size());
    const auto needleLength = static_cast<int64_t>(needle.size());
    for (int64_t p = first; p + needleLength - 1 <= length; p += characterStep(text, p)) {
        if (occursAt(text, needle, p, ignoreCase))
            found.push_back(static_cast<int32_t>(p));
    }
    return found;
}

inline int32_t plainFind(std::string_view text, std::string_view needle, int32_t start, bool ignoreCase)
{
    const auto length = static_cast<int64_t>(text.size());
    const auto needleLength = static_cast<int64_t>(needle.size());
    const int64_t first = start < 1 ? 1 : start;
    if (first > length)
        return -1;
    if (needleLength == 0)
        return 1;
    for (int64_t p = first; p + needleLength - 1 <= length; p += characterStep(text, p)) {
        if (occursAt(text, needle, p, ignoreCase))
            return static_cast<int32_t>(p);
    }
    return -1;
}

inline int32_t plainFindReverse(std::string_view text, std::string_view needle, bool ignoreCase)
{
    if (text.empty())
        return -1;
    if (needle.empty())
        return 1;
    const std::vector<int32_t> found = walkOccurrences(text, needle, 1, ignoreCase);
    return found.empty() ? -1 : found.back();
}

} // namespace torvash::plainwalk
