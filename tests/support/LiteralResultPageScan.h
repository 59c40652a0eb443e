// SPDX-License-Identifier: MIT
#pragma once

#include "search/ResultPageScanner.h"
#include "text/TextOperations.h"

#include <vector>

namespace torvash {

struct ScanResult
{
    bool present = false;
    std::vector<ListingHit> hits;
};

/*
 * The scanner keeps its searches' walks between hits; this reference cuts and searches afresh for every
 * hit, exactly as the steps read, so any difference is a fault of the shortcut.
 */
inline ScanResult LiteralResultPageScan(const Text& page, const SellerTextSource& sellerText)
{
    ScanResult result;
    if (FindText(page, ConcatText(">", TrimBothEnds(sellerText()), "<"), 1, Case::Ignore) == -1)
        return result;
    result.present = true;
    int32_t s = 1;
    int32_t k = 1;
    for (;;) {
        const int32_t p = FindText(page, ConcatText(">", TrimBothEnds(sellerText())), s, Case::Ignore);
        s = p;
        Text block = LeftText(page, p);
        const int32_t length = TextLength(block);
        const int32_t r = FindTextReverse(block, "EventCanSelect", Case::Ignore);
        block = RightText(block, length - r);
        const int32_t ts = FindText(block, "title=", 1, Case::Ignore) + 7;
        const int32_t q = FindText(block, "\"", ts, Case::Ignore);
        const int32_t hs = FindText(block, "href=", ts, Case::Ignore) + 6;
        const int32_t q2 = FindText(block, "\"", hs, Case::Ignore);
        result.hits.push_back(ListingHit{k, MidText(block, ts, q - ts), MidText(block, hs, q2 - hs)});
        const int32_t advance = TextLength(sellerText());
        s += advance;
        ++k;
        if (advance == 0)
            break;
        if (FindText(page, ConcatText(">", TrimBothEnds(sellerText())), s, Case::Ignore) == -1)
            break;
    }
    return result;
}

} // namespace torvash
