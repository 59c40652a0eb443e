// SPDX-License-Identifier: MIT
// Searches started from the window's button, through the real fetching stack, against the demo
// marketplace in this process.
#include "DemoMarket.h"
#include "app/EndToEndSupport.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"
#include "support/TestServers.h"
#include "ui/WindowTestSupport.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const CurlGlobal kCurl; // before any test starts a thread

/** Every change of a widget's enabled state, in order. */
class EnabledChanges : public QObject
{
public:
    explicit EnabledChanges(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }

    std::vector<bool> changes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::EnabledChange)
            changes.push_back(m_widget->isEnabled());
        return false;
    }

private:
    QWidget* m_widget;
};

/** The longest gap between the ticks of a 5 ms timer: how long the event loop could not run. */
class StallMeter
{
public:
    explicit StallMeter(std::function<void()> onTick = {}) : m_onTick(std::move(onTick))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            if (m_last != Clock::time_point())
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            if (m_onTick)
                m_onTick();
        });
        m_timer.start(5);
    }
    void stop() { m_timer.stop(); }
    [[nodiscard]] std::chrono::microseconds longest() const
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(m_longest);
    }

private:
    std::function<void()> m_onTick;
    QTimer m_timer;
    Clock::time_point m_last;
    Clock::duration m_longest{};
};

/** The window with a search runner behind its button, wired as the program wires them. */
class SearchWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_GT(m_market.bind(0), 0);
        m_market.start();
    }

    void TearDown() override
    {
        m_runner.reset();
        m_window.reset();
        // Workers let go at a stop still use the HTTP layer until their transfer ends.
        EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(5s));
    }

    void wireRunner(const std::string& siteRoot, PageFetcher fetch = {})
    {
        if (!fetch)
            fetch = [this](TextView address, std::stop_token stop) {
                return FetchPage(m_platform, address, FetchOptions{.stop = std::move(stop)});
            };
        m_runner = std::make_unique<SearchRunner>(SearchRunSetup{
            m_window->controls(), m_addresses, std::move(fetch), Text(std::string_view(siteRoot))});
        m_window->setSearchStarter([this] { m_runner->StartSearchRun(); });
        m_window->setClosingStep([this] { m_runner->stopAndWait(); });
    }

    QPushButton* button() const { return control<QPushButton>("按钮1"); }

    void typeFields(const char* keyword, const char* seller)
    {
        typeInto(control<QLineEdit>("编辑框1"), utf8(keyword));
        typeInto(control<QLineEdit>("编辑框2"), utf8(seller));
    }

    demo::DemoMarket m_market;
    TemporaryFolder m_folder;
    CurlHttpLayer m_http{m_folder.path() / "cookies.txt"};
    StdWorkerThreads m_threads;
    FetchPlatform m_platform{m_http, m_threads};
    std::unique_ptr<SearchRunner> m_runner;
};

TEST_F(SearchWindowTest, ButtonSearchFillsTheListPageByPageWhileTheWindowStaysResponsive)
{
    wireRunner(m_market.root());
    showWindow();
    typeFields("茶叶", "茶叶旗舰店");
    EnabledChanges buttonStates(button());
    bool rowsShownDuringTheRun = false;
    StallMeter meter([&] {
        const int shown = rows()->rowCount();
        rowsShownDuringTheRun = rowsShownDuringTheRun || (m_runner->running() && shown > 0 && shown < 100);
    });

    QTest::mouseClick(button(), Qt::LeftButton);
    ASSERT_TRUE(m_runner->running());
    const bool ended = spinUntil([this] { return !m_runner->running(); }, 30s);
    meter.stop();
    ASSERT_TRUE(ended) << "the run did not end";

    EXPECT_EQ(buttonStates.changes, (std::vector<bool>{false, true}));
    EXPECT_TRUE(button()->isEnabled());
    EXPECT_TRUE(rowsShownDuringTheRun) << "rows were not shown as they came";
    const int rowCount = rows()->rowCount();
    EXPECT_GE(rowCount, 100);
    EXPECT_EQ(m_addresses.count(), rowCount);
    std::vector<std::string> pageCells;
    for (int row = 0; row < rowCount; ++row)
        if (const Text cell = controls().ResultCellText(row, kPageColumn); !cell.empty())
            pageCells.emplace_back(cell.bytes());
    std::vector<std::string> expectedCells;
    for (int page = 1; page <= kResultPages; ++page) {
        char cell[8];
        std::snprintf(cell, sizeof cell, "%03d", page);
        expectedCells.emplace_back(cell);
    }
    EXPECT_EQ(pageCells, expectedCells);
    std::printf("[          ] longest event-loop stall during the run: %.1f ms\n",
                static_cast<double>(meter.longest().count()) / 1000.0);
    RecordProperty("longest_stall_us", static_cast<int>(meter.longest().count()));
    EXPECT_LT(meter.longest(), 50ms);

    // The first row's menu opens the page the run fetched it from.
    selectRow(0);
    DialogWatcher watcher;
    watcher.choice = utf8("进入搜索页面");
    rightClickInList();
    spinUntil([this] { return !m_opened.empty(); }, 200ms);
    ASSERT_EQ(m_opened.size(), 1U);
    const QUrl& opened = m_opened[0];
    EXPECT_EQ(opened.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ("http://127.0.0.1:" + std::to_string(opened.port()), m_market.root());
    EXPECT_EQ(opened.path(), QStringLiteral("/search"));
    EXPECT_EQ(QUrlQuery(opened).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded), utf8("茶叶"));
}

struct EmptyFieldCase
{
    const char* id;
    const char* keyword;
    const char* seller;
    const char* message;
};

void PrintTo(const EmptyFieldCase& empty, std::ostream* out)
{
    *out << empty.id;
}

class EmptyFieldTest : public SearchWindowTest, public ::testing::WithParamInterface<EmptyFieldCase>
{};

TEST_P(EmptyFieldTest, RunAsksForTheFieldAndLeavesAnEmptyListWithoutMenu)
{
    const EmptyFieldCase& empty = GetParam();
    std::atomic<int> fetches = 0;
    wireRunner(m_market.root(), [&](TextView, std::stop_token) {
        ++fetches;
        return Bytes();
    });
    showWindow();
    addRow("001", "from the last run", "//item.demo.test/1");
    m_addresses.append("http://127.0.0.1:9/search?q=tea&tab=coefp");
    typeFields(empty.keyword, empty.seller);
    DialogWatcher watcher;

    QTest::mouseClick(button(), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([this] { return !m_runner->running(); }, 5s));

    ASSERT_EQ(watcher.boxes.size(), 1U);
    EXPECT_EQ(watcher.boxes[0].text, utf8(empty.message));
    EXPECT_EQ(watcher.boxes[0].caption, utf8("信息："));
    EXPECT_EQ(fetches, 0);
    EXPECT_TRUE(button()->isEnabled());
    EXPECT_EQ(rows()->rowCount(), 0);
    EXPECT_EQ(m_addresses.count(), 0);

    rightClickInList();
    spinFor(20ms);
    EXPECT_TRUE(watcher.menus.empty());
}

INSTANTIATE_TEST_SUITE_P(Fields, EmptyFieldTest,
                         ::testing::Values(EmptyFieldCase{"Keyword", "", "茶叶旗舰店", "请输入查询的关键词"},
                                           EmptyFieldCase{"Seller", "茶叶", "", "请输入查询的旺旺名"},
                                           EmptyFieldCase{"Both", "", "", "请输入查询的关键词"}),
                         [](const auto& info) { return std::string(info.param.id); });

enum class Site
{
    Silent,     // takes the request and never answers
    DemoMarket, // rows keep coming
};

void PrintTo(Site site, std::ostream* out)
{
    *out << (site == Site::Silent ? "Silent" : "DemoMarket");
}

enum class Closing
{
    CloseCall,
    EscKey,
};

void PrintTo(Closing closing, std::ostream* out)
{
    *out << (closing == Closing::CloseCall ? "close()" : "Esc");
}

class ClosingMidRunTest : public SearchWindowTest,
                          public ::testing::WithParamInterface<std::tuple<Site, Closing>>
{};

TEST_P(ClosingMidRunTest, ReturnsAtOnceAndNothingReachesTheWindowAfterwards)
{
    const auto [site, closing] = GetParam();
    RawResponder silent(neverAnswer);
    wireRunner(site == Site::Silent ? silent.address("") : m_market.root());
    showWindow();
    typeFields("茶叶", "茶叶旗舰店");
    QTest::mouseClick(button(), Qt::LeftButton);
    if (site == Site::Silent)
        ASSERT_TRUE(spinUntil([&] { return silent.requestHeads().size() == 1; }, 5s));
    else
        ASSERT_TRUE(spinUntil([this] { return rows()->rowCount() >= 10; }, 5s));
    ASSERT_TRUE(m_runner->running());
    EnabledChanges buttonStates(button());
    QSignalSpy inserted(rows(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(rows(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(rows(), &QAbstractItemModel::modelReset);

    const Clock::time_point started = Clock::now();
    if (closing == Closing::CloseCall) {
        m_window->close();
    } else {
        list()->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(list(), Qt::Key_Escape);
    }
    const Clock::duration took = Clock::now() - started;

    EXPECT_FALSE(m_window->isVisible());
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(m_runner->running());
    const int rowsAtClose = rows()->rowCount();
    spinFor(100ms);
    EXPECT_EQ(rows()->rowCount(), rowsAtClose);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_TRUE(buttonStates.changes.empty());
    if (site == Site::DemoMarket) {
        EXPECT_LT(m_addresses.count(), kResultPages) << "the run had ended before the window closed";
    }
}

INSTANTIATE_TEST_SUITE_P(Sites, ClosingMidRunTest,
                         ::testing::Combine(::testing::Values(Site::Silent, Site::DemoMarket),
                                            ::testing::Values(Closing::CloseCall, Closing::EscKey)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Site::Silent ? "Silent"
                                                                                        : "DemoMarket") +
                                    (std::get<1>(info.param) == Closing::CloseCall ? "_Close" : "_Esc");
                         });

} // namespace
} // namespace torvash
