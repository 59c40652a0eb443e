// SPDX-License-Identifier: MIT
#include "text/WalkingSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

// TORVASH_SCAN_SSE2 and TORVASH_SCAN_SCALAR narrow the scan down, so that tests cover each way.
#if (defined(__SSE2__) || defined(_M_X64)) && !defined(TORVASH_SCAN_SCALAR)
#include <emmintrin.h>
#define TORVASH_HAVE_SSE2 1
#endif
#if defined(__GNUC__) && defined(__x86_64__) && !defined(TORVASH_SCAN_SCALAR) && !defined(TORVASH_SCAN_SSE2)
#include <immintrin.h>
#define TORVASH_HAVE_AVX2_DISPATCH 1
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

/**
 * Tests candidate starts for the needle's two anchor bytes, many starts a round. A start passes when
 * each anchor's text byte, ORed with the anchor's bits, equals the wanted byte.
 */
struct AnchorScan
{
    const char* firstBytes; // the text, moved on by the first anchor's index in the needle
    const char* secondBytes;
    unsigned char firstBits;
    unsigned char firstWanted;
    unsigned char secondBits;
    unsigned char secondWanted;

    [[nodiscard]] bool holdsAt(int64_t start) const
    {
        return (static_cast<unsigned char>(firstBytes[start]) | firstBits) == firstWanted &&
               (static_cast<unsigned char>(secondBytes[start]) | secondBits) == secondWanted;
    }

#if TORVASH_HAVE_SSE2
    /** A bit for each of the sixteen starts from `start` on that passes. */
    [[nodiscard]] unsigned candidates16(int64_t start) const
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(firstBytes + start));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(secondBytes + start));
        const __m128i firstHits = _mm_cmpeq_epi8(_mm_or_si128(a, _mm_set1_epi8(static_cast<char>(firstBits))),
                                                 _mm_set1_epi8(static_cast<char>(firstWanted)));
        const __m128i secondHits =
            _mm_cmpeq_epi8(_mm_or_si128(b, _mm_set1_epi8(static_cast<char>(secondBits))),
                           _mm_set1_epi8(static_cast<char>(secondWanted)));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(firstHits, secondHits)));
    }
#endif
};

/** The first start among the mask's bits, counted from `start`, at which the whole needle matches. */
template <typename Matches> int64_t firstMatch(int64_t start, uint32_t mask, const Matches& matches)
{
    for (; mask != 0; mask &= mask - 1) {
        const int64_t candidate = start + std::countr_zero(mask);
        if (matches(candidate))
            return candidate;
    }
    return -1;
}

#if TORVASH_HAVE_SSE2
/** Full rounds of sixteen starts up to `lastStart`; `at` is left at the first start not yet tested. */
template <typename Matches>
int64_t scanRounds16(const AnchorScan& scan, int64_t& at, int64_t lastStart, const Matches& matches)
{
    for (; at + 15 <= lastStart; at += 16)
        if (const uint32_t mask = scan.candidates16(at); mask != 0)
            if (const int64_t found = firstMatch(at, mask, matches); found >= 0)
                return found;
    return -1;
}
#endif

#if TORVASH_HAVE_AVX2_DISPATCH
const bool kCpuHasAvx2 = __builtin_cpu_supports("avx2") != 0;

/** As scanRounds16, thirty-two starts a round, on processors that have AVX2. */
template <typename Matches>
[[gnu::target("avx2")]] int64_t scanRounds32(const AnchorScan& scan, int64_t& at, int64_t lastStart,
                                             const Matches& matches)
{
    const __m256i firstBits = _mm256_set1_epi8(static_cast<char>(scan.firstBits));
    const __m256i firstWanted = _mm256_set1_epi8(static_cast<char>(scan.firstWanted));
    const __m256i secondBits = _mm256_set1_epi8(static_cast<char>(scan.secondBits));
    const __m256i secondWanted = _mm256_set1_epi8(static_cast<char>(scan.secondWanted));
    const auto* firstBytes = reinterpret_cast<const __m256i*>(scan.firstBytes + at);
    const auto* secondBytes = reinterpret_cast<const __m256i*>(scan.secondBytes + at);
    for (; at + 31 <= lastStart; at += 32, ++firstBytes, ++secondBytes) {
        const __m256i a = _mm256_or_si256(_mm256_loadu_si256(firstBytes), firstBits);
        const __m256i b = _mm256_or_si256(_mm256_loadu_si256(secondBytes), secondBits);
        const __m256i both =
            _mm256_and_si256(_mm256_cmpeq_epi8(a, firstWanted), _mm256_cmpeq_epi8(b, secondWanted));
        if (const auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(both)); mask != 0)
            if (const int64_t found = firstMatch(at, mask, matches); found >= 0)
                return found;
    }
    return -1;
}
#endif

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
    for (size_t i = 0; i < std::min(m_bytes.size(), m_head.size()); ++i)
        m_head[i] = static_cast<char>(m_folded ? fold(m_bytes[i]) : m_bytes[i]);
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

    if (lastIndex == 0 && first.bits == 0) {
        const void* found = std::memchr(text + from, needle[0], static_cast<size_t>(endOffset - from));
        return found == nullptr ? -1 : static_cast<const char*>(found) - text;
    }

    const AnchorScan scan{text + first.index, text + second.index, first.bits,
                          first.wanted,       second.bits,         second.wanted};
    const auto matches = [this](int64_t candidate) { return matchesAt(candidate); };
    const int64_t lastStart = endOffset - lastIndex - 1; // the last start with room for the whole needle
    int64_t at = from;
#if TORVASH_HAVE_AVX2_DISPATCH
    if (kCpuHasAvx2 && lastStart - at >= 31)
        if (const int64_t found = scanRounds32(scan, at, lastStart, matches); found >= 0)
            return found;
#endif
#if TORVASH_HAVE_SSE2
    if (const int64_t found = scanRounds16(scan, at, lastStart, matches); found >= 0)
        return found;
    // The last few starts in one more round when the text goes on far enough to read it, with the
    // starts past the last one masked off.
    if (at <= lastStart && at + lastIndex + 16 <= static_cast<int64_t>(m_text.size())) {
        const unsigned fitting = (1U << (lastStart - at + 1)) - 1U;
        return firstMatch(at, scan.candidates16(at) & fitting, matches);
    }
#endif
    for (; at <= lastStart; ++at)
        if (scan.holdsAt(at) && matches(at))
            return at;
    return -1;
}

bool WalkingSearch::matchesAt(int64_t offset) const
{
    const std::string_view needle = m_needle->bytes();
    const char* text = m_text.data() + offset;
#if TORVASH_HAVE_SSE2
    // A needle of up to sixteen bytes in one step, when the text goes on far enough to read them.
    if (needle.size() <= 16 && offset + 16 <= static_cast<int64_t>(m_text.size())) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
        if (m_needle->folded()) {
            // Signed compares: the bytes of 0x80 and above are negative and stay as they are.
            const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                                _mm_cmpgt_epi8(_mm_set1_epi8('Z' + 1), bytes));
            bytes = _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
        }
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_needle->m_head.data()));
        const auto equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, head)));
        const unsigned wanted = (1U << needle.size()) - 1U;
        return (equal & wanted) == wanted;
    }
#endif
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
