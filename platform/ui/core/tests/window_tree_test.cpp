// The window tree: creation, destruction order, stale handles, sends and posts, geometry and z-order.
#include "platform/ui/core/tests/test_windows.h"

#include "platform/base/assertion.h"

#include "platform/testing/message_spy.h"
#include "platform/testing/ui_fixture.h"

#include <thread>

namespace pf {
namespace {

using test::EventLog;
using test::TestWindow;

class WindowTree : public UiFixture {};

TEST_F(WindowTree, CreationSendsCreateSizeMoveThenShows)
{
    TestWindow w;
    ASSERT_TRUE(w.create(test::topLevel(Rect::fromXywh(10, 20, 200, 100), WS_VISIBLE | WS_CAPTION)));
    const std::vector<uint32_t> first(w.seen.begin(), w.seen.begin() + 4);
    EXPECT_EQ(first, (std::vector<uint32_t>{WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ui().topLevels().front(), w.hwnd());
    // The client area is the window less the frame: a 4-pixel edge and the caption.
    EXPECT_EQ(w.clientRect(), (Rect{0, 0, 192, 100 - 8 - 19}));
    EXPECT_EQ(w.clientToScreen({0, 0}), (Point{14, 20 + 4 + 19}));
}

TEST_F(WindowTree, CreateAnsweringMinusOneDestroysAndFails)
{
    TestWindow w;
    w.hook = [](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_CREATE)
            return -1;
        return std::nullopt;
    };
    EXPECT_FALSE(w.create(test::topLevel({0, 0, 50, 50})));
    EXPECT_FALSE(w.isWindow());
    EXPECT_EQ(w.count(WM_NCDESTROY), 1u);
    EXPECT_EQ(w.count(WM_SIZE), 0u);
}

TEST_F(WindowTree, NewChildGoesOnTopOfItsSiblings)
{
    TestWindow parent, a, b;
    parent.create(test::topLevel({0, 0, 300, 300}));
    a.create(test::childOf(parent, {0, 0, 100, 100}, 1));
    b.create(test::childOf(parent, {50, 50, 150, 150}, 2));
    EXPECT_EQ(parent.children(), (std::vector<Hwnd>{a.hwnd(), b.hwnd()}));
    a.setPos(HWND_TOP, {}, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(parent.children(), (std::vector<Hwnd>{b.hwnd(), a.hwnd()}));
}

// Parent's WM_DESTROY before its children's, its WM_NCDESTROY after theirs; owned top-levels go first, completely.
TEST_F(WindowTree, DestructionOrderOfThreeLevelsWithAnOwnedPopup)
{
    EventLog log;
    TestWindow top(&log), mid(&log), leaf(&log), popup(&log);
    top.create(test::topLevel({0, 0, 300, 300}));
    mid.create(test::childOf(top, {0, 0, 200, 200}, 1));
    leaf.create(test::childOf(mid, {0, 0, 100, 100}, 2));
    popup.create(test::topLevel({400, 0, 500, 100}, WS_VISIBLE | WS_POPUP, top.hwnd()));
    const Hwnd t = top.hwnd(), m = mid.hwnd(), l = leaf.hwnd(), p = popup.hwnd();
    log.clear();
    EXPECT_TRUE(top.destroy());
    std::vector<std::pair<Hwnd, uint32_t>> order;
    for (const test::Event& e : log)
        if (e.message == WM_DESTROY || e.message == WM_NCDESTROY)
            order.emplace_back(e.hwnd, e.message);
    const std::vector<std::pair<Hwnd, uint32_t>> expected = {{p, WM_DESTROY},   {p, WM_NCDESTROY}, {t, WM_DESTROY},
                                                             {m, WM_DESTROY},   {l, WM_DESTROY},   {l, WM_NCDESTROY},
                                                             {m, WM_NCDESTROY}, {t, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(ui().isWindow(t));
    EXPECT_FALSE(ui().isWindow(l));
}

TEST_F(WindowTree, ChildrenStillExistDuringParentsDestroy)
{
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 100, 100}));
    child.create(test::childOf(top, {0, 0, 10, 10}, 7));
    bool childSeen = false;
    top.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_DESTROY)
            childSeen = top.child(7) == &child;
        return std::nullopt;
    };
    top.destroy();
    EXPECT_TRUE(childSeen);
}

TEST_F(WindowTree, SecondDestroyDuringDestructionIsRefused)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    bool second = true;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_DESTROY)
            second = w.destroy();
        return std::nullopt;
    };
    EXPECT_TRUE(w.destroy());
    EXPECT_FALSE(second);
    EXPECT_EQ(w.count(WM_NCDESTROY), 1u);
}

TEST_F(WindowTree, DeletingAWindowObjectDestroysItsWindowFirst)
{
    auto w = std::make_unique<TestWindow>();
    w->create(test::topLevel({0, 0, 100, 100}));
    const Hwnd h = w->hwnd();
    w.reset();
    EXPECT_FALSE(ui().isWindow(h));
    EXPECT_TRUE(ui().topLevels().empty());
}

TEST_F(WindowTree, StaleHandleAnswersZeroDropsPostsAndLosesTimers)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    const Hwnd h = w.hwnd();
    ui().setTimer(h, 1, 10);
    ui().post(h, WM_USER + 3);
    EXPECT_EQ(virtualClock().pendingDueCount(), 1u);
    w.destroy();
    EXPECT_EQ(virtualClock().pendingDueCount(), 0u);
    EXPECT_EQ(ui().pendingPostCount(), 0u);
    EXPECT_EQ(ui().send(h, WM_USER), 0);
    EXPECT_FALSE(ui().post(h, WM_USER));
    EXPECT_EQ(ui().window(h), nullptr);
    TestWindow next;
    next.create(test::topLevel({0, 0, 10, 10}));
    EXPECT_NE(next.hwnd(), h); // never reused
}

TEST_F(WindowTree, PostsArriveInOrderUnmergedAndOnlyInPump)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    std::vector<WParam> got;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_USER + 3)
            got.push_back(m.wParam);
        return std::nullopt;
    };
    for (WParam i = 0; i < 3; ++i)
        w.post(WM_USER + 3, i);
    w.post(WM_USER + 3, 0);
    EXPECT_TRUE(got.empty());
    sim().pump();
    EXPECT_EQ(got, (std::vector<WParam>{0, 1, 2, 0}));
}

TEST_F(WindowTree, PumpDeliversPostsThenTimersThenPaints)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    sim().pump();
    w.setTimer(5, 10);
    virtualClock().advance(10);
    w.invalidate();
    w.post(WM_USER + 1);
    w.seen.clear();
    sim().pump();
    std::vector<uint32_t> order;
    for (const uint32_t m : w.seen)
        if (m == WM_USER + 1 || m == WM_TIMER || m == WM_PAINT)
            order.push_back(m);
    EXPECT_EQ(order, (std::vector<uint32_t>{WM_USER + 1, WM_TIMER, WM_PAINT}));
}

TEST_F(WindowTree, PostsFromAnotherThreadArriveInOrder)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    std::vector<WParam> got;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_USER + 9)
            got.push_back(m.wParam);
        return std::nullopt;
    };
    const Hwnd h = w.hwnd();
    Ui* u = &ui();
    std::thread poster([u, h] {
        for (WParam i = 0; i < 200; ++i)
            u->post(h, WM_USER + 9, i);
    });
    poster.join();
    sim().pump();
    ASSERT_EQ(got.size(), 200u);
    for (WParam i = 0; i < 200; ++i)
        EXPECT_EQ(got[i], i);
}

TEST_F(WindowTree, SendIsSynchronousAndReentrant)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    int depth = 0;
    int deepest = 0;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message != WM_USER)
            return std::nullopt;
        ++depth;
        deepest = std::max(deepest, depth);
        if (m.wParam > 0)
            w.send(WM_USER, m.wParam - 1);
        --depth;
        return static_cast<LResult>(m.wParam + 100);
    };
    EXPECT_EQ(w.send(WM_USER, 5), 105);
    EXPECT_EQ(deepest, 6);
}

std::vector<std::string> g_asserts;
void recordAssert(const AssertionInfo& info)
{
    g_asserts.push_back(info.message);
}

TEST_F(WindowTree, NestingPast256SendsAsserts)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_USER)
            return w.send(WM_USER) + 1;
        return std::nullopt;
    };
    g_asserts.clear();
    const AssertHandler previous = setAssertHandler(&recordAssert);
    const LResult depth = w.send(WM_USER);
    setAssertHandler(previous);
    EXPECT_EQ(depth, Ui::kMaxSendDepth); // 256 nested sends ran, the 257th failed
    ASSERT_EQ(g_asserts.size(), 1u);
}

TEST_F(WindowTree, UiCallFromAnotherThreadAsserts)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    g_asserts.clear();
    const AssertHandler previous = setAssertHandler(&recordAssert);
    const Hwnd h = w.hwnd();
    Ui* u = &ui();
    std::thread other([u, h] { u->setTimer(h, 1, 100); });
    other.join();
    setAssertHandler(previous);
    EXPECT_FALSE(g_asserts.empty());
}

TEST_F(WindowTree, ClientToScreenThroughThreeLevelsAfterMoves)
{
    TestWindow top, mid, leaf;
    top.create(test::topLevel({100, 100, 500, 500}, WS_VISIBLE | WS_CAPTION));
    mid.create(test::childOf(top, {10, 10, 200, 200}, 1, WS_VISIBLE | WS_BORDER));
    leaf.create(test::childOf(mid, {5, 5, 50, 50}, 2));
    top.move(Rect::fromXywh(200, 150, 400, 400));
    mid.move(Rect::fromXywh(30, 40, 190, 190));
    // top: edge 4 + caption 19; mid: border 1.
    EXPECT_EQ(leaf.clientToScreen({1, 2}), (Point{200 + 4 + 30 + 1 + 5 + 1, 150 + 23 + 40 + 1 + 5 + 2}));
    EXPECT_EQ(leaf.screenToClient(leaf.clientToScreen({7, 9})), (Point{7, 9}));
}

TEST_F(WindowTree, MoveAndSizeOnlyWhenTheyChange)
{
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 300, 300}));
    child.create(test::childOf(top, {10, 10, 60, 60}));
    child.seen.clear();
    child.move({20, 10, 70, 60});
    EXPECT_EQ(child.count(WM_MOVE), 1u);
    EXPECT_EQ(child.count(WM_SIZE), 0u);
    child.seen.clear();
    child.move({20, 10, 90, 60});
    EXPECT_EQ(child.count(WM_MOVE), 0u);
    EXPECT_EQ(child.count(WM_SIZE), 1u);
    const Rect before = child.windowRect();
    top.move({0, 0, 200, 200});
    EXPECT_EQ(child.windowRect(), before); // a parent's resize never moves its children
}

TEST_F(WindowTree, VisibilityNeedsEveryAncestor)
{
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 100, 100}, 0));
    child.create(test::childOf(top, {0, 0, 10, 10}));
    EXPECT_FALSE(child.isVisible());
    top.show(SW_SHOW);
    EXPECT_TRUE(child.isVisible());
    child.show(SW_HIDE);
    EXPECT_FALSE(child.isVisible());
}

TEST_F(WindowTree, ActivationSendsNcActivateAndActivateToBoth)
{
    EventLog log;
    TestWindow a(&log), b(&log);
    a.create(test::topLevel({0, 0, 100, 100}));
    b.create(test::topLevel({200, 0, 300, 100}, 0));
    EXPECT_EQ(ui().activeWindow(), a.hwnd());
    log.clear();
    b.show(SW_SHOW);
    std::vector<std::pair<Hwnd, uint32_t>> order;
    for (const test::Event& e : log)
        if (e.message == WM_NCACTIVATE || e.message == WM_ACTIVATE)
            order.emplace_back(e.hwnd, e.message);
    EXPECT_EQ(
        order,
        (std::vector<std::pair<Hwnd, uint32_t>>{
            {a.hwnd(), WM_NCACTIVATE}, {a.hwnd(), WM_ACTIVATE}, {b.hwnd(), WM_NCACTIVATE}, {b.hwnd(), WM_ACTIVATE}}));
    EXPECT_EQ(ui().activeWindow(), b.hwnd());
    TestWindow c;
    c.create(test::topLevel({0, 200, 100, 300}, 0));
    c.show(SW_SHOWNOACTIVATE);
    EXPECT_EQ(ui().activeWindow(), b.hwnd());
}

TEST_F(WindowTree, EnableFalseSendsEnableZero)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.seen.clear();
    w.enable(false);
    EXPECT_EQ(w.count(WM_ENABLE), 1u);
    EXPECT_FALSE(w.isEnabled());
}

TEST_F(WindowTree, DestroyingTheUiDestroysOwnedBeforeOwners)
{
    EventLog log;
    auto owner = std::make_unique<TestWindow>(&log);
    auto owned = std::make_unique<TestWindow>(&log);
    owner->create(test::topLevel({0, 0, 100, 100}));
    owned->create(test::topLevel({0, 0, 50, 50}, WS_VISIBLE, owner->hwnd()));
    const Hwnd ownerHwnd = owner->hwnd();
    const Hwnd ownedHwnd = owned->hwnd();
    // Both objects are deleted by their postNcDestroy, as modeless windows are.
    owner->deleteInPostNcDestroy = true;
    owned->deleteInPostNcDestroy = true;
    owner.release();
    owned.release();
    log.clear();
    destroyUi();
    std::vector<Hwnd> destroyed;
    for (const test::Event& e : log)
        if (e.message == WM_NCDESTROY)
            destroyed.push_back(e.hwnd);
    EXPECT_EQ(destroyed, (std::vector<Hwnd>{ownedHwnd, ownerHwnd}));
}

} // namespace
} // namespace pf
