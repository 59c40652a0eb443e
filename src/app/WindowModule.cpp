// SPDX-License-Identifier: MIT
// The entry the program looks up when it loads the window module.
#include "ui/WindowProgram.h"

extern "C" __attribute__((visibility("default"))) int torvash_run_window(int argc, char** argv)
{
    return torvash::runWindowProgram(argc, argv);
}
