#include "platform/workerthread.h"

#include "platform/monotonictime.h"
#include "platform/networknamespace.h"

#include <limits.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

// Told by the running thread that Execute has returned. Shared, so that the
// thread may still signal after the owner, released by it, has gone.
struct WorkerCompletion {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

namespace {

// How long a thread whose worker has ended waits for the next one before it
// goes. A new "Get List" stops every row's thread and starts as many again
// within a second or two; they are handed over instead of ended and made anew.
constexpr auto kIdleKeep = std::chrono::seconds(5);

// One system thread of the pool and the worker it is to run next.
struct PooledThread {
    std::condition_variable wake;
    WorkerThread* next = nullptr;
    std::shared_ptr<WorkerCompletion> completion;
};

// Threads that inherited the same namespace and stack size are alike: a worker
// may run on any of them.
using Likeness = std::pair<std::size_t, ino_t>;

struct ThreadPool {
    std::mutex mutex;
    std::map<Likeness, std::vector<std::shared_ptr<PooledThread>>> idle;
};

ThreadPool& Pool()
{
    static ThreadPool* pool = new ThreadPool;  // never destroyed: idle threads use it until exit
    return *pool;
}

}  // namespace

WorkerThread::WorkerThread(std::size_t stackBytes) : stackBytes_(std::max<std::size_t>(stackBytes, PTHREAD_STACK_MIN))
{
    sem_init(&stopSignal_, 0, 0);
}

WorkerThread::~WorkerThread()
{
    Wait();
    sem_destroy(&stopSignal_);
}

void WorkerThread::Start()
{
    completion_ = std::make_shared<WorkerCompletion>();
    const Likeness likeness{stackBytes_, NetworkNamespaceOfThisThread()};
    ThreadPool& pool = Pool();
    std::shared_ptr<PooledThread> idle;
    {
        std::lock_guard lock(pool.mutex);
        auto found = pool.idle.find(likeness);
        if (found != pool.idle.end() && !found->second.empty()) {
            idle = std::move(found->second.back());
            found->second.pop_back();
            idle->next = this;
            idle->completion = completion_;
        }
    }
    if (idle) {
        // Woken after the lock is released, so that it does not wake only to
        // wait for the lock; held, so that it cannot go before it is woken.
        idle->wake.notify_one();
        return;
    }
    auto thread = std::make_shared<PooledThread>();
    thread->next = this;
    thread->completion = completion_;
    auto* start = new std::pair<std::shared_ptr<PooledThread>, Likeness>(thread, likeness);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes_);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t id;
    const int error = pthread_create(&id, &attributes, &WorkerThread::Body, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete start;
        completion_.reset();
        throw std::system_error(error, std::generic_category(), "cannot start a thread");
    }
}

void WorkerThread::Wait()
{
    if (!completion_)
        return;
    std::unique_lock lock(completion_->mutex);
    completion_->ended.wait(lock, [this] { return completion_->done; });
}

void WorkerThread::RequestStop()
{
    // Set before the post: a worker about to sleep either sees it or is woken.
    stopRequested_.store(true);
    sem_post(&stopSignal_);
}

void WorkerThread::Sleep(std::chrono::milliseconds duration)
{
    const ClockDeadline deadline = MonotonicDeadline(std::chrono::steady_clock::now() + duration);
    // Only a stop request posts.
    while (!stopRequested_.load()) {
        if (sem_clockwait(&stopSignal_, CLOCK_MONOTONIC, &deadline) != 0 && errno != EINTR)
            return;
    }
}

void* WorkerThread::Body(void* start)
{
    auto* handed = static_cast<std::pair<std::shared_ptr<PooledThread>, Likeness>*>(start);
    const std::shared_ptr<PooledThread> thread = std::move(handed->first);
    const Likeness likeness = handed->second;
    delete handed;
    ThreadPool& pool = Pool();
    std::unique_lock lock(pool.mutex);
    for (;;) {
        WorkerThread* worker = std::exchange(thread->next, nullptr);
        std::shared_ptr<WorkerCompletion> completion = std::move(thread->completion);
        lock.unlock();
        try {
            worker->Execute();
        } catch (...) {
            // Out of memory, for one: the worker's own end, not the program's.
            worker->ExecuteFailed(std::current_exception());
        }
        worker->finished_.store(true);

        // Ready for the next worker before the owner hears of this one's end, so
        // that a worker started right after that wait finds this thread.
        lock.lock();
        std::vector<std::shared_ptr<PooledThread>>& idle = pool.idle[likeness];
        idle.push_back(thread);
        lock.unlock();
        {
            std::lock_guard ended(completion->mutex);
            completion->done = true;
        }
        completion->ended.notify_all();
        completion.reset();

        // Wait to be handed the next worker; go when none comes in time.
        lock.lock();
        if (!thread->wake.wait_for(lock, kIdleKeep, [&thread] { return thread->next != nullptr; })) {
            std::erase(idle, thread);
            break;
        }
    }
    lock.unlock();
    return nullptr;
}
