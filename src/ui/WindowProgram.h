// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace torvash {

class MainWindow;

/**
 * The program with its window: the fetching stack, the address list, the window and a search run
 * behind its button; returns the exit code (-1 when no window can be made). `shown`, when given, is
 * called once the window is shown (the start-up benchmark quits there).
 */
int runWindowProgram(int argc, char** argv, const std::function<void(MainWindow&)>& shown = {});

} // namespace torvash
