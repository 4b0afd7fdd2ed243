#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "platform/time/clock.h"
#include "platform/time/mm_timer.h"
#include "platform/time/timer_caps.h"
#include "platform/time/virtual_clock.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

// Waits for a condition on a live timer; quick when all is well, and patient with a machine busy with other tests.
template <class Condition> bool WaitFor(Condition condition)
{
    const auto limit = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class InstalledVirtualClock : public ::testing::Test {
protected:
    InstalledVirtualClock() { setClock(&m_clock); }
    ~InstalledVirtualClock() override { setClock(nullptr); }
    VirtualClock m_clock;
};

TEST_F(InstalledVirtualClock, MmTimerTicksInsideAdvanceOnTheAdvancingThread)
{
    int ticks = 0;
    std::thread::id where;
    MmTimer timer(17, [&] {
        ++ticks;
        where = std::this_thread::get_id();
    });
    EXPECT_TRUE(timer.isVirtual());
    m_clock.advance(16);
    EXPECT_EQ(ticks, 0);
    m_clock.advance(35); // 17 and 34 and 51
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(where, std::this_thread::get_id());
    timer.kill();
    m_clock.advance(100);
    EXPECT_EQ(ticks, 3);
}

TEST_F(InstalledVirtualClock, DestroyedMmTimerNoLongerTicks)
{
    int ticks = 0;
    {
        MmTimer timer(10, [&] { ++ticks; });
    }
    m_clock.advance(100);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(m_clock.pendingDueCount(), 0u);
}

TEST(MmTimerLive, TicksUntilKilledAndNeverAfter)
{
    std::atomic<int> ticks{0};
    MmTimer timer(2, [&] { ++ticks; });
    EXPECT_FALSE(timer.isVirtual());
    ASSERT_TRUE(WaitFor([&] { return ticks >= 3; }));
    timer.kill();
    const int atKill = ticks;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks, atKill);
}

TEST(MmTimerLive, KillWaitsForTheRunningCallback)
{
    std::atomic<bool> inside{false};
    std::atomic<bool> done{false};
    MmTimer timer(1, [&] {
        if (done)
            return;
        inside = true;
        std::this_thread::sleep_for(30ms);
        inside = false;
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return inside.load() || done.load(); }));
    timer.kill();
    EXPECT_FALSE(inside);
}

TEST(MmTimerLive, KillFromItsOwnCallbackEndsTheTicks)
{
    std::atomic<int> ticks{0};
    std::atomic<MmTimer*> self{nullptr};
    auto timer = std::make_unique<MmTimer>(1, [&] {
        if (MmTimer* const me = self.load()) {
            ++ticks;
            me->kill();
        }
    });
    self = timer.get();
    ASSERT_TRUE(WaitFor([&] { return ticks >= 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks, 1);
    timer.reset();
}

TEST(TimerCaps, ReportsTheRangeAndRecordsPeriodRequests)
{
    TimeCaps caps;
    ASSERT_EQ(timeGetDevCaps(&caps), TIMERR_NOERROR);
    EXPECT_EQ(caps.periodMin, 1u);
    EXPECT_EQ(caps.periodMax, 1000000u);
    EXPECT_EQ(timeGetDevCaps(nullptr), TIMERR_NOCANDO);

    const auto before = activeTimerPeriods();
    EXPECT_EQ(timeBeginPeriod(17), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(17), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeEndPeriod(5), TIMERR_NOCANDO); // never begun
    EXPECT_EQ(activeTimerPeriods().size(), before.size() + 2);
    EXPECT_EQ(timeEndPeriod(17), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(17), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(17), TIMERR_NOCANDO);
    EXPECT_EQ(activeTimerPeriods(), before);
}

// exit() runs the static destructors while other threads go on: an X error that Xlib answers with exit, or a
// thread left behind as stuck. One still asking the time must find the process's clock there, not a destroyed one.
TEST(ProcessClock, AThreadAskingTheTimeWhileTheProcessExitsFindsTheClock)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<bool> asking{false};
        std::thread([&asking] {
            for (;;) {
                (void)timeGetTime();
                asking.store(true);
            }
        }).detach();
        while (!asking.load())
            std::this_thread::yield();
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

} // namespace
} // namespace pf
