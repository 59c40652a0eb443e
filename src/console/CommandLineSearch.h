// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

namespace torvash {

inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

/**
 * torvash --keyword K --seller S [--site http://host[:port]] [--json]: one search without a window,
 * its rows printed as they come. Returns the exit code: 0 after page 100, 2 for arguments it cannot
 * use (with the reason on stderr), 130 when interrupted. Needs a QCoreApplication.
 */
int runCommandLineSearch(const QStringList& arguments);

} // namespace torvash
