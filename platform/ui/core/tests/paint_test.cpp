// Painting: WM_PAINT only from the pump or update(), clipped to what was invalidated; window DCs from other threads.
#include "platform/ui/core/tests/test_windows.h"

#include "platform/gfx/gdi_objects.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/paint_dc.h"

#include <atomic>
#include <thread>

namespace pf {
namespace {

using test::TestWindow;

class Painting : public UiFixture {};

// A window that paints its whole client in one colour, whatever its update region.
class SolidWindow : public TestWindow {
public:
    ColorRef color = rgb(255, 0, 0);
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_PAINT) {
            seen.push_back(WM_PAINT);
            PaintDc dc(*this);
            dc.fillRect(clientRect(), createSolidBrush(color));
            return 0;
        }
        return TestWindow::handle(msg);
    }
};

TEST_F(Painting, NoPaintInsideAHandlerOnlyInThePump)
{
    SolidWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    sim().pump();
    w.seen.clear();
    bool paintedInside = false;
    w.hook = [&](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_USER) {
            w.invalidate();
            paintedInside = w.count(WM_PAINT) != 0;
        }
        return std::nullopt;
    };
    w.send(WM_USER);
    EXPECT_FALSE(paintedInside);
    EXPECT_EQ(w.count(WM_PAINT), 0u);
    sim().pump();
    EXPECT_EQ(w.count(WM_PAINT), 1u);
    sim().pump();
    EXPECT_EQ(w.count(WM_PAINT), 1u) << "a painted window is valid";
}

TEST_F(Painting, UpdatePaintsSynchronouslyOnlyWhenInvalid)
{
    SolidWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    w.update();
    EXPECT_EQ(w.count(WM_PAINT), 1u);
    w.update();
    EXPECT_EQ(w.count(WM_PAINT), 1u);
    EXPECT_EQ(screenPixel({50, 50}), pixelFromColorRef(rgb(255, 0, 0)));
}

TEST_F(Painting, PaintIsClippedToTheUpdateRegion)
{
    SolidWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    sim().pump();
    w.color = rgb(0, 0, 255);
    w.invalidate({10, 10, 20, 20}, false);
    sim().pump();
    EXPECT_EQ(screenPixel({15, 15}), pixelFromColorRef(rgb(0, 0, 255)));
    EXPECT_EQ(screenPixel({25, 15}), pixelFromColorRef(rgb(255, 0, 0)));
}

TEST_F(Painting, ParentPaintsBeforeChildrenBottomToTop)
{
    test::EventLog log;
    TestWindow top(&log), a(&log), b(&log);
    top.create(test::topLevel({0, 0, 200, 200}));
    a.create(test::childOf(top, {0, 0, 100, 100}, 1));
    b.create(test::childOf(top, {50, 50, 150, 150}, 2));
    log.clear();
    top.invalidate();
    sim().pump();
    std::vector<Hwnd> painted;
    for (const test::Event& e : log)
        if (e.message == WM_PAINT)
            painted.push_back(e.hwnd);
    EXPECT_EQ(painted, (std::vector<Hwnd>{top.hwnd(), a.hwnd(), b.hwnd()}));
}

TEST_F(Painting, ClipSiblingsKeepsAWindowOffItsHigherSibling)
{
    SolidWindow top, lower, upper;
    top.color = rgb(0, 0, 0);
    lower.color = rgb(0, 255, 0);
    upper.color = rgb(0, 0, 255);
    top.create(test::topLevel({0, 0, 200, 200}));
    lower.create(test::childOf(top, {0, 0, 100, 100}, 1, WS_VISIBLE | WS_CLIPSIBLINGS));
    upper.create(test::childOf(top, {50, 50, 150, 150}, 2));
    sim().pump();
    lower.invalidate();
    lower.update(); // alone: without clipping it would paint over the upper one
    EXPECT_EQ(screenPixel({75, 75}), pixelFromColorRef(rgb(0, 0, 255)));
    EXPECT_EQ(screenPixel({25, 25}), pixelFromColorRef(rgb(0, 255, 0)));
}

TEST_F(Painting, ScrollWindowMovesChildrenAndExposesAStrip)
{
    TestWindow top, child;
    top.create(test::topLevel({0, 0, 200, 200}));
    child.create(test::childOf(top, {10, 10, 30, 30}, 1));
    sim().pump();
    child.seen.clear();
    top.scrollWindow(0, -10);
    EXPECT_EQ(child.windowRect(), (Rect{10, 0, 30, 20}));
    EXPECT_EQ(child.count(WM_MOVE), 1u);
    EXPECT_TRUE(top.updateRegion().contains({5, 195}));
    EXPECT_FALSE(top.updateRegion().contains({5, 5}));
}

TEST_F(Painting, ScrollWindowMovesThePixels)
{
    SolidWindow top;
    top.color = rgb(255, 255, 255);
    top.create(test::topLevel({0, 0, 100, 100}));
    sim().pump();
    {
        WindowDc dc(top);
        dc.fillRect({10, 50, 20, 60}, createSolidBrush(rgb(0, 0, 0)));
    }
    top.scrollWindow(0, -20);
    EXPECT_EQ(screenPixel({15, 35}), 0u);
    EXPECT_EQ(screenPixel({15, 55}), pixelFromColorRef(rgb(255, 255, 255)));
}

// Activating another window repaints this one's frame only: a child that is not asked to paint keeps its pixels.
TEST_F(Painting, AFrameRepaintedOnDeactivationLeavesTheClientAlone)
{
    SolidWindow top;
    top.color = rgb(255, 255, 255);
    top.create(test::topLevel({0, 0, 200, 150}, WS_VISIBLE | WS_CAPTION | WS_THICKFRAME));
    SolidWindow child;
    child.color = rgb(0, 0, 255);
    child.create(test::childOf(top, {10, 10, 60, 60}));
    sim().pump();
    const Point inChild = child.clientToScreen({20, 20});
    const Point inClient = top.clientToScreen({120, 100});
    ASSERT_EQ(screenPixel(inChild), pixelFromColorRef(rgb(0, 0, 255)));
    SolidWindow other;
    other.create(test::topLevel({300, 0, 400, 100}, WS_VISIBLE | WS_CAPTION));
    ui().activate(other.hwnd());
    sim().pump();
    ASSERT_NE(ui().activeWindow(), top.hwnd());
    EXPECT_EQ(screenPixel(inChild), pixelFromColorRef(rgb(0, 0, 255)));
    EXPECT_EQ(screenPixel(inClient), pixelFromColorRef(rgb(255, 255, 255)));
}

TEST_F(Painting, EraseAsksForTheBackgroundFirst)
{
    TestWindow w;
    w.create(test::topLevel({0, 0, 100, 100}));
    sim().pump();
    w.seen.clear();
    w.invalidate(true);
    sim().pump();
    const auto paint = std::find(w.seen.begin(), w.seen.end(), WM_PAINT);
    const auto erase = std::find(w.seen.begin(), w.seen.end(), WM_ERASEBKGND);
    ASSERT_NE(erase, w.seen.end());
    EXPECT_GT(erase, paint) << "WM_ERASEBKGND comes from inside the paint";
    EXPECT_EQ(screenPixel({50, 50}), pixelFromColorRef(getSysColor(COLOR_WINDOW)));

    // Asked for again over a client already waiting for paint without it, the background is still erased.
    w.seen.clear();
    w.invalidate(false);
    w.invalidate(true);
    w.invalidate(false);
    sim().pump();
    EXPECT_EQ(w.count(WM_PAINT), 1u);
    EXPECT_EQ(w.count(WM_ERASEBKGND), 1u);
}

// The render thread draws through a window DC while the user-interface thread paints and moves windows.
TEST_F(Painting, RenderThreadDrawsThroughAWindowDcWhileTheUiPaints)
{
    SolidWindow top, view;
    top.create(test::topLevel({0, 0, 300, 300}));
    view.create(test::childOf(top, {10, 10, 110, 110}, 1));
    sim().pump();
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    const Hwnd viewHwnd = view.hwnd();
    std::thread render([&] {
        while (!stop.load()) {
            WindowDc dc(viewHwnd);
            dc.fillRect({0, 0, 100, 100}, createSolidBrush(rgb(static_cast<uint8_t>(frames.load()), 0, 0)));
            frames.fetch_add(1);
        }
    });
    for (int i = 0; i < 50; ++i) {
        top.invalidate();
        sim().pump();
        view.move(Rect::fromXywh(10 + i % 5, 10, 100, 100));
    }
    while (frames.load() < 10)
        std::this_thread::yield();
    stop = true;
    render.join();
    EXPECT_GE(frames.load(), 10);
}

// The render thread may hold a handle whose window the user-interface thread is destroying: the DC then draws
// nothing, and nothing races.
TEST_F(Painting, RenderThreadDrawsThroughAHandleWhoseWindowComesAndGoes)
{
    SolidWindow top;
    top.create(test::topLevel({0, 0, 300, 300}));
    std::atomic<Hwnd> target{kNoWindow};
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread render([&] {
        while (!stop.load()) {
            WindowDc dc(target.load());
            dc.fillRect({0, 0, 50, 50}, createSolidBrush(rgb(0, 0, 255)));
            frames.fetch_add(1);
        }
    });
    for (int i = 0; i < 40; ++i) {
        auto view = std::make_unique<SolidWindow>();
        view->create(test::childOf(top, Rect::fromXywh(10 + i, 10, 100, 100), 1));
        target = view->hwnd();
        sim().pump();
        view.reset();
    }
    while (frames.load() < 10)
        std::this_thread::yield();
    stop = true;
    render.join();
    sim().pump();
    WindowDc stale(target.load());
    stale.fillRect({0, 0, 100, 100}, createSolidBrush(0));
    EXPECT_EQ(screenPixel({60, 60}), pixelFromColorRef(rgb(255, 0, 0))) << "a stale handle's DC draws nothing";
}

TEST_F(Painting, WritePngOfOneWindow)
{
    SolidWindow w;
    w.create(test::topLevel({0, 0, 40, 30}));
    sim().pump();
    EXPECT_TRUE(w.writePng(artifactPath("one-window.png")));
}

} // namespace
} // namespace pf
