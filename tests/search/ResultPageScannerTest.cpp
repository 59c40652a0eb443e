// SPDX-License-Identifier: MIT
#include "search/ResultPageScanner.h"

#include "support/LiteralResultPageScan.h"
#include "text/TextOperations.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace torvash {
namespace {

const std::string kNextPage = "\xCF\xC2\xD2\xBB\xD2\xB3";     // 下一页
const std::string kPreviousPage = "\xC9\xCF\xD2\xBB\xD2\xB3"; // 上一页

ScanResult scan(const std::string& page, const SellerTextSource& sellerText)
{
    ScanResult result;
    const Text pageText(page);
    result.present =
        ScanResultPage(pageText, sellerText, [&](const ListingHit& hit) { result.hits.push_back(hit); });
    return result;
}

ScanResult scan(const std::string& page, const char* sellerText)
{
    return scan(page, [sellerText] { return Text(sellerText); });
}

std::string listing(const std::string& title, const std::string& link, const std::string& seller)
{
    return "<div class=\"item\" data-x=\"EventCanSelect\"><a title=\"" + title + "\" href=\"" + link +
           "\">pic</a><span class=\"nick\">" + seller + "</span></div>\n";
}

ListingHit hit(int32_t ordinal, const char* title, const char* link)
{
    return ListingHit{ordinal, Text(title), Text(link)};
}

TEST(ScanResultPage, FindsEachListingOfTheSellerWithItsOwnTitleAndLink)
{
    const std::string page = "<html>" + listing("Red tea", "//item/1", "shopA") +
                             listing("Other", "//item/2", "shopB") +
                             listing("Green \xB2\xE8", "//item/3", "shopA") + "</html>";

    const ScanResult result = scan(page, "shopA");

    EXPECT_TRUE(result.present);
    EXPECT_EQ(result.hits,
              (std::vector{hit(1, "Red tea", "//item/1"), hit(2, "Green \xB2\xE8", "//item/3")}));
}

TEST(ScanResultPage, MarkersAndSellerNameIgnoreCase)
{
    const std::string page = "<p EventCanSelect title=\"one\" href=\"/1\">SHOPA</p>"
                             "<p eventcanselect TITLE=\"two\" HREF=\"/2\">ShopA</p>";

    EXPECT_EQ(scan(page, "shopa").hits, (std::vector{hit(1, "one", "/1"), hit(2, "two", "/2")}));
}

TEST(ScanResultPage, SellerAbsentUnlessSomeElementTextIsExactlyTheName)
{
    struct Case
    {
        const char* name;
        std::string page;
    };
    const Case cases[] = {
        {"empty page", ""},
        {"name inside an attribute only", "<a title=\"shopA\">x</a>"},
        {"name only as the start of longer texts", "<b>shopAB</b><b>shopA2</b>"},
        {"name not after a tag", "x shopA<"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanResult result = scan(c.page, "shopA");
        EXPECT_FALSE(result.present);
        EXPECT_TRUE(result.hits.empty());
    }
}

TEST(ScanResultPage, LongerNameCountsAsHitOnceTheSellerIsPresent)
{
    // The hit search looks for ">" and the name only, so "shopAB" first on the page is a hit too.
    const std::string page = "<b>shopAB</b>" + listing("t", "/l", "shopA");

    EXPECT_EQ(scan(page, "shopA").hits, (std::vector{hit(1, "", ""), hit(2, "t", "/l")}));
}

TEST(ScanResultPage, MissingMarkupGivesTheCutsTheMarkersLeadTo)
{
    struct Case
    {
        const char* name;
        std::string page;
        ListingHit expected;
    };
    const Case cases[] = {
        {"nothing but the element", ">shopA<", hit(1, "", "")},
        // The block starts at the second letter of the marker, so byte 5 starts "CanSelect".
        {"href before title", "EventCanSelect href=\"/l\" title=\"t\">shopA<",
         hit(1, "t", "CanSelect href=")},
        {"no title attribute", "EventCanSelect x href=\"/l\">shopA<", hit(1, "anSelect x href=", "/l")},
        {"no quote after the title", "EventCanSelect title=abc>shopA<", hit(1, "", "")},
        {"empty values", "EventCanSelect title=\"\" href=\"\">shopA<", hit(1, "", "")},
        {"no marker before the hit", "<a title=\"t\" href=\"/l\">shopA<", hit(1, "t", "/l")},
        {"last marker before the hit wins",
         "EventCanSelect title=\"old\" href=\"/old\" EventCanSelect title=\"new\" href=\"/new\">shopA<",
         hit(1, "new", "/new")},
        {"title value holds two-byte text", "EventCanSelect title=\"\xBA\xEC\xB2\xE8\" href=\"/l\">shopA<",
         hit(1, "\xBA\xEC\xB2\xE8", "/l")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanResult result = scan(c.page, "shopA");
        EXPECT_TRUE(result.present);
        EXPECT_EQ(result.hits, std::vector{c.expected});
    }
}

TEST(ScanResultPage, SpacesAroundTheSellerTextMoveEachNextSearchFurtherOn)
{
    // ">a" hits at 1 and 3. With "a" the next search starts at 2 and finds 3; with " a" it starts at 3
    // and still finds it; with "  a" it starts at 4 and misses it.
    const std::string page = ">a>a<";
    EXPECT_EQ(scan(page, "a").hits.size(), 2U);
    EXPECT_EQ(scan(page, " a").hits.size(), 2U);
    EXPECT_EQ(scan(page, "  a").hits.size(), 1U);
    EXPECT_EQ(scan(page, "a\xA1\xA1").hits.size(), 1U); // a full-width space is two bytes of advance
}

TEST(ScanResultPage, SellerTextOfSpacesTakesEveryTagEndAsHit)
{
    // The name is empty: "><" makes the seller present, then each ">" is a hit, the next search
    // starting one byte per space after it.
    const std::string page = "<a>x</a><b></b>";
    EXPECT_EQ(scan(page, " ").hits.size(), 4U);
    EXPECT_EQ(scan(page, "    ").hits.size(), 3U); // ">" at 3, 8 and 15; the one at 11 is skipped
    EXPECT_FALSE(scan("<a>x</a>", " ").present);
}

TEST(ScanResultPage, ReadsTheSellerTextAtEachPointAndAfterTheSinkHasRun)
{
    const std::string page = listing("one", "/1", "shopA") + listing("two", "/2", "shopA");
    int reads = 0;
    std::string seller = "shopA";
    std::vector<ListingHit> hits;
    const bool present = ScanResultPage(
        Text(page),
        [&] {
            ++reads;
            return Text(seller);
        },
        [&](const ListingHit& listingHit) {
            hits.push_back(listingHit);
            seller = "shopB"; // what the user types while the row is added is seen at the next read
        });

    EXPECT_TRUE(present);
    // Presence test, the first hit search, the advance, then the search for a further hit: "shopB"
    // is not on the page, so the scan ends after one hit.
    EXPECT_EQ(reads, 4);
    EXPECT_EQ(hits, std::vector{hit(1, "one", "/1")});
}

TEST(ScanResultPage, SellerTextChangedBeforeTheHitSearchYieldsEmptyHitAndRestartsNearTheTop)
{
    // Reads: presence, hit search, advance, further-hit test, hit search, advance, further-hit test...
    // The second hit search gets "gone", finds nothing, and delivers an empty hit; the next search then
    // starts at advance - 1.
    const std::string page = ">ab<>ab<";
    const std::vector<const char*> script = {"ab", "ab", "ab", "ab", "gone", "ab", "x"};
    size_t read = 0;
    const ScanResult result = scan(page, [&] { return Text(script[std::min(read++, script.size() - 1)]); });

    EXPECT_EQ(result.hits, (std::vector{hit(1, "", ""), hit(2, "", "")}));
    EXPECT_EQ(read, 7U);
}

TEST(ScanResultPage, EmptyAdvanceEndsTheScanAfterThatHit)
{
    // An empty seller text at the advance would find the same hit again forever.
    const std::vector<const char*> script = {"a", "a", ""};
    size_t read = 0;
    const ScanResult result =
        scan(">a<>a<", [&] { return Text(script[std::min(read++, script.size() - 1)]); });

    EXPECT_EQ(result.hits.size(), 1U);
    EXPECT_EQ(read, 3U);
}

TEST(CutNextPageLink, CutsTheLinkBetweenThePreviousAndNextPageTexts)
{
    struct Case
    {
        const char* name;
        std::string page;
        const char* expected;
    };
    const Case cases[] = {
        {"one link in the pager",
         "<a href=\"/p1\" class=\"prev\">" + kPreviousPage +
             "</a><a href=\"/search?q=x&s=44\" class=\"next\">" + kNextPage + "</a>",
         "/search?q=x&s=44"},
        {"no next-page text", "<a href=\"/p1\" class=\"prev\">" + kPreviousPage + "</a>", ""},
        {"empty page", "", ""},
        {"no previous-page text: the first href of the page",
         "<a href=\"/first\" class=\"a\"><a href=\"/n\" class=\"next\">" + kNextPage,
         "/first\" class=\"a\"><a href=\"/n"},
        {"several links: from the first value to before the last class",
         kPreviousPage + "<a href=\"/2\" class=\"p\">2</a><a href=\"/3\" class=\"next\">" + kNextPage,
         "/2\" class=\"p\">2</a><a href=\"/3"},
        {"no class", kPreviousPage + "<a href=\"/2\">" + kNextPage, ""},
        {"class right after an empty href", kPreviousPage + " href=\"\"class" + kNextPage, ""},
        {"no href but a class: from byte 5 of the cut",
         kPreviousPage + "<a id=\"abc\" class=\"n\">" + kNextPage, "\xB3<a id=\"abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CutNextPageLink(Text(c.page)), Text(c.expected));
    }
}

std::string randomPage(std::mt19937& random)
{
    static const std::vector<std::string> pieces = {
        "EventCanSelect",
        "eventcanselect",
        "EVENTCANSELECT",
        "title=\"",
        "TITLE=\"",
        "href=\"",
        "\"",
        "\"",
        ">",
        "<",
        ">shop",
        ">SHOP",
        ">shop<",
        ">Shop<",
        "shop",
        "<div class=\"x\">",
        " ",
        "ab",
        "\xB5\xEA",
        "\xA1\xA1",
        "\xBA",
        "\xBA>",
        "\x80\"",
        "title=",
        "href=",
        "t\xE9tle=\"",
        "\xE9>shop<",
    };
    std::uniform_int_distribution<size_t> pieceCount(0, 60);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string page;
    for (size_t i = pieceCount(random); i > 0; --i)
        page += pieces[pick(random)];
    return page;
}

TEST(ScanResultPage, SameHitsAsCuttingAndSearchingAfreshForEveryHit)
{
    const std::vector<const char*> sellers = {"shop", " shop", "shop  ", "SHOP", "\xA1\xA1shop", " ", "sh"};
    std::mt19937 random(20261211);
    for (int round = 0; round < 4000; ++round) {
        const Text page(randomPage(random));
        // Sometimes the seller text changes during the scan, following a fixed script.
        std::vector<const char*> script;
        const size_t scriptLength = round % 4 == 0 ? 1 + random() % 12 : 1;
        for (size_t i = 0; i < scriptLength; ++i)
            script.push_back(sellers[random() % sellers.size()]);
        auto source = [&script](size_t& read) {
            return [&script, &read] { return Text(script[std::min(read++, script.size() - 1)]); };
        };
        size_t fastReads = 0;
        size_t literalReads = 0;
        const ScanResult fast = scan(std::string(page.bytes()), source(fastReads));
        const ScanResult literal = LiteralResultPageScan(page, source(literalReads));

        SCOPED_TRACE("round " + std::to_string(round) + " page: " + std::string(page.bytes()));
        ASSERT_EQ(fast.present, literal.present);
        ASSERT_EQ(fast.hits, literal.hits);
        ASSERT_EQ(fastReads, literalReads);
    }
}

} // namespace
} // namespace torvash
