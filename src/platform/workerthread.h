#pragma once

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>

struct WorkerCompletion;

// A plain thread for a long-running worker: a stack of the size asked for, a stop
// request that the worker looks at when it chooses, and no event loop or other
// per-thread machinery, so that a thousand of them stay cheap. Started and waited
// for by its owner; the object outlives the thread body. A system thread whose
// worker has ended waits a few seconds to run the next worker started with the
// same stack size in the same network namespace, so that stopping and starting
// a thousand workers makes and ends no threads. An exception that leaves the
// worker ends its thread only, never the program.
class WorkerThread {
public:
    explicit WorkerThread(std::size_t stackBytes);
    // The owner must have waited for the thread (Wait) before destroying it.
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs Execute on the new thread. Raises std::system_error when the system
    // gives no more threads.
    void Start();
    // Any thread. Wakes the worker if it is in Sleep.
    void RequestStop();
    bool StopRequested() const { return stopRequested_.load(); }
    // Blocks until Execute has returned; at once when it has, or never started.
    // Any thread but the worker's own.
    void Wait();
    // Execute has returned.
    bool Finished() const { return finished_.load(); }

protected:
    virtual void Execute() = 0;
    // Called on the worker's thread when Execute let an exception out; the
    // thread then ends as if Execute had returned.
    virtual void ExecuteFailed(std::exception_ptr /*error*/) noexcept {}
    // Sleeps for duration, or until a stop is requested, whichever comes first.
    void Sleep(std::chrono::milliseconds duration);

private:
    static void* Body(void* start);

    const std::size_t stackBytes_;
    std::shared_ptr<WorkerCompletion> completion_;  // from Start on
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
    // Posted by a stop request. A semaphore rather than a condition: waking
    // from a timed wait on a condition takes its lock back as if contended, and
    // unlocking it then costs a system call at every wait's end.
    sem_t stopSignal_;
};
