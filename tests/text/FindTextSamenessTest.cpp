// SPDX-License-Identifier: MIT
#include "support/PlainWalk.h"
#include "text/TextOperations.h"
#include "text/WalkingSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

/*
 * The library finds candidate occurrences with fast byte scans and only then checks that a candidate
 * lies on the character walk. These tests hold it to the walk written out plainly, one byte at a time, over
 * random GBK-like texts: mostly ASCII with runs of lead bytes, any byte value in any position, letters
 * of both cases, and lone final lead bytes.
 */
namespace torvash {
namespace {

using namespace plainwalk;

constexpr uint32_t kSeed = 0x7A05'1D2Bu;
constexpr int kFindCases = 6000;
constexpr int kWalkingCases = 5000;

// ---------------------------------------------------------------------------------------------------
// Random cases

class CaseMaker
{
public:
    explicit CaseMaker(uint32_t seed) : m_random(seed) {}

    int32_t between(int32_t low, int32_t high)
    {
        return std::uniform_int_distribution<int32_t>(low, high)(m_random);
    }

    bool chance(int percent) { return between(1, 100) <= percent; }

    std::string text(int32_t length)
    {
        std::string bytes;
        while (static_cast<int32_t>(bytes.size()) < length) {
            const int32_t kind = between(1, 100);
            if (kind <= 50) {
                for (int32_t n = between(1, 10); n > 0; --n)
                    bytes.push_back(asciiByte());
            } else if (kind <= 85) {
                for (int32_t n = between(1, 5); n > 0; --n) {
                    bytes.push_back(leadByte());
                    bytes.push_back(secondByte());
                }
            } else {
                bytes.push_back(anyByte());
            }
        }
        bytes.resize(static_cast<size_t>(length));
        if (length > 0 && chance(20))
            bytes.back() = leadByte(); // often a lone final lead byte
        return bytes;
    }

    /** A short unit repeated with a few bytes changed: many overlapping and near occurrences. */
    std::string periodicText(int32_t length)
    {
        const std::string unit = text(between(1, 5));
        std::string bytes;
        while (static_cast<int32_t>(bytes.size()) < length)
            bytes += unit;
        bytes.resize(static_cast<size_t>(length));
        for (int32_t n = length / 40; n > 0 && length > 0; --n)
            bytes[static_cast<size_t>(between(0, length - 1))] = chance(50) ? asciiByte() : leadByte();
        return bytes;
    }

    /** Mostly a piece of the text, so that it occurs, sometimes with its letters' cases changed. */
    std::string needle(std::string_view text, int32_t shortest, int32_t longest)
    {
        const auto length = static_cast<int32_t>(text.size());
        if (length < shortest || chance(30))
            return this->text(between(1, std::min(longest, 20)));
        const int32_t count = between(shortest, std::min(longest, length));
        std::string piece(
            text.substr(static_cast<size_t>(between(0, length - count)), static_cast<size_t>(count)));
        if (chance(35)) {
            // Letters change case; now and then another byte changes the same bit, which must not match
            // under ignored case ('@' and '`', '[' and '{', 0xC1 and 0xE1).
            for (char& byte : piece) {
                const bool letter = std::isalpha(static_cast<unsigned char>(byte)) != 0;
                if (byte != 0x20 && chance(letter ? 50 : 10))
                    byte = static_cast<char>(byte ^ 0x20);
            }
        }
        return piece;
    }

    int32_t start(int32_t textLength)
    {
        switch (between(1, 10)) {
        case 1:
            return between(-3, 0);
        case 2:
            return 1;
        case 3:
            return textLength;
        case 4:
            return textLength + between(1, 3);
        case 5:
            return chance(50) ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
        default:
            return between(1, std::max(textLength, 1));
        }
    }

private:
    char asciiByte()
    {
        return chance(90) ? oneOf("aAbBaAbBzZ<>=/ .@`[{") : static_cast<char>(between(0x01, 0x7F));
    }

    char leadByte()
    {
        if (chance(70))
            return oneOf("\x80\x81\xA1\xA3\xB0\xBC\xC1\xE1\xFF");
        return static_cast<char>(between(0x80, 0xFF));
    }

    char secondByte()
    {
        const int32_t kind = between(1, 10);
        if (kind <= 4)
            return leadByte();
        if (kind <= 8)
            return asciiByte();
        return anyByte();
    }

    char anyByte() { return static_cast<char>(between(0x01, 0xFF)); } // a Text holds no NUL

    char oneOf(std::string_view choices)
    {
        return choices[static_cast<size_t>(between(0, static_cast<int32_t>(choices.size()) - 1))];
    }

    std::mt19937 m_random;
};

/** The bytes as a C++ literal, so that a failing case can be pasted into a test. */
std::string literal(std::string_view bytes)
{
    std::string out = "\"";
    bool afterHexEscape = false;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && value != '"' && value != '\\') {
            if (afterHexEscape && std::isxdigit(value) != 0)
                out += "\" \"";
            out += byte;
            afterHexEscape = false;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", value);
            out += escape;
            afterHexEscape = true;
        }
    }
    return out + "\"";
}

std::string describe(uint32_t seed, int caseIndex, std::string_view text, std::string_view needle)
{
    return "case seed " + std::to_string(seed) + ", case " + std::to_string(caseIndex) + "\n  text   " +
           literal(text) + "\n  needle " + literal(needle);
}

const char* caseName(Case letterCase)
{
    return letterCase == Case::Ignore ? "Case::Ignore" : "Case::Exact";
}

struct RandomCase
{
    std::string text;
    std::string needle;
};

RandomCase makeCase(CaseMaker& maker)
{
    RandomCase made;
    const bool longText = maker.chance(5);
    const int32_t length = longText ? maker.between(257, 1500) : maker.between(0, 120);
    made.text = maker.chance(20) ? maker.periodicText(length) : maker.text(length);
    if (longText && maker.chance(40))
        made.needle = maker.needle(made.text, 257, 600);
    else
        made.needle = maker.needle(made.text, 1, 20);
    return made;
}

// ---------------------------------------------------------------------------------------------------

TEST(FindTextSameness, FindTextAndFindTextReverseAgreeWithThePlainWalk)
{
    for (int caseIndex = 0; caseIndex < kFindCases; ++caseIndex) {
        const uint32_t seed = kSeed + static_cast<uint32_t>(caseIndex);
        CaseMaker maker(seed);
        RandomCase made = makeCase(maker);
        if (maker.chance(2))
            made.needle.clear();
        const Text text{std::string_view(made.text)};
        const Text needle{std::string_view(made.needle)};

        for (const Case letterCase : {Case::Exact, Case::Ignore}) {
            const bool ignoreCase = letterCase == Case::Ignore;
            for (int n = 0; n < 3; ++n) {
                const int32_t start = maker.start(text.length());
                const int32_t expected = plainFind(made.text, made.needle, start, ignoreCase);
                ASSERT_EQ(FindText(text, needle, start, letterCase), expected)
                    << describe(seed, caseIndex, made.text, made.needle) << "\n  start " << start << ", "
                    << caseName(letterCase);
                if (!needle.empty()) {
                    ASSERT_EQ(FindText(text, PreparedNeedle(needle, letterCase), start), expected)
                        << describe(seed, caseIndex, made.text, made.needle) << "\n  prepared needle, start "
                        << start << ", " << caseName(letterCase);
                }
            }
            ASSERT_EQ(FindText(text, needle, letterCase), plainFind(made.text, made.needle, 1, ignoreCase))
                << describe(seed, caseIndex, made.text, made.needle) << "\n  start omitted, "
                << caseName(letterCase);
            ASSERT_EQ(FindTextReverse(text, needle, letterCase),
                      plainFindReverse(made.text, made.needle, ignoreCase))
                << describe(seed, caseIndex, made.text, made.needle) << "\n  FindTextReverse, "
                << caseName(letterCase);
        }
    }
}

TEST(FindTextSameness, WalkingSearchReportsTheWalksOccurrencesInOrderAsTheEndGrows)
{
    constexpr int32_t kLargestEnd = std::numeric_limits<int32_t>::max();
    const uint32_t streamSeed = kSeed ^ 0x9E37'79B9u; // other cases than the test above
    for (int caseIndex = 0; caseIndex < kWalkingCases; ++caseIndex) {
        const uint32_t seed = streamSeed + static_cast<uint32_t>(caseIndex);
        CaseMaker maker(seed);
        const RandomCase made = makeCase(maker);
        const Text text{std::string_view(made.text)};
        const Text needle{std::string_view(made.needle)};
        const int32_t walkStart = maker.chance(50) ? 1 : maker.between(-2, text.length() + 2);
        const Case letterCase = maker.chance(50) ? Case::Ignore : Case::Exact;
        const auto context = [&] {
            return describe(seed, caseIndex, made.text, made.needle) + "\n  walk start " +
                   std::to_string(walkStart) + ", " + caseName(letterCase);
        };

        const std::vector<int32_t> expected =
            walkOccurrences(made.text, made.needle, std::max(walkStart, 1), letterCase == Case::Ignore);
        const PreparedNeedle prepared(needle, letterCase);
        WalkingSearch search(text, prepared, walkStart);
        size_t reported = 0;
        // Several calls per end, some ends repeated: an unanswered call must not lose a later occurrence.
        for (int32_t end = maker.between(-2, needle.length() + 2); end <= text.length() + 2;
             end += maker.between(0, std::max(1, text.length() / 6))) {
            for (int32_t calls = maker.between(1, 3); calls > 0; --calls) {
                const bool due =
                    reported < expected.size() && expected[reported] + needle.length() - 1 <= end;
                const int32_t want = due ? expected[reported] : -1;
                ASSERT_EQ(search.next(end), want) << context() << "\n  end " << end;
                if (due)
                    ++reported;
            }
        }
        while (reported < expected.size()) {
            ASSERT_EQ(search.next(kLargestEnd), expected[reported]) << context() << "\n  final calls";
            ++reported;
        }
        ASSERT_EQ(search.next(kLargestEnd), -1) << context() << "\n  after the last occurrence";
    }
}

} // namespace
} // namespace torvash
