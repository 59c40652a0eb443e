// SPDX-License-Identifier: MIT
// Random texts: TrimBothEnds, ToNumber and ToInteger give what trimming and reading the characters one
// at a time give, and TruncateToInteger holds any double, NaN and infinities included, to 32 bits.
#include "FuzzCheck.h"
#include "PlainNumber.h"
#include "text/TextOperations.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isSpaceCharacter(std::string_view character)
{
    return character == " " || character == "\xA1\xA1";
}

std::string plainTrim(std::string_view text)
{
    std::vector<std::string_view> characters;
    for (size_t i = 0; i < text.size();) {
        const size_t width = static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
        characters.push_back(text.substr(i, width));
        i += width;
    }
    const bool loneFinalLead = !characters.empty() && characters.back().size() == 1 &&
                               static_cast<unsigned char>(characters.back()[0]) >= 0x80;
    if (loneFinalLead)
        characters.pop_back();
    size_t first = 0;
    size_t last = characters.size();
    while (first < last && isSpaceCharacter(characters[first]))
        ++first;
    // The dropped lead byte was the last character, so the spaces before it were not trailing ones.
    if (!loneFinalLead) {
        while (last > first && isSpaceCharacter(characters[last - 1]))
            --last;
    }
    std::string trimmed;
    for (size_t i = first; i < last; ++i)
        trimmed.append(characters[i]);
    return trimmed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Text text(input);

    require(TrimBothEnds(text).bytes() == plainTrim(text.bytes()));

    const double number = ToNumber(text);
    const double expected = plainnumber::readNumber(text.bytes());
    // Compared by value, so that a zero may come with either sign.
    require(number == expected);
    require(TruncateToInteger(number) == plainnumber::truncateToInteger(number));

    require(ToInteger(text) == plainnumber::readInteger(text.bytes()));

    // The input's first bytes as a double reach NaNs, infinities and values no text spells.
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        require(TruncateToInteger(raw) == plainnumber::truncateToInteger(raw));
    }
    return 0;
}
