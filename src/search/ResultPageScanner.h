// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>
#include <functional>

namespace torvash {

/** One of the seller's listings on a result page, as its markup writes it. */
struct ListingHit
{
    int32_t ordinal = 0; // 1 for the first hit on the page
    Text title;          // the title attribute's value, character references left as they are
    Text link;           // the href attribute's value

    friend bool operator==(const ListingHit&, const ListingHit&) = default;
};

/** The seller's messenger name as the user has typed it right now, untrimmed. */
using SellerTextSource = std::function<Text()>;
using ListingHitSink = std::function<void(const ListingHit&)>;

/**
 * Finds the seller's listings on one result page and hands each to `deliverHit`, in page order, before
 * the scan goes on. The seller text is read afresh from `sellerText` at each point where the scan needs
 * it, so a change the sink or the user makes is seen at the next such point. False when the seller
 * is not on the page (no hit delivered). The hit handed to the sink lives for that call only; the sink
 * copies what it keeps. Time is linear in the page size, whatever the page holds.
 */
bool ScanResultPage(TextView page, const SellerTextSource& sellerText, const ListingHitSink& deliverHit);

/** The link of the next result page, cut from the page's pager; empty when there is none. */
Text CutNextPageLink(TextView page);

} // namespace torvash
