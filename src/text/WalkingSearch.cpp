// SPDX-License-Identifier: MIT
#include "text/WalkingSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TORVASH_HAVE_SSE2 1
#endif

namespace torvash {

namespace {

constexpr std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[static_cast<size_t>(byte)] =
            static_cast<unsigned char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte);
    return table;
}

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

unsigned char fold(char byte)
{
    return kFold[static_cast<unsigned char>(byte)];
}

bool isAsciiLetter(char byte)
{
    return fold(byte) >= 'a' && fold(byte) <= 'z';
}

/** How often a byte turns up in a result page, roughly: the lower, the better it sifts candidates. */
int commonness(char byte)
{
    const unsigned char folded = fold(byte);
    if (folded >= 0x80)
        return 2; // any one lead or trail byte value is rare, though GBK text as a whole is not
    if (std::strchr("etaoinsrhlcd", folded) != nullptr && folded != '\0')
        return 6;
    if (isAsciiLetter(byte))
        return 3;
    if (folded >= '0' && folded <= '9')
        return 4;
    if (std::strchr(" <>\"=/\n.-:_", folded) != nullptr && folded != '\0')
        return 9;
    return 3;
}

} // namespace

PreparedNeedle::PreparedNeedle(TextView needle, Case letterCase)
    : m_bytes(needle.bytes())
    , m_folded(letterCase == Case::Ignore && std::any_of(m_bytes.begin(), m_bytes.end(), isAsciiLetter))
{
    const auto length = static_cast<int32_t>(m_bytes.size());
    const auto lessCommon = [this](int32_t a, int32_t b) {
        return commonness(m_bytes[a]) < commonness(m_bytes[b]);
    };
    int32_t first = 0;
    for (int32_t i = 1; i < length; ++i)
        if (lessCommon(i, first))
            first = i;
    // The second anchor: the least common of the rest, the furthest from the first among equals.
    int32_t second = first == 0 ? length - 1 : 0;
    for (int32_t i = 0; i < length; ++i) {
        if (i == first)
            continue;
        const bool better = lessCommon(i, second) ||
                            (!lessCommon(second, i) && std::abs(i - first) > std::abs(second - first));
        if (better)
            second = i;
    }
    const auto anchor = [this](int32_t index) {
        const char byte = m_bytes[static_cast<size_t>(index)];
        const unsigned char bits = m_folded && isAsciiLetter(byte) ? 0x20 : 0;
        return Anchor{index, bits, static_cast<unsigned char>(static_cast<unsigned char>(byte) | bits)};
    };
    m_first = anchor(first);
    m_second = anchor(second);
}

WalkingSearch::WalkingSearch(TextView text, const PreparedNeedle& needle, int32_t walkStart)
    : m_text(text.bytes())
    , m_needle(&needle)
    , m_from(std::max(walkStart, 1) - 1)
    , m_walkPosition(m_from)
{}

int32_t WalkingSearch::next(int32_t end)
{
    const auto length = static_cast<int64_t>(m_needle->bytes().size());
    const int64_t endOffset = std::min<int64_t>(end, static_cast<int64_t>(m_text.size()));
    while (m_from + length <= endOffset) {
        const int64_t candidate = findCandidate(m_from, endOffset);
        if (candidate < 0) {
            m_from = std::max(m_from, endOffset - length + 1);
            return -1;
        }
        m_from = candidate + 1;
        if (isOnWalk(candidate))
            return static_cast<int32_t>(candidate + 1);
    }
    return -1;
}

int64_t WalkingSearch::findCandidate(int64_t from, int64_t endOffset) const
{
    const std::string_view needle = m_needle->bytes();
    const char* text = m_text.data();
    const auto lastIndex = static_cast<int64_t>(needle.size()) - 1;
    const PreparedNeedle::Anchor first = m_needle->m_first;
    const PreparedNeedle::Anchor second = m_needle->m_second;
    int64_t at = from;

    if (lastIndex == 0 && first.bits == 0) {
        const void* found = std::memchr(text + at, needle[0], static_cast<size_t>(endOffset - at));
        return found == nullptr ? -1 : static_cast<const char*>(found) - text;
    }
#if TORVASH_HAVE_SSE2
    const __m128i firstWanted = _mm_set1_epi8(static_cast<char>(first.wanted));
    const __m128i secondWanted = _mm_set1_epi8(static_cast<char>(second.wanted));
    const __m128i firstBits = _mm_set1_epi8(static_cast<char>(first.bits));
    const __m128i secondBits = _mm_set1_epi8(static_cast<char>(second.bits));
    const char* firstBytes = text + first.index;
    const char* secondBytes = text + second.index;
    const auto candidatesAt = [&](int64_t start) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(firstBytes + start));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(secondBytes + start));
        const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstBits), firstWanted),
                                           _mm_cmpeq_epi8(_mm_or_si128(b, secondBits), secondWanted));
        return static_cast<unsigned>(_mm_movemask_epi8(both));
    };
    const auto firstMatch = [&](int64_t start, unsigned mask) -> int64_t {
        for (; mask != 0; mask &= mask - 1) {
            const int64_t candidate = start + std::countr_zero(mask);
            if (matchesAt(candidate))
                return candidate;
        }
        return -1;
    };
    // Sixteen candidate starts a round, each with room for the whole needle before the end.
    for (; at + lastIndex + 16 <= endOffset; at += 16) {
        const unsigned mask = candidatesAt(at);
        if (mask == 0)
            continue;
        if (const int64_t found = firstMatch(at, mask); found >= 0)
            return found;
    }
    // The last few starts in one more round when the text goes on far enough to read it, with the
    // starts that would run past the end masked off.
    if (at + lastIndex < endOffset && at + lastIndex + 16 <= static_cast<int64_t>(m_text.size())) {
        const unsigned fitting = (1U << (endOffset - lastIndex - at)) - 1U;
        return firstMatch(at, candidatesAt(at) & fitting);
    }
#endif
    const auto anchorHolds = [text](const PreparedNeedle::Anchor& anchor, int64_t start) {
        return (static_cast<unsigned char>(text[start + anchor.index]) | anchor.bits) == anchor.wanted;
    };
    for (; at + lastIndex < endOffset; ++at)
        if (anchorHolds(first, at) && anchorHolds(second, at) && matchesAt(at))
            return at;
    return -1;
}

bool WalkingSearch::matchesAt(int64_t offset) const
{
    const std::string_view needle = m_needle->bytes();
    const char* text = m_text.data() + offset;
    if (!m_needle->folded())
        return std::memcmp(text, needle.data(), needle.size()) == 0;
    for (size_t i = 0; i < needle.size(); ++i)
        if (fold(text[i]) != fold(needle[i]))
            return false;
    return true;
}

int32_t FindText(TextView text, const PreparedNeedle& needle, int32_t start)
{
    const int32_t first = std::max(start, 1);
    if (first > text.length())
        return -1;
    WalkingSearch search(text, needle, first);
    return search.next(text.length());
}

/** Whether `offset` is a character start of the walk; moves the walk's known start up to it. */
bool WalkingSearch::isOnWalk(int64_t offset)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_text.data());
    // After an ASCII byte every walk that began before it is in step: it either steps on that byte and
    // then on to the next, or jumps over it from a lead byte onto the next. So look back over lead bytes
    // only, to such a byte or to the walk's known start; from there on every character is two bytes.
    int64_t walk = offset;
    while (walk > m_walkPosition && bytes[walk - 1] >= 0x80)
        --walk;
    const bool onWalk = (offset - walk) % 2 == 0;
    m_walkPosition = onWalk ? offset : offset + 1;
    return onWalk;
}

} // namespace torvash
