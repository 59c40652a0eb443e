// SPDX-License-Identifier: MIT
// Start-up to the window shown, beside a minimal Qt window started the same way, headless:
//   torvash_window_bench             both in turns; prints the ratio (exit 1 when the target is missed)
//   torvash_window_bench --minimal   a bare QWidget, shown, then quit
//   torvash_window_bench --torvash   the program's window with everything behind it, shown, then quit
#include "ChildProcess.h"
#include "ui/MainWindow.h"
#include "ui/WindowProgram.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int kRounds = 9;
constexpr double kLimit = 1.5;

int minimalWindow(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.resize(586, 361);
    window.show();
    QTimer::singleShot(0, &application, &QApplication::quit);
    return QApplication::exec();
}

int programWindow(int argc, char** argv)
{
    return torvash::runWindowProgram(
        argc, argv, [](torvash::MainWindow&) { QTimer::singleShot(0, qApp, &QApplication::quit); });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--minimal") == 0)
        return minimalWindow(1, argv);
    if (argc == 2 && std::strcmp(argv[1], "--torvash") == 0)
        return programWindow(1, argv);

    using namespace torvash::bench;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A folder of its own for the data (no cookie file of the user's is touched) and the runtime files.
    char folder[] = "/tmp/torvash-window-bench-XXXXXX";
    if (::mkdtemp(folder) != nullptr) {
        ::setenv("XDG_DATA_HOME", folder, 1);
        ::setenv("XDG_RUNTIME_DIR", folder, 1);
    }
    const auto [minimal, program] = bestInTurns({argv[0], "--minimal"}, {argv[0], "--torvash"}, kRounds);
    const double ratio = program.seconds / minimal.seconds;
    std::printf("minimal Qt window: %.3f s; Torvash window: %.3f s (best of %d, start to shown and quit)\n",
                minimal.seconds, program.seconds, kRounds);
    std::printf("%-42s %6.2fx  target %.1fx  %s\n", "window start-up, time over a minimal window's", ratio,
                kLimit, ratio <= kLimit ? "met" : "MISSED");
    std::filesystem::remove_all(folder);
    return ratio <= kLimit ? 0 : 1;
}
