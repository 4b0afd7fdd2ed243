#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/time/clock.h"
#include "platform/time/real_clock.h"
#include "platform/time/virtual_clock.h"

namespace pf {
namespace {

struct Tick {
    std::string who;
    uint32_t atMs;
    bool operator==(const Tick&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Tick& t)
{
    return out << t.who << "@" << t.atMs;
}

TEST(VirtualClockAdvance, PeriodicCallbackFiresAtEveryDueTimeWithTheClockThere)
{
    VirtualClock clock;
    std::vector<Tick> ticks;
    clock.addDue(10, 10, [&] { ticks.push_back({"t", clock.nowMs()}); });
    clock.advance(35);
    EXPECT_EQ(ticks, (std::vector<Tick>{{"t", 10}, {"t", 20}, {"t", 30}}));
    EXPECT_EQ(clock.nowMs(), 35u);
    clock.advance(4);
    EXPECT_EQ(ticks.size(), 3u);
    clock.advance(1);
    EXPECT_EQ(ticks.back(), (Tick{"t", 40}));
}

// Window timers step the clock from one due time to the next, pumping between, so the next due time must be exact,
// past the 32-bit wrap of nowMs() too, and move on as entries fire or go.
TEST(VirtualClockNextDue, IsTheEarliestPendingTimeOnTheUnwrappedScale)
{
    VirtualClock clock(0xFFFFFFF0u);
    EXPECT_FALSE(clock.nextDueMs().has_value());
    const VirtualClock::DueId late = clock.addDue(40, 0, [] {});
    const VirtualClock::DueId periodic = clock.addDue(30, 30, [] {});
    EXPECT_EQ(clock.nextDueMs(), uint64_t{0xFFFFFFF0u} + 30);
    clock.advance(30);
    EXPECT_EQ(clock.nextDueMs(), uint64_t{0xFFFFFFF0u} + 40);
    clock.cancelDue(late);
    EXPECT_EQ(clock.nextDueMs(), uint64_t{0xFFFFFFF0u} + 60);
    clock.cancelDue(periodic);
    EXPECT_FALSE(clock.nextDueMs().has_value());
}

TEST(VirtualClockAdvance, EqualDueTimesRunInTheOrderAdded)
{
    VirtualClock clock;
    std::vector<Tick> ticks;
    clock.addDue(10, 10, [&] { ticks.push_back({"a", clock.nowMs()}); });
    clock.addDue(5, 5, [&] { ticks.push_back({"b", clock.nowMs()}); });
    clock.addDue(10, 0, [&] { ticks.push_back({"once", clock.nowMs()}); });
    clock.advance(20);
    EXPECT_EQ(ticks,
              (std::vector<Tick>{{"b", 5}, {"a", 10}, {"b", 10}, {"once", 10}, {"b", 15}, {"a", 20}, {"b", 20}}));
    EXPECT_EQ(clock.pendingDueCount(), 2u); // the one-shot is gone
}

TEST(VirtualClockAdvance, CancellingInsideTheCallbackStopsItAtOnce)
{
    VirtualClock clock;
    int calls = 0;
    VirtualClock::DueId id = 0;
    id = clock.addDue(10, 10, [&] {
        ++calls;
        EXPECT_TRUE(clock.cancelDue(id)); // must not wait for itself
    });
    clock.advance(100);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(clock.cancelDue(id));
}

TEST(VirtualClockAdvance, EntriesAddedByACallbackRunInTheSameAdvanceWhenDue)
{
    VirtualClock clock;
    std::vector<Tick> ticks;
    clock.addDue(10, 0, [&] {
        ticks.push_back({"first", clock.nowMs()});
        clock.addDue(5, 0, [&] { ticks.push_back({"second", clock.nowMs()}); });
        clock.addDue(50, 0, [&] { ticks.push_back({"late", clock.nowMs()}); });
    });
    clock.advance(30);
    EXPECT_EQ(ticks, (std::vector<Tick>{{"first", 10}, {"second", 15}}));
}

TEST(VirtualClockAdvance, SleepInsideACallbackMovesTimeOnWithoutLosingTicks)
{
    VirtualClock clock;
    std::vector<Tick> ticks;
    clock.addDue(10, 10, [&] { ticks.push_back({"t", clock.nowMs()}); });
    clock.addDue(5, 0, [&] { clock.sleepMs(20); }); // runs the ticks at 10 and 20 from inside
    clock.advance(30);
    EXPECT_EQ(ticks, (std::vector<Tick>{{"t", 10}, {"t", 20}, {"t", 30}}));
    EXPECT_EQ(clock.nowMs(), 30u);
}

TEST(VirtualClockWrap, ReadingsWrapAt32BitsButOrderHolds)
{
    VirtualClock clock(0xFFFFFFF0u);
    std::vector<Tick> ticks;
    clock.addDue(10, 10, [&] { ticks.push_back({"t", clock.nowMs()}); });
    clock.advance(40);
    EXPECT_EQ(ticks, (std::vector<Tick>{{"t", 0xFFFFFFFAu}, {"t", 0x4}, {"t", 0xE}, {"t", 0x18}}));
    EXPECT_EQ(clock.nowMs(), 0x18u);
    EXPECT_EQ(clock.nowMsExact(), 4294967296.0 + 0x18);
    EXPECT_EQ(static_cast<uint32_t>(clock.nowMs() - 0xFFFFFFF0u), 40u); // differences survive the wrap
}

TEST(VirtualClockSet, MovesTheReadingAndKeepsPendingDistances)
{
    VirtualClock clock(100);
    std::vector<Tick> ticks;
    clock.addDue(30, 0, [&] { ticks.push_back({"t", clock.nowMs()}); });
    clock.set(0xFFFFFFFFu - 9);
    EXPECT_TRUE(ticks.empty());
    clock.advance(29);
    EXPECT_TRUE(ticks.empty());
    clock.advance(1);
    EXPECT_EQ(ticks, (std::vector<Tick>{{"t", 20}}));
}

TEST(VirtualClockThreads, CancelWaitsForACallbackRunningOnAnotherThread)
{
    VirtualClock clock;
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
    const auto id = clock.addDue(1, 0, [&] {
        entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        left = true;
    });
    std::thread advancer([&] { clock.advance(5); });
    while (!entered)
        std::this_thread::yield();
    clock.cancelDue(id);
    EXPECT_TRUE(left);
    advancer.join();
}

TEST(ProcessClock, InstalledClockIsUsedUntilRemovedOrDestroyed)
{
    Clock* const real = &clock();
    EXPECT_NE(dynamic_cast<RealClock*>(real), nullptr);
    {
        VirtualClock test(1234);
        setClock(&test);
        EXPECT_EQ(clock().nowMs(), 1234u);
        clock().sleepMs(1000); // free under the virtual clock
        EXPECT_EQ(test.nowMs(), 2234u);
    }
    EXPECT_EQ(&clock(), real); // the destroyed clock took itself out
    VirtualClock other;
    setClock(&other);
    setClock(nullptr);
    EXPECT_EQ(&clock(), real);
}

TEST(RealClock, StartNearTheWrapWrapsTheReadingOnly)
{
    RealClock real(0xFFFFFFFFull - 2);
    real.sleepMs(10);
    EXPECT_LT(real.nowMs(), 1000u);
    EXPECT_GT(real.nowMsExact(), 4294967296.0);
}

} // namespace
} // namespace pf
