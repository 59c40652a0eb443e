// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace torvash::bench {

struct Measured
{
    double seconds = 0;
    double peakMiB = 0;
};

/** Runs a command to its end, output discarded; its wall time and peak resident memory. Exits the
 *  benchmark when the command cannot run or fails. */
Measured run(const std::vector<std::string>& command);

/** Runs a command to its end and returns what it wrote to its standard output. */
std::string outputOf(const std::vector<std::string>& command);

/**
 * The best of `rounds` runs of each command, taken in turns, so that a moment of other load on the
 * machine weighs less and weighs on both alike.
 */
std::pair<Measured, Measured> bestInTurns(const std::vector<std::string>& reference,
                                          const std::vector<std::string>& own, int rounds);

/** A server child that prints its root address on its first line and stops when its input closes
 *  or it is signalled. */
class ServerProcess
{
public:
    explicit ServerProcess(const std::vector<std::string>& command);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    [[nodiscard]] const std::string& firstLine() const { return m_firstLine; }

private:
    int m_pid = -1;
    int m_input = -1;
    std::string m_firstLine;
};

} // namespace torvash::bench
