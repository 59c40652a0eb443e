// SPDX-License-Identifier: MIT
#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

extern char** environ;

namespace torvash::bench {

namespace {

std::vector<char*> argvOf(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

[[noreturn]] void fail(const std::string& what)
{
    std::cerr << "benchmark: " << what << "\n";
    std::exit(2);
}

/** Spawns `command` with its output going to `outputFd` (or /dev/null when -1). */
pid_t spawn(const std::vector<std::string>& command, int outputFd, int inputFd = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (inputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
    std::vector<char*> argv = argvOf(command);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        fail("cannot run " + command[0]);
    return child;
}

} // namespace

Measured run(const std::vector<std::string>& command)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = spawn(command, -1);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(command[0] + " failed");
    return Measured{elapsed.count(), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

std::string outputOf(const std::vector<std::string>& command)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        fail("no pipe");
    const pid_t child = spawn(command, pipeFds[1]);
    close(pipeFds[1]);
    std::string output;
    char buffer[65536];
    for (ssize_t count; (count = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(count));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(command[0] + " failed");
    return output;
}

std::pair<Measured, Measured> bestInTurns(const std::vector<std::string>& reference,
                                          const std::vector<std::string>& own, int rounds)
{
    Measured bestReference{1e9, 0};
    Measured bestOwn{1e9, 0};
    for (int round = 0; round < rounds; ++round) {
        for (auto [command, best] : {std::pair{&reference, &bestReference}, std::pair{&own, &bestOwn}}) {
            const Measured once = run(*command);
            best->seconds = std::min(best->seconds, once.seconds);
            best->peakMiB = std::max(best->peakMiB, once.peakMiB);
        }
    }
    return {bestReference, bestOwn};
}

ServerProcess::ServerProcess(const std::vector<std::string>& command)
{
    int output[2];
    int input[2];
    if (pipe(output) != 0 || pipe(input) != 0)
        fail("no pipe");
    fcntl(input[1], F_SETFD, FD_CLOEXEC);
    fcntl(output[0], F_SETFD, FD_CLOEXEC);
    m_pid = spawn(command, output[1], input[0]);
    close(output[1]);
    close(input[0]);
    m_input = input[1];
    for (char c = 0; read(output[0], &c, 1) == 1 && c != '\n';)
        m_firstLine.push_back(c);
    close(output[0]);
    if (m_firstLine.empty())
        fail(command[0] + " did not start");
}

ServerProcess::~ServerProcess()
{
    close(m_input);
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
}

} // namespace torvash::bench
