// SPDX-License-Identifier: MIT
#include "ui/WindowProgram.h"

#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

#include <chrono>

namespace torvash {

int runWindowProgram(int argc, char** argv, const std::function<void(MainWindow&)>& shown)
{
    const CurlGlobal curl; // before any thread
    QApplication application(argc, argv);
    QApplication::setApplicationName("torvash");
    if (QGuiApplication::primaryScreen() == nullptr) {
        QMessageBox::critical(nullptr, QStringLiteral("Torvash"),
                              QStringLiteral("The window cannot be made."));
        return -1;
    }

    CurlHttpLayer http(CurlHttpLayer::defaultCookieFile());
    StdWorkerThreads threads;
    FetchPlatform platform{http, threads};
    PageAddressList addresses; // made before the window, and gone after it
    int exitCode = 0;
    {
        MainWindow window(addresses, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
        SearchRunner runner(SearchRunSetup{window.controls(), addresses,
                                           [&platform](TextView address, std::stop_token stop) {
                                               return FetchPage(platform, address,
                                                                FetchOptions{.stop = std::move(stop)});
                                           },
                                           SearchSiteRoot()});
        window.setSearchStarter([&runner] { runner.StartSearchRun(); });
        window.setClosingStep([&runner] { runner.stopAndWait(); });
        window.show();
        if (shown)
            shown(window);
        exitCode = QApplication::exec();
    }
    // Workers let go at the run's stop still use the HTTP layer for a moment.
    StdWorkerThreads::waitForAllWorkers(std::chrono::seconds(1));
    return exitCode;
}

} // namespace torvash
