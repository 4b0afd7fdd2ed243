#include "engine/core/critical_section.h"
#include "engine/core/sync_event.h"
#include "engine/core/thread_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(CriticalSection, HoldingThreadMayEnterAgain)
{
    CVTN_CriticalSection lock;
    lock.Enter();
    lock.Enter(); // would deadlock on a plain mutex
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
    lock.Leave();

    bool otherGotIt = true;
    std::thread other([&] { otherGotIt = lock.TryEnter(); });
    other.join();
    EXPECT_FALSE(otherGotIt); // still held once
    lock.Leave();

    std::thread after([&] {
        otherGotIt = lock.TryEnter();
        if (otherGotIt)
            lock.Leave();
    });
    after.join();
    EXPECT_TRUE(otherGotIt);
}

TEST(CriticalSection, ExcludesOtherThreads)
{
    CVTN_CriticalSection lock;
    int counter = 0; // guarded by lock; a lost update shows as a wrong total (and to ThreadSanitizer)
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                const std::lock_guard<CVTN_CriticalSection> outer(lock);
                const std::lock_guard<CVTN_CriticalSection> inner(lock);
                counter = counter + 1;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 4000);
}

TEST(SyncEvent, WaitTimesOutWhenNotSet)
{
    CVTN_SyncEvent event;
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(10));
}

TEST(SyncEvent, AutoResetReleasesOneWaitAndClears)
{
    CVTN_SyncEvent event(false, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

TEST(SyncEvent, ManualResetStaysSetUntilReset)
{
    CVTN_SyncEvent event(true, false);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(SyncEvent, SetFromAnotherThreadWakesTheWaiter)
{
    CVTN_SyncEvent event;
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(CVTN_SyncEvent::kWaitForever));
    setter.join();
}

TEST(SyncEvent, WaiterMayDestroyTheEventAsSoonAsItReturns)
{
    // The waiter frees the event the moment Wait returns; a Set that still touched it afterwards would be caught
    // by the address and thread sanitizers.
    for (int round = 0; round < 200; ++round) {
        auto event = std::make_unique<CVTN_SyncEvent>(round % 2 == 0, false);
        CVTN_SyncEvent* const raw = event.get();
        std::thread setter([raw] { raw->Set(); });
        EXPECT_TRUE(event->Wait(CVTN_SyncEvent::kWaitForever));
        event.reset();
        setter.join();
    }
}

TEST(ThreadHandler, BodyRunsUntilAskedToStop)
{
    CVTN_ThreadHandler handler("worker");
    std::atomic<int> rounds{0};
    CVTN_SyncEvent started;
    ASSERT_TRUE(handler.Start([&](std::stop_token stop) {
        started.Set();
        while (!stop.stop_requested()) {
            rounds.fetch_add(1);
            std::this_thread::sleep_for(1ms);
        }
    }));
    EXPECT_FALSE(handler.Start([](std::stop_token) {})); // one thread at a time
    ASSERT_TRUE(started.Wait(20000));                    // a machine busy with other tests may start the thread late
    EXPECT_TRUE(handler.IsRunning());
    EXPECT_TRUE(handler.Stop());
    EXPECT_TRUE(handler.StopRequested());
    EXPECT_FALSE(handler.IsRunning());
    EXPECT_GE(rounds.load(), 0);

    EXPECT_TRUE(handler.Start([](std::stop_token) {})); // may run again once joined
    EXPECT_TRUE(handler.Join());
}

TEST(ThreadHandler, ThreadThatDoesNotEndInTimeIsDetachedAndReported)
{
    std::mutex reportedMutex;
    std::vector<std::string> reported;
    CVTN_ThreadHandler::SetStuckReporter([&](const std::string& name) {
        const std::lock_guard<std::mutex> lock(reportedMutex);
        reported.push_back(name);
    });
    const uint32_t detachedBefore = CVTN_ThreadHandler::DetachedCount();

    CVTN_SyncEvent release(true, false);
    CVTN_SyncEvent finished(true, false);
    {
        CVTN_ThreadHandler handler("stuck", 50ms);
        ASSERT_TRUE(handler.Start([&](std::stop_token) {
            release.Wait(CVTN_SyncEvent::kWaitForever); // ignores the stop request
            finished.Set();
        }));
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(handler.Stop());
        EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);
        EXPECT_FALSE(handler.IsRunning()); // detached: no longer ours
        EXPECT_TRUE(handler.Join());       // nothing left to wait for
    }                                      // the destructor does not wait either
    EXPECT_EQ(CVTN_ThreadHandler::DetachedCount(), detachedBefore + 1);
    {
        const std::lock_guard<std::mutex> lock(reportedMutex);
        EXPECT_EQ(reported, std::vector<std::string>{"stuck"});
    }
    CVTN_ThreadHandler::SetStuckReporter(nullptr);

    release.Set(); // the detached thread ends on its own
    EXPECT_TRUE(finished.Wait(20000));
}

TEST(ThreadHandler, BodyThatThrowsEndsTheThreadOnly)
{
    CVTN_ThreadHandler handler("thrower", 20s);
    ASSERT_TRUE(handler.Start([](std::stop_token) { throw std::runtime_error("lost"); }));
    EXPECT_TRUE(handler.Join());
}

TEST(ThreadHandler, PriorityRequestsBeforeAndWhileRunning)
{
    // Only lowering requests: an unprivileged process may always lower a thread, never raise it again.
    CVTN_ThreadHandler handler("background", 20s); // at idle priority a busy machine may run it seldom
    EXPECT_TRUE(handler.SetPriority(CVTN_ThreadHandler::Priority::kLow)); // remembered for Start
    std::atomic<int> nice{-100};
    std::atomic<int> policy{-1};
    ASSERT_TRUE(handler.Start([&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            sched_param param{};
            int current = -1;
            pthread_getschedparam(pthread_self(), &current, &param);
            policy = current;
            nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
            std::this_thread::sleep_for(1ms);
        }
    }));
    const auto waitFor = [](const std::function<bool()>& condition) {
        for (const auto end = std::chrono::steady_clock::now() + 20s;
             !condition() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(1ms);
        return condition();
    };
    // Behind the thread that started it by a few steps, however nice the test itself runs.
    const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    const int behind = std::min(own + CVTN_ThreadHandler::kLowNiceSteps, 19);
    EXPECT_TRUE(waitFor([&] { return nice.load() == behind && policy.load() == SCHED_OTHER; })) << nice.load();
    EXPECT_TRUE(handler.SetPriority(CVTN_ThreadHandler::Priority::kIdle));
    EXPECT_TRUE(waitFor([&] { return policy.load() == SCHED_IDLE; }));
    EXPECT_EQ(handler.GetPriority(), CVTN_ThreadHandler::Priority::kIdle);
    EXPECT_TRUE(handler.Stop());
}

} // namespace
