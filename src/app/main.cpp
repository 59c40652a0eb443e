// SPDX-License-Identifier: MIT
#include "console/CommandLineSearch.h"
#include "ui/WindowProgram.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    if (argc > 1) {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName("torvash");
        return torvash::runCommandLineSearch(QCoreApplication::arguments());
    }
    return torvash::runWindowProgram(argc, argv);
}
