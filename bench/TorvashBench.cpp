// SPDX-License-Identifier: MIT
#include "RealisticPage.h"
#include "search/ResultPageScanner.h"
#include "text/TextOperations.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace torvash::bench {
namespace {

constexpr size_t kMiB = 1 << 20;
constexpr const char* kAbsentNeedle = "absent-needle!"; // 14 bytes, on no generated page

const Text& pageOf(size_t size, int32_t sellerHits)
{
    static std::map<std::pair<size_t, int32_t>, Text> pages;
    static std::mutex lock;
    const std::scoped_lock guard(lock);
    auto [entry, added] = pages.try_emplace({size, sellerHits});
    if (added)
        entry->second = Text(makeRealisticPage(size, sellerHits));
    return entry->second;
}

void BM_Memmem(benchmark::State& state, size_t size)
{
    const std::string_view page = pageOf(size, 0).bytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(page.data(), page.size(), kAbsentNeedle, std::strlen(kAbsentNeedle)));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_FindTextAbsent(benchmark::State& state, size_t size)
{
    const Text& page = pageOf(size, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(FindText(page, kAbsentNeedle, 1, Case::Ignore));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_ScanResultPage(benchmark::State& state, size_t size, int32_t sellerHits)
{
    const Text& page = pageOf(size, sellerHits);
    const Text seller(kBenchSeller);
    int32_t delivered = 0;
    for (auto _ : state) {
        delivered = 0;
        ScanResultPage(
            page, [&] { return seller; },
            [&](const ListingHit& hit) {
                benchmark::DoNotOptimize(hit.link.c_str());
                ++delivered;
            });
    }
    if (delivered != sellerHits)
        state.SkipWithError(("delivered " + std::to_string(delivered) + " hits").c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

BENCHMARK_CAPTURE(BM_Memmem, 1MiB, kMiB);
BENCHMARK_CAPTURE(BM_Memmem, 8MiB, 8 * kMiB);
BENCHMARK_CAPTURE(BM_FindTextAbsent, 1MiB, kMiB);
BENCHMARK_CAPTURE(BM_ScanResultPage, 1MiB_2000hits, kMiB, 2000);
BENCHMARK_CAPTURE(BM_ScanResultPage, 8MiB_50000hits, 8 * kMiB, 50000);

/**
 * Shows the runs as usual and keeps each case's best time over its repetitions, so that the ratios to
 * memmem that follow them see as little of the machine's other load as the run allows.
 */
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const auto [entry, added] =
                m_seconds.try_emplace(run.benchmark_name(), run.GetAdjustedRealTime());
            if (!added)
                entry->second = std::min(entry->second, run.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }

    /** Prints each case's time over memmem's for the same size; false when one misses its target. */
    bool reportRatios() const
    {
        struct Target
        {
            const char* name;
            const char* reference;
            double limit;
        };
        const Target targets[] = {
            {"BM_FindTextAbsent/1MiB", "BM_Memmem/1MiB", 1.5},
            {"BM_ScanResultPage/1MiB_2000hits", "BM_Memmem/1MiB", 8.0},
            {"BM_ScanResultPage/8MiB_50000hits", "BM_Memmem/8MiB", 8.0},
        };
        bool allMet = true;
        std::printf("\n%-34s %-16s %8s %8s   (best of each case's repetitions)\n", "case", "against", "ratio",
                    "target");
        for (const Target& target : targets) {
            const auto time = m_seconds.find(target.name);
            const auto reference = m_seconds.find(target.reference);
            if (time == m_seconds.end() || reference == m_seconds.end())
                continue; // filtered out of this run
            const double ratio = time->second / reference->second;
            const bool met = ratio <= target.limit;
            allMet = allMet && met;
            std::printf("%-34s %-16s %7.2fx %7.1fx %s\n", target.name, target.reference, ratio, target.limit,
                        met ? "met" : "MISSED");
        }
        return allMet;
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace
} // namespace torvash::bench

int main(int argc, char** argv)
{
    // Repetitions in random order unless asked otherwise: a burst of load on a shared machine then
    // slows one repetition of every case rather than every repetition of one case.
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    const auto given = [&](std::string_view flag) {
        return std::any_of(argv + 1, argv + argc,
                           [&](const char* a) { return std::string_view(a).starts_with(flag); });
    };
    if (!given("--benchmark_repetitions"))
        arguments.insert(arguments.begin() + 1, repetitions.data());
    if (!given("--benchmark_enable_random_interleaving"))
        arguments.insert(arguments.begin() + 1, interleaving.data());
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    torvash::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.reportRatios() ? 0 : 1;
}
