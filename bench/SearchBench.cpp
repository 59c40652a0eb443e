// SPDX-License-Identifier: MIT
// A whole 100-page search from the command line beside one curl process fetching the same 100
// addresses, both against the demo marketplace and counted from process start to end.
#include "ChildProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <cstdio>

namespace torvash::bench {
namespace {

constexpr int kRounds = 7;
constexpr double kLimit = 1.5;

} // namespace
} // namespace torvash::bench

int main()
{
    using namespace torvash::bench;
    const ServerProcess market({TORVASH_DEMO_MARKET, "--port", "0"});
    const std::string root = market.firstLine();
    // 茶叶 and 茶叶旗舰店, in UTF-8 as typed on a command line
    const std::vector<std::string> search = {TORVASH_EXECUTABLE, "--keyword", "茶叶", "--seller",
                                             "茶叶旗舰店",       "--site",    root,   "--json"};

    // The addresses the run fetches are in its output, one per row; a page's rows share one.
    std::vector<std::string> curl = {"curl", "-s", "-H", "Connection: close"};
    for (const QString& line : QString::fromStdString(outputOf(search)).split('\n', Qt::SkipEmptyParts)) {
        const QString address = QJsonDocument::fromJson(line.toUtf8()).object().value("address").toString();
        const QString page = QJsonDocument::fromJson(line.toUtf8()).object().value("page").toString();
        if (page.isEmpty())
            continue;
        curl.push_back("-o");
        curl.push_back("/dev/null");
        // The run sent the keyword's GBK bytes percent-encoded; curl is given the same bytes.
        const QByteArray gbk = QStringEncoder("GBK").encode(address);
        curl.push_back(gbk.toPercentEncoding(":/?&=%").toStdString());
    }
    const size_t pages = (curl.size() - 4) / 3;
    const auto [reference, own] = bestInTurns(curl, search, kRounds);
    const double ratio = own.seconds / reference.seconds;
    std::printf("curl, %zu pages: %.3f s; torvash --json, 100 pages: %.3f s\n", pages, reference.seconds,
                own.seconds);
    std::printf("%-42s %6.2fx  target %.1fx  %s\n", "100-page search, time over curl's", ratio, kLimit,
                ratio <= kLimit ? "met" : "MISSED");
    return pages == 100 && ratio <= kLimit ? 0 : 1;
}
