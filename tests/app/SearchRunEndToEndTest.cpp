// SPDX-License-Identifier: MIT
// Search runs through the real fetching stack (libcurl, worker threads) against the demo marketplace.
#include "DemoMarket.h"
#include "app/EndToEndSupport.h"
#include "fakes/FakeControls.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// 茶叶旗舰店, 小李的店
constexpr const char* kTeaFlagshipStore = "\xB2\xE8\xD2\xB6\xC6\xEC\xBD\xA2\xB5\xEA";
constexpr const char* kXiaoLisStore = "\xD0\xA1\xC0\xEE\xB5\xC4\xB5\xEA";

std::string entryOf(const PageAddressList& addresses, size_t index)
{
    return std::string(addresses.entryAt(static_cast<int32_t>(index)).bytes());
}

/** The demo seller's listings per page among the pages the keyword has, as the demo places them. */
std::map<int, int> listingsPerPage(const std::string& demoSeller, const std::string& keyword)
{
    std::map<int, int> listings;
    for (const demo::DemoSeller& seller : demo::demoSellers())
        if (seller.name == demoSeller)
            for (const int page : seller.pages)
                if (page <= demo::pageCountFor(keyword))
                    ++listings[page];
    return listings;
}

/** The markup of the seller's `ordinal`-th listing on a served page, from the listing's start up to the
 *  seller's name; empty when there is no such listing. */
std::string listingMarkup(const std::string& page, const std::string& seller, int ordinal)
{
    size_t name = std::string::npos;
    for (int i = 0; i < ordinal; ++i) {
        name = page.find("<span>" + seller + "</span>", name == std::string::npos ? 0 : name + 1);
        if (name == std::string::npos)
            return {};
    }
    const size_t start = page.rfind("EventCanSelect", name);
    return start == std::string::npos ? std::string() : page.substr(start, name - start);
}

/**
 * What a run for `keyword` (as sent, trimmed) and a demo seller must leave: page numbers 1 to 100 in
 * order; on each page that the demo gives the seller, one row per listing carrying that listing's own
 * title and link, the page cell on the first only; one absent row on every other page; beside every
 * row the address its page was fetched from, the site root alone past the keyword's last page.
 */
void expectRowsOfDemoRun(const std::vector<FakeControls::Row>& rows, const PageAddressList& addresses,
                         const std::string& root, const std::string& keyword, const std::string& demoSeller)
{
    ASSERT_EQ(addresses.count(), static_cast<int32_t>(rows.size()));
    const int lastPage = demo::pageCountFor(keyword);
    const std::map<int, int> listings = listingsPerPage(demoSeller, keyword);
    size_t row = 0;
    for (int page = 1; page <= kResultPages; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        ASSERT_LT(row, rows.size());
        const std::string address = entryOf(addresses, row);
        if (page == 1) {
            EXPECT_EQ(address, root + "/search?q=" + keyword + "&tab=coefp");
        } else if (page <= lastPage) {
            // The demo's next-page links carry the offset of the page's first listing.
            EXPECT_TRUE(address.starts_with(root + "/search?q=")) << address;
            EXPECT_TRUE(address.ends_with("&s=" + std::to_string((page - 1) * demo::kListingsPerPage)))
                << address;
        } else {
            EXPECT_EQ(address, root);
        }

        const auto found = listings.find(page);
        if (found == listings.end()) {
            EXPECT_EQ(rows[row].page.bytes(), pageCell(page));
            EXPECT_EQ(rows[row].title.bytes(), kNotFound);
            EXPECT_EQ(rows[row].link.bytes(), "");
            ++row;
            continue;
        }
        const std::string served = demo::resultPage(keyword, page);
        for (int ordinal = 1; ordinal <= found->second; ++ordinal, ++row) {
            SCOPED_TRACE("listing " + std::to_string(ordinal));
            ASSERT_LT(row, rows.size());
            const FakeControls::Row& hit = rows[row];
            EXPECT_EQ(hit.page.bytes(), ordinal == 1 ? pageCell(page) : "");
            const std::string listing = listingMarkup(served, demoSeller, ordinal);
            EXPECT_NE(listing.find("title=\"" + std::string(hit.title.bytes()) + "\""), std::string::npos)
                << hit.title.bytes();
            EXPECT_NE(listing.find("href=\"" + std::string(hit.link.bytes()) + "\""), std::string::npos)
                << hit.link.bytes();
            EXPECT_EQ(entryOf(addresses, row), address);
        }
    }
    EXPECT_EQ(row, rows.size()) << "rows beyond page 100";
}

class SearchRunEndToEndTest : public FetchingTest
{
protected:
    void SetUp() override
    {
        ASSERT_GT(m_market.bind(0), 0);
        m_market.start();
        m_root = m_market.root();
    }

    demo::DemoMarket m_market;
    std::string m_root;
};

TEST_F(SearchRunEndToEndTest, ListsTheSellersListingsOnTheirPagesAndOneAbsentRowOnEveryOtherPage)
{
    ASSERT_EQ(demo::pageCountFor(kTea), kResultPages);
    ASSERT_EQ(listingsPerPage(kTeaFlagshipStore, kTea), (std::map<int, int>{{1, 1}, {7, 3}, {37, 1}}));
    FakeControls controls(kTea, kTeaFlagshipStore);

    SearchRun(setupFor(controls, m_root));

    const std::vector<FakeControls::Row> rows = controls.rows();
    expectRowsOfDemoRun(rows, m_addresses, m_root, kTea, kTeaFlagshipStore);
    ASSERT_EQ(rows.size(), 102U);
    std::vector<std::string> cells;
    for (const FakeControls::Row& row : rows)
        if (!row.page.empty())
            cells.emplace_back(row.page.bytes());
    ASSERT_EQ(cells.size(), 100U);
    EXPECT_EQ(cells[0], "001");
    EXPECT_EQ(cells[9], "010");
    EXPECT_EQ(cells[99], "100");
    // Page 1 and pages 2 to 6 take rows 0 to 5; page 7's three listings follow.
    EXPECT_EQ(rows[6].page.bytes(), "007");
    EXPECT_EQ(rows[7].page.bytes(), "");
    EXPECT_EQ(rows[8].page.bytes(), "");
    EXPECT_EQ(entryOf(m_addresses, 7), entryOf(m_addresses, 6));
    EXPECT_EQ(entryOf(m_addresses, 8), entryOf(m_addresses, 6));
    const std::vector<std::string> operations = controls.operations();
    EXPECT_NE(std::find(operations.begin(), operations.end(), "SetSearchButtonEnabled(false)"),
              operations.end());
    EXPECT_EQ(operations.back(), "SetSearchButtonEnabled(true)");
    EXPECT_TRUE(controls.buttonEnabled());
}

TEST_F(SearchRunEndToEndTest, PagesPastTheKeywordsLastPageFetchTheSiteRootAndGetAbsentRows)
{
    // 普洱, 龙井, 红茶, 绿茶, 花茶, 白茶, 黑茶, 黄茶: the demo gives about one keyword in seven fewer pages.
    const std::vector<std::string> candidates = {"\xC6\xD5\xB6\xFD", "\xC1\xFA\xBE\xAE", "\xBA\xEC\xB2\xE8",
                                                 "\xC2\xCC\xB2\xE8", "\xBB\xA8\xB2\xE8", "\xB0\xD7\xB2\xE8",
                                                 "\xBA\xDA\xB2\xE8", "\xBB\xC6\xB2\xE8"};
    const auto keyword = std::find_if(candidates.begin(), candidates.end(), [](const std::string& candidate) {
        return demo::pageCountFor(candidate) < kResultPages;
    });
    ASSERT_NE(keyword, candidates.end()) << "no candidate keyword has fewer than 100 pages";
    const int lastPage = demo::pageCountFor(*keyword);
    FakeControls controls(Text(std::string_view(*keyword)), kTeaFlagshipStore);

    SearchRun(setupFor(controls, m_root));

    const std::vector<FakeControls::Row> rows = controls.rows();
    expectRowsOfDemoRun(rows, m_addresses, m_root, *keyword, kTeaFlagshipStore);
    size_t atRoot = 0;
    for (size_t row = 0; row < rows.size(); ++row)
        if (entryOf(m_addresses, row) == m_root)
            ++atRoot;
    EXPECT_EQ(atRoot, static_cast<size_t>(kResultPages - lastPage));
    EXPECT_EQ(rows.back().page.bytes(), "100");
}

TEST_F(SearchRunEndToEndTest, SellerNameMatchesInAnyLetterCase)
{
    FakeControls controls(kTea, "DEMO-SHOP");

    SearchRun(setupFor(controls, m_root));

    const std::vector<FakeControls::Row> rows = controls.rows();
    expectRowsOfDemoRun(rows, m_addresses, m_root, kTea, "demo-shop");
    std::vector<std::string> pagesFound;
    for (const FakeControls::Row& row : rows)
        if (row.title.bytes() != kNotFound)
            pagesFound.emplace_back(row.page.bytes());
    EXPECT_EQ(pagesFound, (std::vector<std::string>{"002", "010", "100"}));
}

struct TypedKeyword
{
    const char* name;
    const char* typed;
    const char* sent; // what the server must receive
};

void PrintTo(const TypedKeyword& keyword, std::ostream* out)
{
    *out << keyword.name;
}

class SearchRunKeywordEndToEndTest : public SearchRunEndToEndTest,
                                     public ::testing::WithParamInterface<TypedKeyword>
{};

TEST_P(SearchRunKeywordEndToEndTest, ReachesTheServerTrimmedWithItsInnerSpacesIntact)
{
    // The demo seller 小李的店 has two listings on page 1, whose titles hold the keyword the server got.
    FakeControls controls(GetParam().typed, kXiaoLisStore);

    SearchRun(setupFor(controls, m_root));

    const std::vector<FakeControls::Row> rows = controls.rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0].title.bytes().find(GetParam().sent), std::string_view::npos) << rows[0].title.bytes();
    expectRowsOfDemoRun(rows, m_addresses, m_root, GetParam().sent, kXiaoLisStore);
}

// 红 茶
INSTANTIATE_TEST_SUITE_P(
    Keywords, SearchRunKeywordEndToEndTest,
    ::testing::Values(TypedKeyword{"InnerSpace", "\xBA\xEC \xB2\xE8", "\xBA\xEC \xB2\xE8"},
                      TypedKeyword{"SpacesAroundAndInside", "  \xBA\xEC \xB2\xE8 ", "\xBA\xEC \xB2\xE8"}),
    [](const auto& info) { return std::string(info.param.name); });

class SearchRunnerEndToEndTest : public FetchingTest
{
protected:
    /** Destroys the runner, which must end its run within a second; from then on the run touches nothing. */
    static void expectGoingAwayStopsTheRun(std::unique_ptr<SearchRunner>& runner,
                                           const FakeControls& controls)
    {
        const Clock::time_point started = Clock::now();
        runner.reset();
        EXPECT_LT(Clock::now() - started, 1s);

        const std::vector<std::string> atStop = controls.operations();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(controls.operations(), atStop);
    }
};

TEST_F(SearchRunnerEndToEndTest, StartsOneRunAtATimeAndAnotherOnceTheFirstHasStopped)
{
    RawResponder silent(neverAnswer);
    FakeControls controls(kTea, kTeaFlagshipStore);
    SearchRunner runner(setupFor(controls, silent.address("")));

    ASSERT_TRUE(runner.StartSearchRun());
    ASSERT_TRUE(waitFor([&] { return silent.requestHeads().size() == 1; }, 5s));
    const std::vector<std::string> beforeSecondClick = controls.operations();
    EXPECT_FALSE(runner.StartSearchRun());
    EXPECT_TRUE(runner.running());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(controls.operations(), beforeSecondClick);
    EXPECT_EQ(silent.requestHeads().size(), 1U);

    runner.stopAndWait();
    EXPECT_FALSE(runner.running());
    EXPECT_TRUE(runner.StartSearchRun());
    EXPECT_TRUE(waitFor([&] { return silent.requestHeads().size() == 2; }, 5s));
}

TEST_F(SearchRunnerEndToEndTest, GoingAwayStopsARunWaitingOnAPageThatNeverComes)
{
    RawResponder silent(neverAnswer);
    FakeControls controls(kTea, kTeaFlagshipStore);
    auto runner = std::make_unique<SearchRunner>(setupFor(controls, silent.address("")));
    ASSERT_TRUE(runner->StartSearchRun());
    ASSERT_TRUE(waitFor([&] { return silent.requestHeads().size() == 1; }, 5s));

    expectGoingAwayStopsTheRun(runner, controls);
    EXPECT_TRUE(controls.rows().empty());
    EXPECT_EQ(m_addresses.count(), 0);
}

TEST_F(SearchRunnerEndToEndTest, GoingAwayStopsARunInTheMiddleOfItsPages)
{
    demo::DemoMarket market;
    ASSERT_GT(market.bind(0), 0);
    market.start();
    FakeControls controls(kTea, kTeaFlagshipStore);
    auto runner = std::make_unique<SearchRunner>(setupFor(controls, market.root()));
    ASSERT_TRUE(runner->StartSearchRun());
    ASSERT_TRUE(waitFor([&] { return m_addresses.count() >= 10; }, 5s));

    expectGoingAwayStopsTheRun(runner, controls);
    // Ninety more pages cannot have come in the moment before the stop.
    EXPECT_LT(m_addresses.count(), kResultPages);
    EXPECT_NE(controls.operations().back(), "SetSearchButtonEnabled(true)");
}

TEST_F(SearchRunnerEndToEndTest, AddressListCanBeReadWhileARunAppends)
{
    demo::DemoMarket market;
    ASSERT_GT(market.bind(0), 0);
    market.start();
    const std::string root = market.root();
    FakeControls controls(kTea, kTeaFlagshipStore);
    SearchRunner runner(setupFor(controls, root));

    std::atomic<bool> runEnded = false;
    std::atomic<int> shrank = 0;
    std::atomic<int> foreignEntries = 0;
    std::atomic<int> partialCounts = 0;
    std::thread reader([&] {
        int32_t seen = 0;
        while (!runEnded) {
            const int32_t count = m_addresses.count();
            if (count < seen)
                ++shrank;
            if (count > 0) {
                if (!m_addresses.entryAt(count - 1).bytes().starts_with(root))
                    ++foreignEntries;
                if (!m_addresses.entryAt(count / 2).bytes().starts_with(root))
                    ++foreignEntries;
                if (count < kResultPages)
                    ++partialCounts;
            }
            seen = count;
        }
    });
    const bool started = runner.StartSearchRun();
    const bool ended = started && waitFor([&] { return !runner.running(); }, 20s);
    runEnded = true;
    reader.join();

    ASSERT_TRUE(started);
    ASSERT_TRUE(ended);
    EXPECT_EQ(shrank, 0);
    EXPECT_EQ(foreignEntries, 0);
    EXPECT_GT(partialCounts, 0) << "the reader never saw the list while the run was filling it";
    EXPECT_EQ(m_addresses.count(), static_cast<int32_t>(controls.rows().size()));
    EXPECT_GE(m_addresses.count(), kResultPages);
}

} // namespace
} // namespace torvash
