// SPDX-License-Identifier: MIT
#include "RealisticPage.h"

#include <random>

namespace torvash::bench {

namespace {

class PageWriter
{
public:
    explicit PageWriter(uint32_t seed) : m_random(seed) {}

    /** `count` random GBK characters from the common hanzi range. */
    std::string hanzi(int count)
    {
        std::uniform_int_distribution<int> lead(0xB0, 0xD7);
        std::uniform_int_distribution<int> trail(0xA1, 0xFE);
        std::string text;
        for (int i = 0; i < count; ++i) {
            text.push_back(static_cast<char>(lead(m_random)));
            text.push_back(static_cast<char>(trail(m_random)));
        }
        return text;
    }

    uint32_t number(uint32_t below) { return m_random() % below; }

    /** Another shop's listing, or header and footer chrome, in the same markup. */
    std::string otherListing()
    {
        const std::string id = std::to_string(500000000 + number(400000000));
        return "<div class=\"item J_MouserOnverReq\" data-category=\"auctions\" data-index=\"" +
               std::to_string(number(44)) +
               "\"><div class=\"pic\"><a class=\"pic-link J_ClickStat\" data-nid=\"" + id +
               "\" href=\"//item.example.com/item.htm?id=" + id + "\" target=\"_blank\"><img src=\"//img." +
               "example.com/bao/uploaded/i" + std::to_string(number(4)) + "/" + id +
               ".jpg_180x180.jpg\" alt=\"" + hanzi(6) +
               "\"></a></div><div class=\"price g_price\"><span>&yen;</span><strong>" +
               std::to_string(number(900)) + ".00</strong></div><div class=\"deal-cnt\">" +
               std::to_string(number(5000)) + hanzi(3) +
               "</div><div class=\"title\"><a class=\"J_ClickStat\" " + "data-nid=\"" + id +
               "\" href=\"//item.example.com/item.htm?id=" + id + "\">" + hanzi(14) +
               "</a></div><div class=\"shop\"><a class=\"shopname\" "
               "href=\"//store.example.com/shop/view_shop.htm?" +
               "user_number_id=" + std::to_string(number(99999999)) + "\"><span>" + hanzi(5) +
               "</span></a></div><div class=\"location\">" + hanzi(2) + " " + hanzi(2) + "</div></div>\n";
    }

    /** A related-search link, small enough to fill what is left of a slot. */
    std::string chrome()
    {
        return "<div class=\"row\"><span class=\"tag\">" + hanzi(4) +
               "</span><a href=\"/search?q=" + std::to_string(number(999999)) + "\">" + hanzi(3) +
               "</a></div>\n";
    }

    /** Appends other shops' listings and chrome to `page` until it is `end` bytes long. */
    void fill(std::string& page, size_t end)
    {
        while (page.size() < end) {
            std::string piece = otherListing();
            if (page.size() + piece.size() > end)
                piece = chrome();
            if (page.size() + piece.size() > end)
                piece.assign(end - page.size(), ' ');
            page += piece;
        }
    }

    /** The seller's listing in the layout the scanner reads, as compact as the page needs. */
    std::string sellerListing()
    {
        const std::string id = std::to_string(600000000 + number(300000000));
        return "<div class=\"item\" data-x=\"EventCanSelect\"><a title=\"" + hanzi(8) +
               "\" href=\"//item.example.com/item.htm?id=" + id + "\">" + hanzi(3) + "</a><span>" +
               kBenchSeller + "</span></div>\n";
    }

private:
    std::mt19937 m_random;
};

} // namespace

std::string makeRealisticPage(size_t size, int32_t sellerHits)
{
    PageWriter writer(static_cast<uint32_t>(size) ^ static_cast<uint32_t>(sellerHits));
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>" + writer.hanzi(6) +
                       "</title></head><body><div id=\"mainsrp-itemlist\">\n";
    const size_t slot = size / static_cast<size_t>(std::max(sellerHits, 1));
    for (int32_t hit = 0; hit < sellerHits; ++hit) {
        const size_t slotEnd = std::min(size, (static_cast<size_t>(hit) + 1) * slot);
        std::string listing = writer.sellerListing();
        // Other shops' listings fill the slot up to where the seller's own listing ends it.
        writer.fill(page, slotEnd - std::min(slotEnd, listing.size()));
        page += listing;
    }
    writer.fill(page, size);
    return page;
}

} // namespace torvash::bench
