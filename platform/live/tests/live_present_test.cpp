// What the X server shows is what the layer drew: the live client area equals the headless composition pixel for
// pixel, also when the pixels come from another thread while the loop runs.
#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/display/compositor.h"
#include "platform/display/screen.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/frame/frame_window.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace pf {
namespace {

constexpr Rect kTopRect{50, 60, 450, 360};

int64_t differingPixels(const Surface32& a, const Surface32& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return -1;
    int64_t differ = 0;
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x)
            differ += (a.pixel(x, y) & 0xFFFFFFu) != (b.pixel(x, y) & 0xFFFFFFu) ? 1 : 0;
    return differ;
}

class LivePresent : public LiveFixture {};

TEST_F(LivePresent, ClientAreaOnTheServerEqualsTheHeadlessComposition)
{
    Window* top = createTopLevel(kTopRect, WS_POPUP);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(ui().createWindow({"button", "OK", WS_CHILD | WS_VISIBLE, 0, {10, 10, 110, 40}, top->hwnd(), 1}),
              nullptr);
    ASSERT_NE(
        ui().createWindow({"edit", "text", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, {10, 60, 210, 84}, top->hwnd(), 2}),
        nullptr);
    ASSERT_NE(
        ui().createWindow({"listbox", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, {220, 10, 380, 200}, top->hwnd(), 3}),
        nullptr);
    ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
    settle(300);
    const Rect client = top->clientRect().offsetBy(kTopRect.l, kTopRect.t);
    Surface32 headless(static_cast<int32_t>(client.width()), static_cast<int32_t>(client.height()));
    Compositor(screen()).composeRect(client, headless);
    const std::unique_ptr<Surface32> live = liveServer().grab(client);
    EXPECT_EQ(differingPixels(headless, *live), 0);
}

// The window manager draws a frame's caption and border, but its menu bar is ours: without it a live frame has no
// menus to click.
TEST_F(LivePresent, AFramesMenuBarIsShownAboveItsClientArea)
{
    constexpr uint32_t kMenuId = 128;
    resources().addMenu(kMenuId, {{0, "File", 0, {{100, "Save", 0, {}}}}, {0, "Edit", 0, {{101, "Delete", 0, {}}}}});
    FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Menus", kTopRect, kMenuId, WS_VISIBLE));
    ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
    settle(300);
    const Rect client = frame.clientRect().offsetBy(frame.clientToScreen({0, 0}).x, frame.clientToScreen({0, 0}).y);
    const Rect bar{client.l, client.t - fixedSystemMetric(SM_CYMENU), client.r, client.t};
    Surface32 headless(static_cast<int32_t>(bar.width()), static_cast<int32_t>(bar.height()));
    Compositor(screen()).composeRect(bar, headless);
    const std::unique_ptr<Surface32> live = liveServer().grab(bar);
    EXPECT_EQ(differingPixels(headless, *live), 0);
    frame.destroy();
}

// A window reaching past the screen's corner, as a maximised frame's border does: a grab over it reads what lies on
// the screen and leaves the rest black; the server refused the whole area, and its error ended the test process.
TEST_F(LivePresent, AGrabReachingPastTheScreenReadsWhatLiesOnIt)
{
    Window* top = createTopLevel({-40, -30, 200, 150}, WS_POPUP);
    ASSERT_NE(top, nullptr);
    ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
    settle(300);
    const Rect area{-20, -10, 100, 90};
    const Rect onScreen{0, 0, 100, 90};
    Surface32 headless(static_cast<int32_t>(onScreen.width()), static_cast<int32_t>(onScreen.height()));
    Compositor(screen()).composeRect(onScreen, headless);
    const std::unique_ptr<Surface32> live = liveServer().grab(area);
    ASSERT_EQ(live->width(), 120);
    ASSERT_EQ(live->height(), 100);
    Surface32 shownPart(static_cast<int32_t>(onScreen.width()), static_cast<int32_t>(onScreen.height()));
    int64_t litOffScreen = 0;
    for (int32_t y = 0; y < live->height(); ++y)
        for (int32_t x = 0; x < live->width(); ++x) {
            if (x >= 20 && y >= 10)
                shownPart.setPixel(x - 20, y - 10, live->pixel(x, y));
            else
                litOffScreen += live->pixel(x, y) != 0 ? 1 : 0;
        }
    EXPECT_EQ(differingPixels(headless, shownPart), 0);
    EXPECT_EQ(litOffScreen, 0);
}

TEST_F(LivePresent, FramesFromAnotherThreadReachTheServer)
{
    Window* top = createTopLevel(kTopRect, WS_POPUP);
    ASSERT_NE(top, nullptr);
    ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
    const Hwnd hwnd = top->hwnd();
    constexpr int kFrames = 30;
    std::atomic<int> drawn{0};
    std::thread render([&] {
        for (int i = 0; i < kFrames; ++i) {
            WindowDc dc(hwnd);
            dc.fillRect({0, 0, 400, 300}, createSolidBrush(rgb(static_cast<uint8_t>(i * 8), 40, 200)));
            drawn.store(i + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    });
    // The user-interface thread keeps pumping, and opens and closes a window meanwhile.
    Hwnd other = kNoWindow;
    const bool done = runUntil([&] {
        if (drawn.load() >= kFrames / 2 && other == kNoWindow)
            other = createTopLevel({600, 100, 700, 200}, WS_POPUP)->hwnd();
        if (drawn.load() > kFrames * 3 / 4 && ui().window(other) != nullptr)
            ui().window(other)->destroy();
        return drawn.load() == kFrames;
    });
    render.join();
    EXPECT_TRUE(done);
    settle(200);
    const std::unique_ptr<Surface32> live =
        liveServer().grab({kTopRect.l + 5, kTopRect.t + 5, kTopRect.l + 6, kTopRect.t + 6});
    ASSERT_FALSE(live->isEmpty());
    EXPECT_EQ(live->pixel(0, 0), (uint32_t{(kFrames - 1) * 8} << 16) | (40u << 8) | 200u);
}

} // namespace
} // namespace pf
