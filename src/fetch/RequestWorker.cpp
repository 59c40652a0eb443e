// SPDX-License-Identifier: MIT
#include "fetch/RequestWorker.h"

#include "fetch/Address.h"
#include "text/TextOperations.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <string>

namespace torvash {

namespace {

constexpr TextView kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr TextView kAcceptLine = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                 "application/x-shockwave-flash, application/vnd.ms-excel, "
                                 "application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr TextView kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr TextView kFormContentTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr TextView kProtocolVersion = "HTTP/1.1";
constexpr int32_t kHeaderBufferSize = 1024;
constexpr int32_t kReadSize = 512;

/** A handle closed when it goes out of scope, unless closed before. */
class OpenHandle
{
public:
    OpenHandle(HttpLayer& http, HttpHandle handle) : m_http(http), m_handle(handle) {}
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    ~OpenHandle() { close(); }

    [[nodiscard]] HttpHandle get() const { return m_handle; }
    explicit operator bool() const { return static_cast<bool>(m_handle); }
    void close()
    {
        if (m_handle)
            m_http.closeHandle(m_handle);
        m_handle = {};
    }

private:
    HttpLayer& m_http;
    HttpHandle m_handle;
};

/** A text the caller may leave blank: spaces alone count as none. */
std::optional<TextView> unlessBlank(const Text& text)
{
    if (RemoveAllSpaces(text).empty())
        return std::nullopt;
    return TextView(text);
}

std::optional<TextView> unlessEmpty(const Text& text)
{
    if (text.empty())
        return std::nullopt;
    return TextView(text);
}

bool lacks(const Text& headers, TextView name)
{
    return FindText(headers, name, Case::Ignore) == -1;
}

/** The caller's header lines, then each default line whose header name they lack. */
Text requestHeaders(const FetchJob& job)
{
    Text headers = job.extraHeaders;
    if (lacks(headers, "Accept: "))
        headers = ConcatText(headers, kAcceptLine);
    if (lacks(headers, "Referer: "))
        headers = ConcatText(headers, "Referer: ", job.address, "\r\n");
    if (lacks(headers, "Accept-Language: "))
        headers = ConcatText(headers, kAcceptLanguageLine);
    return headers;
}

enum class SendForm
{
    Get,
    Post,
    Unsupported,
};

SendForm sendFormOf(const Text& verb)
{
    if (verb.empty() || CompareText(ToUpper(verb), "GET") == 0)
        return SendForm::Get;
    if (CompareText(ToUpper(verb), "POST") == 0)
        return SendForm::Post;
    return SendForm::Unsupported;
}

void send(HttpLayer& http, HttpHandle request, SendForm form, Text headers, const Text& body)
{
    if (form == SendForm::Post && !body.empty()) {
        if (lacks(headers, "Content-Type: "))
            headers = ConcatText(headers, kFormContentTypeLine);
        // Always, even when the caller's lines hold a length already.
        headers = ConcatText(headers, "Content-Length: ", NumberToText(TextLength(body)), "\r\n");
        http.sendRequest(request, headers, TextView(body));
        return;
    }
    http.sendRequest(request, headers, std::nullopt);
}

/** The raw header block, or the 1024 spaces the buffer starts as when the block is not delivered. */
Text responseHeaders(HttpLayer& http, HttpHandle request)
{
    std::array<char, kHeaderBufferSize + 1> buffer{}; // one more, so that a full buffer still ends in NUL
    const Text blank = BlankText(kHeaderBufferSize);
    std::copy(blank.bytes().begin(), blank.bytes().end(), buffer.begin());
    http.queryRawHeaders(request, std::span<char>(buffer.data(), kHeaderBufferSize));
    return Text(std::string_view(buffer.data(), buffer.size()));
}

/** The number after the last "Content-Length: ", or 0 without one. */
int32_t expectedLength(const Text& headerText)
{
    const int32_t p = FindTextReverse(headerText, "Content-Length: ", Case::Exact);
    if (p == -1)
        return 0;
    return ToInteger(RightText(headerText, TextLength(headerText) - p - 15));
}

/** Room for a body of the announced length. A body of megabytes asks for huge pages where the system
 *  has them: first touching memory page by page costs more than receiving it. */
void reserveBody(std::string& body, size_t length)
{
    body.reserve(length);
#if defined(__linux__)
    constexpr size_t kPage = 4096;
    if (body.capacity() >= (size_t{4} << 20)) {
        const size_t misalignment = reinterpret_cast<uintptr_t>(body.data()) % kPage;
        char* start = body.data() + (misalignment == 0 ? 0 : kPage - misalignment);
        madvise(start, body.capacity() - 2 * kPage, MADV_HUGEPAGE);
    }
#endif
}

/** Reads the body to its end, a failed read or the cap; one progress call per read, while attended. */
Bytes readBody(HttpLayer& http, HttpHandle request, int32_t expected, FetchExchange& exchange,
               const ProgressSlot& progress)
{
    std::string body;
    if (expected > 0)
        reserveBody(body, static_cast<size_t>(std::min<int64_t>(expected, kBodyCap)));
    int32_t received = 0;
    for (;;) {
        std::array<char, kReadSize> buffer{}; // fresh and zero-filled for every read
        const int32_t count = std::max(http.readBody(request, buffer), 0);
        const auto room = static_cast<size_t>(kBodyCap - static_cast<int64_t>(body.size()));
        body.append(buffer.data(), std::min(static_cast<size_t>(count), room));
        received = static_cast<int32_t>(body.size());
        // The call is held off from walking away during a progress call, so none comes after it has.
        const bool attended =
            progress.holdsRoutine()
                ? exchange.unlessAbandoned([&](FetchChannel&) { progress.call(expected, received); })
                : !exchange.abandoned();
        if (!attended)
            break; // nobody waits for this body any more
        if (count == 0 || static_cast<int64_t>(body.size()) >= kBodyCap)
            break;
    }
    return Bytes(std::move(body));
}

/** Stores the cookie of every line that holds "Set-Cookie: ", in header order. */
void storeCookies(HttpLayer& http, const Text& headerText, const Text& host)
{
    if (lacks(headerText, "Set-Cookie: "))
        return;
    const Text address = ConcatText("http://", host);
    const std::string_view text = headerText.bytes();
    for (size_t lineStart = 0; lineStart < text.size();) {
        const size_t feed = std::min(text.find('\n', lineStart), text.size());
        const size_t lineEnd = feed > lineStart && text[feed - 1] == '\r' ? feed - 1 : feed;
        const Text line = MidText(headerText, static_cast<int32_t>(lineStart) + 1,
                                  static_cast<int32_t>(lineEnd - lineStart));
        lineStart = feed + 1;
        if (lacks(line, "Set-Cookie: "))
            continue;
        const Text cookie = RemoveTextAt(line, 1, 12);
        const int32_t equals = FindText(cookie, "=", Case::Exact);
        const Text name = LeftText(cookie, equals - 1);
        const Text data = RightText(cookie, TextLength(cookie) - equals);
        http.setCookie(address, unlessEmpty(name), data);
    }
}

} // namespace

int RequestWorker(FetchExchange& exchange, HttpLayer& http, const ProgressSlot& progress)
{
    FetchJob job;
    if (!exchange.takeJob(job))
        return 0;
    const Text host = HostOfAddress(job.address, false);
    const Text path = PathOfAddress(job.address);

    const Text proxyList = ConcatText("http=", job.proxy);
    const bool viaProxy = unlessBlank(job.proxy).has_value();
    OpenHandle session(http, http.openSession(kUserAgent,
                                              viaProxy ? std::optional<TextView>(proxyList) : std::nullopt,
                                              exchange.stopToken()));
    if (!session)
        return 0;
    OpenHandle connection(http, http.connect(session.get(), host, PortOfAddress(job.address),
                                             unlessBlank(job.userName), unlessBlank(job.password)));
    if (!connection)
        return 0;
    OpenHandle request(http, http.openRequest(connection.get(), unlessEmpty(job.verb), path, kProtocolVersion,
                                              /*reload=*/true));
    if (!request)
        return 0;

    const SendForm form = sendFormOf(job.verb);
    if (form == SendForm::Unsupported)
        return 0;
    send(http, request.get(), form, requestHeaders(job), job.body);

    FetchReply reply{FetchReply::kMarker, responseHeaders(http, request.get()), {}};
    reply.body = readBody(http, request.get(), expectedLength(reply.headerText), exchange, progress);
    const Text headerText = reply.headerText;
    exchange.unlessAbandoned([&](FetchChannel& channel) { std::move(reply).writeTo(channel); });

    request.close();
    connection.close();
    session.close();
    storeCookies(http, headerText, host);
    return 1;
}

} // namespace torvash
