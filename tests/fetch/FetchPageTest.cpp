// SPDX-License-Identifier: MIT
#include "fetch/FetchPage.h"

#include "fakes/RecordingHttpLayer.h"
#include "platform/StdWorkerThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

RecordingHttpLayer::Script pageOf(std::vector<std::string> reads, std::chrono::milliseconds readDelay = 0ms)
{
    RecordingHttpLayer::Script script;
    script.headerBlock = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
    script.reads = std::move(reads);
    script.readDelay = readDelay;
    return script;
}

class FetchPageTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // Abandoned workers run on against the fakes, which the fixture keeps until they are gone.
        EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(5s));
        ProgressSlot::process().set({});
    }

    FetchPlatform platformPlaying(RecordingHttpLayer::Script script)
    {
        m_layers.push_back(std::make_unique<RecordingHttpLayer>(std::move(script)));
        return FetchPlatform{*m_layers.back(), m_threads};
    }

    StdWorkerThreads m_threads;
    std::vector<std::unique_ptr<RecordingHttpLayer>> m_layers;
};

TEST_F(FetchPageTest, ReturnsTheBodyAndHandsBackTheHeaders)
{
    FetchPlatform platform = platformPlaying(pageOf({"he", "llo"}));
    Text headers;

    const Bytes body =
        FetchPage(platform, "http://example.test/p", FetchOptions{.responseHeaders = &headers});

    EXPECT_EQ(body, Bytes("hello"));
    EXPECT_EQ(headers, Text("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"));
}

TEST_F(FetchPageTest, VerbOtherThanGetOrPostFailsWithoutWaitingOutTheTimeOut)
{
    FetchPlatform platform = platformPlaying(pageOf({"hello"}));
    Text headers = "stale";

    const auto started = Clock::now();
    const Bytes body =
        FetchPage(platform, "http://example.test/",
                  FetchOptions{.verb = "PUT", .timeoutSeconds = 30, .responseHeaders = &headers});

    EXPECT_EQ(body, Bytes());
    EXPECT_EQ(headers, Text()); // no reply was written
    EXPECT_LT(Clock::now() - started, 5s);
}

TEST_F(FetchPageTest, TimeOutGivesEmptyBytesAndTheWorkerCallsNoMoreProgress)
{
    // Reads of 700 ms each: the 1 s wait ends while the worker is still reading.
    FetchPlatform platform = platformPlaying(pageOf({"a", "b", "c", "d"}, 700ms));
    std::atomic<int> progressCalls = 0;

    const auto started = Clock::now();
    const Bytes body =
        FetchPage(platform, "http://example.test/",
                  FetchOptions{.timeoutSeconds = 1, .progress = [&](intptr_t, intptr_t, intptr_t, intptr_t) {
                                   ++progressCalls;
                                   return intptr_t{0};
                               }});
    const auto elapsed = Clock::now() - started;
    const int callsAtReturn = progressCalls;

    EXPECT_EQ(body, Bytes());
    EXPECT_GE(elapsed, 1s);
    EXPECT_LT(elapsed, 3s);
    ASSERT_TRUE(StdWorkerThreads::waitForAllWorkers(5s));
    EXPECT_EQ(progressCalls, callsAtReturn);
    EXPECT_LE(callsAtReturn, 1);
}

TEST_F(FetchPageTest, MessagesForTheCallingThreadAreDispatchedAndPostponeTheTimeOut)
{
    // The worker needs about 2.1 s; messages every 0.4 s keep restarting the 1 s wait until it ends.
    FetchPlatform platform = platformPlaying(pageOf({"a", "b", ""}, 700ms));
    const std::shared_ptr<MessageQueue> queue = m_threads.currentThreadQueue();
    const auto caller = std::this_thread::get_id();
    std::atomic<int> dispatchedHere = 0;
    std::atomic<bool> done = false;
    std::thread poster([&] {
        while (!done) {
            std::this_thread::sleep_for(400ms);
            queue->post([&] {
                if (std::this_thread::get_id() == caller)
                    ++dispatchedHere;
            });
        }
    });

    const Bytes body = FetchPage(platform, "http://example.test/", FetchOptions{.timeoutSeconds = 1});
    done = true;
    poster.join();
    m_threads.dispatchMessages();

    EXPECT_EQ(body, Bytes("ab"));
    EXPECT_GE(dispatchedHere, 3);
}

TEST_F(FetchPageTest, WithoutMessagesTheSameWorkerTimesOut)
{
    FetchPlatform platform = platformPlaying(pageOf({"a", "b", ""}, 700ms));

    EXPECT_EQ(FetchPage(platform, "http://example.test/", FetchOptions{.timeoutSeconds = 1}), Bytes());
}

TEST_F(FetchPageTest, ProgressRoutineServesOnlyTheCallThatGaveIt)
{
    std::atomic<int> calls = 0;
    const ProgressRoutine count = [&](intptr_t, intptr_t, intptr_t, intptr_t) {
        ++calls;
        return intptr_t{0};
    };
    {
        FetchPlatform platform = platformPlaying(pageOf({"ab", "c"}));
        FetchPage(platform, "http://example.test/", FetchOptions{.progress = count});
    }
    EXPECT_EQ(calls, 3); // two reads with bytes and the one that returns 0

    FetchPlatform platform = platformPlaying(pageOf({"ab", "c"}));
    FetchPage(platform, "http://example.test/");
    EXPECT_EQ(calls, 3);
}

} // namespace
} // namespace torvash
