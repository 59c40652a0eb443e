// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/*
 * The demo marketplace: deterministic GBK result pages for any keyword, in the markup the scanner
 * reads, with a few demo sellers on known pages. It serves the demo, the integration tests and the
 * benchmarks, on loopback only.
 */
namespace torvash::demo {

inline constexpr int kListingsPerPage = 44;
inline constexpr int kDefaultPort = 8765;

/** A demo seller (GBK name) and the pages it stands on; several entries of a page mean several
 *  listings there. */
struct DemoSeller
{
    std::string name;
    std::vector<int> pages;
};

const std::vector<DemoSeller>& demoSellers();

/** How many result pages a keyword has: 100 for most, fewer for some, so that the last page has no
 *  next-page link. */
int pageCountFor(std::string_view keyword);

/** Result page `page` (1-based) for `keyword` (GBK bytes), or an empty string past the last page. */
std::string resultPage(std::string_view keyword, int page);

/** The site's front page, which holds no results. */
std::string frontPage();

/** The server on 127.0.0.1. */
class DemoMarket
{
public:
    DemoMarket();
    ~DemoMarket();
    DemoMarket(const DemoMarket&) = delete;
    DemoMarket& operator=(const DemoMarket&) = delete;

    /** Binds 127.0.0.1:`port` (0: a free port); the port bound, or -1. */
    int bind(int port);
    /** Serves until stop() is called, from any thread. */
    void run();
    void stop();
    /** Starts serving on a thread of its own, for tests. */
    void start();
    /** "http://127.0.0.1:port" */
    [[nodiscard]] std::string root() const;

private:
    struct Server;
    std::unique_ptr<Server> m_server;
    int m_port = -1;
};

} // namespace torvash::demo
