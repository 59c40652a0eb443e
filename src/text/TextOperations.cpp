// SPDX-License-Identifier: MIT
#include "text/TextOperations.h"

#include "text/WalkingSearch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace torvash {

namespace {

constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kFullWidthLead = 0xA1; // 0xA1 0xA1 is the full-width space

bool isLeadByte(unsigned char byte)
{
    return byte >= 0x80;
}

/** Width of the character that starts at `index`: 2 for a lead byte with a byte after it, else 1. */
int32_t characterWidth(std::string_view bytes, size_t index)
{
    const bool twoBytes = isLeadByte(static_cast<unsigned char>(bytes[index])) && index + 1 < bytes.size();
    return twoBytes ? 2 : 1;
}

bool isSpaceCharacter(std::string_view bytes, size_t index, int32_t width)
{
    const auto first = static_cast<unsigned char>(bytes[index]);
    if (width == 1)
        return first == kSpace;
    return first == kFullWidthLead && static_cast<unsigned char>(bytes[index + 1]) == kFullWidthLead;
}

bool isLoneFinalLeadByte(std::string_view bytes, size_t index)
{
    return index + 1 == bytes.size() && isLeadByte(static_cast<unsigned char>(bytes[index]));
}

/** Replaces each character through `change`, which sees the character and appends to `out`. */
template <typename Change> Text mapCharacters(TextView text, Change change)
{
    const std::string_view bytes = text.bytes();
    TextBuilder out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const int32_t width = characterWidth(bytes, i);
        change(text.part(static_cast<int32_t>(i), width), i, out);
        i += static_cast<size_t>(width);
    }
    return std::move(out).build();
}

Text shiftOneByteLetters(TextView text, char first, char last, int delta)
{
    return mapCharacters(text, [&](TextView character, size_t, TextBuilder& out) {
        const char byte = character.bytes()[0];
        if (character.length() == 1 && byte >= first && byte <= last)
            out.append(static_cast<char>(byte + delta));
        else
            out.append(character);
    });
}

/** Full-width digits, signs, letters and spaces become their ASCII forms, so numbers typed in full
 *  width read like any other. */
std::string foldFullWidth(TextView text)
{
    std::string out;
    const std::string_view bytes = text.bytes();
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (!isLeadByte(lead)) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        if (i + 1 == bytes.size())
            break; // a lone final lead byte is dropped
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
            out.push_back(static_cast<char>(trail - 0x80));
        else if (lead == 0xA1 && trail == 0xA1)
            out.push_back(' ');
        else if (lead == 0xA1 && trail == 0xAB)
            out.push_back('~');
        else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
            out.push_back('*');
        else
            out.append(bytes.substr(i, 2));
        i += 2;
    }
    return out;
}

constexpr int64_t kExponentCeiling = 1'000'000'000;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isNumberWhiteSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/** Reads an optional sign at `i`; true for '-'. */
bool readSign(std::string_view s, size_t& i)
{
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        return s[i++] == '-';
    return false;
}

size_t skipDigits(std::string_view s, size_t i)
{
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

/** The start of a number: the text folded to ASCII, white space and an optional sign read. */
struct SignedNumber
{
    std::string folded;
    size_t digitsAt = 0; // where the digits (or the decimal point) may begin
    bool negative = false;
};

SignedNumber readSignedNumber(TextView text)
{
    SignedNumber number{foldFullWidth(text)};
    const std::string_view s = number.folded;
    while (number.digitsAt < s.size() && isNumberWhiteSpace(s[number.digitsAt]))
        ++number.digitsAt;
    number.negative = readSign(s, number.digitsAt);
    return number;
}

/** Decimal exponent of the leading digit of `digits` (which may hold one '.'), ignoring any exponent. */
int64_t leadingDigitMagnitude(std::string_view digits)
{
    const size_t point = std::min(digits.find('.'), digits.size());
    const size_t firstNonZero = digits.find_first_not_of("0.");
    if (firstNonZero == std::string_view::npos)
        return 0;
    if (firstNonZero < point)
        return static_cast<int64_t>(point - firstNonZero) - 1;
    return -static_cast<int64_t>(firstNonZero - point);
}

} // namespace

int32_t TextLength(TextView text)
{
    return text.length();
}

int32_t FindText(TextView text, TextView needle, int32_t start, Case letterCase)
{
    if (std::max(start, 1) > text.length())
        return -1;
    if (needle.empty())
        return 1;
    return FindText(text, PreparedNeedle(needle, letterCase), start);
}

int32_t FindText(TextView text, TextView needle, Case letterCase)
{
    return FindText(text, needle, 1, letterCase);
}

int32_t FindTextReverse(TextView text, TextView needle, Case letterCase)
{
    if (text.empty())
        return -1;
    if (needle.empty())
        return 1;
    const PreparedNeedle prepared(needle, letterCase);
    WalkingSearch search(text, prepared, 1);
    int32_t last = -1;
    for (int32_t found = search.next(text.length()); found != -1; found = search.next(text.length()))
        last = found;
    return last;
}

TextView LeftView(TextView text, int32_t count)
{
    if (count <= 0)
        return {};
    return text.part(0, std::min(count, text.length()));
}

TextView RightView(TextView text, int32_t count)
{
    if (count <= 0)
        return {};
    const int32_t kept = std::min(count, text.length());
    return text.part(text.length() - kept, kept);
}

TextView MidView(TextView text, int32_t start, int32_t count)
{
    if (start <= 0 || start > text.length() || count <= 0)
        return {};
    const int32_t available = text.length() - start + 1;
    return text.part(start - 1, std::min(count, available));
}

Text LeftText(TextView text, int32_t count)
{
    return Text(LeftView(text, count));
}

Text RightText(TextView text, int32_t count)
{
    return Text(RightView(text, count));
}

Text MidText(TextView text, int32_t start, int32_t count)
{
    return Text(MidView(text, start, count));
}

Text ConcatText(std::initializer_list<TextView> texts)
{
    TextBuilder joined;
    size_t total = 0;
    for (TextView text : texts)
        total += text.bytes().size();
    joined.reserve(total);
    for (TextView text : texts)
        joined.append(text);
    return std::move(joined).build();
}

int CompareText(TextView a, TextView b)
{
    const int order = a.bytes().compare(b.bytes());
    return (order > 0) - (order < 0);
}

Text TrimBothEnds(TextView text)
{
    const std::string_view bytes = text.bytes();
    size_t begin = 0;
    while (begin < bytes.size()) {
        const int32_t width = characterWidth(bytes, begin);
        if (!isSpaceCharacter(bytes, begin, width))
            break;
        begin += static_cast<size_t>(width);
    }

    // Walk the rest, remembering where the latest unbroken run of spaces began.
    size_t end = bytes.size();
    size_t runStart = std::string_view::npos;
    for (size_t i = begin; i < bytes.size();) {
        if (isLoneFinalLeadByte(bytes, i)) {
            end = i; // dropped, and it ends any run of spaces before it
            runStart = std::string_view::npos;
            break;
        }
        const int32_t width = characterWidth(bytes, i);
        if (!isSpaceCharacter(bytes, i, width))
            runStart = std::string_view::npos;
        else if (runStart == std::string_view::npos)
            runStart = i;
        i += static_cast<size_t>(width);
    }
    if (runStart != std::string_view::npos)
        end = runStart;
    return Text(text.part(static_cast<int32_t>(begin), static_cast<int32_t>(end - std::min(begin, end))));
}

Text RemoveAllSpaces(TextView text)
{
    return mapCharacters(text, [&](TextView character, size_t at, TextBuilder& out) {
        if (isLoneFinalLeadByte(text.bytes(), at))
            return;
        if (!isSpaceCharacter(character.bytes(), 0, character.length()))
            out.append(character);
    });
}

Text ToUpper(TextView text)
{
    return shiftOneByteLetters(text, 'a', 'z', -0x20);
}

Text ToLower(TextView text)
{
    return shiftOneByteLetters(text, 'A', 'Z', 0x20);
}

Text RemoveTextAt(TextView text, int32_t start, int32_t count)
{
    const int64_t length = text.length();
    const int64_t offset = std::clamp<int64_t>(static_cast<int64_t>(start) - 1, 0, length);
    const int64_t removed = std::clamp<int64_t>(count, 0, length - offset);
    TextBuilder kept;
    kept.append(text.part(0, static_cast<int32_t>(offset)));
    kept.append(
        text.part(static_cast<int32_t>(offset + removed), static_cast<int32_t>(length - offset - removed)));
    return std::move(kept).build();
}

Text CharFromCode(unsigned char code)
{
    TextBuilder text;
    text.append(static_cast<char>(code));
    return std::move(text).build();
}

Text BlankText(int32_t count)
{
    return Text(std::string(static_cast<size_t>(std::max(count, 0)), ' '));
}

double ToNumber(TextView text)
{
    const SignedNumber number = readSignedNumber(text);
    const std::string_view s = number.folded;
    size_t i = number.digitsAt;
    i = skipDigits(s, i);
    if (i < s.size() && s[i] == '.')
        i = skipDigits(s, i + 1);
    const std::string_view mantissa = s.substr(number.digitsAt, i - number.digitsAt);
    if (mantissa.find_first_of("0123456789") == std::string_view::npos)
        return 0.0;

    std::string decimal = "0";
    decimal.append(mantissa);
    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t exponentAt = i + 1;
        const bool negativeExponent = readSign(s, exponentAt);
        const std::string_view digits = s.substr(exponentAt, skipDigits(s, exponentAt) - exponentAt);
        if (!digits.empty()) {
            decimal.append(negativeExponent ? "e-" : "e");
            decimal.append(digits);
            for (char digit : digits)
                exponent = std::min<int64_t>(exponent * 10 + (digit - '0'), kExponentCeiling);
            exponent = negativeExponent ? -exponent : exponent;
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double's range: infinity when too large, zero when too small.
        const bool tooSmall = leadingDigitMagnitude(mantissa) + exponent < 0;
        value = tooSmall ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return number.negative ? -value : value;
}

int32_t ToInteger(TextView text)
{
    const SignedNumber number = readSignedNumber(text);
    const std::string_view s = number.folded;
    uint32_t value = 0; // unsigned, so that overflow wraps as the 32-bit arithmetic it stands for
    for (size_t i = number.digitsAt; i < s.size() && isDigit(s[i]); ++i)
        value = value * 10U + static_cast<uint32_t>(s[i] - '0');
    return static_cast<int32_t>(number.negative ? 0U - value : value);
}

Text NumberToText(int32_t number)
{
    return Text(std::to_string(number));
}

int32_t TruncateToInteger(double number)
{
    if (std::isnan(number))
        return 0;
    if (number >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (number <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(number);
}

Text BytesToText(const Bytes& bytes)
{
    return Text(bytes.bytes());
}

int32_t BytesLength(const Bytes& bytes)
{
    return static_cast<int32_t>(std::min<int64_t>(bytes.size(), std::numeric_limits<int32_t>::max()));
}

Bytes BytesLeft(const Bytes& bytes, int32_t count)
{
    if (count <= 0)
        return {};
    return Bytes(bytes.bytes().substr(0, static_cast<size_t>(count)));
}

Bytes BlankBytes(int32_t count)
{
    return Bytes(std::string(static_cast<size_t>(std::max(count, 0)), '\0'));
}

} // namespace torvash
