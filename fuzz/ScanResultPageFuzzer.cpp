// SPDX-License-Identifier: MIT
// Random pages and seller texts: the scan ends, numbers its hits 1, 2, 3..., cuts every title and link
// out of the page, and finds what cutting and searching afresh for every hit finds.
#include "FuzzCheck.h"
#include "search/ResultPageScanner.h"
#include "support/LiteralResultPageScan.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    if (size == 0)
        return 0;
    // First byte: the seller text's length; then the seller text; the rest is the page.
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t sellerLength = std::min<size_t>(data[0] % 24, input.size());
    const Text sellerText(input.substr(0, sellerLength));
    const Text page(input.substr(sellerLength));
    const auto source = [&] { return sellerText; };

    ScanResult fast;
    fast.present = ScanResultPage(page, source, [&](const ListingHit& hit) { fast.hits.push_back(hit); });

    require(fast.present == !fast.hits.empty());
    for (size_t i = 0; i < fast.hits.size(); ++i) {
        require(fast.hits[i].ordinal == static_cast<int32_t>(i + 1));
        require(page.bytes().find(fast.hits[i].title.bytes()) != std::string_view::npos);
        require(page.bytes().find(fast.hits[i].link.bytes()) != std::string_view::npos);
    }
    const ScanResult literal = LiteralResultPageScan(page, source);
    require(fast.present == literal.present && fast.hits == literal.hits);

    const Text next = CutNextPageLink(page);
    require(page.bytes().find(next.bytes()) != std::string_view::npos);
    return 0;
}
