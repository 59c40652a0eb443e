// SPDX-License-Identifier: MIT
#include "console/CommandLineSearch.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("torvash");
    if (argc > 1)
        return torvash::runCommandLineSearch(QCoreApplication::arguments());
    std::cerr << "torvash: this build has no window yet; search from the command line:\n"
                 "  torvash --keyword K --seller S [--site http://host[:port]] [--json]\n";
    return torvash::kExitUsage;
}
