// SPDX-License-Identifier: MIT
// Many searches in one process, as a seller leaves the program open all day: nothing may pile up from
// one run to the next, and a fetch abandoned at its time-out must not outlive it.
#include "DemoMarket.h"
#include "app/EndToEndSupport.h"
#include "fakes/FakeControls.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"
#include "support/ProcessFigures.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace torvash {
namespace {

using namespace std::chrono_literals;

constexpr int kSearches = 20;
constexpr const char* kSellerOnPageAHundred = "demo-shop";
constexpr auto kStall = 1500ms;

/**
 * The demo marketplace's pages, except that while `stallLastPage` is set the answer for page 100 comes
 * only after kStall. The handler starts after the fetch does, so the answer is always later than the
 * runs' one-second time-out, and the fetch is abandoned.
 */
class StallingMarket
{
public:
    StallingMarket()
    {
        m_server.routes().Get(
            "/search", [this](const httplib::Request& request, httplib::Response& response) {
                const int page =
                    request.has_param("s")
                        ? std::atoi(request.get_param_value("s").c_str()) / demo::kListingsPerPage + 1
                        : 1;
                if (page == kResultPages && stallLastPage)
                    std::this_thread::sleep_for(kStall);
                response.set_header("Set-Cookie", "visit=" + std::to_string(page) + "; Path=/");
                response.set_content(demo::resultPage(request.get_param_value("q"), page), "text/html");
            });
        m_server.start();
    }

    [[nodiscard]] std::string root() const { return m_server.address(""); }

    std::atomic<bool> stallLastPage = false;

private:
    HttpTestServer m_server;
};

/** Waits up to two seconds for a figure of the process to come down to `baseline`; the last figure read. */
long settlesTo(long baseline, long (*figure)())
{
    long now = figure();
    for (int tries = 0; now > baseline && tries < 200; ++tries) {
        std::this_thread::sleep_for(10ms);
        now = figure();
    }
    return now;
}

using LongUseTest = FetchingTest;

TEST_F(LongUseTest, TwentySearchesInARowLeaveMemoryThreadsAndFilesWhereTheyWere)
{
    ASSERT_EQ(demo::pageCountFor(kTea), kResultPages);
    ASSERT_NE(demo::resultPage(kTea, kResultPages).find(kSellerOnPageAHundred), std::string::npos);
    StallingMarket market;
    // The figures at rest are taken after a first search, once the servers' and libraries' threads
    // that start on first use are there.
    long threadsAtRest = -1;
    long filesAtRest = -1;
    long residentAfterSecond = -1;

    for (int search = 1; search <= kSearches; ++search) {
        SCOPED_TRACE("search " + std::to_string(search));
        // Every other search has its last page abandoned at the time-out.
        const bool stalled = search % 2 == 0;
        market.stallLastPage = stalled;
        FakeControls controls(kTea, kSellerOnPageAHundred);

        SearchRun(setupFor(controls, market.root(), 1));

        // The run ends right after its last fetch, so a worker it abandoned there has had no time of
        // its own yet: it must end within the second that follows.
        EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(1s));
        // The seller stands on page 100: an abandoned fetch of it leaves the absent row instead.
        const std::vector<FakeControls::Row> rows = controls.rows();
        ASSERT_GE(rows.size(), static_cast<size_t>(kResultPages));
        EXPECT_EQ(m_addresses.count(), static_cast<int32_t>(rows.size()));
        EXPECT_EQ(rows.back().page.bytes(), "100");
        EXPECT_EQ(rows.back().title.bytes() == kNotFound, stalled);
        if (search == 1) {
            threadsAtRest = process::threadCount();
            filesAtRest = process::openFileCount();
            ASSERT_GT(threadsAtRest, 0);
            ASSERT_GT(filesAtRest, 0);
            continue;
        }
        EXPECT_LE(settlesTo(threadsAtRest, process::threadCount), threadsAtRest);
        EXPECT_LE(settlesTo(filesAtRest, process::openFileCount), filesAtRest);
        if (search == 2)
            residentAfterSecond = process::statusKibibytes("VmRSS");
    }

    const long residentAfterLast = process::statusKibibytes("VmRSS");
    ASSERT_GT(residentAfterSecond, 0);
    if (!process::kFreedMemoryIsHeldBack) {
        EXPECT_LE(residentAfterLast, residentAfterSecond * 11 / 10)
            << "resident KiB after the second search: " << residentAfterSecond;
    }
}

} // namespace
} // namespace torvash
