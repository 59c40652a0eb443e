// SPDX-License-Identifier: MIT
// Random texts and needles: FindText, FindTextReverse and a WalkingSearch with growing ends find what
// the plain byte-by-byte walk finds.
#include "FuzzCheck.h"
#include "support/PlainWalk.h"
#include "text/TextOperations.h"
#include "text/WalkingSearch.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    if (size < 3)
        return 0;
    // Byte 0: ignore case and the start; byte 1: the needle's length; then the needle, then the text.
    const bool ignoreCase = (data[0] & 1U) != 0;
    const int32_t start = static_cast<int32_t>(data[0] >> 1U) - 8;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t needleLength = std::min<size_t>(data[1] % 40, rest.size());
    const Text needle(rest.substr(0, needleLength));
    const Text text(rest.substr(needleLength));
    const Case letterCase = ignoreCase ? Case::Ignore : Case::Exact;

    require(FindText(text, needle, start, letterCase) ==
            plainwalk::plainFind(text.bytes(), needle.bytes(), start, ignoreCase));
    require(FindTextReverse(text, needle, letterCase) ==
            plainwalk::plainFindReverse(text.bytes(), needle.bytes(), ignoreCase));

    if (needle.empty())
        return 0;
    const std::vector<int32_t> expected =
        plainwalk::walkOccurrences(text.bytes(), needle.bytes(), 1, ignoreCase);
    const PreparedNeedle prepared(needle, letterCase);
    WalkingSearch search(text, prepared, 1);
    size_t seen = 0;
    for (int32_t end = 0; end <= text.length(); end += 1 + end / 3) {
        for (int32_t found = search.next(end); found != -1; found = search.next(end)) {
            require(seen < expected.size() && expected[seen] == found);
            ++seen;
        }
    }
    for (int32_t found = search.next(text.length()); found != -1; found = search.next(text.length())) {
        require(seen < expected.size() && expected[seen] == found);
        ++seen;
    }
    require(seen == expected.size());
    return 0;
}
