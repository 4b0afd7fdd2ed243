// Real input through a private X server: XTest presses reach the tree's routing as a person's would.
#include "platform/live/tests/live_environment.h"

#include "platform/base/user_constants.h"
#include "platform/testing/message_spy.h"
#include "platform/ui/providers/live_providers.h"

#include <X11/keysym.h>

namespace pf {
namespace {

constexpr Rect kTopRect{100, 100, 420, 300};
constexpr Rect kButtonRect{20, 20, 120, 50};

class LiveInput : public LiveFixture {
protected:
    void SetUpLive() override
    {
        top = createTopLevel(kTopRect, WS_POPUP);
        ASSERT_NE(top, nullptr);
        button = ui().createWindow({"button", "Press", WS_CHILD | WS_VISIBLE, 0, kButtonRect, top->hwnd(), 11});
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(runUntil([&] { return backend().presentedFrameCount() > 0; }));
        settle();
    }
    Point buttonCentre() const { return {kTopRect.l + 70, kTopRect.t + 35}; }

    Window* top = nullptr;
    Window* button = nullptr;
};

TEST_F(LiveInput, ClickOnButtonGivesOneClickedNotification)
{
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_COMMAND});
    liveServer().click(buttonCentre());
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_COMMAND) > 0; }));
    settle();
    EXPECT_EQ(spy.codes(WM_COMMAND), std::vector<int32_t>{BN_CLICKED});
}

TEST_F(LiveInput, TypedKeyGivesDownCharUpWithCodes)
{
    ui().setFocus(top->hwnd());
    liveServer().moveTo({kTopRect.l + 200, kTopRect.t + 150});
    settle();
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_KEYDOWN, WM_CHAR, WM_KEYUP});
    liveServer().tap(XK_a);
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_KEYUP) > 0 && spy.count(WM_CHAR) > 0; }));
    ASSERT_EQ(spy.messages(), (std::vector<uint32_t>{WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
    EXPECT_EQ(spy.log()[0].wParam, WParam{'A'});
    EXPECT_EQ((spy.log()[0].lParam >> 16) & 0xFF, 0x1E); // set-1 scan code of A
    EXPECT_EQ(spy.log()[1].wParam, WParam{'a'});
    EXPECT_EQ(spy.log()[2].wParam, WParam{'A'});
}

TEST_F(LiveInput, DragCapturesAndMovesInClientCoordinates)
{
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP});
    const Point from{kTopRect.l + 200, kTopRect.t + 100};
    liveServer().moveTo(from);
    liveServer().button(1, true);
    ASSERT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONDOWN) > 0; }));
    ui().setCapture(top->hwnd());
    liveServer().moveTo({kTopRect.l + 500, kTopRect.t + 120}); // outside the window: capture keeps it ours
    ASSERT_TRUE(runUntil([&] {
        return !spy.log().empty() && spy.log().back().message == WM_MOUSEMOVE &&
               static_cast<int16_t>(spy.log().back().lParam & 0xFFFF) == 500;
    }));
    EXPECT_EQ(static_cast<int16_t>((spy.log().back().lParam >> 16) & 0xFFFF), 120);
    liveServer().button(1, false);
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_LBUTTONUP) > 0; }));
    ui().releaseCapture();
}

TEST_F(LiveInput, MessageBoxAnsweredByClickOnYes)
{
    LiveProviders providers;
    providers.install();
    bool clicked = false;
    ui().addObserver(this, [&](const Msg& msg) {
        if (msg.message != WM_TIMER || clicked)
            return;
        Window* box = ui().window(ui().activeWindow());
        Window* yes = box != nullptr ? box->child(IDYES) : nullptr;
        if (yes == nullptr)
            return;
        clicked = true;
        const Rect r = yes->screenRect();
        liveServer().click({(r.l + r.r) / 2, (r.t + r.b) / 2});
    });
    ui().setTimer(top->hwnd(), 1, 300);
    const int32_t answer = messageBox(top->hwnd(), "Save the changes?", "Live", MB_YESNOCANCEL | MB_ICONQUESTION);
    ui().removeObserver(this);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(answer, IDYES);

    // The keyboard comes back to the window left in front: without a window manager, no one else gives it back.
    ui().setFocus(top->hwnd());
    settle();
    MessageSpy spy;
    spy.onlyWindows({top->hwnd()}).onlyMessages({WM_KEYDOWN});
    liveServer().tap(XK_a);
    EXPECT_TRUE(runUntil([&] { return spy.count(WM_KEYDOWN) > 0; }));
}

} // namespace
} // namespace pf
