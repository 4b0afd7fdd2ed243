// The designer's child windows and menus used through the X server: minimised children side by side and brought back
// by the mouse and the keys, without a window manager and with one; the Scene graph's menu chosen by a right-button
// drag; a generator chosen from its menu by the keys.
#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "designer/eventedit/event_map_frame.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/world.h"
#include "platform/base/color.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/live_providers.h"

namespace pf {
namespace {

Point OnScreen(const Window& w, Point windowPoint)
{
    const Rect r = w.screenRect();
    return {r.l + windowPoint.x, r.t + windowPoint.y};
}

Point ButtonCentre(const MdiChild& child, MdiChild::CaptionButton button)
{
    const Rect r = child.captionButtonRect(button);
    return OnScreen(child, {(r.l + r.r) / 2, (r.t + r.b) / 2});
}

// Inside the caption bar, above its title.
Point CaptionSpot(const MdiChild& child)
{
    const int32_t edge = child.clientInsets().l;
    return OnScreen(child, {edge + 2, edge + 2});
}

class ChildWindowsLive : public designertest::SampleDesignerLive, public ::testing::WithParamInterface<bool> {
protected:
    ChildWindowsLive() { withWindowManager = GetParam(); }
    void SetUpLive() override { StartInFolder("vortan-child-windows-live"); }
    bool ShowsItsCaption(const MdiChild& child)
    {
        const Point spot = CaptionSpot(child);
        const uint32_t shown = liveServer().grab(Rect::fromXywh(spot.x, spot.y, 1, 1))->pixel(0, 0) & 0xFFFFFF;
        return shown == pixelFromColorRef(getSysColor(COLOR_ACTIVECAPTION)) ||
               shown == pixelFromColorRef(getSysColor(COLOR_INACTIVECAPTION));
    }
    void MinimiseByButtons(const std::vector<MdiChild*>& children)
    {
        for (MdiChild* child : children) {
            liveServer().click(ButtonCentre(*child, MdiChild::kMinimizeButton));
            ASSERT_TRUE(runUntil([&] { return child->isMinimized(); }));
        }
        // Both captions and their buttons in sight, neither over the other.
        ASSERT_FALSE(children[0]->screenRect().intersects(children[1]->screenRect()));
        for (MdiChild* child : children)
            EXPECT_TRUE(runUntil([&] { return ShowsItsCaption(*child); }, 5000)) << child->text();
    }
    static bool IsWhole(const MdiChild* child) { return !child->isMinimized() && !child->isMaximized(); }
};

// An event map and a 3D view minimised side by side; each comes back by its restore button, by a double click on its
// caption and by Ctrl+Tab.
TEST_P(ChildWindowsLive, MinimisedChildrenStandSideBySideAndComeBackByButtonDoubleClickAndCtrlTab)
{
    CMainFrame& frame = *designer.GetMainFrame();
    ASSERT_TRUE(runUntil([&] { return ui().activeWindow() == frame.hwnd(); }));
    if (designer.GetApp()->GetFirstEventMap() == nullptr) {
        ASSERT_NE(designer.GetApp()->OpenEventMapWindow(), nullptr);
    }
    MdiChild* map = nullptr;
    MdiChild* view = nullptr;
    for (MdiChild* child : frame.mdiClient()->childFrames()) {
        if (map == nullptr && dynamic_cast<CChildEventMapFrame*>(child) != nullptr)
            map = child;
        if (view == nullptr && dynamic_cast<CChildRenderFrame*>(child) != nullptr)
            view = child;
    }
    ASSERT_TRUE(map != nullptr && view != nullptr);
    const std::vector<MdiChild*> both{map, view};
    settle(300);

    MinimiseByButtons(both);
    for (MdiChild* child : both) {
        liveServer().click(ButtonCentre(*child, MdiChild::kMinimizeButton)); // it shows the restore picture now
        EXPECT_TRUE(runUntil([&] { return IsWhole(child); })) << child->text() << " by its button";
    }

    MinimiseByButtons(both);
    for (MdiChild* child : both) {
        // The two presses count as one double click only when the loop takes them within the double-click time; a
        // loaded machine may stall it between them, so a person would click again.
        const Point spot = CaptionSpot(*child);
        for (int attempt = 0; attempt < 5 && !IsWhole(child); ++attempt) {
            liveServer().click(spot);
            liveServer().click(spot);
            runUntil([&] { return IsWhole(child); }, 4000);
        }
        EXPECT_TRUE(IsWhole(child)) << child->text() << " by a double click";
    }

    MinimiseByButtons(both);
    for (size_t restored = 1; restored <= both.size(); ++restored) {
        liveServer().key(XK_Control_L, true);
        liveServer().tap(XK_Tab);
        liveServer().key(XK_Control_L, false);
        EXPECT_TRUE(runUntil([&] {
            return static_cast<size_t>(std::count_if(both.begin(), both.end(), IsWhole)) >= restored;
        })) << "Ctrl+Tab "
            << restored;
    }
}

// The event map dragged by its caption past each edge of the client area, over the status bar, the bars and the
// panels, and let go there: its caption stays where the mouse can take it again.
TEST_P(ChildWindowsLive, AChildLetGoPastAnEdgeOfTheClientAreaKeepsItsCaptionThere)
{
    CMainFrame& frame = *designer.GetMainFrame();
    ASSERT_TRUE(runUntil([&] { return ui().activeWindow() == frame.hwnd(); }));
    auto* map = dynamic_cast<MdiChild*>(designer.GetApp()->OpenEventMapWindow());
    ASSERT_NE(map, nullptr);
    settle(300);
    const Rect area = frame.mdiClient()->screenRect();
    const Size screen = screenSize;
    for (const Point past : {Point{-40, 0}, Point{40, 0}, Point{0, -40}, Point{0, 40}}) {
        SCOPED_TRACE(std::to_string(past.x) + "," + std::to_string(past.y));
        const Point from = CaptionSpot(*map);
        ASSERT_TRUE(area.contains(from));
        Point to{past.x < 0   ? area.l + past.x
                 : past.x > 0 ? area.r + past.x
                              : from.x,
                 past.y < 0   ? area.t + past.y
                 : past.y > 0 ? area.b + past.y
                              : from.y};
        to = {std::clamp(to.x, 0, screen.cx - 1), std::clamp(to.y, 0, screen.cy - 1)};
        pressAndMove(from, to);
        ASSERT_TRUE(runUntil([&] { return ui().getKeyState(VK_LBUTTON) < 0 && ui().cursorPos() == to; }));
        liveServer().button(1, false);
        ASSERT_TRUE(runUntil([&] { return ui().getKeyState(VK_LBUTTON) >= 0; }));
        settle(200);
        const Rect placed = map->screenRect();
        const Rect caption{placed.l, placed.t, placed.r, placed.t + map->clientInsets().t};
        EXPECT_TRUE(area.containsRect(caption))
            << caption.l << "," << caption.t << " - " << caption.r << "," << caption.b << " in " << area.l << ","
            << area.t << " - " << area.r << "," << area.b;
        EXPECT_TRUE(runUntil([&] { return ShowsItsCaption(*map); }, 5000));
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManager, ChildWindowsLive, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Openbox" : "BareX"; });

// The live menus and a record of every modal dialog asked for, each ended at once.
class MenusLive : public designertest::SampleDesignerLive {
protected:
    class RecordingDriver final : public ModalDriver {
    public:
        std::vector<int32_t> seen;
        void run(Dialog& dialog) override
        {
            seen.push_back(dialog.templateId());
            dialog.endDialog(IDCANCEL);
        }
    };
    void SetUpLive() override
    {
        providers.install();
        ui().providers().install(&driver);
        StartInFolder("vortan-menus-live");
    }
    void TearDown() override
    {
        if (!IsSkipped())
            ui().providers().install(static_cast<ModalDriver*>(nullptr));
        SampleDesignerLive::TearDown();
    }
    LiveProviders providers;
    RecordingDriver driver;
};

// A right press on a node, a drag onto "Rename..." and the release there chooses it. The moves and the release wait at
// the server while the menu opens at the press; an Escape after them closes a menu the release left open.
TEST_F(MenusLive, TheSceneGraphMenuChoosesByRightPressDragAndRelease)
{
    auto* graph = dynamic_cast<CVTND_ScenegraphDlg*>(designer.GetApp()->GetPanel(PanelRole::kSceneGraph));
    ASSERT_NE(graph, nullptr);
    TreeView& tree = *graph->GetTree();
    ASSERT_GT(tree.visibleItems().size(), 1u);
    Rect label;
    ASSERT_TRUE(tree.getItemRect(tree.visibleItems()[1], label, true));
    const Point at = tree.clientToScreen({label.l + 4, (label.t + label.b) / 2});
    liveServer().moveTo(at);
    ASSERT_TRUE(runUntil([&] { return ui().cursorPos() == at; }));
    liveServer().button(3, true);
    const Point rename{at.x + 40, at.y + kMenuItemHeight + kMenuItemHeight / 2 + 3}; // the second item
    for (int step = 1; step <= 4; ++step)
        liveServer().moveTo({at.x + (rename.x - at.x) * step / 4, at.y + (rename.y - at.y) * step / 4});
    liveServer().button(3, false);
    liveServer().tap(XK_Escape);
    EXPECT_TRUE(runUntil([&] {
        return std::find(driver.seen.begin(), driver.seen.end(), kIddRename) != driver.seen.end();
    })) << "no Rename dialog";
}

// Space on the "~" beside a constant opens the generator menu with the constant lit; Down then Return chooses the kind
// below it.
TEST_F(MenusLive, DownThenReturnInTheGeneratorMenuChoosesTheKindBelowTheCurrentOne)
{
    SWactionnode* rotate = nullptr;
    {
        const SWworldlock hold(*designer.GetWorld());
        for (SWevent* e = designer.GetWorld()->GetFirstEvent(); e != nullptr && rotate == nullptr;
             e = SWevents::GetNextEvent(e))
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr && rotate == nullptr;
                 a = SWevent::GetNextAction(a))
                if (dynamic_cast<SWxyzmotion*>(a->GetMotion()) != nullptr)
                    rotate = a;
    }
    ASSERT_NE(rotate, nullptr) << "the sample turns its cube";
    auto* motion = dynamic_cast<SWxyzmotion*>(rotate->GetMotion());
    const SWgenerator* before = motion->GetGenerator(0);
    ASSERT_TRUE(before == nullptr || before->GetType() == SWgenerator::kAxisTrack);
    Window* editor = designer.GetApp()->EditObject(CVTND_Object(rotate), false);
    ASSERT_NE(editor, nullptr);
    const Hwnd editorHwnd = editor->hwnd();
    ASSERT_TRUE(runUntil(
        [&] { return designertest::XWindowOf(backend(), editorHwnd) != 0 && ui().activeWindow() == editorHwnd; }));
    CVTND_ValueGenerator* x = nullptr;
    std::vector<Window*> pending{editor};
    while (!pending.empty() && x == nullptr) {
        Window* w = pending.back();
        pending.pop_back();
        x = w->id() == 1004 ? dynamic_cast<CVTND_ValueGenerator*>(w) : nullptr;
        for (const Hwnd h : w->children())
            pending.push_back(ui().window(h));
    }
    ASSERT_NE(x, nullptr);
    ui().setFocus(x->GetButton()->hwnd());
    settle(200);
    liveServer().tap(XK_space);
    liveServer().tap(XK_Down);
    liveServer().tap(XK_Return);
    EXPECT_TRUE(runUntil([&] {
        const SWgenerator* now = motion->GetGenerator(0);
        return now != nullptr && now->GetType() == SWgenerator::kSine;
    }));
}

} // namespace
} // namespace pf
