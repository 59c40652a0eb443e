// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"
#include "text/TextOperations.h"

#include <array>
#include <cstdint>

namespace torvash {

/**
 * A needle made ready for WalkingSearch: the two of its bytes that a scan tests first (the ones least
 * likely to turn up in markup), and how each is compared. The needle's bytes must outlive it.
 */
class PreparedNeedle
{
public:
    /** `needle` is not empty. */
    PreparedNeedle(TextView needle, Case letterCase);

    [[nodiscard]] std::string_view bytes() const { return m_bytes; }
    /** Whether a match compares with A-Z folded: only when the case is ignored and the needle has a letter.
     */
    [[nodiscard]] bool folded() const { return m_folded; }

private:
    friend class WalkingSearch;

    struct Anchor
    {
        int32_t index = 0; // in the needle
        unsigned char bits =
            0; // ORed into a text byte before comparing: 0x20 takes in both cases of a letter
        unsigned char wanted = 0;
    };

    std::string_view m_bytes;
    bool m_folded = false;
    Anchor m_first;
    Anchor m_second;
    // The needle's first sixteen bytes with A-Z folded when the needle is, zeros after, for comparing
    // a short needle in one vector step.
    std::array<char, 16> m_head{};
};

/**
 * Finds, in order, the occurrences of a needle that begin on a character start of one walk through a
 * text, the walk beginning at a given position. Each call resumes where the last one stopped, so all
 * the calls on one search together cost one pass over the text, however they split it.
 *
 * Candidates come from a vector scan for two bytes of the needle at their distance; a candidate is then
 * placed on or off the walk by looking back only to the nearest ASCII byte, after which every walk that
 * started before it is in step, or to the walk's furthest known character start. Markup is therefore
 * never walked byte by byte.
 *
 * The text and the prepared needle must outlive the search.
 */
class WalkingSearch
{
public:
    WalkingSearch(TextView text, const PreparedNeedle& needle, int32_t walkStart);

    /**
     * The position of the next occurrence that ends at or before position `end`, or -1 when there is
     * none up to there; a later call with a larger `end` goes on from where this one stopped.
     */
    int32_t next(int32_t end);

private:
    /** First candidate at 0-based offset `from` or later that ends before offset `endOffset`, or -1. */
    int64_t findCandidate(int64_t from, int64_t endOffset) const;
    bool matchesAt(int64_t offset) const;
    bool isOnWalk(int64_t offset);

    std::string_view m_text;
    const PreparedNeedle* m_needle;
    int64_t m_from = 0;         // no unreported occurrence starts before this offset
    int64_t m_walkPosition = 0; // a character start of the walk, at or before every candidate
};

/** FindText with a needle prepared once for many searches. */
int32_t FindText(TextView text, const PreparedNeedle& needle, int32_t start);

} // namespace torvash
