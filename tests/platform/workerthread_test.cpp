// Workers run on pooled system threads: a thread is handed on only to a worker
// that it suits, and an owner's wait ends only once its worker has returned.

#include "platform/workerthread.h"

#include "support/timescale.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <new>
#include <string>
#include <thread>

namespace {

constexpr std::size_t kSmallStack = 32 * 1024;

ino_t NetworkNamespace()
{
    struct stat status{};
    stat("/proc/thread-self/ns/net", &status);
    return status.st_ino;
}

// Records, on the thread it runs on, what the test asks about.
class Recorder final : public WorkerThread {
public:
    explicit Recorder(std::size_t stackBytes = kSmallStack, std::function<void()> body = {})
        : WorkerThread(stackBytes), body_(std::move(body))
    {
    }
    ~Recorder() override { Wait(); }
    pid_t threadId = 0;
    ino_t network = 0;
    std::atomic<bool> returned{false};

private:
    void Execute() override
    {
        threadId = static_cast<pid_t>(syscall(SYS_gettid));
        network = NetworkNamespace();
        if (body_)
            body_();
        returned = true;
    }
    std::function<void()> body_;
};

TEST(WorkerThread, AnEndedWorkersThreadRunsTheNextOneStartedAlike)
{
    std::atomic<bool> mayReturn{false};
    Recorder first(kSmallStack, [&mayReturn] {
        for (int spin = 0; spin < 100000 && !mayReturn; ++spin)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    });
    first.Start();
    std::thread owner([&] { first.Wait(); });
    EXPECT_FALSE(first.Finished());
    mayReturn = true;
    owner.join();
    ASSERT_TRUE(first.returned);  // the wait ended only once the worker had returned

    Recorder second;
    second.Start();
    second.Wait();
    EXPECT_EQ(second.threadId, first.threadId);
    EXPECT_NE(second.threadId, static_cast<pid_t>(syscall(SYS_gettid)));

    // Another stack size needs a thread made for it.
    Recorder larger(512 * 1024);
    larger.Start();
    larger.Wait();
    EXPECT_NE(larger.threadId, first.threadId);
}

TEST(WorkerThread, AWorkerRunsInTheNetworkNamespaceOfWhoStartedIt)
{
    // A thread made while the owner was elsewhere must not be handed to it.
    Recorder here;
    here.Start();
    here.Wait();
    ASSERT_EQ(here.network, NetworkNamespace());

    std::string skipped;
    std::thread elsewhere([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            skipped = std::string("cannot make a network namespace: ") + strerror(errno);
            return;
        }
        Recorder there;
        there.Start();
        there.Wait();
        EXPECT_EQ(there.network, NetworkNamespace());
        EXPECT_NE(there.threadId, here.threadId);
    });
    elsewhere.join();
    if (!skipped.empty())
        GTEST_SKIP() << skipped;

    Recorder backHere;
    backHere.Start();
    backHere.Wait();
    EXPECT_EQ(backHere.network, here.network);
}

// Ends by throwing, or sleeps for minutes until stopped.
class Ending final : public WorkerThread {
public:
    explicit Ending(bool throws) : WorkerThread(kSmallStack), throws_(throws) {}
    ~Ending() override { Wait(); }
    pid_t threadId = 0;
    std::atomic<bool> asleep{false};

private:
    void Execute() override
    {
        threadId = static_cast<pid_t>(syscall(SYS_gettid));
        if (throws_)
            throw std::bad_alloc();
        asleep = true;
        Sleep(std::chrono::minutes(2));
    }
    const bool throws_;
};

TEST(WorkerThread, AnExceptionOrAStopEndsTheWorkerAtOnceAndItsThreadRunsTheNext)
{
    for (const bool throws : {true, false}) {
        SCOPED_TRACE(throws ? "throws" : "stopped while asleep");
        Ending worker(throws);
        const auto started = std::chrono::steady_clock::now();
        worker.Start();
        for (int spin = 0; spin < 20000 && !throws && !worker.asleep; ++spin)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        worker.RequestStop();
        worker.Wait();
        EXPECT_LT(std::chrono::steady_clock::now() - started, Scaled(std::chrono::seconds(1)));

        Recorder next;
        next.Start();
        next.Wait();
        EXPECT_TRUE(next.returned);
        EXPECT_EQ(next.threadId, worker.threadId);
    }
}

}  // namespace
