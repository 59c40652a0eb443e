// SPDX-License-Identifier: MIT
// torvash-demo-market [--port N]: serves the demo marketplace on 127.0.0.1 until interrupted.
#include "DemoMarket.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv)
{
    // Interrupts are taken by sigwait below, on this thread, not by a handler on whichever thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("torvash-demo-market");
    QCommandLineParser parser;
    parser.setApplicationDescription("Serves the demo marketplace on 127.0.0.1 until interrupted.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "The port to listen on; 0 picks a free one.", "N",
                                        QString::number(torvash::demo::kDefaultPort));
    parser.addOption(portOption);
    parser.process(application);
    bool isNumber = false;
    const int port = parser.value(portOption).toInt(&isNumber);
    if (!isNumber || port < 0 || port > 65535) {
        std::cerr << "torvash-demo-market: --port takes a number from 0 to 65535\n";
        return 2;
    }

    torvash::demo::DemoMarket market;
    if (market.bind(port) < 0) {
        std::cerr << "torvash-demo-market: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    market.start();
    std::cout << market.root() << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    market.stop();
    return 0;
}
