// SPDX-License-Identifier: MIT
// torvash-screenshot FILE: runs a search in the real window against the demo marketplace, headless,
// and saves a picture of the window when page 100 is in. Run with QT_QPA_PLATFORM=offscreen.
#include "DemoMarket.h"
#include "fetch/FetchPage.h"
#include "platform/CurlHttpLayer.h"
#include "platform/StdWorkerThreads.h"
#include "search/SearchRun.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include <iostream>

int main(int argc, char** argv)
{
    using namespace torvash;
    const CurlGlobal curl;
    QApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: torvash-screenshot FILE.png\n";
        return 2;
    }
    demo::DemoMarket market;
    if (market.bind(0) < 0)
        return 1;
    market.start();

    CurlHttpLayer http({}); // no cookie file: a picture needs none
    StdWorkerThreads threads;
    FetchPlatform platform{http, threads};
    PageAddressList addresses;
    int exitCode = 1;
    {
        MainWindow window(addresses, [](const QUrl&) { return false; });
        SearchRunner runner(SearchRunSetup{window.controls(), addresses,
                                           [&platform](TextView address, std::stop_token stop) {
                                               return FetchPage(platform, address,
                                                                FetchOptions{.stop = std::move(stop)});
                                           },
                                           Text(std::string_view(market.root()))});
        window.setSearchStarter([&runner] { runner.StartSearchRun(); });
        window.setClosingStep([&runner] { runner.stopAndWait(); });
        window.show();
        window.findChild<QLineEdit*>(QString::fromUtf8("编辑框1"))->setText(QString::fromUtf8("茶叶"));
        window.findChild<QLineEdit*>(QString::fromUtf8("编辑框2"))->setText(QString::fromUtf8("茶叶旗舰店"));
        auto* button = window.findChild<QPushButton*>(QString::fromUtf8("按钮1"));
        button->click();
        QElapsedTimer waited;
        waited.start();
        do
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        while ((runner.running() || !button->isEnabled()) && waited.elapsed() < 30000);
        // Show the first hits with the row menu's row selected, as a user would look at them.
        auto* list = window.findChild<QTreeView*>(QString::fromUtf8("超级列表框1"));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QApplication::processEvents();
        if (!runner.running() && window.grab().save(QString::fromLocal8Bit(argv[1])))
            exitCode = 0;
        window.close();
    }
    StdWorkerThreads::waitForAllWorkers(std::chrono::seconds(1));
    market.stop();
    return exitCode;
}
