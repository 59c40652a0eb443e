// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace torvash {

/** libcurl's set-up, once for the test program, before any test starts a thread. */
inline const CurlGlobal kCurl;

/** The real fetching stack, with a cookie file in a temporary folder of its own. */
class RealFetchTest : public ::testing::Test
{
protected:
    // Workers abandoned at a time-out still use the HTTP layer until their transfer ends.
    void TearDown() override { EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(std::chrono::seconds(5))); }

    Bytes fetch(const std::string& address, FetchOptions options = {})
    {
        FetchPlatform platform{m_http, m_threads};
        return FetchPage(platform, Text(address), options);
    }

    TemporaryFolder m_folder;
    CurlHttpLayer m_http{m_folder.path() / "cookies.txt"};
    StdWorkerThreads m_threads;
};

} // namespace torvash
