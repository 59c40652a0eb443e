// SPDX-License-Identifier: MIT
// The libcurl layer under the real request worker and FetchPage, against servers on loopback.
#include "platform/CurlHttpLayer.h"
#include "fetch/FetchPage.h"
#include "platform/StdWorkerThreads.h"
#include "support/RealFetchTest.h"
#include "support/TemporaryFolder.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/** A loopback port that was free a moment ago and on which nothing listens. */
int unusedPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(socket);
    return ntohs(address.sin_port);
}

using CurlHttpLayerTest = RealFetchTest;

TEST_F(CurlHttpLayerTest, DeliversBodiesWithLengthChunkedOrOfAnErrorStatus)
{
    HttpTestServer server;
    const std::string big(300000, 'x');
    server.routes().Get("/length", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(big, "text/html");
    });
    server.routes().Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/html", [](size_t, httplib::DataSink& sink) {
            sink.write("first,", 6);
            sink.write("second", 6);
            sink.done();
            return true;
        });
    });
    server.routes().Get("/missing", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("not here", "text/html");
    });
    server.start();

    EXPECT_EQ(fetch(server.address("/length")), Bytes(big));
    EXPECT_EQ(fetch(server.address("/chunked")), Bytes("first,second"));
    EXPECT_EQ(fetch(server.address("/missing")), Bytes("not here"));
}

TEST_F(CurlHttpLayerTest, FollowsARedirectAndHandsBackTheFinalHeaders)
{
    HttpTestServer server;
    server.routes().Get(
        "/old", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/new"); });
    server.routes().Get("/new", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("X-Page", "new");
        response.set_content("moved here", "text/html");
    });
    server.start();
    Text headers;

    EXPECT_EQ(fetch(server.address("/old"), FetchOptions{.responseHeaders = &headers}), Bytes("moved here"));
    EXPECT_TRUE(headers.bytes().starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(headers.bytes().find("X-Page: new\r\n"), std::string_view::npos);
    EXPECT_TRUE(headers.bytes().ends_with("\r\n\r\n"));
}

TEST_F(CurlHttpLayerTest, SendsTheDefaultHeadersAndThePathAsGivenWithUnsafeBytesEncoded)
{
    HttpTestServer server;
    httplib::Headers seen;
    std::string target;
    server.routes().Get("/search", [&](const httplib::Request& request, httplib::Response& response) {
        seen = request.headers;
        target = request.target;
        response.set_content("ok", "text/html");
    });
    server.start();
    const std::string query = "/search?q=red tea&x=1=2&g=\xBA\xEC\xB2\xE8#part&tab=coefp";

    ASSERT_EQ(fetch(server.address(query)), Bytes("ok"));

    EXPECT_EQ(httplib::detail::decode_url(target, false), query);
    EXPECT_EQ(seen.find("User-Agent")->second, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(seen.find("Accept-Language")->second, "zh-cn");
    EXPECT_EQ(seen.find("Referer")->second, server.address(query));
    EXPECT_TRUE(seen.find("Accept")->second.starts_with("image/gif, "));
    // The connection is not used again, so the server is told it may close it.
    EXPECT_EQ(seen.count("Connection"), 1U);
    EXPECT_EQ(seen.find("Connection")->second, "close");
}

TEST_F(CurlHttpLayerTest, SendsTheCallersConnectionHeaderInsteadOfItsOwn)
{
    HttpTestServer server;
    httplib::Headers seen;
    server.routes().Get("/", [&](const httplib::Request& request, httplib::Response& response) {
        seen = request.headers;
        response.set_content("ok", "text/html");
    });
    server.start();

    ASSERT_EQ(fetch(server.address("/"), FetchOptions{.extraHeaders = "connection: Keep-Alive\r\n"}),
              Bytes("ok"));

    EXPECT_EQ(seen.count("Connection"), 1U);
    EXPECT_EQ(seen.find("Connection")->second, "Keep-Alive");
}

TEST_F(CurlHttpLayerTest, PostsAFormBody)
{
    HttpTestServer server;
    std::string body;
    std::string type;
    server.routes().Post("/form", [&](const httplib::Request& request, httplib::Response& response) {
        body = request.body;
        type = request.get_header_value("Content-Type");
        response.set_content("posted", "text/html");
    });
    server.start();

    EXPECT_EQ(fetch(server.address("/form"), FetchOptions{.verb = "post", .body = "a=1&b=2"}),
              Bytes("posted"));
    EXPECT_EQ(body, "a=1&b=2");
    EXPECT_EQ(type, "application/x-www-form-urlencoded");
}

TEST_F(CurlHttpLayerTest, SendsBackACookieThatAResponseSet)
{
    HttpTestServer server;
    std::string cookieSeen;
    server.routes().Get("/set", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "visit=42; Path=/");
        response.set_content("set", "text/html");
    });
    server.routes().Get("/check", [&](const httplib::Request& request, httplib::Response& response) {
        cookieSeen = request.get_header_value("Cookie");
        response.set_content("checked", "text/html");
    });
    server.start();

    fetch(server.address("/set"));
    fetch(server.address("/check"));

    EXPECT_EQ(cookieSeen, "visit=42");
}

TEST_F(CurlHttpLayerTest, LastingCookiesOutliveTheStoreAndSessionCookiesDoNot)
{
    HttpTestServer server;
    std::string cookieSeen;
    server.routes().Get("/set", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "keep=1; Path=/; Expires=Fri, 01 Jan 2100 00:00:00 GMT");
        response.set_header("Set-Cookie", "brief=2; Path=/");
        response.set_content("set", "text/html");
    });
    server.routes().Get("/check", [&](const httplib::Request& request, httplib::Response& response) {
        cookieSeen = request.get_header_value("Cookie");
        response.set_content("checked", "text/html");
    });
    server.start();
    const std::filesystem::path file = m_folder.path() / "lasting" / "cookies.txt";
    {
        CurlHttpLayer first(file);
        FetchPlatform platform{first, m_threads};
        FetchPage(platform, Text(server.address("/set")));
        ASSERT_TRUE(StdWorkerThreads::waitForAllWorkers(5s));
    }
    CurlHttpLayer second(file);
    FetchPlatform platform{second, m_threads};
    FetchPage(platform, Text(server.address("/check")));

    EXPECT_EQ(cookieSeen, "keep=1");
}

TEST_F(CurlHttpLayerTest, CorruptOrMissingCookieFileIsIgnored)
{
    const std::filesystem::path file = m_folder.path() / "cookies.txt";
    {
        std::ofstream out(file, std::ios::binary);
        out << "\x01\x02garbage\t\t\n#\n\n127.0.0.1\tnot-a-flag\n" << std::string(5000, '\t') << "\n";
    }
    HttpTestServer server;
    server.routes().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("fine", "text/html");
    });
    server.start();
    CurlHttpLayer corrupt(file);
    CurlHttpLayer missing(m_folder.path() / "nowhere" / "cookies.txt");
    for (CurlHttpLayer* layer : {&corrupt, &missing}) {
        FetchPlatform platform{*layer, m_threads};
        EXPECT_EQ(FetchPage(platform, Text(server.address("/"))), Bytes("fine"));
    }
}

TEST_F(CurlHttpLayerTest, RefusedConnectionGivesEmptyBytesQuickly)
{
    const int port = unusedPort();
    const auto started = Clock::now();
    EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(port) + "/"), Bytes());
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(fetch(""), Bytes());
}

TEST_F(CurlHttpLayerTest, StalledServerGivesEmptyBytesAfterTheTimeOutAndTheWorkerStops)
{
    RawResponder stalling([](int, const std::string&, const std::atomic<bool>& stopping) {
        while (!stopping)
            std::this_thread::sleep_for(10ms);
    });
    const auto started = Clock::now();

    EXPECT_EQ(fetch(stalling.address("/"), FetchOptions{.timeoutSeconds = 1}), Bytes());

    EXPECT_LT(Clock::now() - started, 3s);
    EXPECT_TRUE(StdWorkerThreads::waitForAllWorkers(300ms)); // the abandoned transfer stopped at once
}

TEST_F(CurlHttpLayerTest, ResetMidBodyKeepsTheBytesReceivedSoFar)
{
    RawResponder resetting([](int socket, const std::string&, const std::atomic<bool>&) {
        RawResponder::sendAll(socket,
                              "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, 'b'));
        std::this_thread::sleep_for(100ms);
        RawResponder::reset(socket);
    });

    EXPECT_EQ(fetch(resetting.address("/")), Bytes(std::string(100, 'b')));
}

TEST_F(CurlHttpLayerTest, HeaderBlockOverTheBufferIsNotHandedBackButTheBodyIs)
{
    HttpTestServer server;
    server.routes().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("X-Long", std::string(1100, 'h'));
        response.set_header("Set-Cookie", "lost=1");
        response.set_content("body", "text/html");
    });
    server.start();
    Text headers;

    EXPECT_EQ(fetch(server.address("/"), FetchOptions{.responseHeaders = &headers}), Bytes("body"));
    EXPECT_EQ(headers, Text(std::string(1024, ' ')));
}

TEST_F(CurlHttpLayerTest, GoesThroughTheProxyAndAuthenticatesToTheServer)
{
    RawResponder proxy([](int socket, const std::string&, const std::atomic<bool>&) {
        RawResponder::sendAll(socket,
                              "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied");
    });
    HttpTestServer server;
    server.routes().Get("/private", [](const httplib::Request& request, httplib::Response& response) {
        // "user:secret" in Basic form
        if (request.get_header_value("Authorization") != "Basic dXNlcjpzZWNyZXQ=") {
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"shop\"");
            return;
        }
        response.set_content("welcome", "text/html");
    });
    server.start();
    const std::string proxyAddress = proxy.address("");

    EXPECT_EQ(fetch("http://shop.test/p?q=1", FetchOptions{.proxy = Text(proxyAddress.substr(7))}),
              Bytes("proxied"));
    ASSERT_EQ(proxy.requestHeads().size(), 1U);
    EXPECT_TRUE(proxy.requestHeads()[0].starts_with("GET http://shop.test/p?q=1 HTTP/1.1\r\n"))
        << proxy.requestHeads()[0];
    EXPECT_EQ(fetch(server.address("/private"), FetchOptions{.userName = "user", .password = "secret"}),
              Bytes("welcome"));
}

} // namespace
} // namespace torvash

namespace torvash {
namespace {

TEST(CurlHttpLayerCookieFile, LivesUnderTheUsersDataFolder)
{
    // Only the path is asked for: nothing here reads or writes the user's home.
    const char* savedDataHome = std::getenv("XDG_DATA_HOME");
    const std::string saved = savedDataHome != nullptr ? savedDataHome : "";
    ::setenv("XDG_DATA_HOME", "/tmp/torvash-data-home", 1);
    EXPECT_EQ(CurlHttpLayer::defaultCookieFile(),
              std::filesystem::path("/tmp/torvash-data-home/torvash/cookies.txt"));
    ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        EXPECT_EQ(CurlHttpLayer::defaultCookieFile(),
                  std::filesystem::path(home) / ".local" / "share" / "torvash" / "cookies.txt");
    }
    if (savedDataHome != nullptr)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace torvash
