// SPDX-License-Identifier: MIT
// Whole search runs through the real fetching stack against pages no marketplace should send: the run
// must get through all its pages in bounded time and list what the pages hold.
#include "RealisticPage.h"
#include "app/EndToEndSupport.h"
#include "fakes/FakeControls.h"
#include "search/SearchRun.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kKeyword = "tea";
constexpr const char* kFrontPage = "<html><body>front page</body></html>";

using HostileRunTest = FetchingTest;

/** Every row past page 1 is the absent row of a page fetched from the site root. */
void expectAbsentRowsFromTheRootAfter(size_t firstRowOfPage2, const std::vector<FakeControls::Row>& rows,
                                      const PageAddressList& addresses, const std::string& root)
{
    ASSERT_EQ(rows.size(), firstRowOfPage2 + kResultPages - 1);
    ASSERT_EQ(addresses.count(), static_cast<int32_t>(rows.size()));
    for (size_t row = firstRowOfPage2; row < rows.size(); ++row) {
        const int page = static_cast<int>(row - firstRowOfPage2) + 2;
        EXPECT_EQ(rows[row].page.bytes(), pageCell(page));
        EXPECT_EQ(rows[row].title.bytes(), kNotFound);
        EXPECT_EQ(addresses.entryAt(static_cast<int32_t>(row)).bytes(), root);
    }
}

TEST_F(HostileRunTest, FirstPageThatNeverEndsIsCutAndTheRunGoesOnToPageAHundred)
{
    RawResponder server([](int socket, const std::string& head, const std::atomic<bool>& stopping) {
        if (!head.starts_with("GET /search")) {
            RawResponder::sendAll(
                socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(std::strlen(kFrontPage)) +
                            "\r\nConnection: close\r\n\r\n" + kFrontPage);
            return;
        }
        RawResponder::sendAll(socket, "HTTP/1.1 200 OK\r\n\r\n");
        const std::string chunk(256 * 1024, 'z');
        while (!stopping && ::send(socket, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
    });
    const std::string root = server.address("");
    FakeControls controls(kKeyword, "seller");
    const auto started = Clock::now();

    SearchRun(setupFor(controls, root));

    EXPECT_LT(Clock::now() - started, 60s);
    const std::vector<FakeControls::Row> rows = controls.rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].page.bytes(), "001");
    EXPECT_EQ(rows[0].title.bytes(), kNotFound);
    EXPECT_EQ(m_addresses.entryAt(0).bytes(), root + "/search?q=tea&tab=coefp");
    expectAbsentRowsFromTheRootAfter(1, rows, m_addresses, root);
    EXPECT_EQ(server.requestHeads().size(), static_cast<size_t>(kResultPages));
}

TEST_F(HostileRunTest, PageOfEightMebibytesWithFiftyThousandListingsGetsARowForEach)
{
    constexpr int32_t kHits = 50000;
    const std::string page = bench::makeRealisticPage(size_t{8} << 20, kHits);
    HttpTestServer server;
    server.routes().Get("/search", [&page](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=GBK");
    });
    server.routes().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kFrontPage, "text/html");
    });
    server.start();
    const std::string root = server.address("");
    FakeControls controls(kKeyword, bench::kBenchSeller);
    const auto started = Clock::now();

    SearchRun(setupFor(controls, root));

    EXPECT_LT(Clock::now() - started, 60s);
    const std::vector<FakeControls::Row> rows = controls.rows();
    ASSERT_GE(rows.size(), static_cast<size_t>(kHits));
    for (size_t row = 0; row < kHits; ++row) {
        // Only the page's first row carries its number; each listing's title and link are its own.
        ASSERT_EQ(rows[row].page.bytes(), row == 0 ? "001" : "") << "row " << row;
        ASSERT_NE(rows[row].title.bytes(), kNotFound) << "row " << row;
        ASSERT_TRUE(rows[row].link.bytes().starts_with("//item.example.com/item.htm?id=")) << "row " << row;
        ASSERT_EQ(m_addresses.entryAt(static_cast<int32_t>(row)).bytes(), root + "/search?q=tea&tab=coefp");
    }
    EXPECT_NE(rows[0].link, rows[kHits - 1].link);
    expectAbsentRowsFromTheRootAfter(kHits, rows, m_addresses, root);
}

} // namespace
} // namespace torvash
