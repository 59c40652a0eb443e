// SPDX-License-Identifier: MIT
#include "search/SearchRun.h"

#include "fakes/FakeControls.h"
#include "text/TextOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace torvash {
namespace {

using namespace std::chrono_literals;

const Text kRoot = "http://shop.test";
const Text kNotFound = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD";
const std::string kNextPage = "\xCF\xC2\xD2\xBB\xD2\xB3";
const std::string kPreviousPage = "\xC9\xCF\xD2\xBB\xD2\xB3";

std::string listing(const std::string& title, const std::string& seller)
{
    return "<div EventCanSelect><a title=\"" + title + "\" href=\"/item/" + title + "\">x</a><span>" +
           seller + "</span></div>";
}

std::string withPager(const std::string& listings, const std::string& nextLink)
{
    return listings + "<span>" + kPreviousPage + "</span><a href=\"" + nextLink + "\" class=\"next\">" +
           kNextPage + "</a>";
}

/** A site of scripted pages by address; every other address fails. Records each fetch. */
class ScriptedSite
{
public:
    void serve(const Text& address, std::string page)
    {
        m_pages[std::string(address.bytes())] = std::move(page);
    }

    PageFetcher fetcher()
    {
        return [this](TextView address, std::stop_token) {
            const std::scoped_lock guard(m_lock);
            m_fetched.emplace_back(address);
            if (m_onFetch)
                m_onFetch(static_cast<int>(m_fetched.size()));
            const auto page = m_pages.find(std::string(address.bytes()));
            return page == m_pages.end() ? Bytes() : Bytes(page->second);
        };
    }

    /** Called with the fetch's number (1 for the first) as each fetch starts. */
    void onFetch(std::function<void(int)> action) { m_onFetch = std::move(action); }

    std::vector<Text> fetched() const
    {
        const std::scoped_lock guard(m_lock);
        return m_fetched;
    }

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_pages;
    std::vector<Text> m_fetched;
    std::function<void(int)> m_onFetch;
};

struct RunResult
{
    std::vector<FakeControls::Row> rows;
    std::vector<Text> addresses;
};

RunResult run(FakeControls& controls, ScriptedSite& site)
{
    PageAddressList addresses;
    SearchRun(SearchRunSetup{controls, addresses, site.fetcher(), kRoot});
    RunResult result{controls.rows(), {}};
    for (int32_t i = 0; i < addresses.count(); ++i)
        result.addresses.push_back(addresses.entryAt(i));
    return result;
}

TEST(SearchRun, EmptyFieldGetsItsMessageAndTheRunEndsWithTheButtonEnabled)
{
    struct Case
    {
        const char* name;
        Text keyword;
        Text seller;
        Text message;
        std::vector<std::string> operations;
    };
    const Case cases[] = {
        {"empty keyword",
         "",
         "shop",
         "\xC7\xEB\xCA\xE4\xC8\xEB\xB2\xE9\xD1\xAF\xB5\xC4\xB9\xD8\xBC\xFC\xB4\xCA",
         {"ClearResultRows", "SetSearchButtonEnabled(false)", "FieldText(keyword)", "ShowMessage",
          "SetSearchButtonEnabled(true)"}},
        {"empty seller",
         "tea",
         "",
         "\xC7\xEB\xCA\xE4\xC8\xEB\xB2\xE9\xD1\xAF\xB5\xC4\xCD\xFA\xCD\xFA\xC3\xFB",
         {"ClearResultRows", "SetSearchButtonEnabled(false)", "FieldText(keyword)", "FieldText(seller)",
          "ShowMessage", "SetSearchButtonEnabled(true)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeControls controls(c.keyword, c.seller);
        ScriptedSite site;

        const RunResult result = run(controls, site);

        EXPECT_EQ(controls.messages(), std::vector{c.message});
        EXPECT_EQ(controls.operations(), c.operations);
        EXPECT_TRUE(result.rows.empty());
        EXPECT_TRUE(result.addresses.empty());
        EXPECT_TRUE(site.fetched().empty());
    }
}

TEST(SearchRun, FirstAddressHoldsTheTrimmedKeywordAsTyped)
{
    struct Case
    {
        const char* name;
        Text keyword;
        Text address;
    };
    const Case cases[] = {
        {"spaces around, inner spaces, GBK, & and = kept", "  red tea \xBA\xEC&a=b \xA1\xA1",
         "http://shop.test/search?q=red tea \xBA\xEC&a=b&tab=coefp"},
        {"spaces only: an empty keyword", "   ", "http://shop.test/search?q=&tab=coefp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeControls controls(c.keyword, "shop");
        ScriptedSite site;

        run(controls, site);

        ASSERT_FALSE(site.fetched().empty());
        EXPECT_EQ(site.fetched().front(), c.address);
        EXPECT_TRUE(controls.messages().empty());
    }
}

TEST(SearchRun, FetchesAHundredPagesAndPairsEveryRowWithItsPagesAddress)
{
    // Page 1: three of the seller's listings among others; page 2 fails; from then on the next address
    // is the site's root, which fails too.
    const Text first = "http://shop.test/search?q=tea&tab=coefp";
    ScriptedSite site;
    site.serve(first, withPager(listing("t1", "shop") + listing("other", "elsewhere") +
                                    listing("t2", "shop") + listing("t3", "SHOP"),
                                "/search?q=tea&s=44"));
    FakeControls controls("tea", "shop");

    const RunResult result = run(controls, site);

    const std::vector<Text> fetched = site.fetched();
    ASSERT_EQ(fetched.size(), 100U);
    EXPECT_EQ(fetched[1], Text("http://shop.test/search?q=tea&s=44"));
    EXPECT_TRUE(std::all_of(fetched.begin() + 2, fetched.end(), [](const Text& a) { return a == kRoot; }));

    ASSERT_EQ(result.rows.size(), 102U);
    EXPECT_EQ(result.addresses.size(), result.rows.size());
    const FakeControls::Row firstRows[] = {
        {"001", "t1", "/item/t1"}, {"", "t2", "/item/t2"}, {"", "t3", "/item/t3"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(result.rows[i].page, firstRows[i].page);
        EXPECT_EQ(result.rows[i].title, firstRows[i].title);
        EXPECT_EQ(result.rows[i].link, firstRows[i].link);
        EXPECT_EQ(result.addresses[i], first);
    }
    EXPECT_EQ(result.rows[3].page, Text("002"));
    EXPECT_EQ(result.rows[3].title, kNotFound);
    EXPECT_EQ(result.rows[3].link, Text());
    EXPECT_EQ(result.addresses[3], Text("http://shop.test/search?q=tea&s=44"));
    EXPECT_EQ(result.rows[3 + 8].page, Text("010"));
    EXPECT_EQ(result.rows.back().page, Text("100"));
    EXPECT_EQ(result.addresses.back(), kRoot);
    EXPECT_TRUE(controls.buttonEnabled());

    // Each row's cells are set in column order, right after the row is added.
    const std::vector<std::string> operations = controls.operations();
    const auto added = std::find(operations.begin(), operations.end(), "AppendResultRow");
    ASSERT_GE(operations.end() - added, 4);
    EXPECT_EQ(
        std::vector<std::string>(added + 1, added + 4),
        (std::vector<std::string>{"SetResultCell(0, 0)", "SetResultCell(0, 1)", "SetResultCell(0, 2)"}));
}

TEST(SearchRun, ReadsTheKeywordTwiceAndTheSellerAtEachReadingPointOfTheScan)
{
    ScriptedSite site;
    site.serve("http://shop.test/search?q=tea&tab=coefp",
               withPager(listing("a1", "shopA") + listing("b1", "shopB"), "/p2"));
    for (int page = 2; page <= 100; ++page)
        site.serve(ConcatText(kRoot, "/p", NumberToText(page)),
                   withPager(listing("a" + std::to_string(page), "shopA") +
                                 listing("b" + std::to_string(page), "shopB"),
                             "/p" + std::to_string(page + 1)));
    FakeControls controls("tea", "shopA");
    // The user types another name while page 3 is being fetched: page 3 on finds that seller.
    site.onFetch([&](int fetch) {
        if (fetch == 3)
            controls.setSeller("shopB");
    });

    const RunResult result = run(controls, site);

    ASSERT_EQ(result.rows.size(), 100U);
    EXPECT_EQ(result.rows[0].title, Text("a1"));
    EXPECT_EQ(result.rows[1].title, Text("a2"));
    EXPECT_EQ(result.rows[2].title, Text("b3"));
    EXPECT_EQ(result.rows[99].title, Text("b100"));
    const std::vector<std::string> operations = controls.operations();
    EXPECT_EQ(std::count(operations.begin(), operations.end(), "FieldText(keyword)"), 2);
    // One for the check; then per page one for the presence test and three for its one hit.
    EXPECT_EQ(controls.sellerReads(), 1 + 100 * 4);
}

/** A fetcher that holds every fetch until it is let go or the fetch is stopped. */
class HeldFetches
{
public:
    PageFetcher fetcher()
    {
        return [this](TextView, std::stop_token stop) {
            std::unique_lock guard(m_lock);
            ++m_started;
            m_changed.notify_all();
            std::condition_variable_any wake;
            wake.wait(guard, stop, [this] { return m_released; });
            return Bytes();
        };
    }
    void waitForFirstFetch()
    {
        std::unique_lock guard(m_lock);
        m_changed.wait_for(guard, 5s, [this] { return m_started > 0; });
    }
    void release()
    {
        const std::scoped_lock guard(m_lock);
        m_released = true;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_started = 0;
    bool m_released = false;
};

TEST(SearchRunner, StartsNothingWhileARunIsUnderWayAndStopsItAtOnce)
{
    FakeControls controls("tea", "shop");
    PageAddressList addresses;
    HeldFetches fetches;
    SearchRunner runner(SearchRunSetup{controls, addresses, fetches.fetcher(), kRoot});

    ASSERT_TRUE(runner.StartSearchRun());
    fetches.waitForFirstFetch();
    EXPECT_FALSE(runner.StartSearchRun());
    EXPECT_TRUE(runner.running());

    const auto started = std::chrono::steady_clock::now();
    runner.stopAndWait();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_FALSE(runner.running());
    const std::vector<std::string> operations = controls.operations();
    EXPECT_EQ(operations.back(), "FieldText(keyword)"); // the keyword read for the address; no row, no button
    EXPECT_TRUE(controls.rows().empty());
}

TEST(SearchRunner, StartsAgainOnceTheLastRunHasEnded)
{
    FakeControls controls("", "shop"); // each run ends at once with its message
    PageAddressList addresses;
    ScriptedSite site;
    SearchRunner runner(SearchRunSetup{controls, addresses, site.fetcher(), kRoot});

    ASSERT_TRUE(runner.StartSearchRun());
    runner.stopAndWait();
    ASSERT_TRUE(runner.StartSearchRun());
    runner.stopAndWait();
    EXPECT_EQ(controls.messages().size(), 2U);
}

} // namespace
} // namespace torvash
