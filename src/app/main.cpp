// SPDX-License-Identifier: MIT
#include "console/CommandLineSearch.h"
#include "platform/LoadableModule.h"
#include "platform/MemoryReuse.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

/** The window program is a module of its own, loaded only when the window is wanted, so that a search
 *  from the command line starts without Qt's widget and graphics libraries. */
constexpr const char* kWindowModule = "libtorvash-window.so";
constexpr const char* kWindowEntry = "torvash_run_window";

int runWindowProgramFromModule(int argc, char** argv)
{
    torvash::LoadableModule module(torvash::ExecutableFolder() / kWindowModule);
    auto* run = module.function<int(int, char**)>(kWindowEntry);
    if (run == nullptr) {
        std::fprintf(stderr, "torvash: cannot open the window: %s\n", module.error().c_str());
        return 1;
    }
    return run(argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    torvash::KeepFreedMemoryForReuse();
    if (argc > 1) {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName("torvash");
        return torvash::runCommandLineSearch(QCoreApplication::arguments());
    }
    return runWindowProgramFromModule(argc, argv);
}
