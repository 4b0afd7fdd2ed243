// A docking bar dragged by its caption on a real X server under a window manager: the outline the server shows while
// the button is down, Escape taking it away, the bar floating where it was let go, and docked again on the frame's
// left edge.
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/startup.h"
#include "designer/workspace/sizing_bar.h"
#include "platform/display/screen.h"
#include "platform/gfx/png_file.h"
#include "platform/live/tests/live_environment.h"
#include "platform/live/x_window.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/testing/image_check.h"
#include "platform/ui/frame/frame_window.h"
#include "testsupport/designer/sample_designer.h"

namespace pf {
namespace {

class DockLive : public designertest::SampleDesignerLive {
protected:
    DockLive() { withWindowManager = true; }
    void SetUpLive() override { StartInFolder("vortan-dock-live"); }
    unsigned long xOf(Hwnd hwnd) { return designertest::XWindowOf(backend(), hwnd); }
    FrameWindow& Frame() { return *dynamic_cast<FrameWindow*>(designer.GetApp()->GetMainFrame()); }
    CVTND_SizingBar& Bar(PanelRole role)
    {
        return *dynamic_cast<CVTND_SizingBar*>(designer.GetApp()->GetPanel(role)->parent());
    }
    static Point OnCaption(const CVTND_SizingBar& bar)
    {
        return bar.clientToScreen({bar.CaptionRect().l + 30, bar.CaptionRect().t + 8});
    }
    // Pressed on `from` and moved to `to`: done once the loop has taken the press and the last move, however long a
    // loaded machine takes to hand them on.
    void PressAndMove(Point from, Point to)
    {
        pressAndMove(from, to);
        ASSERT_TRUE(runUntil([&] { return ui().getKeyState(VK_LBUTTON) < 0 && ui().cursorPos() == to; }))
            << ui().cursorPos().x << "," << ui().cursorPos().y;
    }
    // The button let go on the server: done once the loop has taken the release.
    void Release()
    {
        liveServer().button(1, false);
        ASSERT_TRUE(runUntil([&] { return ui().getKeyState(VK_LBUTTON) >= 0; }));
    }
    // What the server shows of area comes to equal what the layer composes there, the outline included.
    void ExpectServerShowsTheLayer(const Rect& area)
    {
        ImageDifference difference;
        EXPECT_TRUE(runUntil([&] {
            difference = compareSurfaces(*liveServer().grab(area), *captureScreen(area), 0);
            return difference.differing == 0;
        })) << difference.differing
            << " pixels differ, by up to " << difference.maxChannelDelta;
    }
    void Shoot(const std::string& name)
    {
        if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
            std::string error;
            const Rect frame = Frame().screenRect();
            EXPECT_TRUE(writePngFile(std::string(artifacts) + "/" + name, *liveServer().grab(frame), error)) << error;
        }
    }
};

TEST_F(DockLive, BarDraggedOffItsEdgeFloatsAndDraggedBackDocks)
{
    CVTND_SizingBar& actions = Bar(PanelRole::kActions);
    ASSERT_FALSE(actions.GetState().floating);
    const Rect docked = actions.screenRect();
    const Rect views = Frame().mdiClient()->screenRect();
    const Point middle{static_cast<int32_t>((views.l + views.r) / 2), static_cast<int32_t>((views.t + views.b) / 2)};

    // Escape on the server's keyboard: the outline goes, and the release leaves the bar where it was.
    PressAndMove(OnCaption(actions), middle);
    ASSERT_FALSE(screen().isOverlayClear()) << "an outline follows the pointer";
    liveServer().tap(XK_Escape);
    ASSERT_TRUE(runUntil([] { return screen().isOverlayClear(); }));
    Release();
    EXPECT_FALSE(actions.GetState().floating);
    EXPECT_EQ(actions.screenRect(), docked);
    ExpectServerShowsTheLayer({docked.l, views.t, views.l, views.b});

    PressAndMove(OnCaption(actions), middle);
    Shoot("dock-live-dragging-off.png");
    EXPECT_FALSE(screen().isOverlayClear());
    EXPECT_FALSE(actions.GetState().floating);
    Release();
    ASSERT_TRUE(runUntil([&] { return actions.GetState().floating && xOf(actions.hwnd()) != 0; }));
    EXPECT_TRUE(screen().isOverlayClear());
    // Placed by the window manager once it has framed the new window.
    EXPECT_TRUE(runUntil([&] { return liveServer().outerRect(xOf(actions.hwnd())).contains(middle); }));
    const Rect floating = liveServer().outerRect(xOf(actions.hwnd()));
    EXPECT_TRUE(floating.contains(middle)) << floating.l << "," << floating.t << " " << floating.r << "," << floating.b;
    EXPECT_TRUE(actions.CaptionRect().contains(actions.screenToClient(liveServer().pointer())));
    // Floating, it moves by its caption where the outline shows when let go.
    PressAndMove(OnCaption(actions), {middle.x + 90, middle.y - 40});
    Release();
    ASSERT_TRUE(runUntil([&] { return liveServer().outerRect(xOf(actions.hwnd())) == floating.offsetBy(90, -40); }))
        << liveServer().outerRect(xOf(actions.hwnd())).l;

    // Back onto the left edge: the docked outline, on the server as the layer draws it, then docked in its place.
    const Point leftEdge{views.l - 40, views.t + 60};
    PressAndMove(OnCaption(actions), leftEdge);
    Shoot("dock-live-dragging-back.png");
    EXPECT_FALSE(screen().isOverlayClear());
    ExpectServerShowsTheLayer({docked.l, views.t, views.l, views.b});
    Release();
    ASSERT_TRUE(runUntil([&] {
        return !actions.GetState().floating && actions.isVisible() && actions.screenRect() == docked &&
               screen().isOverlayClear();
    }));
    Shoot("dock-live-docked.png");
    EXPECT_EQ(actions.GetState().side, DockSide::kLeft);
    EXPECT_EQ(actions.parent(), &Frame());
    EXPECT_EQ(xOf(actions.hwnd()), 0u) << "no window of its own on the server";
    EXPECT_EQ(actions.screenRect(), docked);
    EXPECT_TRUE(screen().isOverlayClear());
    ExpectServerShowsTheLayer(docked);
}

} // namespace
} // namespace pf
