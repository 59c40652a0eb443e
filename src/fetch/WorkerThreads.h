// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace torvash {

/** Work posted to a thread, run when that thread dispatches its messages. */
using Message = std::function<void()>;

/** A thread's message queue, as other threads see it: they post to it, from any thread. */
class MessageQueue
{
public:
    virtual ~MessageQueue() = default;
    virtual void post(Message message) = 0;
    /** A quit message: dispatching stops before it and leaves it in the queue. */
    virtual void postQuit() = 0;
};

/** A started worker thread, as the thread that started it sees it. */
class WorkerThread
{
public:
    virtual ~WorkerThread() = default;
};

enum class WaitOutcome
{
    WorkerEnded,
    MessagesArrived,
    TimedOut,
    Failed,
};

/**
 * Starting worker threads, and waiting for one while the calling thread's messages keep flowing.
 * A worker released before it ended is abandoned: it goes on by itself until it ends.
 */
class WorkerThreads
{
public:
    virtual ~WorkerThreads() = default;

    /** Starts `work` on a new thread; null when no thread can be started. */
    virtual std::unique_ptr<WorkerThread> start(std::function<void()> work) = 0;
    /** Sleeps, using no processor time, until the worker has ended, messages are pending for the
     *  calling thread, or `timeout` passes. */
    virtual WaitOutcome waitForWorkerOrMessages(WorkerThread& worker, std::chrono::milliseconds timeout) = 0;
    /** Runs the calling thread's pending messages in order, until none is left or a quit message is
     *  next. */
    virtual void dispatchMessages() = 0;
    /** The calling thread's queue, for other threads to post to. */
    virtual std::shared_ptr<MessageQueue> currentThreadQueue() = 0;
};

} // namespace torvash
