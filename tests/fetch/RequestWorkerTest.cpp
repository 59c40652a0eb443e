// SPDX-License-Identifier: MIT
#include "fetch/RequestWorker.h"

#include "fakes/RecordingHttpLayer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace torvash {
namespace {

using namespace std::string_literals;

using Calls = std::vector<std::string>;
using ProgressCalls = std::vector<std::pair<intptr_t, intptr_t>>;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kAddress = "http://www.example.com/search?q=shoes";
constexpr const char* kAcceptLine = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                    "application/x-shockwave-flash, application/vnd.ms-excel, "
                                    "application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr const char* kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr const char* kFormContentTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";

std::string refererLine(const std::string& address = kAddress)
{
    return "Referer: " + address + "\r\n";
}

std::string defaultHeaders(const std::string& address = kAddress)
{
    return kAcceptLine + refererLine(address) + kAcceptLanguageLine;
}

/** An argument as the recorder writes it down. */
std::string arg(const std::optional<std::string>& value)
{
    return value ? "\"" + *value + "\"" : "<null>";
}

FetchJob jobFor(const std::string& address = kAddress)
{
    FetchJob job;
    job.address = Text(address.c_str());
    return job;
}

/** What the worker should hand the HTTP layer on a request that goes through to the end. */
struct ExpectedRequest
{
    std::optional<std::string> proxyList = std::nullopt;
    std::string host = "www.example.com";
    int32_t port = 80;
    std::optional<std::string> userName = std::nullopt;
    std::optional<std::string> password = std::nullopt;
    std::optional<std::string> verb = std::nullopt;
    std::string path = "/search?q=shoes";
    std::string headers = defaultHeaders();
    std::optional<std::string> body = std::nullopt;
    std::vector<int32_t> reads = {0};
    Calls cookies = {};
};

std::string openSessionCall(const std::optional<std::string>& proxyList = std::nullopt)
{
    return "openSession(" + arg(kUserAgent) + ", " + arg(proxyList) + ")";
}

std::string connectCall(const std::string& host = "www.example.com", int32_t port = 80,
                        const std::optional<std::string>& userName = std::nullopt,
                        const std::optional<std::string>& password = std::nullopt)
{
    return "connect(1, " + arg(host) + ", " + std::to_string(port) + ", " + arg(userName) + ", " +
           arg(password) + ")";
}

std::string openRequestCall(const std::optional<std::string>& verb = std::nullopt,
                            const std::string& path = "/search?q=shoes")
{
    return "openRequest(2, " + arg(verb) + ", " + arg(path) + ", \"HTTP/1.1\", reload)";
}

Calls callsOf(const ExpectedRequest& request)
{
    Calls calls = {
        openSessionCall(request.proxyList),
        connectCall(request.host, request.port, request.userName, request.password),
        openRequestCall(request.verb, request.path),
        "sendRequest(3, " + arg(request.headers) + ", " + arg(request.body) + ")",
        "queryRawHeaders(3, 1024)",
    };
    for (const int32_t count : request.reads)
        calls.push_back("readBody(3, 512) = " + std::to_string(count));
    calls.insert(calls.end(), {"closeHandle(3)", "closeHandle(2)", "closeHandle(1)"});
    calls.insert(calls.end(), request.cookies.begin(), request.cookies.end());
    return calls;
}

struct Outcome
{
    int result = -1;
    Calls calls;
    FetchReply reply;
    ProgressCalls progress;
};

/** Runs the worker on `job` against a recorder playing `script`, with a routine that notes every
 *  progress call. */
Outcome runWorker(const FetchJob& job, RecordingHttpLayer::Script script = {})
{
    RecordingHttpLayer http(std::move(script));
    FetchExchange exchange(job);
    Outcome outcome;
    ProgressSlot progress;
    progress.set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
        outcome.progress.emplace_back(expected, received);
        return intptr_t{0};
    });
    outcome.result = RequestWorker(exchange, http, progress);
    outcome.calls = http.calls();
    outcome.reply = exchange.reply();
    return outcome;
}

RecordingHttpLayer::Script scriptWith(std::optional<std::string> headerBlock,
                                      std::vector<std::string> reads = {})
{
    RecordingHttpLayer::Script script;
    script.headerBlock = std::move(headerBlock);
    script.reads = std::move(reads);
    return script;
}

TEST(RequestWorkerTest, GetWritesTheReplyBeforeClosingHandlesAndReturns1)
{
    const std::string headerBlock = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n";
    const std::string firstRead("ab\0cd", 5); // bodies may hold NUL bytes

    const Outcome outcome = runWorker(jobFor(), scriptWith(headerBlock, {firstRead, "ef"}));

    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.calls, callsOf({.reads = {5, 2, 0}}));
    EXPECT_EQ(outcome.reply.marker.bytes(), "Vorlith_OK");
    EXPECT_EQ(outcome.reply.headerText.bytes(), headerBlock);
    EXPECT_EQ(outcome.reply.body.bytes(), firstRead + "ef");
}

TEST(RequestWorkerTest, EmptyOrGetVerbInAnyCaseTakesTheGetFormAndReachesTheRequestUnchanged)
{
    struct Case
    {
        const char* verb;
        std::optional<std::string> sentVerb;
    };
    const Case cases[] = {{"", std::nullopt}, {"get", "get"}, {"GET", "GET"}, {"gEt", "gEt"}};

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "verb \"" << c.verb << "\"");
        FetchJob job = jobFor();
        job.verb = c.verb;
        job.body = "ignored=1"; // only POST sends a body

        const Outcome outcome = runWorker(job);

        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.calls, callsOf({.verb = c.sentVerb}));
        EXPECT_EQ(outcome.reply.marker.bytes(), "Vorlith_OK");
    }
}

TEST(RequestWorkerTest, VerbOtherThanGetOrPostClosesTheOpenedRequestAndWritesNoReply)
{
    for (const char* verb : {"PUT", "HEAD", "put"}) {
        SCOPED_TRACE(testing::Message() << "verb \"" << verb << "\"");
        FetchJob job = jobFor();
        job.verb = verb;

        const Outcome outcome = runWorker(job, scriptWith("HTTP/1.1 200 OK\r\n\r\n", {"body"}));

        EXPECT_EQ(outcome.result, 0);
        const Calls expected = {openSessionCall(), connectCall(),    openRequestCall(verb),
                                "closeHandle(3)",  "closeHandle(2)", "closeHandle(1)"};
        EXPECT_EQ(outcome.calls, expected);
        // The job was taken out, so the channel holds nothing at all.
        EXPECT_EQ(outcome.reply.marker.bytes(), "");
        EXPECT_TRUE(outcome.progress.empty());
    }
}

TEST(RequestWorkerTest, DefaultHeaderLineIsAddedOnlyWhenTheCallersLinesLackItsName)
{
    struct Case
    {
        const char* extraHeaders;
        std::string sent;
    };
    const Case cases[] = {
        {"", defaultHeaders()},
        {"Cookie: a=1\r\n", "Cookie: a=1\r\n" + defaultHeaders()},
        {"accept: text/html\r\n", "accept: text/html\r\n" + refererLine() + kAcceptLanguageLine},
        // The name is matched with its ": ", so a line without the space does not count.
        {"Accept:text/html\r\n", "Accept:text/html\r\n" + defaultHeaders()},
        {"REFERER: http://other.example/\r\n",
         "REFERER: http://other.example/\r\n"s + kAcceptLine + kAcceptLanguageLine},
        // "Accept-Language: " must not pass for "Accept: ".
        {"accept-LANGUAGE: en\r\n", "accept-LANGUAGE: en\r\n"s + kAcceptLine + refererLine()},
        {"ACCEPT: */*\r\nreferer: r\r\nAccept-Language: en\r\n",
         "ACCEPT: */*\r\nreferer: r\r\nAccept-Language: en\r\n"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "extra headers \"" << c.extraHeaders << "\"");
        FetchJob job = jobFor();
        job.extraHeaders = c.extraHeaders;

        EXPECT_EQ(runWorker(job).calls, callsOf({.headers = c.sent}));
    }
}

TEST(RequestWorkerTest, PostWithABodyAddsContentTypeUnlessPresentAndAlwaysItsOwnContentLength)
{
    struct Case
    {
        const char* verb;
        const char* extraHeaders;
        const char* body;
        std::string sentHeaders;
        std::optional<std::string> sentBody;
    };
    const Case cases[] = {
        {"POST", "", "a=1&b=2", defaultHeaders() + kFormContentTypeLine + "Content-Length: 7\r\n", "a=1&b=2"},
        {"post", "content-type: text/plain\r\n", "hello",
         "content-type: text/plain\r\n" + defaultHeaders() + "Content-Length: 5\r\n", "hello"},
        // The caller's length is not trusted: the body's own goes after it.
        {"POST", "Content-Length: 99\r\n", "abc",
         "Content-Length: 99\r\n" + defaultHeaders() + kFormContentTypeLine + "Content-Length: 3\r\n", "abc"},
        // The length counts bytes, not characters.
        {"POST", "", "\xC4\xE3\xBA\xC3", defaultHeaders() + kFormContentTypeLine + "Content-Length: 4\r\n",
         "\xC4\xE3\xBA\xC3"},
        {"POST", "", "", defaultHeaders(), std::nullopt},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "verb \"" << c.verb << "\", extra headers \"" << c.extraHeaders
                                        << "\", body \"" << c.body << "\"");
        FetchJob job = jobFor();
        job.verb = c.verb;
        job.extraHeaders = c.extraHeaders;
        job.body = c.body;

        const Outcome outcome = runWorker(job);

        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.calls, callsOf({.verb = c.verb, .headers = c.sentHeaders, .body = c.sentBody}));
    }
}

TEST(RequestWorkerTest, ProxyIsUsedUnchangedUnlessBlank)
{
    struct Case
    {
        const char* proxy;
        std::optional<std::string> proxyList;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"proxy.example:3128", "http=proxy.example:3128"},
        {" proxy.example:3128 ", "http= proxy.example:3128 "},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "proxy \"" << c.proxy << "\"");
        FetchJob job = jobFor();
        job.proxy = c.proxy;

        EXPECT_EQ(runWorker(job).calls, callsOf({.proxyList = c.proxyList}));
    }
}

TEST(RequestWorkerTest, UserNameAndPasswordAreEachPassedUnchangedUnlessBlank)
{
    struct Case
    {
        const char* userName;
        const char* password;
        std::optional<std::string> sentUserName;
        std::optional<std::string> sentPassword;
    };
    const Case cases[] = {
        {"", "", std::nullopt, std::nullopt},
        {"  ", "secret", std::nullopt, "secret"},
        {"me", " ", "me", std::nullopt},
        {" me ", " pass word ", " me ", " pass word "},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "user \"" << c.userName << "\", password \"" << c.password << "\"");
        FetchJob job = jobFor();
        job.userName = c.userName;
        job.password = c.password;

        EXPECT_EQ(runWorker(job).calls, callsOf({.userName = c.sentUserName, .password = c.sentPassword}));
    }
}

TEST(RequestWorkerTest, FailedOpenClosesWhatWasOpenedLatestFirstAndLeavesTheChannelEmpty)
{
    struct Case
    {
        const char* what;
        RecordingHttpLayer::Script script;
        Calls calls;
    };
    const Case cases[] = {
        {"session", {.sessionFails = true}, {openSessionCall()}},
        {"connection", {.connectFails = true}, {openSessionCall(), connectCall(), "closeHandle(1)"}},
        {"request",
         {.requestFails = true},
         {openSessionCall(), connectCall(), openRequestCall(), "closeHandle(2)", "closeHandle(1)"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << " fails to open");

        const Outcome outcome = runWorker(jobFor(), c.script);

        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.calls, c.calls);
        EXPECT_EQ(outcome.reply.marker.bytes(), "");
        EXPECT_EQ(outcome.reply.headerText.bytes(), "");
        EXPECT_TRUE(outcome.progress.empty());
    }
}

TEST(RequestWorkerTest, StoresEachSetCookieLineInOrderForTheHostAfterClosingHandles)
{
    const std::string address = "http://WWW.Example.com:8080/Cart";
    const std::string cookieAddress = "http://www.example.com";
    struct Case
    {
        const char* headerBlock;
        Calls cookies;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nSet-Cookie: sid=a=b; path=/\r\nContent-Type: text/html\r\nset-cookie: "
         "flag\r\n\r\n",
         {"setCookie(" + arg(cookieAddress) + ", \"sid\", \"a=b; path=/\")",
          // Without "=" the whole text is the data and the name is none.
          "setCookie(" + arg(cookieAddress) + ", <null>, \"flag\")"}},
        // A bare LF ends a line too, and the last line may end with the text.
        {"HTTP/1.1 200 OK\nSet-Cookie: a=1\nSet-Cookie: b=2",
         {"setCookie(" + arg(cookieAddress) + ", \"a\", \"1\")",
          "setCookie(" + arg(cookieAddress) + ", \"b\", \"2\")"}},
        {"HTTP/1.1 200 OK\r\nCookie: a=1\r\n\r\n", {}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "header block \"" << c.headerBlock << "\"");

        const Outcome outcome = runWorker(jobFor(address), scriptWith(c.headerBlock));

        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(
            outcome.calls,
            callsOf(
                {.port = 8080, .path = "/Cart", .headers = defaultHeaders(address), .cookies = c.cookies}));
    }
}

TEST(RequestWorkerTest, UndeliveredHeaderBlockLeaves1024SpacesNoLengthAndNoCookieButTheBodyIsRead)
{
    // One byte too many for the buffer with its NUL; what it holds must not be read.
    const std::string oversized =
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nSet-Cookie: a=1\r\nX-Filler: " + std::string(1024, 'x') +
        "\r\n\r\n";
    const std::optional<std::string> headerBlocks[] = {oversized, std::nullopt};

    for (const std::optional<std::string>& headerBlock : headerBlocks) {
        SCOPED_TRACE(headerBlock ? "header block too long" : "header query delivers nothing");

        const Outcome outcome = runWorker(jobFor(), scriptWith(headerBlock, {"hello", "world"}));

        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.calls, callsOf({.reads = {5, 5, 0}}));
        EXPECT_EQ(outcome.reply.headerText.bytes(), std::string(1024, ' '));
        EXPECT_EQ(outcome.reply.body.bytes(), "helloworld");
        EXPECT_EQ(outcome.progress, (ProgressCalls{{0, 5}, {0, 10}, {0, 10}}));
    }
}

TEST(RequestWorkerTest, ExpectedLengthIsTheNumberAfterTheLastExactContentLength)
{
    struct Case
    {
        const char* headerBlock;
        intptr_t expected;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\nX-A: b\r\nContent-Length: 1300\r\n\r\n", 1300},
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", 0},
        {"HTTP/1.1 200 OK\r\ncontent-length: 99\r\n\r\n", 0},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "header block \"" << c.headerBlock << "\"");

        const Outcome outcome = runWorker(jobFor(), scriptWith(c.headerBlock, {"abc"}));

        EXPECT_EQ(outcome.progress, (ProgressCalls{{c.expected, 3}, {c.expected, 3}}));
    }
}

TEST(RequestWorkerTest, ReadsTheBodyUntilAnEmptyReadWithOneProgressCallPerRead)
{
    struct Case
    {
        const char* what;
        std::vector<std::string> reads;
        std::vector<int32_t> readCounts;
        ProgressCalls progress;
    };
    const Case cases[] = {
        {"1300 bytes in full reads",
         {std::string(512, 'a'), std::string(512, 'b'), std::string(276, 'c')},
         {512, 512, 276, 0},
         {{1300, 512}, {1300, 1024}, {1300, 1300}, {1300, 1300}}},
        {"short reads", {"abc", "de"}, {3, 2, 0}, {{1300, 3}, {1300, 5}, {1300, 5}}},
        {"empty body", {}, {0}, {{1300, 0}}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);

        const Outcome outcome =
            runWorker(jobFor(), scriptWith("HTTP/1.1 200 OK\r\nContent-Length: 1300\r\n\r\n", c.reads));

        std::string body;
        for (const std::string& read : c.reads)
            body += read;
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.calls, callsOf({.reads = c.readCounts}));
        EXPECT_EQ(outcome.progress, c.progress);
        EXPECT_EQ(outcome.reply.marker.bytes(), "Vorlith_OK");
        EXPECT_EQ(outcome.reply.body.bytes(), body);
    }
}

TEST(RequestWorkerTest, ProgressSlotIsReadAfreshAtEveryRead)
{
    RecordingHttpLayer http(scriptWith("HTTP/1.1 200 OK\r\n\r\n", {"ab", "cd"}));
    FetchExchange exchange(jobFor());
    ProgressSlot progress;
    ProgressCalls noted;
    progress.set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
        noted.emplace_back(expected, received);
        progress.set({}); // as a later fetch would, mid-body
        return intptr_t{0};
    });

    EXPECT_EQ(RequestWorker(exchange, http, progress), 1);

    EXPECT_EQ(noted, (ProgressCalls{{0, 2}}));
    EXPECT_EQ(exchange.reply().body.bytes(), "abcd");
}

TEST(RequestWorkerTest, WithoutProgressRoutineNoneIsCalledAndTheBodyIsReadInFull)
{
    RecordingHttpLayer http(scriptWith("HTTP/1.1 200 OK\r\n\r\n", {"ab", "cd"}));
    FetchExchange exchange(jobFor());
    // The worker must go by the slot it is handed, not by whatever the process slot holds.
    ProgressCalls noted;
    ProgressSlot::process().set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
        noted.emplace_back(expected, received);
        return intptr_t{0};
    });
    const ProgressSlot none;

    const int result = RequestWorker(exchange, http, none);
    ProgressSlot::process().set({});

    EXPECT_EQ(result, 1);
    EXPECT_TRUE(noted.empty());
    EXPECT_EQ(http.calls(), callsOf({.reads = {2, 2, 0}}));
    EXPECT_EQ(exchange.reply().body.bytes(), "abcd");
}

TEST(RequestWorkerTest, ExchangeAbandonedBeforeTheWorkerRunsIsLeftAlone)
{
    RecordingHttpLayer http(scriptWith("HTTP/1.1 200 OK\r\n\r\n", {"body"}));
    FetchExchange exchange(jobFor());
    ProgressSlot progress;
    ProgressCalls noted;
    progress.set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
        noted.emplace_back(expected, received);
        return intptr_t{0};
    });
    exchange.abandon();

    EXPECT_EQ(RequestWorker(exchange, http, progress), 0);

    EXPECT_TRUE(http.calls().empty());
    EXPECT_TRUE(noted.empty());
    EXPECT_NE(exchange.reply().marker.bytes(), "Vorlith_OK");
}

/** Passes every call on to a recorder, and walks away from the exchange as a timed-out caller would
 *  once the given read has returned. */
class AbandoningHttpLayer final : public HttpLayer
{
public:
    AbandoningHttpLayer(RecordingHttpLayer& http, FetchExchange& exchange, int abandonAfterRead)
        : m_http(http)
        , m_exchange(exchange)
        , m_abandonAfterRead(abandonAfterRead)
    {}

    [[nodiscard]] const std::stop_token& sessionCancel() const { return m_cancel; }

    HttpHandle openSession(TextView userAgent, std::optional<TextView> proxyList,
                           std::stop_token cancel) override
    {
        m_cancel = cancel;
        return m_http.openSession(userAgent, proxyList, cancel);
    }
    HttpHandle connect(HttpHandle session, TextView host, int32_t port, std::optional<TextView> userName,
                       std::optional<TextView> password) override
    {
        return m_http.connect(session, host, port, userName, password);
    }
    HttpHandle openRequest(HttpHandle connection, std::optional<TextView> verb, TextView path,
                           TextView version, bool reload) override
    {
        return m_http.openRequest(connection, verb, path, version, reload);
    }
    void sendRequest(HttpHandle request, TextView headerLines, std::optional<TextView> body) override
    {
        m_http.sendRequest(request, headerLines, body);
    }
    void queryRawHeaders(HttpHandle request, std::span<char> buffer) override
    {
        m_http.queryRawHeaders(request, buffer);
    }
    int32_t readBody(HttpHandle request, std::span<char> buffer) override
    {
        const int32_t count = m_http.readBody(request, buffer);
        if (++m_reads == m_abandonAfterRead)
            m_exchange.abandon();
        return count;
    }
    void closeHandle(HttpHandle handle) override { m_http.closeHandle(handle); }
    void setCookie(TextView address, std::optional<TextView> name, TextView data) override
    {
        m_http.setCookie(address, name, data);
    }

private:
    RecordingHttpLayer& m_http;
    FetchExchange& m_exchange;
    int m_abandonAfterRead;
    int m_reads = 0;
    std::stop_token m_cancel;
};

TEST(RequestWorkerTest, ExchangeAbandonedMidBodyGetsNoFurtherProgressNorReplyAndHandlesAreClosed)
{
    RecordingHttpLayer recorder(
        scriptWith("HTTP/1.1 200 OK\r\nContent-Length: 1300\r\n\r\n",
                   {std::string(512, 'a'), std::string(512, 'b'), std::string(276, 'c')}));
    FetchExchange exchange(jobFor());
    AbandoningHttpLayer http(recorder, exchange, 2);
    ProgressSlot progress;
    ProgressCalls noted;
    progress.set([&](intptr_t expected, intptr_t received, intptr_t, intptr_t) {
        noted.emplace_back(expected, received);
        return intptr_t{0};
    });

    RequestWorker(exchange, http, progress);

    EXPECT_EQ(noted, (ProgressCalls{{1300, 512}}));
    // The transfer is asked to stop as well, so that the worker does not hang on in a slow read.
    EXPECT_TRUE(http.sessionCancel().stop_requested());
    const Calls calls = recorder.calls();
    ASSERT_GE(calls.size(), 3U);
    EXPECT_EQ(Calls(calls.end() - 3, calls.end()),
              (Calls{"closeHandle(3)", "closeHandle(2)", "closeHandle(1)"}));
    EXPECT_EQ(exchange.reply().marker.bytes(), "");
}

} // namespace
} // namespace torvash
