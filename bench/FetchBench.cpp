// SPDX-License-Identifier: MIT
// Fetching beside the curl tool, on the same local server (torvash_bench_server) in the same run:
//   torvash_fetch_bench            runs both cases and prints the ratios (exit 1 when a target is missed)
//   torvash_fetch_bench --fetch URL [--times N]   FetchPage of URL (N times, each with its own query)
#include "ChildProcess.h"
#include "RealisticPage.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/MemoryReuse.h"
#include "platform/StdWorkerThreads.h"

#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace torvash::bench {
namespace {

constexpr size_t kBigBody = size_t{100} << 20;
constexpr int kPages = 100;
constexpr int kRounds = 7;

int fetch(const std::string& address, int times)
{
    KeepFreedMemoryForReuse(); // as the program does
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

int drive(const std::string& self)
{
    const std::string folder = self.substr(0, self.find_last_of('/') + 1);
    const ServerProcess server({folder + "torvash_bench_server"});
    const std::string root = "http://127.0.0.1:" + server.firstLine();

    std::vector<std::string> curlPages = {"curl", "-s", "-o", "/dev/null", "-H", "Connection: close"};
    std::vector<std::string> ownPages = {self, "--fetch", root + "/page", "--times", std::to_string(kPages)};
    for (int i = 0; i < kPages; ++i) {
        curlPages.push_back(root + "/page?n=" + std::to_string(i));
        if (i + 1 < kPages)
            curlPages.push_back("-o"), curlPages.push_back("/dev/null");
    }
    const auto [curlBig, ownBig] = bestInTurns({"curl", "-s", "-o", "/dev/null", root + "/big"},
                                               {self, "--fetch", root + "/big"}, kRounds);
    const auto [curlMany, ownMany] = bestInTurns(curlPages, ownPages, kRounds);

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
    std::string address;
    int times = 1;
    const option options[] = {{"fetch", required_argument, nullptr, 'f'},
                              {"times", required_argument, nullptr, 't'},
                              {nullptr, 0, nullptr, 0}};
    for (int chosen; (chosen = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        if (chosen == 'f')
            address = optarg;
        else if (chosen == 't')
            times = std::max(std::atoi(optarg), 1);
        else
            return 2;
    }
    return address.empty() ? drive(argv[0]) : fetch(address, times);
}
