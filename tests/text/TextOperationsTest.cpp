// SPDX-License-Identifier: MIT
#include "text/TextOperations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace torvash {
namespace {

// Case tables keep one case a line, and GBK literals are split where a hex escape meets a hex letter.
// clang-format off

using namespace std::string_view_literals;

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

/** A text for a failure message, its bytes escaped. */
std::string shown(const char* text)
{
    return testing::PrintToString(std::string_view(text));
}

// 'ab', the two-byte character 0xBC 0xD2, 'cd'.
constexpr const char* kMixed = "ab\xBC\xD2" "cd";
// Two two-byte characters, then 'x'. A walk begun on byte 2 pairs the wrong bytes up to the end.
constexpr const char* kLeadRun = "\xB0\xB1\xB2\xB3" "x";

// ---------------------------------------------------------------------------------------------------
// FindText

struct FindCase
{
    const char* label;
    const char* text;
    const char* needle;
    int32_t start;
    Case letterCase;
    int32_t expected;
};

void expectFindResults(std::span<const FindCase> cases)
{
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FindText(c.text, c.needle, c.start, c.letterCase), c.expected);
        if (c.start == 1) {
            EXPECT_EQ(FindText(c.text, c.needle, c.letterCase), c.expected) << "with the start omitted";
        }
    }
}

TEST(FindText, FindsTheFirstOccurrenceAtOrAfterTheStart)
{
    const FindCase cases[] = {
        {"from the first byte", "abcabc", "abc", 1, Case::Exact, 1},
        {"start inside the first occurrence", "abcabc", "abc", 2, Case::Exact, 4},
        {"start on an occurrence", "abcabc", "abc", 4, Case::Exact, 4},
        {"start 0 counts as 1", "abcabc", "abc", 0, Case::Exact, 1},
        {"negative start counts as 1", "abcabc", "abc", -5, Case::Exact, 1},
        {"most negative start counts as 1", "abcabc", "abc", kMin, Case::Exact, 1},
        {"start on the last byte", "abcabc", "c", 6, Case::Exact, 6},
        {"start one past the end", "abcabc", "c", 7, Case::Exact, -1},
        {"largest start", "abcabc", "c", kMax, Case::Exact, -1},
        {"occurrence would run past the end", "abcabc", "abc", 5, Case::Exact, -1},
        {"empty text", "", "x", 1, Case::Exact, -1},
        {"needle longer than the text", "abc", "abcd", 1, Case::Exact, -1},
        {"needle equal to the text", "abc", "abc", 1, Case::Exact, 1},
        {"needle absent", "abcabc", "abd", 1, Case::Exact, -1},
        {"overlapping occurrences, first", "aaa", "aa", 1, Case::Exact, 1},
        {"overlapping occurrences, second", "aaa", "aa", 2, Case::Exact, 2},
        {"overlapping occurrences, none left", "aaa", "aa", 3, Case::Exact, -1},
    };
    expectFindResults(cases);
}

TEST(FindText, EmptyNeedleIsFoundAtOneNotAtStart)
{
    const FindCase cases[] = {
        {"start 1", "abc", "", 1, Case::Exact, 1},
        {"start on the last byte", "abc", "", 3, Case::Exact, 1},
        {"start 0", "abc", "", 0, Case::Exact, 1},
        {"negative start", "abc", "", -1, Case::Exact, 1},
        {"start one past the end", "abc", "", 4, Case::Exact, -1},
        {"empty text", "", "", 1, Case::Exact, -1},
        {"empty text, start 0", "", "", 0, Case::Exact, -1},
    };
    expectFindResults(cases);
}

TEST(FindText, IgnoreCaseFoldsOnlyTheLettersAToZOnBothSides)
{
    const FindCase cases[] = {
        {"upper-case needle", "abc", "ABC", 1, Case::Ignore, 1},
        {"upper-case needle, exact", "abc", "ABC", 1, Case::Exact, -1},
        {"mixed cases on both sides", "xAbC", "aBc", 1, Case::Ignore, 2},
        {"last letter", "xyz", "XYZ", 1, Case::Ignore, 1},
        {"non-letters must still be equal", "a@b", "A@B", 1, Case::Ignore, 1},
        {"'@' is not '`' beside letters", "a`b", "A@B", 1, Case::Ignore, -1},
        {"'[' is not '{' beside letters", "a{b", "A[B", 1, Case::Ignore, -1},
        {"0xC1 is not 0xE1 beside letters", "a\xE1" "b", "A\xC1" "B", 1, Case::Ignore, -1},
        {"'@' is not a capital of '`'", "`", "@", 1, Case::Ignore, -1},
        {"'`' is not a small '@'", "@", "`", 1, Case::Ignore, -1},
        {"'[' is not a capital of '{'", "{", "[", 1, Case::Ignore, -1},
        {"'{' is not a small '['", "[", "{", 1, Case::Ignore, -1},
        {"no folding beyond ASCII", "\xE1", "\xC1", 1, Case::Ignore, -1},
        {"no folding beyond ASCII, other way", "\xC1", "\xE1", 1, Case::Ignore, -1},
    };
    expectFindResults(cases);
}

TEST(FindText, IgnoreCaseFoldsSecondBytesOfTwoByteCharacters)
{
    const FindCase cases[] = {
        {"folded second byte in the text", "\x81\x41" "b", "\x81\x61", 1, Case::Ignore, 1},
        {"folded second byte in the text, exact", "\x81\x41" "b", "\x81\x61", 1, Case::Exact, -1},
        {"folded second byte in the needle", "\x81" "a", "\x81" "A", 1, Case::Ignore, 1},
        {"a letter that is a second byte is not on the walk", "\xB0\x41", "a", 1, Case::Ignore, -1},
        {"unless the walk begins on it", "\xB0\x41", "a", 2, Case::Ignore, 2},
    };
    expectFindResults(cases);
}

TEST(FindText, OccurrenceBeginningOnASecondByteIsNotFound)
{
    const FindCase cases[] = {
        {"needle across a character boundary", kMixed, "\xD2" "c", 1, Case::Exact, -1},
        {"single second byte", kMixed, "\xD2", 1, Case::Exact, -1},
        {"needle after the two-byte character", kMixed, "cd", 1, Case::Exact, 5},
        {"the two-byte character itself", kMixed, "\xBC\xD2", 1, Case::Exact, 3},
        {"needle ending on a lead byte", kMixed, "b\xBC", 1, Case::Exact, 2},
        {"ASCII second byte is skipped", "\xB0" "aa", "a", 1, Case::Exact, 3},
        {"only occurrence starts on a second byte", "\xB0" "aa", "aa", 1, Case::Exact, -1},
        {"pairs of lead bytes", "\xC1\xC1\xC1\xC1", "\xC1\xC1", 1, Case::Exact, 1},
        {"lone final lead byte", "ab\xB0", "\xB0", 1, Case::Exact, 3},
        {"needle running past a lone final lead byte", "a\xB0", "\xB0" "x", 1, Case::Exact, -1},
    };
    expectFindResults(cases);
}

TEST(FindText, WalkBegunOnASecondByteStaysOutOfStep)
{
    const FindCase cases[] = {
        {"start on the second byte finds the straddling needle", kMixed, "\xD2" "c", 4, Case::Exact, 4},
        {"start on the second byte finds that byte", kMixed, "\xD2", 4, Case::Exact, 4},
        {"in step from the first byte", kLeadRun, "\xB2\xB3", 1, Case::Exact, 3},
        {"out of step misses a true character", kLeadRun, "\xB2\xB3", 2, Case::Exact, -1},
        {"in step again from byte 3", kLeadRun, "\xB2\xB3", 3, Case::Exact, 3},
        {"out of step finds a straddling needle", kLeadRun, "\xB1\xB2", 2, Case::Exact, 2},
        {"in step misses the straddling needle", kLeadRun, "\xB1\xB2", 1, Case::Exact, -1},
        {"final ASCII byte, in step", kLeadRun, "x", 1, Case::Exact, 5},
        {"final ASCII byte swallowed as a second byte", kLeadRun, "x", 2, Case::Exact, -1},
        {"final ASCII byte swallowed, start 4", kLeadRun, "x", 4, Case::Exact, -1},
        {"final ASCII byte, start on it", kLeadRun, "x", 5, Case::Exact, 5},
        {"pairs of lead bytes from byte 2", "\xC1\xC1\xC1\xC1", "\xC1\xC1", 2, Case::Exact, 2},
    };
    expectFindResults(cases);
}

// ---------------------------------------------------------------------------------------------------
// FindTextReverse

struct ReverseCase
{
    const char* label;
    const char* text;
    const char* needle;
    Case letterCase;
    int32_t expected;
};

TEST(FindTextReverse, FindsTheLastOccurrenceOnTheWalkFromTheFirstByte)
{
    const ReverseCase cases[] = {
        {"two occurrences", "abcabc", "abc", Case::Exact, 4},
        {"overlapping occurrences", "aaa", "aa", Case::Exact, 2},
        {"ignore case finds the later spelling",
         "..EventCanSelect..eventcanselect..", "EventCanSelect", Case::Ignore, 19},
        {"exact case finds the only spelling",
         "..EventCanSelect..eventcanselect..", "EventCanSelect", Case::Exact, 3},
        {"exact case on a single letter", "xAx", "a", Case::Exact, -1},
        {"ignore case on a single letter", "xAx", "a", Case::Ignore, 2},
        {"needle absent", "abc", "x", Case::Exact, -1},
        {"needle longer than the text", "abc", "abcd", Case::Exact, -1},
        {"empty text", "", "a", Case::Exact, -1},
        {"empty needle", "abc", "", Case::Exact, 1},
        {"empty needle and text", "", "", Case::Exact, -1},
        {"two-byte character", kMixed, "\xBC\xD2", Case::Exact, 3},
        {"occurrence on a second byte", kMixed, "\xD2" "c", Case::Exact, -1},
        {"second byte skipped, lone final byte found", "\xB0\xB0\xB0", "\xB0", Case::Exact, 3},
        {"lead-byte pairs, even length", "\xC1\xC1\xC1\xC1", "\xC1\xC1", Case::Exact, 3},
        {"lead-byte pairs, odd length", "\xC1\xC1\xC1", "\xC1\xC1", Case::Exact, 1},
        {"lone final lead byte", "\xB0" "a\xB0", "\xB0", Case::Exact, 3},
        {"folded second bytes", "\x81\x41\x81\x41", "\x81\x61", Case::Ignore, 3},
    };
    for (const ReverseCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FindTextReverse(c.text, c.needle, c.letterCase), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------------
// Cutting

struct CountCase
{
    const char* text;
    int32_t count;
    std::string_view expected;
};

TEST(LeftText, KeepsTheFirstBytesWithCountsClampedToTheText)
{
    const CountCase cases[] = {
        {"abc", 2, "ab"},
        {"abc", 3, "abc"},
        {"abc", 5, "abc"},
        {"abc", kMax, "abc"},
        {"abc", 0, ""},
        {"abc", -1, ""},
        {"abc", kMin, ""},
        {"", 3, ""},
        {"\xBC\xD2" "a", 1, "\xBC"},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(testing::Message() << shown(c.text) << ", " << c.count);
        EXPECT_EQ(LeftText(c.text, c.count).bytes(), c.expected);
        EXPECT_EQ(LeftView(c.text, c.count).bytes(), c.expected);
    }
}

TEST(RightText, KeepsTheLastBytesWithCountsClampedToTheText)
{
    const CountCase cases[] = {
        {"abc", 2, "bc"},
        {"abc", 3, "abc"},
        {"abc", 4, "abc"}, // length minus a position of -1
        {"abc", kMax, "abc"},
        {"abc", 0, ""},
        {"abc", -1, ""},
        {"abc", kMin, ""},
        {"", 1, ""},
        {"a\xBC\xD2", 1, "\xD2"},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(testing::Message() << shown(c.text) << ", " << c.count);
        EXPECT_EQ(RightText(c.text, c.count).bytes(), c.expected);
        EXPECT_EQ(RightView(c.text, c.count).bytes(), c.expected);
    }
}

struct RangeCase
{
    const char* text;
    int32_t start;
    int32_t count;
    std::string_view expected;
};

TEST(MidText, CutsFromStartUpToTheEndAndNothingOutsideTheText)
{
    const RangeCase cases[] = {
        {"abcdef", 2, 3, "bcd"},
        {"abcdef", 1, 6, "abcdef"},
        {"abcdef", 5, 10, "ef"},
        {"abcdef", 6, 1, "f"},
        {"abcdef", 2, kMax, "bcdef"},
        {"abcdef", 6, kMax, "f"},
        {"abcdef", 0, 2, ""},
        {"abcdef", -1, 3, ""},
        {"abcdef", kMin, 5, ""},
        {"abcdef", 7, 1, ""},
        {"abcdef", kMax, 1, ""},
        {"abcdef", kMax, kMax, ""},
        {"abcdef", 2, 0, ""},
        {"abcdef", 2, -1, ""},
        {"abcdef", 2, kMin, ""},
        {"", 1, 1, ""},
        {"\xBC\xD2\xBC\xD2", 2, 2, "\xD2\xBC"},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << shown(c.text) << ", " << c.start << ", " << c.count);
        EXPECT_EQ(MidText(c.text, c.start, c.count).bytes(), c.expected);
        EXPECT_EQ(MidView(c.text, c.start, c.count).bytes(), c.expected);
    }
}

TEST(RemoveTextAt, DeletesUpToCountBytesWithTheOffsetClampedToTheText)
{
    const RangeCase cases[] = {
        {"Set-Cookie: a=b", 1, 12, "a=b"},
        {"abc", 1, 12, ""},
        {"abc", 2, 1, "ac"},
        {"abc", 3, 1, "ab"},
        {"abc", 2, kMax, "a"},
        {"abc", 0, 1, "bc"},
        {"abc", -5, 2, "c"},
        {"abc", kMin, 1, "bc"},
        {"abc", kMin, kMax, ""},
        {"abc", 4, 1, "abc"},
        {"abc", 5, 1, "abc"},
        {"abc", kMax, kMax, "abc"},
        {"abc", 2, 0, "abc"},
        {"abc", 2, -1, "abc"},
        {"abc", 2, kMin, "abc"},
        {"", 1, 1, ""},
        {"a\xBC\xD2" "b", 3, 1, "a\xBC" "b"},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << shown(c.text) << ", " << c.start << ", " << c.count);
        EXPECT_EQ(RemoveTextAt(c.text, c.start, c.count).bytes(), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------------
// Joining, comparing, making

TEST(ConcatText, JoinsTwoToFourTextsInArgumentOrder)
{
    EXPECT_EQ(ConcatText("ab", "cd").bytes(), "abcd");
    EXPECT_EQ(ConcatText("a", "", "b").bytes(), "ab");
    EXPECT_EQ(ConcatText("1", "2", "3", "4").bytes(), "1234");
    EXPECT_EQ(ConcatText("", "").bytes(), "");
    EXPECT_EQ(ConcatText(Text("\xBC"), "\xD2").bytes(), "\xBC\xD2");
}

TEST(NumberToText, ZeroPaddedPageNumbersComeOutOfConcatAndRightText)
{
    const struct
    {
        int32_t number;
        std::string_view expected;
    } cases[] = {{1, "001"}, {7, "007"}, {10, "010"}, {99, "099"}, {100, "100"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(RightText(ConcatText("00", NumberToText(c.number)), 3).bytes(), c.expected);
    }
}

TEST(NumberToText, WritesPlainDecimalDigitsWithAMinusForNegatives)
{
    const struct
    {
        int32_t number;
        std::string_view expected;
    } cases[] = {
        {0, "0"}, {7, "7"}, {-12, "-12"}, {-1, "-1"}, {100, "100"},
        {kMax, "2147483647"}, {kMin, "-2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(NumberToText(c.number).bytes(), c.expected);
    }
}

TEST(CompareText, OrdersByUnsignedBytesWithAProperPrefixFirst)
{
    const struct
    {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"", "", 0},
        {"abc", "abc", 0},
        {"a", "b", -1},
        {"b", "a", 1},
        {"a", "z", -1}, // the sign only, not the distance
        {"ab", "a", 1},
        {"a", "ab", -1},
        {"A", "a", -1}, // no case folding
        {"\xB0", "a", 1},
        {"a", "\xB0", -1},
        {"\x80", "\x7F", 1},
        {"\xFF", "\x80", 1},
        {"ab\xBC\xD2", "ab\xBC\xD3", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << shown(c.a) << " vs " << shown(c.b));
        EXPECT_EQ(CompareText(c.a, c.b), c.expected);
    }
}

TEST(CompareText, TextNeverGivenAValueEqualsTheEmptyText)
{
    const Text unset;
    EXPECT_EQ(CompareText(unset, ""), 0);
    EXPECT_EQ(CompareText("", unset), 0);
    EXPECT_EQ(CompareText(unset, "a"), -1);
}

TEST(CharFromCode, MakesAOneByteTextExceptForCodeZero)
{
    const struct
    {
        unsigned char code;
        std::string_view expected;
    } cases[] = {{0x00, ""}, {0x41, "A"}, {0x20, " "}, {0xB0, "\xB0"}, {0xFF, "\xFF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        EXPECT_EQ(CharFromCode(c.code).bytes(), c.expected);
    }
}

TEST(BlankText, MakesCountSpacesAndNothingForCountsBelowOne)
{
    EXPECT_EQ(BlankText(3).bytes(), "   ");
    EXPECT_EQ(BlankText(1024).bytes(), std::string(1024, ' '));
    EXPECT_EQ(BlankText(0).bytes(), "");
    EXPECT_EQ(BlankText(-1).bytes(), "");
    EXPECT_EQ(BlankText(kMin).bytes(), "");
}

TEST(TextLength, CountsTheBytesBeforeTheFirstNulOfItsStorage)
{
    EXPECT_EQ(TextLength(Text()), 0);
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("\xBC\xD2"), 2);
    EXPECT_EQ(TextLength(Text("abc\0def"sv)), 3);

    const Text blank = BlankText(1024);
    EXPECT_EQ(TextLength(blank), 1024);
    // Storage the size of that text, into which a platform call wrote a short C string.
    std::string storage(blank.bytes());
    storage.replace(0, 4, "abc\0"sv);
    EXPECT_EQ(TextLength(Text(std::string_view(storage))), 3);
}

// ---------------------------------------------------------------------------------------------------
// Spaces and letter case

struct TransformCase
{
    const char* label;
    const char* text;
    std::string_view expected;
};

TEST(TrimBothEnds, DropsLeadingAndTrailingSpacesOfBothWidthsOnly)
{
    const TransformCase cases[] = {
        {"ASCII spaces", "  a b  ", "a b"},
        {"inner spaces stay", "a \xA1\xA1 b", "a \xA1\xA1 b"},
        {"tab, CR and LF are not spaces", "\t a b \r\n", "\t a b \r\n"},
        {"full-width spaces", "\xA1\xA1" "ab\xA1\xA1 ", "ab"},
        {"spaces of both widths mixed", " \xA1\xA1 \xA1\xA1" "x \xA1\xA1", "x"},
        {"only spaces", "   ", ""},
        {"only full-width spaces", "\xA1\xA1\xA1\xA1", ""},
        {"empty", "", ""},
    };
    for (const TransformCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(TrimBothEnds(c.text).bytes(), c.expected);
    }
}

TEST(TrimBothEnds, WalksByCharactersAndDropsALoneFinalLeadByte)
{
    const TransformCase cases[] = {
        {"lone final lead byte goes, the space before it stays", "ab \xB0", "ab "},
        {"spaces then a lone final lead byte", "  \xB0", ""},
        {"space as the second byte of a character", "a\xB0 ", "a\xB0 "},
        {"space as the second byte, then a real space", "x \xB0 ", "x \xB0 "},
        {"leading character whose second byte is a space", "\xB0  ", "\xB0 "},
        {"0xA1 0xA1 straddling two characters", "\xB0\xA1\xA1" "x", "\xB0\xA1\xA1" "x"},
        {"full-width space then a lone 0xA1", "a\xA1\xA1\xA1", "a\xA1\xA1"},
        {"only a full-width space and a lone 0xA1", "\xA1\xA1\xA1", ""},
        {"space and a lone 0xA1", " \xA1", ""},
    };
    for (const TransformCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(TrimBothEnds(c.text).bytes(), c.expected);
    }
}

TEST(RemoveAllSpaces, RemovesSpaceCharactersOfBothWidthsAndALoneFinalLeadByte)
{
    const TransformCase cases[] = {
        {"ASCII spaces", "  a b  ", "ab"},
        {"tab, CR and LF stay", "\t a b \r\n", "\tab\r\n"},
        {"full-width spaces", "\xA1\xA1" "a\xA1\xA1" "b", "ab"},
        {"two-byte characters stay", "\xBC\xD2 \xBC\xD2", "\xBC\xD2\xBC\xD2"},
        {"lone final lead byte", "ab \xB0", "ab"},
        {"space as the second byte of a character", "a\xB0 b", "a\xB0 b"},
        {"0xA1 0xA1 straddling two characters", "\xB0\xA1\xA1" "x", "\xB0\xA1\xA1" "x"},
        {"full-width space then a lone 0xA1", "\xA1\xA1\xA1", ""},
        {"only spaces", "   ", ""},
        {"empty", "", ""},
    };
    for (const TransformCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(RemoveAllSpaces(c.text).bytes(), c.expected);
    }
}

TEST(ToUpperAndToLower, ChangeOnlyOneByteAsciiLetters)
{
    const struct
    {
        const char* label;
        const char* text;
        std::string_view upper;
        std::string_view lower;
    } cases[] = {
        {"plain word", "get", "GET", "get"},
        {"host name", "Example.COM", "EXAMPLE.COM", "example.com"},
        {"neighbours of the letter ranges", "@[`{azAZ", "@[`{AZAZ", "@[`{azaz"},
        {"letter as a second byte", "\xB0" "aB", "\xB0" "aB", "\xB0" "ab"},
        {"capital as a second byte", "\x81" "A", "\x81" "A", "\x81" "A"},
        {"non-ASCII letters", "x\xC1\xE1y", "X\xC1\xE1Y", "x\xC1\xE1y"},
        {"lone final lead byte is kept", "A\xB0", "A\xB0", "a\xB0"},
        {"empty", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ToUpper(c.text).bytes(), c.upper);
        EXPECT_EQ(ToLower(c.text).bytes(), c.lower);
    }
}

// ---------------------------------------------------------------------------------------------------
// Numbers

TEST(ToNumber, ReadsTheLongestNumberAtTheStart)
{
    const struct
    {
        const char* text;
        double expected;
    } cases[] = {
        {"80", 80},
        {" 443", 443},
        {"\t\n\v\f\r 9", 9},
        {"12abc", 12},
        {"", 0},
        {"abc", 0},
        {"2.5", 2.5},
        {"-1.5", -1.5},
        {"+7", 7},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5},
        {"007", 7},
        {"1.2.3", 1.2},
        {"1,000", 1},
        {"0x10", 0},
        {".", 0},
        {"-", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"1e2", 100},
        {"1E+2", 100},
        {"25e-1", 2.5},
        {"1d2", 100},
        {"1D2", 100},
        {"1d-2", 0.01},
        {"2e3e4", 2000},
        {"1e", 1}, // an exponent letter without digits is not part of the number
        {"3d", 3},
        {"1e+", 1},
        {"1e-x", 1},
        {"e5", 0},
        {"-e5", 0},
        {".e5", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text));
        EXPECT_DOUBLE_EQ(ToNumber(c.text), c.expected);
    }
}

struct FullWidthCase
{
    const char* label;
    const char* text;
    int32_t expected;
};

// Read the same way by ToNumber and ToInteger, so the cases serve both.
const FullWidthCase kFullWidthCases[] = {
    {"full-width digits", "\xA3\xB8\xA3\xB0", 80},
    {"full-width and ASCII digits mixed", "1\xA3\xB2" "3", 123},
    {"full-width minus", "\xA3\xAD\xA3\xB1\xA3\xB2", -12},
    {"full-width plus", "\xA3\xAB" "5", 5},
    {"full-width space", "\xA1\xA1" "42", 42},
    {"0xA3 0xA0 is outside the folded row", "\xA3\xA0" "5", 0},
    {"0xA1 0xAB folds to a tilde, not a sign", "\xA1\xAB" "3", 0},
    {"0xA1 0xEE folds to an asterisk, no digit", "\xA1\xEE" "3", 0},
    {"0xA1 0xEF folds to an asterisk, no digit", "\xA1\xEF" "3", 0},
    {"0xA1 0xA3 is one character, so no full-width digit follows", "\xA1\xA3\xB5", 0},
    {"a digit as a second byte is no digit", "\xB0" "5", 0},
    {"a two-byte character ends the digits", "7\xB0" "3", 7},
    {"lone final lead byte after digits", "12\xA3", 12},
    {"lone final lead byte alone", "\xA3", 0},
};

TEST(ToNumber, FoldsFullWidthCharactersFoundOnTheCharacterWalk)
{
    for (const FullWidthCase& c : kFullWidthCases) {
        SCOPED_TRACE(c.label);
        EXPECT_DOUBLE_EQ(ToNumber(c.text), c.expected);
    }
    EXPECT_DOUBLE_EQ(ToNumber("\xA3\xAD\xA3\xB3\xA3\xAE\xA3\xB5"), -3.5) << "full-width full stop";
    EXPECT_DOUBLE_EQ(ToNumber("\xA3\xB1\xA3\xE5\xA3\xB2"), 100) << "full-width e";
    EXPECT_DOUBLE_EQ(ToNumber("\xA3\xB1\xA3\xC4\xA3\xB2"), 100) << "full-width D";
}

TEST(ToNumber, BeyondTheDoubleRangeGivesSignedInfinityOrZero)
{
    EXPECT_EQ(ToNumber("1e309"), kInfinity);
    EXPECT_EQ(ToNumber("-1e309"), -kInfinity);
    EXPECT_EQ(ToNumber("0.1e310"), kInfinity);
    EXPECT_EQ(ToNumber("1d99999999999999999999"), kInfinity);
    // Which way a number leaves the range depends on its digits and its exponent together.
    const std::string hugeDigits = "1" + std::string(400, '0');
    EXPECT_EQ(ToNumber(hugeDigits.c_str()), kInfinity);
    EXPECT_EQ(ToNumber((hugeDigits + "e-10").c_str()), kInfinity);
    const std::string tinyDigits = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(ToNumber(tinyDigits.c_str()), 0.0);
    EXPECT_EQ(ToNumber((tinyDigits + "e5").c_str()), 0.0);
    EXPECT_EQ(ToNumber("1e-400"), 0.0);
    EXPECT_EQ(ToNumber("-1e-400"), 0.0);
    EXPECT_EQ(ToNumber("100e-330"), 0.0);
    EXPECT_EQ(ToNumber("1e-99999999999999999999"), 0.0);
    EXPECT_EQ(ToNumber("0e99999999999999999999"), 0.0);

    EXPECT_DOUBLE_EQ(ToNumber("0.0001e309"), 1e305) << "in range once the digits are counted";
    EXPECT_EQ(ToNumber("1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(ToInteger, ReadsSignedDecimalDigitsAtTheStart)
{
    const struct
    {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"1234\r\nServer: x", 1234},
        {" +7", 7},
        {"-12", -12},
        {"\t\n\v\f\r 5", 5},
        {"007", 7},
        {"12.9", 12},
        {"1e3", 1},
        {"", 0},
        {"x1", 0},
        {"-", 0},
        {"+-5", 0},
        {"- 5", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text));
        EXPECT_EQ(ToInteger(c.text), c.expected);
    }
}

TEST(ToInteger, WrapsAroundInThirtyTwoBits)
{
    const struct
    {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"2147483647", kMax},
        {"2147483648", kMin},
        {"-2147483648", kMin},
        {"-2147483649", kMax},
        {"4294967296", 0},
        {"4294967297", 1},
        {"99999999999", 1215752191},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text));
        EXPECT_EQ(ToInteger(c.text), c.expected);
    }
}

TEST(ToInteger, FoldsFullWidthCharactersFoundOnTheCharacterWalk)
{
    for (const FullWidthCase& c : kFullWidthCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ToInteger(c.text), c.expected);
    }
}

TEST(TruncateToInteger, DropsTheFractionTowardZeroAndClampsToThirtyTwoBits)
{
    const struct
    {
        double number;
        int32_t expected;
    } cases[] = {
        {80.9, 80},
        {-1.5, -1},
        {2.5, 2},
        {0.999, 0},
        {-0.999, 0},
        {-0.0, 0},
        {1e-300, 0},
        {2147483647.0, kMax},
        {2147483647.9, kMax},
        {2147483648.0, kMax},
        {4294967297.0, kMax},
        {1e300, kMax},
        {kInfinity, kMax},
        {-2147483648.0, kMin},
        {-2147483648.9, kMin},
        {-2147483649.0, kMin},
        {-1e300, kMin},
        {-kInfinity, kMin},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.number));
        EXPECT_EQ(TruncateToInteger(c.number), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------------
// Bytes

TEST(BytesToText, EndsTheTextAtTheFirstNul)
{
    const struct
    {
        std::string_view bytes;
        std::string_view expected;
    } cases[] = {
        {"ab\0c"sv, "ab"},
        {"abc"sv, "abc"},
        {"ab\xB0\xFF"sv, "ab\xB0\xFF"},
        {"\0abc"sv, ""},
        {""sv, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(BytesToText(Bytes(c.bytes)).bytes(), c.expected);
    }
    EXPECT_EQ(BytesToText(Bytes()).bytes(), "");
}

TEST(BytesLength, CountsEveryByteIncludingNuls)
{
    EXPECT_EQ(BytesLength(Bytes()), 0);
    EXPECT_EQ(BytesLength(Bytes("a\0b"sv)), 3);
    EXPECT_EQ(BytesLength(BlankBytes(512)), 512);
}

TEST(BytesLeft, KeepsTheFirstBytesWithCountsClampedToTheBytes)
{
    const Bytes five("a\0bcd"sv);
    const struct
    {
        int32_t count;
        std::string_view expected;
    } cases[] = {
        {3, "a\0b"sv}, {5, "a\0bcd"sv}, {9, "a\0bcd"sv}, {kMax, "a\0bcd"sv},
        {0, ""sv}, {-3, ""sv}, {kMin, ""sv},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(BytesLeft(five, c.count).bytes(), c.expected);
    }
    EXPECT_EQ(BytesLeft(Bytes(), 2).bytes(), ""sv);
}

TEST(BlankBytes, MakesCountZeroBytesAndNothingForCountsBelowOne)
{
    EXPECT_EQ(BlankBytes(512).bytes(), std::string(512, '\0'));
    EXPECT_EQ(BlankBytes(1).bytes(), "\0"sv);
    EXPECT_EQ(BlankBytes(0).size(), 0);
    EXPECT_EQ(BlankBytes(-1).size(), 0);
    EXPECT_EQ(BlankBytes(kMin).size(), 0);
}

// clang-format on

} // namespace
} // namespace torvash
