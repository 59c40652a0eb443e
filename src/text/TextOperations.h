// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>
#include <initializer_list>

/*
 * The byte-text primitives everything else is built on. Positions are 1-based, -1 means "not found",
 * and no operation fails: every argument, in range or not, has a defined result.
 *
 * Character rule of the walking operations: a byte of 0x80 or more that has a byte after it forms a
 * two-byte character with that byte; every other byte is a character of its own. A walk starts where
 * it is told to and never looks back for a boundary.
 */
namespace torvash {

/** Whether the ASCII letters A-Z match their lower-case forms in a search. */
enum class Case : bool
{
    Exact,
    Ignore,
};

int32_t TextLength(TextView text);

/** First occurrence at a character start of a walk beginning at `start` (below 1 counts as 1). */
int32_t FindText(TextView text, TextView needle, int32_t start, Case letterCase);
int32_t FindText(TextView text, TextView needle, Case letterCase);
/** Last occurrence at a character start of a walk from the first byte. */
int32_t FindTextReverse(TextView text, TextView needle, Case letterCase);

Text LeftText(TextView text, int32_t count);
Text RightText(TextView text, int32_t count);
Text MidText(TextView text, int32_t start, int32_t count);
/** The same cuts as views into `text`, for callers that must not copy. */
TextView LeftView(TextView text, int32_t count);
TextView RightView(TextView text, int32_t count);
TextView MidView(TextView text, int32_t start, int32_t count);

Text ConcatText(std::initializer_list<TextView> texts);
template <typename... Rest> Text ConcatText(TextView first, TextView second, Rest... rest)
{
    return ConcatText({first, second, TextView(rest)...});
}

/** -1, 0 or +1, comparing bytes as unsigned values; a proper prefix orders first. */
int CompareText(TextView a, TextView b);

Text TrimBothEnds(TextView text);
Text RemoveAllSpaces(TextView text);
Text ToUpper(TextView text);
Text ToLower(TextView text);
Text RemoveTextAt(TextView text, int32_t start, int32_t count);
Text CharFromCode(unsigned char code);
Text BlankText(int32_t count);

double ToNumber(TextView text);
int32_t ToInteger(TextView text);
Text NumberToText(int32_t number);
/** Drops the fraction toward zero; values beyond the 32-bit range clamp to it, NaN gives 0. */
int32_t TruncateToInteger(double number);

Text BytesToText(const Bytes& bytes);
/** The count of bytes, clamped to the 32-bit range like every other count. */
int32_t BytesLength(const Bytes& bytes);
Bytes BytesLeft(const Bytes& bytes, int32_t count);
Bytes BlankBytes(int32_t count);

} // namespace torvash
