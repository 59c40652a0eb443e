// SPDX-License-Identifier: MIT
#include "console/CommandLineSearch.h"

#include "console/ConsoleControls.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/GbkText.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <optional>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace torvash {

namespace {

using namespace std::chrono_literals;

struct SearchArguments
{
    Text keyword;
    Text seller;
    Text siteRoot;
    RowFormat format = RowFormat::Table;
};

/** The arguments, or the reason they cannot be used. */
std::variant<SearchArguments, QString> parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Finds a seller's listings on the first 100 result pages of a keyword.");
    const QCommandLineOption keyword("keyword", "The search keyword.", "K");
    const QCommandLineOption seller("seller", "The seller's messenger name.", "S");
    const QCommandLineOption site("site", "The marketplace, http://host[:port].", "ROOT",
                                  QString::fromUtf8(SearchSiteRoot().bytes().data()));
    const QCommandLineOption json("json", "One JSON object per row, on standard output.");
    parser.addOptions({keyword, seller, site, json});
    if (!parser.parse(arguments))
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return "unexpected argument: " + parser.positionalArguments().first();
    if (!parser.isSet(keyword) || !parser.isSet(seller))
        return QString("both --keyword and --seller are needed");

    static const QRegularExpression siteForm("^http://[^/:?#@\\s]+(:[0-9]{1,5})?$");
    if (!siteForm.match(parser.value(site)).hasMatch())
        return "--site must be http://host or http://host:port, without a trailing slash: " +
               parser.value(site);

    SearchArguments parsed;
    parsed.format = parser.isSet(json) ? RowFormat::Json : RowFormat::Table;
    for (auto [option, field] : {std::pair{&keyword, &parsed.keyword}, std::pair{&seller, &parsed.seller},
                                 std::pair{&site, &parsed.siteRoot}}) {
        std::optional<Text> gbk = encodeGbk(parser.value(*option));
        if (!gbk)
            return "--" + option->names().first() + " holds a character that has no GBK form";
        *field = std::move(*gbk);
    }
    return parsed;
}

/** Turns an interrupt or termination into a stop of the run, on a thread of its own. */
class InterruptWatch
{
public:
    InterruptWatch()
    {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        sigaddset(&m_signals, kDone);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr); // before any other thread starts
        m_thread = std::thread([this] {
            int signal = 0;
            if (sigwait(&m_signals, &signal) == 0 && signal != kDone) {
                m_interrupted = true;
                m_stop.request_stop();
            }
        });
    }

    ~InterruptWatch()
    {
        pthread_kill(m_thread.native_handle(), kDone);
        m_thread.join();
    }

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    [[nodiscard]] std::stop_token stopToken() const { return m_stop.get_token(); }
    [[nodiscard]] bool interrupted() const { return m_interrupted; }

private:
    static constexpr int kDone = SIGUSR2; // sent by the watch's own end, to wake its thread

    sigset_t m_signals{};
    std::stop_source m_stop;
    std::atomic<bool> m_interrupted = false;
    std::thread m_thread;
};

} // namespace

int runCommandLineSearch(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    auto parsed = parse(arguments);
    if (auto* reason = std::get_if<QString>(&parsed)) {
        err << "torvash: " << *reason << "\n"
            << "usage: torvash --keyword K --seller S [--site http://host[:port]] [--json]\n";
        return kExitUsage;
    }
    SearchArguments& search = std::get<SearchArguments>(parsed);

    InterruptWatch interrupts;
    const CurlGlobal curl;
    int exitCode = kExitDone;
    {
        CurlHttpLayer http(CurlHttpLayer::defaultCookieFile());
        StdWorkerThreads threads;
        FetchPlatform platform{http, threads};
        PageAddressList addresses;
        ConsoleControls controls(search.keyword, search.seller, addresses, search.format, out, err,
                                 isatty(STDERR_FILENO) != 0);
        const SearchRunSetup setup{controls, addresses,
                                   [&platform](TextView address, std::stop_token stop) {
                                       return FetchPage(platform, address,
                                                        FetchOptions{.stop = std::move(stop)});
                                   },
                                   search.siteRoot};
        SearchRun(setup, interrupts.stopToken());
        controls.finish();
        if (interrupts.interrupted())
            exitCode = kExitInterrupted;
        else if (controls.refusedInput())
            exitCode = kExitUsage;
        // Abandoned workers still use the HTTP layer; they stop within a moment of being let go.
        StdWorkerThreads::waitForAllWorkers(1s);
    }
    return exitCode;
}

} // namespace torvash
