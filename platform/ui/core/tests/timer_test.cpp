// Window timers on the virtual clock: WM_TIMER comes only from the pump, in due order.
#include "platform/ui/core/tests/test_windows.h"

#include "platform/testing/ui_fixture.h"
#include "platform/time/clock.h"

#include <chrono>
#include <thread>

namespace pf {
namespace {

using test::TestWindow;

class WindowTimers : public UiFixture {};

TEST_F(WindowTimers, TenMillisecondTimerFiresThreeTimesIn35)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.setTimer(5, 10);
    sim().advance(35);
    EXPECT_EQ(w.count(WM_TIMER), 3u);
}

TEST_F(WindowTimers, PeriodsBelowTheMinimumBecomeTen)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.setTimer(1, 1);
    sim().advance(35);
    EXPECT_EQ(w.count(WM_TIMER), 3u);
}

TEST_F(WindowTimers, TiesComeInCreationOrderAndTheSameIdRestarts)
{
    TestWindow a, b;
    a.create(test::topLevel({0, 0, 100, 100}));
    b.create(test::topLevel({0, 0, 100, 100}));
    std::vector<std::pair<Hwnd, WParam>> fired;
    const auto note = [&fired](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_TIMER)
            fired.emplace_back(m.hwnd, m.wParam);
        return std::nullopt;
    };
    a.hook = note;
    b.hook = note;
    b.setTimer(2, 20);
    a.setTimer(1, 20);
    sim().advance(5);
    b.setTimer(2, 20); // restarted: now due 5 ms after a's
    sim().advance(20);
    EXPECT_EQ(fired, (std::vector<std::pair<Hwnd, WParam>>{{a.hwnd(), 1}, {b.hwnd(), 2}}));
    fired.clear();
    TestWindow c;
    c.create(test::topLevel({0, 0, 10, 10}));
    c.hook = note;
    c.setTimer(7, 30);
    a.setTimer(8, 30); // same due time, made later
    sim().advance(30);
    std::vector<std::pair<Hwnd, WParam>> ties;
    for (const auto& f : fired)
        if (f.second == 7 || f.second == 8)
            ties.push_back(f);
    EXPECT_EQ(ties, (std::vector<std::pair<Hwnd, WParam>>{{c.hwnd(), 7}, {a.hwnd(), 8}}));
}

TEST_F(WindowTimers, KillTimerInTheHandlerStopsIt)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_TIMER)
            w.killTimer(static_cast<uint32_t>(m.wParam));
        return std::nullopt;
    };
    w.setTimer(3, 10);
    sim().advance(100);
    EXPECT_EQ(w.count(WM_TIMER), 1u);
    EXPECT_EQ(virtualClock().pendingDueCount(), 0u);
}

TEST_F(WindowTimers, NoTimerMessageInsideASleepingHandler)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    bool sleeping = false;
    bool timerWhileSleeping = false;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_TIMER && sleeping)
            timerWhileSleeping = true;
        if (m.message == WM_USER) {
            sleeping = true;
            clock().sleepMs(50);
            sleeping = false;
        }
        return std::nullopt;
    };
    w.setTimer(1, 10);
    w.send(WM_USER);
    EXPECT_FALSE(timerWhileSleeping);
    EXPECT_EQ(w.count(WM_TIMER), 0u);
    sim().pump();
    EXPECT_EQ(w.count(WM_TIMER), 1u) << "a timer missed while sleeping arrives once";
}

TEST_F(WindowTimers, TimersComeOnlyFromThePump)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.setTimer(1, 10);
    virtualClock().advance(30);
    EXPECT_EQ(w.count(WM_TIMER), 0u);
    sim().pump();
    EXPECT_EQ(w.count(WM_TIMER), 1u);
}

// Under the real clock a pump that comes late delivers one WM_TIMER, not one per period missed.
TEST_F(WindowTimers, LatePumpCoalescesUnderTheRealClock)
{
    setClock(nullptr);
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.setTimer(1, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    sim().pump();
    EXPECT_EQ(w.count(WM_TIMER), 1u) << "six periods missed, one message";
    w.destroy();
    setClock(&virtualClock());
}

TEST_F(WindowTimers, DestroyedWindowsTimersAreGone)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.setTimer(1, 10);
    w.setTimer(2, 15);
    EXPECT_EQ(virtualClock().pendingDueCount(), 2u);
    w.destroy();
    EXPECT_EQ(virtualClock().pendingDueCount(), 0u);
    EXPECT_EQ(ui().timerCount(), 0u);
    sim().advance(100); // nothing fires at a dead handle
}

} // namespace
} // namespace pf
