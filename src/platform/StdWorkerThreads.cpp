// SPDX-License-Identifier: MIT
#include "platform/StdWorkerThreads.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace torvash {

namespace {

/** A thread's queue. A waiting thread sleeps on it, and a worker's end wakes it through it too. */
class ThreadQueue final : public MessageQueue
{
public:
    void post(Message message) override
    {
        {
            const std::scoped_lock guard(m_lock);
            m_messages.push_back(Entry{std::move(message), false});
        }
        m_wake.notify_all();
    }

    void postQuit() override
    {
        {
            const std::scoped_lock guard(m_lock);
            m_messages.push_back(Entry{{}, true});
        }
        m_wake.notify_all();
    }

    /** Sets `flag` under the queue's lock and wakes the waiter, so that the wake-up cannot be missed. */
    void raise(bool& flag)
    {
        {
            const std::scoped_lock guard(m_lock);
            flag = true;
        }
        m_wake.notify_all();
    }

    bool isRaised(const bool& flag)
    {
        const std::scoped_lock guard(m_lock);
        return flag;
    }

    WaitOutcome wait(const bool& flag, std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(m_lock);
        m_wake.wait_for(guard, timeout, [&] { return flag || hasMessages(); });
        if (flag)
            return WaitOutcome::WorkerEnded;
        return hasMessages() ? WaitOutcome::MessagesArrived : WaitOutcome::TimedOut;
    }

    void dispatch()
    {
        for (;;) {
            Message message;
            {
                const std::scoped_lock guard(m_lock);
                if (m_messages.empty() || m_messages.front().quit)
                    return;
                message = std::move(m_messages.front().message);
                m_messages.pop_front();
            }
            message(); // outside the lock: a message may post further messages
        }
    }

private:
    struct Entry
    {
        Message message;
        bool quit = false;
    };

    bool hasMessages() const { return !m_messages.empty() && !m_messages.front().quit; }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Entry> m_messages;
};

std::shared_ptr<ThreadQueue> currentQueue()
{
    thread_local const auto queue = std::make_shared<ThreadQueue>();
    return queue;
}

/** Counts the workers that run, so that the program can let them end before it does. */
class RunningWorkers
{
public:
    void add()
    {
        const std::scoped_lock guard(m_lock);
        ++m_count;
    }
    void remove()
    {
        // Notified under the lock: once a waiter can see the count fall, this worker is done with it.
        const std::scoped_lock guard(m_lock);
        --m_count;
        m_none.notify_all();
    }
    int count()
    {
        const std::scoped_lock guard(m_lock);
        return m_count;
    }
    bool waitForNone(std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(m_lock);
        return m_none.wait_for(guard, timeout, [&] { return m_count == 0; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_none;
    int m_count = 0;
};

RunningWorkers& runningWorkerCount()
{
    // Never destroyed: a worker abandoned at a time-out may still be ending while the process exits.
    static RunningWorkers& workers = *new RunningWorkers;
    return workers;
}

/** What the worker and its starter share: the starter's queue, which the worker's end wakes. */
struct WorkerState
{
    std::shared_ptr<ThreadQueue> starterQueue;
    bool ended = false; // guarded by the starter queue's lock
};

class StdWorker final : public WorkerThread
{
public:
    StdWorker(std::shared_ptr<WorkerState> state, std::thread thread)
        : m_state(std::move(state))
        , m_thread(std::move(thread))
    {}
    // An ended worker is joined; one still running is let go to finish by itself.
    ~StdWorker() override
    {
        if (ended())
            m_thread.join();
        else
            m_thread.detach();
    }

    [[nodiscard]] const std::shared_ptr<WorkerState>& state() const { return m_state; }

private:
    bool ended() { return m_state->starterQueue->isRaised(m_state->ended); }

    std::shared_ptr<WorkerState> m_state;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<WorkerThread> StdWorkerThreads::start(std::function<void()> work)
{
    auto state = std::make_shared<WorkerState>(WorkerState{currentQueue(), false});
    runningWorkerCount().add();
    try {
        std::thread thread([state, work = std::move(work)] {
            work();
            state->starterQueue->raise(state->ended);
            runningWorkerCount().remove();
        });
        return std::make_unique<StdWorker>(std::move(state), std::move(thread));
    } catch (const std::system_error&) {
        runningWorkerCount().remove();
        return nullptr;
    }
}

WaitOutcome StdWorkerThreads::waitForWorkerOrMessages(WorkerThread& worker, std::chrono::milliseconds timeout)
{
    auto* stdWorker = dynamic_cast<StdWorker*>(&worker);
    if (stdWorker == nullptr || stdWorker->state()->starterQueue != currentQueue())
        return WaitOutcome::Failed;
    return currentQueue()->wait(stdWorker->state()->ended, timeout);
}

void StdWorkerThreads::dispatchMessages()
{
    currentQueue()->dispatch();
}

std::shared_ptr<MessageQueue> StdWorkerThreads::currentThreadQueue()
{
    return currentQueue();
}

int StdWorkerThreads::runningWorkers()
{
    return runningWorkerCount().count();
}

bool StdWorkerThreads::waitForAllWorkers(std::chrono::milliseconds timeout)
{
    return runningWorkerCount().waitForNone(timeout);
}

} // namespace torvash
