// SPDX-License-Identifier: MIT
// Random header blocks and bodies played by the recording HTTP layer: the worker returns with every
// handle it opened closed, replies with the header block and the bytes handed out, reports progress
// against the last "Content-Length: " and stores the cookie of every "Set-Cookie: " line.
#include "FuzzCheck.h"
#include "PlainNumber.h"
#include "fakes/RecordingHttpLayer.h"
#include "fetch/RequestWorker.h"
#include "support/PlainWalk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using ProgressCalls = std::vector<std::pair<intptr_t, intptr_t>>;

constexpr const char* kAddress = "http://www.example.com/search?q=shoes";
constexpr const char* kCookieAddress = "http://www.example.com";
constexpr size_t kHeaderBufferSize = 1024;
constexpr size_t kReadSize = 512;

/** The header text the worker should keep: the block up to its first NUL when it fits the buffer with
 *  a NUL after it, else the spaces the buffer was filled with. */
std::string headerTextOf(const std::optional<std::string>& block)
{
    if (!block || block->size() + 1 > kHeaderBufferSize)
        return std::string(kHeaderBufferSize, ' ');
    return block->substr(0, block->find('\0'));
}

int32_t plainExpectedLength(std::string_view headerText)
{
    const int32_t at = torvash::plainwalk::plainFindReverse(headerText, "Content-Length: ", false);
    if (at == -1)
        return 0;
    return torvash::plainnumber::readInteger(headerText.substr(static_cast<size_t>(at - 1) + 16));
}

std::vector<std::string> plainCookieCalls(std::string_view headerText)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < headerText.size()) {
        const size_t feed = std::min(headerText.find('\n', start), headerText.size());
        lines.emplace_back(headerText.substr(start, feed - start));
        start = feed + 1;
    }
    std::vector<std::string> calls;
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (torvash::plainwalk::plainFind(line, "Set-Cookie: ", 1, true) == -1)
            continue;
        // The cookie is what follows the header's name, wherever on the line the name was found.
        const std::string cookie = line.substr(std::min<size_t>(12, line.size()));
        const int32_t equals = torvash::plainwalk::plainFind(cookie, "=", 1, false);
        const std::string name = equals == -1 ? "" : cookie.substr(0, static_cast<size_t>(equals - 1));
        const std::string data = equals == -1 ? cookie : cookie.substr(static_cast<size_t>(equals));
        calls.push_back(std::string("setCookie(\"") + kCookieAddress + "\", " +
                        (name.empty() ? "<null>" : "\"" + name + "\"") + ", \"" + data + "\")");
    }
    return calls;
}

bool startsWith(const std::string& call, std::string_view name)
{
    return std::string_view(call).starts_with(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    if (size < 4)
        return 0;
    // Byte 0: which open fails, whether a progress routine is set and whether the header query delivers;
    // bytes 1-2: the header block's length; then the block, a count of read sizes, the sizes, the body.
    const uint8_t flags = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    const size_t blockLength = ((size_t{data[1]} << 8U) | data[2]) % (rest.size() + 1);
    const std::string_view block = rest.substr(0, blockLength);
    rest.remove_prefix(blockLength);
    const size_t sizeCount = rest.empty() ? 0 : static_cast<uint8_t>(rest.front()) % 17;
    rest.remove_prefix(rest.empty() ? 0 : 1);
    const std::string_view sizes = rest.substr(0, std::min(sizeCount, rest.size()));
    rest.remove_prefix(sizes.size());

    RecordingHttpLayer::Script script;
    const int failingOpen = flags % 8 >= 5 ? flags % 8 - 4 : 0; // 1 session, 2 connection, 3 request
    script.sessionFails = failingOpen == 1;
    script.connectFails = failingOpen == 2;
    script.requestFails = failingOpen == 3;
    const bool withProgress = (flags & 0x10U) == 0;
    script.headerBlock = (flags & 0x20U) == 0 ? std::optional<std::string>(block) : std::nullopt;
    for (const char sizeByte : sizes) {
        const size_t wanted = static_cast<uint8_t>(sizeByte) * (kReadSize + 1) / 256; // 0 to 512
        const size_t length = std::min(wanted, rest.size());
        script.reads.emplace_back(rest.substr(0, length));
        rest.remove_prefix(length);
    }
    for (; !rest.empty(); rest.remove_prefix(std::min(kReadSize, rest.size())))
        script.reads.emplace_back(rest.substr(0, kReadSize));
    const std::optional<std::string> headerBlock = script.headerBlock;
    const std::vector<std::string> reads = script.reads;

    RecordingHttpLayer http(std::move(script));
    FetchJob job;
    job.address = kAddress;
    FetchExchange exchange(job);
    ProgressSlot progress;
    ProgressCalls progressCalls;
    if (withProgress) {
        progress.set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
            progressCalls.emplace_back(expected, received);
            return intptr_t{0};
        });
    }
    const int result = RequestWorker(exchange, http, progress);
    const std::vector<std::string> calls = http.calls();
    const FetchReply reply = exchange.reply();

    // Handles are numbered in opening order; each is closed once, the latest first.
    uintptr_t opened = 0;
    std::vector<std::string> closes;
    size_t lastClose = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (startsWith(calls[i], "openSession(") || startsWith(calls[i], "connect(") ||
            startsWith(calls[i], "openRequest("))
            ++opened;
        if (startsWith(calls[i], "closeHandle(")) {
            closes.push_back(calls[i]);
            lastClose = i;
        }
    }
    if (failingOpen != 0) {
        require(opened == static_cast<uintptr_t>(failingOpen));
        --opened;
    }
    require(closes.size() == opened);
    for (size_t i = 0; i < closes.size(); ++i)
        require(closes[i] == "closeHandle(" + std::to_string(opened - i) + ")");

    if (failingOpen != 0) {
        require(result == 0);
        require(reply.marker.empty() && reply.body.size() == 0);
        require(progressCalls.empty());
        return 0;
    }
    require(result == 1);
    require(reply.marker.bytes() == FetchReply::kMarker);
    const std::string headerText = headerTextOf(headerBlock);
    require(reply.headerText.bytes() == headerText);

    // The worker reads until a read hands back nothing.
    std::string body;
    std::vector<std::string> readCalls;
    ProgressCalls expectedProgress;
    const int32_t expectedLength = plainExpectedLength(headerText);
    for (size_t i = 0;; ++i) {
        const size_t count = i < reads.size() ? reads[i].size() : 0;
        body += i < reads.size() ? reads[i] : "";
        readCalls.push_back("readBody(3, 512) = " + std::to_string(count));
        if (withProgress)
            expectedProgress.emplace_back(expectedLength, static_cast<intptr_t>(body.size()));
        if (count == 0)
            break;
    }
    require(reply.body.bytes() == body);
    require(progressCalls == expectedProgress);
    std::vector<std::string> madeReads;
    for (const std::string& call : calls) {
        if (startsWith(call, "readBody("))
            madeReads.push_back(call);
    }
    require(madeReads == readCalls);

    // Cookies are stored once every handle is closed.
    const auto afterCloses = calls.begin() + static_cast<std::ptrdiff_t>(lastClose) + 1;
    require(std::vector<std::string>(afterCloses, calls.end()) == plainCookieCalls(headerText));
    return 0;
}
