// SPDX-License-Identifier: MIT
#pragma once

#include "search/Controls.h"
#include "search/PageAddressList.h"
#include "text/Text.h"

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

namespace torvash {

/** Fetches one result page: its body, or empty bytes after any failure. A stop wakes it at once. */
using PageFetcher = std::function<Bytes(TextView address, std::stop_token stop)>;

/** The address of the search host's root, "http://" and the host, without a trailing slash: the
 *  build's setting (TORVASH_SEARCH_SITE_ROOT). */
Text SearchSiteRoot();

inline constexpr int32_t kResultPages = 100;
/** The title of the row of a page without the seller: 没有找到. */
inline constexpr TextView kNotFoundTitle = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD";

/** What a run works on; all of it outlives the run. */
struct SearchRunSetup
{
    Controls& controls;
    PageAddressList& addresses;
    PageFetcher fetchPage;
    Text siteRoot; // SearchSiteRoot, or another site's root
};

/**
 * One search: checks the two fields, then fetches result pages 1 to 100 from the first search address
 * on, following each page's next-page link, and writes a row per listing of the seller (or a
 * "没有找到" row for a page without one) with the page's address beside it in the address list.
 * A stop ends it before its next step, and leaves the controls alone from then on.
 */
void SearchRun(const SearchRunSetup& setup, const std::stop_token& stop = {});

/**
 * Runs searches on a thread of their own, one at a time. Going away stops a run in progress and
 * waits for its thread, which ends at its next step.
 */
class SearchRunner
{
public:
    explicit SearchRunner(SearchRunSetup setup) : m_setup(std::move(setup)) {}
    ~SearchRunner() { stopAndWait(); }
    SearchRunner(const SearchRunner&) = delete;
    SearchRunner& operator=(const SearchRunner&) = delete;

    /** Starts a run and returns at once; starts nothing, and says false, while a run is starting or
     *  in progress, or when no thread can be started. */
    bool StartSearchRun();
    [[nodiscard]] bool running() const { return m_running; }
    /** Asks a run in progress to stop, and waits until its thread has ended. */
    void stopAndWait();

private:
    SearchRunSetup m_setup;
    std::atomic<bool> m_running = false;
    std::jthread m_thread;
};

} // namespace torvash
