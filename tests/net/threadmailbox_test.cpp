// Calls handed from worker threads to the thread of a mailbox.

#include "coreapplication.h"

#include "net/threadmailbox.h"

#include <gtest/gtest.h>

#include <QThread>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/timescale.h"

TEST(ThreadMailbox, RunsCallsFromManyThreadsOnItsOwnThreadInOrder)
{
    Application();
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 200;
    ThreadMailbox mailbox;
    std::map<int, std::vector<int>> seen;  // touched only on this thread
    int foreignThreadCalls = 0;
    {
        std::vector<std::jthread> workers;
        for (int worker = 0; worker < kThreads; ++worker) {
            workers.emplace_back([&mailbox, &seen, &foreignThreadCalls, worker] {
                for (int i = 0; i < kCallsEach; ++i) {
                    // What a call carries is built on the worker and read on the
                    // mailbox's thread: a thread checker must see the hand-off.
                    auto payload = std::make_unique<std::string>(std::to_string(i));
                    mailbox.Post([&seen, &foreignThreadCalls, worker, payload = std::shared_ptr(std::move(payload))] {
                        if (QThread::currentThread() != QCoreApplication::instance()->thread())
                            ++foreignThreadCalls;
                        seen[worker].push_back(std::stoi(*payload));
                    });
                }
            });
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(10));
    const auto allSeen = [&] {
        std::size_t count = 0;
        for (const auto& [worker, calls] : seen)
            count += calls.size();
        return count == kThreads * kCallsEach;
    };
    while (!allSeen() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    ASSERT_TRUE(allSeen());
    EXPECT_EQ(foreignThreadCalls, 0);
    std::vector<int> inOrder(kCallsEach);
    for (int i = 0; i < kCallsEach; ++i)
        inOrder[i] = i;
    for (const auto& [worker, calls] : seen)
        EXPECT_EQ(calls, inOrder) << "worker " << worker;
}

TEST(ThreadMailbox, DropsCallsStillWaitingWhenItGoesAway)
{
    Application();
    auto ran = std::make_shared<int>(0);
    {
        ThreadMailbox mailbox;
        std::thread([&mailbox, ran] { mailbox.Post([ran] { ++*ran; }); }).join();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(*ran, 0);
    EXPECT_EQ(ran.use_count(), 1) << "a dropped call kept what it carried";
}
