// SPDX-License-Identifier: MIT
#include "search/SearchRun.h"

#include "search/ResultPageScanner.h"
#include "text/TextOperations.h"

#include <system_error>

#ifndef TORVASH_SEARCH_SITE_ROOT
#define TORVASH_SEARCH_SITE_ROOT "http://127.0.0.1:8765"
#endif

namespace torvash {

namespace {

// 请输入查询的关键词, 请输入查询的旺旺名
constexpr TextView kAskForKeyword =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xB2\xE9\xD1\xAF\xB5\xC4\xB9\xD8\xBC\xFC\xB4\xCA";
constexpr TextView kAskForSeller = "\xC7\xEB\xCA\xE4\xC8\xEB\xB2\xE9\xD1\xAF\xB5\xC4\xCD\xFA\xCD\xFA\xC3\xFB";

/** "001" to "100". */
Text pageNumberCell(int32_t page)
{
    return RightText(ConcatText("00", NumberToText(page)), 3);
}

/** Adds a row of three cells and its address entry, unless the run has been asked to stop. */
void addRow(const SearchRunSetup& setup, const std::stop_token& stop, TextView page, TextView title,
            TextView link, TextView address)
{
    if (stop.stop_requested())
        return;
    const int32_t row = setup.controls.AppendResultRow();
    setup.controls.SetResultCell(row, kPageColumn, page);
    setup.controls.SetResultCell(row, kTitleColumn, title);
    setup.controls.SetResultCell(row, kLinkColumn, link);
    setup.addresses.append(address);
}

/** The rows of one result page: one per listing of the seller, or one "没有找到" row. */
void addRowsOfPage(const SearchRunSetup& setup, const std::stop_token& stop, const Text& pageText,
                   const Text& address, int32_t page)
{
    const Text cell = pageNumberCell(page);
    const auto sellerText = [&] {
        // Once stopped, an empty seller text ends the scan at its next reading point.
        return stop.stop_requested() ? Text() : setup.controls.FieldText(InputField::Seller);
    };
    const bool present = ScanResultPage(pageText, sellerText, [&](const ListingHit& hit) {
        addRow(setup, stop, hit.ordinal == 1 ? TextView(cell) : TextView(), hit.title, hit.link, address);
    });
    if (!present)
        addRow(setup, stop, cell, kNotFoundTitle, {}, address);
}

/** Shows a field's message and ends the run; true when the field was empty. */
bool refuseEmpty(Controls& controls, InputField field, TextView message)
{
    if (CompareText(controls.FieldText(field), "") != 0)
        return false;
    controls.ShowMessage(message);
    controls.SetSearchButtonEnabled(true);
    return true;
}

} // namespace

Text SearchSiteRoot()
{
    return TORVASH_SEARCH_SITE_ROOT;
}

void SearchRun(const SearchRunSetup& setup, const std::stop_token& stop)
{
    Controls& controls = setup.controls;
    controls.ClearResultRows();
    setup.addresses.clear();
    controls.SetSearchButtonEnabled(false);
    if (refuseEmpty(controls, InputField::Keyword, kAskForKeyword) ||
        refuseEmpty(controls, InputField::Seller, kAskForSeller))
        return;

    const Text keyword = TrimBothEnds(controls.FieldText(InputField::Keyword));
    Text address = ConcatText(setup.siteRoot, "/search?q=", keyword, "&tab=coefp");
    for (int32_t page = 1;; ++page) {
        const Text pageText = BytesToText(setup.fetchPage(address, stop));
        if (stop.stop_requested())
            return;
        addRowsOfPage(setup, stop, pageText, address, page);
        if (page == kResultPages || stop.stop_requested())
            break;
        address = ConcatText(setup.siteRoot, CutNextPageLink(pageText));
    }
    if (!stop.stop_requested())
        controls.SetSearchButtonEnabled(true);
}

bool SearchRunner::StartSearchRun()
{
    bool idle = false;
    if (!m_running.compare_exchange_strong(idle, true))
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the last run's thread, which has ended or is about to
    try {
        m_thread = std::jthread([this](const std::stop_token& stop) {
            SearchRun(m_setup, stop);
            m_running = false;
        });
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    return true;
}

void SearchRunner::stopAndWait()
{
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    m_thread.join();
}

} // namespace torvash
