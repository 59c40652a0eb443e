// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/WorkerThreads.h"

#include <chrono>

namespace torvash {

/** Worker threads on std::thread, with a message queue of our own for each thread that asks for one. */
class StdWorkerThreads final : public WorkerThreads
{
public:
    std::unique_ptr<WorkerThread> start(std::function<void()> work) override;
    WaitOutcome waitForWorkerOrMessages(WorkerThread& worker, std::chrono::milliseconds timeout) override;
    void dispatchMessages() override;
    std::shared_ptr<MessageQueue> currentThreadQueue() override;

    /** Workers started and not yet ended, abandoned ones included. */
    static int runningWorkers();
    /** Waits until every worker has ended, or `timeout` passes; true when none runs. */
    static bool waitForAllWorkers(std::chrono::milliseconds timeout);
};

} // namespace torvash
