// SPDX-License-Identifier: MIT
// The real fetching stack against servers on loopback that stall, lie or break the protocol: each fetch
// must end within its bound and with a result that follows from what the server did.
#include "fetch/FetchPage.h"
#include "fetch/RequestWorker.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "support/ProcessFigures.h"
#include "support/RealFetchTest.h"
#include "support/TemporaryFolder.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void idleUntilStopped(const std::atomic<bool>& stopping)
{
    while (!stopping)
        std::this_thread::sleep_for(10ms);
}

using HostileServerTest = RealFetchTest;

// Servers that never finish a reply: the fetch gives up after its time-out, drops what came so far,
// and the abandoned transfer stops at once.

struct StallCase
{
    const char* name;
    RawResponder::Respond respond;
    int32_t timeoutSeconds;
    bool bodyFlows; // body bytes reach the worker before the time-out
};

class HostileStallTest : public HostileServerTest, public ::testing::WithParamInterface<StallCase>
{};

TEST_P(HostileStallTest, GivesEmptyBytesAndNoHeadersAfterTheTimeOutAndTheWorkerStops)
{
    const StallCase& row = GetParam();
    RawResponder server(row.respond);
    auto received = std::make_shared<std::atomic<intptr_t>>(0);
    Text headers = "untouched";
    const long peakBefore = process::statusKibibytes("VmHWM");
    const auto started = Clock::now();

    const Bytes body =
        fetch(server.address("/"),
              FetchOptions{.timeoutSeconds = row.timeoutSeconds,
                           .responseHeaders = &headers,
                           .progress = [received](intptr_t, intptr_t count, intptr_t, intptr_t) {
                               received->store(count);
                               return intptr_t{0};
                           }});

    const auto waited = Clock::now() - started;
    EXPECT_EQ(body, Bytes());
    EXPECT_EQ(headers, Text()); // the reply is only handed over whole, so a late one leaves nothing
    EXPECT_GE(waited, std::chrono::seconds(row.timeoutSeconds) - 50ms);
    EXPECT_LT(waited, std::chrono::seconds(row.timeoutSeconds) + 1s);
    EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(1s));
    EXPECT_EQ(received->load() > 0, row.bodyFlows) << received->load() << " bytes";
    // The peak, not the current figure: the body is freed once the worker ends.
    const long peakAfter = process::statusKibibytes("VmHWM");
    ASSERT_GT(peakBefore, 0);
    EXPECT_LT(peakAfter - peakBefore, 512L * 1024) << "peak resident KiB grew from " << peakBefore;
}

INSTANTIATE_TEST_SUITE_P(
    HostileServers, HostileStallTest,
    ::testing::Values(StallCase{"NeverAnswers",
                                [](int, const std::string&, const std::atomic<bool>& stopping) {
                                    idleUntilStopped(stopping);
                                },
                                1, false},
                      StallCase{"SendsHeadersThenNothing",
                                [](int socket, const std::string&, const std::atomic<bool>& stopping) {
                                    RawResponder::sendAll(socket,
                                                          "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
                                    idleUntilStopped(stopping);
                                },
                                1, false},
                      StallCase{"SendsPartOfTheBodyThenNothing",
                                [](int socket, const std::string&, const std::atomic<bool>& stopping) {
                                    RawResponder::sendAll(
                                        socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
                                    idleUntilStopped(stopping);
                                },
                                1, true},
                      StallCase{"SendsABodyThatNeverEnds",
                                [](int socket, const std::string&, const std::atomic<bool>& stopping) {
                                    RawResponder::sendAll(socket, "HTTP/1.1 200 OK\r\n\r\n");
                                    // Paced to some MB a second: a stream, yet far from the body cap within
                                    // the time-out.
                                    const std::string chunk(64 * 1024, 'z');
                                    while (!stopping) {
                                        if (::send(socket, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0)
                                            return;
                                        std::this_thread::sleep_for(5ms);
                                    }
                                },
                                2, true}),
    [](const ::testing::TestParamInfo<StallCase>& info) { return std::string(info.param.name); });

TEST_F(HostileServerTest, BodyThatNeverEndsIsCutAtTheCapWithMemoryBounded)
{
    std::atomic<int64_t> sent = 0;
    RawResponder endless([&sent](int socket, const std::string&, const std::atomic<bool>& stopping) {
        RawResponder::sendAll(socket, "HTTP/1.1 200 OK\r\n\r\n");
        const std::string chunk(256 * 1024, 'z');
        while (!stopping) {
            const ssize_t count = ::send(socket, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            if (count <= 0)
                return; // the fetch hung up
            sent += count;
        }
    });
    const long peakBefore = process::statusKibibytes("VmHWM");
    const auto started = Clock::now();

    const Bytes body = fetch(endless.address("/"), FetchOptions{.timeoutSeconds = 60});

    EXPECT_LT(Clock::now() - started, 30s);
    ASSERT_EQ(body.size(), static_cast<size_t>(kBodyCap));
    EXPECT_TRUE(std::all_of(body.bytes().begin(), body.bytes().end(), [](char byte) { return byte == 'z'; }));
    EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(1s));
    // The server finds the connection closed soon after the cap, not a stream read to the end of time.
    EXPECT_LT(sent.load(), kBodyCap + (int64_t{64} << 20));
    // Grown by doubling, a body touches no more than its final size at any moment: the half copied into
    // a new block and the old half together make the whole. Where freed blocks are held back, every
    // smaller step stays too, about as much again.
    const long peakAfter = process::statusKibibytes("VmHWM");
    ASSERT_GT(peakBefore, 0);
    const long bound = process::kFreedMemoryIsHeldBack ? kBodyCap / 1024 * 9 / 4 : kBodyCap / 1024 * 5 / 4;
    EXPECT_LT(peakAfter - peakBefore, bound) << "peak resident KiB grew from " << peakBefore;
}

TEST_F(HostileServerTest, ByteTrickleCompletesWhenTheTimeOutCoversTheWholeReply)
{
    // Bytes arriving do not restart the wait, only messages do: the time-out has to cover all of it.
    RawResponder trickling([](int socket, const std::string&, const std::atomic<bool>& stopping) {
        RawResponder::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n");
        for (const char byte : std::string("abcde")) {
            if (stopping)
                return;
            std::this_thread::sleep_for(300ms);
            RawResponder::sendAll(socket, std::string(1, byte));
        }
        idleUntilStopped(stopping);
    });
    const auto started = Clock::now();

    EXPECT_EQ(fetch(trickling.address("/"), FetchOptions{.timeoutSeconds = 3}), Bytes("abcde"));

    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, 1400ms);
    EXPECT_LT(waited, 2500ms);
}

TEST_F(HostileServerTest, ReplyThatIsNotHttpGivesEmptyBytesQuickly)
{
    // libcurl takes a reply without a status line for HTTP/0.9, which it refuses.
    RawResponder talking([](int socket, const std::string&, const std::atomic<bool>&) {
        RawResponder::sendAll(socket, "hello\r\n\r\nworld");
    });
    Text headers;
    const auto started = Clock::now();

    EXPECT_EQ(fetch(talking.address("/"), FetchOptions{.timeoutSeconds = 2, .responseHeaders = &headers}),
              Bytes());

    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(headers, Text(std::string(1024, ' ')));
}

// Bodies whose announced length and whose connection disagree: the fetch keeps what both allow.

struct MismeasuredCase
{
    const char* name;
    RawResponder::Respond respond;
    std::string expected;
};

class HostileMismeasuredBodyTest : public HostileServerTest,
                                   public ::testing::WithParamInterface<MismeasuredCase>
{};

TEST_P(HostileMismeasuredBodyTest, KeepsTheBytesThatArrivedWithinTheAnnouncedLength)
{
    RawResponder server(GetParam().respond);
    const auto started = Clock::now();

    EXPECT_EQ(fetch(server.address("/"), FetchOptions{.timeoutSeconds = 2}), Bytes(GetParam().expected));

    EXPECT_LT(Clock::now() - started, 1s);
}

INSTANTIATE_TEST_SUITE_P(
    HostileServers, HostileMismeasuredBodyTest,
    ::testing::Values(
        MismeasuredCase{"ResetAfterATenthOfTheBody",
                        [](int socket, const std::string&, const std::atomic<bool>&) {
                            RawResponder::sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" +
                                                              std::string(100, 'r'));
                            std::this_thread::sleep_for(100ms);
                            RawResponder::reset(socket);
                        },
                        std::string(100, 'r')},
        MismeasuredCase{"LengthAboveTheBodyThenClose",
                        [](int socket, const std::string&, const std::atomic<bool>&) {
                            RawResponder::sendAll(
                                socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
                        },
                        "0123456789"},
        MismeasuredCase{"LengthBelowTheBody",
                        [](int socket, const std::string&, const std::atomic<bool>&) {
                            RawResponder::sendAll(
                                socket, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n01234567890123456789");
                        },
                        "01234"}),
    [](const ::testing::TestParamInfo<MismeasuredCase>& info) { return std::string(info.param.name); });

// A megabyte of headers, as one line or as many: libcurl refuses the reply, so neither body nor headers
// come back, and the header output is left as the blank buffer it starts as.

struct HugeHeaderCase
{
    const char* name;
    std::string headerLines;
};

class HostileHugeHeaderTest : public HostileServerTest, public ::testing::WithParamInterface<HugeHeaderCase>
{};

TEST_P(HostileHugeHeaderTest, GivesEmptyBytesAndBlankHeadersWithinTheTimeOut)
{
    const std::string reply =
        "HTTP/1.1 200 OK\r\n" + GetParam().headerLines + "Content-Length: 4\r\nConnection: close\r\n\r\nbody";
    RawResponder server([&reply](int socket, const std::string&, const std::atomic<bool>&) {
        RawResponder::sendAll(socket, reply);
    });
    Text headers;
    const auto started = Clock::now();

    EXPECT_EQ(fetch(server.address("/"), FetchOptions{.timeoutSeconds = 2, .responseHeaders = &headers}),
              Bytes());

    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(headers, Text(std::string(1024, ' ')));
}

std::string manyHeaderLines(int count)
{
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += "X-Filler-" + std::to_string(i) + ": " + std::string(80, 'f') + "\r\n";
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    HostileServers, HostileHugeHeaderTest,
    ::testing::Values(HugeHeaderCase{"OneLineOfAMegabyte", "X-Huge: " + std::string(1 << 20, 'h') + "\r\n"},
                      HugeHeaderCase{"TwelveThousandLines", manyHeaderLines(12000)}),
    [](const ::testing::TestParamInfo<HugeHeaderCase>& info) { return std::string(info.param.name); });

TEST_F(HostileServerTest, TenThousandSetCookieLinesStillDeliverTheBody)
{
    std::string reply = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 10000; ++i)
        reply += "Set-Cookie: c" + std::to_string(i) + "=v; Path=/\r\n";
    reply += "Content-Length: 7\r\nConnection: close\r\n\r\ncookies";
    RawResponder server([&reply](int socket, const std::string&, const std::atomic<bool>&) {
        RawResponder::sendAll(socket, reply);
    });
    Text headers;
    const auto started = Clock::now();

    EXPECT_EQ(fetch(server.address("/"), FetchOptions{.timeoutSeconds = 5, .responseHeaders = &headers}),
              Bytes("cookies"));

    EXPECT_LT(Clock::now() - started, 10s);
    // Far too big for the header buffer, so not delivered: the buffer's 1024 spaces come back.
    EXPECT_EQ(headers, Text(std::string(1024, ' ')));
}

TEST_F(HostileServerTest, RedirectLoopGivesUpAfterTenRedirectsWithEmptyBytes)
{
    std::atomic<int> answered = 0;
    RawResponder looping([&answered](int socket, const std::string&, const std::atomic<bool>&) {
        ++answered;
        RawResponder::sendAll(socket, "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 4\r\n"
                                      "Connection: close\r\n\r\nloop");
    });
    const auto started = Clock::now();

    EXPECT_EQ(fetch(looping.address("/loop"), FetchOptions{.timeoutSeconds = 2}), Bytes());

    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_EQ(answered.load(), 11); // the first request and ten redirects
}

} // namespace
} // namespace torvash
