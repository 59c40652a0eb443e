// SPDX-License-Identifier: MIT
// Fetching beside the curl tool, on the same local server in the same run:
//   torvash_fetch_bench            runs both cases and prints the ratios (exit 1 when a target is missed)
//   torvash_fetch_bench --serve    the local server: prints its port, serves until its input closes
//   torvash_fetch_bench --fetch URL [--times N]   FetchPage of URL (N times, each with its own query)
#include "RealisticPage.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"

#include <httplib.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace torvash::bench {
namespace {

constexpr size_t kBigBody = size_t{100} << 20;
constexpr size_t kPageSize = 150 * 1024;
constexpr int kPages = 100;
constexpr int kRounds = 7;

int serve()
{
    httplib::Server server;
    const std::string page = makeRealisticPage(kPageSize, 3);
    const std::string block(64 * 1024, 'x');
    server.Get("/big", [&](const httplib::Request&, httplib::Response& response) {
        // Made as it goes, so that the server's own memory stays small.
        response.set_content_provider(
            kBigBody, "application/octet-stream", [&](size_t offset, size_t length, httplib::DataSink& sink) {
                const size_t count = std::min({length, block.size(), kBigBody - offset});
                return sink.write(block.data(), count);
            });
    });
    server.Get("/page", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=gbk");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return 1;
    std::thread listener([&] { server.listen_after_bind(); });
    std::cout << port << std::endl;
    std::string ignored;
    std::getline(std::cin, ignored); // the driver closes our input when it is done
    server.stop();
    listener.join();
    return 0;
}

int fetch(const std::string& address, int times)
{
    const CurlGlobal curl;
    CurlHttpLayer http({}); // no cookie file: nothing to read or write beside the fetches
    StdWorkerThreads threads;
    FetchPlatform platform{http, threads};
    size_t total = 0;
    for (int i = 0; i < times; ++i) {
        const std::string url = times == 1 ? address : address + "?n=" + std::to_string(i);
        total += FetchPage(platform, Text(url)).bytes().size();
    }
    std::cerr << total << " bytes\n";
    return total == 0 ? 1 : 0;
}

struct Measured
{
    double seconds = 0;
    double peakMiB = 0;
};

/** Runs a command to its end; its wall time and its peak resident memory. */
Measured run(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::cerr << "cannot run " << command[0] << "\n";
        std::exit(2);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << command[0] << " failed\n";
        std::exit(2);
    }
    return Measured{elapsed.count(), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

/**
 * The best of several runs of each command, taken in turns, so that a moment of other load on the
 * machine weighs less and weighs on both alike.
 */
std::pair<Measured, Measured> bestInTurns(const std::vector<std::string>& reference,
                                          const std::vector<std::string>& own)
{
    Measured bestReference{1e9, 0};
    Measured bestOwn{1e9, 0};
    for (int round = 0; round < kRounds; ++round) {
        for (auto [command, best] : {std::pair{&reference, &bestReference}, std::pair{&own, &bestOwn}}) {
            const Measured once = run(*command);
            best->seconds = std::min(best->seconds, once.seconds);
            best->peakMiB = std::max(best->peakMiB, once.peakMiB);
        }
    }
    return {bestReference, bestOwn};
}

int drive(const std::string& self)
{
    int toServer[2];
    int fromServer[2];
    if (pipe(toServer) != 0 || pipe(fromServer) != 0)
        return 2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    pid_t server = 0;
    std::vector<char*> argv{const_cast<char*>(self.c_str()), const_cast<char*>("--serve"), nullptr};
    if (posix_spawn(&server, self.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        return 2;
    close(toServer[0]);
    close(fromServer[1]);
    char portText[16] = {};
    if (read(fromServer[0], portText, sizeof portText - 1) <= 0)
        return 2;
    const std::string root = "http://127.0.0.1:" + std::to_string(std::atoi(portText));

    std::vector<std::string> curlPages = {"curl", "-s", "-o", "/dev/null", "-H", "Connection: close"};
    std::vector<std::string> ownPages = {self, "--fetch", root + "/page", "--times", std::to_string(kPages)};
    for (int i = 0; i < kPages; ++i) {
        curlPages.push_back(root + "/page?n=" + std::to_string(i));
        if (i + 1 < kPages)
            curlPages.push_back("-o"), curlPages.push_back("/dev/null");
    }
    const auto [curlBig, ownBig] =
        bestInTurns({"curl", "-s", "-o", "/dev/null", root + "/big"}, {self, "--fetch", root + "/big"});
    const auto [curlMany, ownMany] = bestInTurns(curlPages, ownPages);
    close(toServer[1]); // the server's input ends, and so does the server
    waitpid(server, nullptr, 0);

    const double bodyMiB = static_cast<double>(kBigBody) / (1 << 20);
    struct Line
    {
        const char* name;
        double value;
        double limit;
    };
    const Line lines[] = {
        {"100 MiB body, time over curl's", ownBig.seconds / curlBig.seconds, 1.3},
        {"100 MiB body, peak memory over the body", ownBig.peakMiB / bodyMiB, 2.5},
        {"100 pages of 150 KB, time over curl's", ownMany.seconds / curlMany.seconds, 1.3},
    };
    std::printf("curl: 100 MiB in %.3f s, 100 pages in %.3f s; FetchPage: %.3f s (peak %.0f MiB), %.3f s\n",
                curlBig.seconds, curlMany.seconds, ownBig.seconds, ownBig.peakMiB, ownMany.seconds);
    bool allMet = true;
    for (const Line& line : lines) {
        const bool met = line.value <= line.limit;
        allMet = allMet && met;
        std::printf("%-42s %6.2fx  target %.1fx  %s\n", line.name, line.value, line.limit,
                    met ? "met" : "MISSED");
    }
    return allMet ? 0 : 1;
}

} // namespace
} // namespace torvash::bench

int main(int argc, char** argv)
{
    using namespace torvash::bench;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments[0] == "--serve")
        return serve();
    if (arguments.size() >= 2 && arguments[0] == "--fetch") {
        const int times =
            arguments.size() >= 4 && arguments[2] == "--times" ? std::atoi(arguments[3].c_str()) : 1;
        return fetch(arguments[1], std::max(times, 1));
    }
    return drive(argv[0]);
}
