// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

/*
 * Reading a number out of a text the plain way, one character of the walk at a time, for the fuzz
 * targets to hold ToNumber, ToInteger and TruncateToInteger, and what is built on them, against.
 */
namespace torvash::plainnumber {

/** The text with the full-width forms a number may be typed in made ASCII. Every other two-byte
 *  character becomes one byte no number is made of, and a lone final lead byte is left out. */
inline std::string asciiForm(std::string_view text)
{
    std::string ascii;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ascii.push_back(static_cast<char>(lead));
            i += 1;
            continue;
        }
        if (i + 1 == text.size())
            break;
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
            ascii.push_back(static_cast<char>(trail - 0x80));
        else if (lead == 0xA1 && trail == 0xA1)
            ascii.push_back(' ');
        else
            ascii.push_back('\x80');
        i += 2;
    }
    return ascii;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/** Where the sign or the digits begin: past the white space of C's isspace in the "C" locale. */
inline size_t numberStart(std::string_view ascii)
{
    size_t i = 0;
    while (i < ascii.size() && (ascii[i] == ' ' || ascii[i] == '\t' || ascii[i] == '\n' || ascii[i] == '\v' ||
                                ascii[i] == '\f' || ascii[i] == '\r'))
        ++i;
    return i;
}

/** The longest decimal number at the text's start, with an exponent after e, E, d or D; 0 without a
 *  digit; signed infinity or zero beyond a double's range. */
inline double readNumber(std::string_view text)
{
    const std::string ascii = asciiForm(text);
    size_t i = numberStart(ascii);
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
        negative = ascii[i++] == '-';

    // strtod does the rounding; the digits it sees are only those the number is made of, since it
    // would take "0x", "inf" and "nan" as well, and not a 'd' before the exponent.
    std::string number;
    bool hasDigit = false;
    while (i < ascii.size() && isDigit(ascii[i])) {
        number.push_back(ascii[i++]);
        hasDigit = true;
    }
    if (i < ascii.size() && ascii[i] == '.') {
        number.push_back(ascii[i++]);
        while (i < ascii.size() && isDigit(ascii[i])) {
            number.push_back(ascii[i++]);
            hasDigit = true;
        }
    }
    if (!hasDigit)
        return 0.0;
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E' || ascii[i] == 'd' || ascii[i] == 'D')) {
        std::string exponent = "e";
        size_t j = i + 1;
        if (j < ascii.size() && (ascii[j] == '+' || ascii[j] == '-'))
            exponent.push_back(ascii[j++]);
        if (j < ascii.size() && isDigit(ascii[j])) {
            while (j < ascii.size() && isDigit(ascii[j]))
                exponent.push_back(ascii[j++]);
            number += exponent;
        }
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return negative ? -value : value;
}

/** The signed decimal digits at the text's start, as 32-bit arithmetic wraps them. */
inline int32_t readInteger(std::string_view text)
{
    constexpr uint64_t kWrap = uint64_t{1} << 32;
    const std::string ascii = asciiForm(text);
    size_t i = numberStart(ascii);
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
        negative = ascii[i++] == '-';
    uint64_t value = 0;
    while (i < ascii.size() && isDigit(ascii[i]))
        value = (value * 10 + static_cast<uint64_t>(ascii[i++] - '0')) % kWrap;
    if (negative)
        value = (kWrap - value) % kWrap;
    const auto wide = static_cast<int64_t>(value);
    return static_cast<int32_t>(value >= kWrap / 2 ? wide - static_cast<int64_t>(kWrap) : wide);
}

/** The fraction dropped toward zero, the result held to the 32-bit range; 0 for NaN. */
inline int32_t truncateToInteger(double number)
{
    if (std::isnan(number))
        return 0;
    const double whole = std::trunc(number);
    if (whole > 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (whole < -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(whole);
}

} // namespace torvash::plainnumber
