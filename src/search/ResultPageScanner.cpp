// SPDX-License-Identifier: MIT
#include "search/ResultPageScanner.h"

#include "text/TextOperations.h"
#include "text/WalkingSearch.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace torvash {

namespace {

constexpr TextView kListingStart = "EventCanSelect";
constexpr TextView kTitleAttribute = "title=";
constexpr TextView kLinkAttribute = "href=";
constexpr TextView kQuote = "\"";
constexpr TextView kNextPage = "\xCF\xC2\xD2\xBB\xD2\xB3";     // 下一页
constexpr TextView kPreviousPage = "\xC9\xCF\xD2\xBB\xD2\xB3"; // 上一页
constexpr TextView kClassAttribute = "class";

/*
 * The listing extraction searches the page from its first byte up to each hit. Done literally that is
 * quadratic in the number of hits, so the searches below keep their walks between hits and resume
 * them; each gives the very result the literal search would.
 */

/** The searches below point into their own members, so they stay where they were made. */
struct Pinned
{
    Pinned() = default;
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
};

/** FindTextReverse over the page's first `end` bytes, for ends that mostly grow from call to call. */
class LastOccurrenceUpTo : Pinned
{
public:
    LastOccurrenceUpTo(TextView page, TextView needle) : m_page(page), m_needle(needle, Case::Ignore) {}

    int32_t find(int32_t end)
    {
        if (!m_search || end < m_end) {
            m_search.emplace(m_page, m_needle, 1);
            m_last = -1;
        }
        m_end = end;
        for (int32_t found = m_search->next(end); found != -1; found = m_search->next(end))
            m_last = found;
        return m_last;
    }

private:
    TextView m_page;
    PreparedNeedle m_needle;
    std::optional<WalkingSearch> m_search;
    int32_t m_end = 0;
    int32_t m_last = -1;
};

/** FindText inside a block of the page, for blocks that mostly keep their start and grow at the end. */
class FirstOccurrenceInBlock : Pinned
{
public:
    FirstOccurrenceInBlock(TextView page, TextView needle) : m_page(page), m_needle(needle, Case::Ignore) {}

    /** `block` is a part of the page; `start` and the result are positions in the block. */
    int32_t find(TextView block, int32_t start)
    {
        const int32_t first = std::max(start, 1);
        if (first > block.length())
            return -1;
        const auto offset = static_cast<int32_t>(block.bytes().data() - m_page.bytes().data());
        const int32_t walkStart = offset + first;
        const int32_t end = offset + block.length();
        if (!m_search || walkStart != m_walkStart || end < m_end) {
            m_search.emplace(m_page, m_needle, walkStart);
            m_walkStart = walkStart;
            m_found = -1;
        }
        m_end = end;
        if (m_found == -1)
            m_found = m_search->next(end);
        return m_found == -1 ? -1 : m_found - offset;
    }

private:
    TextView m_page;
    PreparedNeedle m_needle;
    std::optional<WalkingSearch> m_search;
    int32_t m_walkStart = 0;
    int32_t m_end = 0;
    int32_t m_found = -1;
};

/**
 * Reads a listing's title and link from its block: the page up to the hit's ">", from the second
 * letter of the last "EventCanSelect" before it.
 */
class ListingExtractor : Pinned
{
public:
    explicit ListingExtractor(TextView page)
        : m_page(page)
        , m_listingStart(page, kListingStart)
        , m_title(page, kTitleAttribute)
        , m_quoteAfterTitle(page, kQuote)
        , m_link(page, kLinkAttribute)
        , m_quoteAfterLink(page, kQuote)
    {}

    /** The hit is rewritten by the next call, which reuses its texts' storage. */
    const ListingHit& extract(int32_t hit, int32_t ordinal)
    {
        const TextView upToHit = LeftView(m_page, hit);
        const int32_t r = m_listingStart.find(TextLength(upToHit));
        const TextView block = RightView(upToHit, TextLength(upToHit) - r);

        const int32_t titleStart = m_title.find(block, 1) + 7;
        const int32_t titleEnd = m_quoteAfterTitle.find(block, titleStart);
        const int32_t linkStart = m_link.find(block, titleStart) + 6;
        const int32_t linkEnd = m_quoteAfterLink.find(block, linkStart);
        m_hit.ordinal = ordinal;
        m_hit.title.assign(MidView(block, titleStart, titleEnd - titleStart));
        m_hit.link.assign(MidView(block, linkStart, linkEnd - linkStart));
        return m_hit;
    }

private:
    TextView m_page;
    LastOccurrenceUpTo m_listingStart;
    FirstOccurrenceInBlock m_title;
    FirstOccurrenceInBlock m_quoteAfterTitle;
    FirstOccurrenceInBlock m_link;
    FirstOccurrenceInBlock m_quoteAfterLink;
    ListingHit m_hit;
};

/**
 * FindText of ">" and the trimmed seller text. The seller text seldom changes during a scan, and the
 * search that ends one pass asks what the search that starts the next asks again, so both are kept.
 */
class HitSearch : Pinned
{
public:
    explicit HitSearch(TextView page) : m_page(page) {}

    int32_t find(const Text& sellerText, int32_t start)
    {
        if (!m_needle || sellerText != m_sellerText) {
            m_sellerText = sellerText;
            m_needleText = ConcatText(">", TrimBothEnds(sellerText));
            m_needle.emplace(m_needleText, Case::Ignore);
            m_asked = false;
        }
        if (!m_asked || start != m_start) {
            m_found = FindText(m_page, *m_needle, start);
            m_start = start;
            m_asked = true;
        }
        return m_found;
    }

private:
    TextView m_page;
    Text m_sellerText;
    Text m_needleText;
    std::optional<PreparedNeedle> m_needle;
    bool m_asked = false;
    int32_t m_start = 0;
    int32_t m_found = -1;
};

int32_t advancedBy(int32_t position, int32_t advance)
{
    const int64_t next = static_cast<int64_t>(position) + advance;
    return static_cast<int32_t>(std::min<int64_t>(next, std::numeric_limits<int32_t>::max()));
}

} // namespace

bool ScanResultPage(TextView page, const SellerTextSource& sellerText, const ListingHitSink& deliverHit)
{
    const Text wholeElement = ConcatText(">", TrimBothEnds(sellerText()), "<");
    if (FindText(page, wholeElement, 1, Case::Ignore) == -1)
        return false;

    ListingExtractor listings(page);
    HitSearch hits(page);
    int32_t start = 1;
    for (int32_t ordinal = 1;; ++ordinal) {
        const int32_t hit = hits.find(sellerText(), start);
        deliverHit(listings.extract(hit, ordinal));
        const int32_t advance = TextLength(sellerText());
        start = advancedBy(hit, advance);
        if (advance == 0)
            break; // the next search would find this same hit again, and so on without end
        if (hits.find(sellerText(), start) == -1)
            break;
    }
    return true;
}

Text CutNextPageLink(TextView page)
{
    TextView pager = LeftView(page, FindText(page, kNextPage, 1, Case::Exact));
    const int32_t previous = FindTextReverse(pager, kPreviousPage, Case::Exact);
    pager = RightView(pager, TextLength(pager) - previous);
    const int32_t link = FindText(pager, kLinkAttribute, 1, Case::Ignore);
    const int32_t classAttribute = FindTextReverse(pager, kClassAttribute, Case::Ignore);
    return MidText(pager, link + 6, classAttribute - link - 8);
}

} // namespace torvash
