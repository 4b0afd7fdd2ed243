// The bars taken by their captions: past the drag distance an outline follows the pointer, and the release floats
// the bar there or docks it on the edge under the pointer; Escape, the right button and focus loss leave it as it was.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "designer/workspace/dock_drag.h"
#include "designer/workspace/tests/panels_fixture.h"
#include "platform/display/screen.h"

namespace panels_test {
namespace {

class DockDrag : public PanelsFixture {
protected:
    static pf::Point OnCaption(const CVTND_SizingBar& bar)
    {
        const pf::Rect caption = bar.CaptionRect();
        return bar.clientToScreen({caption.l + 30, caption.t + 8});
    }
    pf::Point MiddleOfViews() const
    {
        const pf::Rect client = frame.mdiClient()->screenRect();
        return {static_cast<int32_t>((client.l + client.r) / 2), static_cast<int32_t>((client.t + client.b) / 2)};
    }
    // Pressed on the caption and moved to `to` in steps, the button still down.
    void PressAndMove(pf::Point from, pf::Point to)
    {
        sim().mouseMove(from);
        sim().mouseDown(from);
        for (int i = 1; i <= 4; ++i)
            sim().mouseMove({from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4});
    }
    // The screen's overlay as it is now: where an outline shows.
    struct Overlay {
        std::vector<uint32_t> pixels;
        int32_t width = 0;
        bool Marks(pf::Point p) const { return (pixels[p.y * static_cast<size_t>(width) + p.x] & 0xFFFFFFu) != 0; }
        // The outline along r's border, `edge` pixels thick, and nothing inside it.
        void ExpectOutlineOf(const pf::Rect& r, int32_t edge) const
        {
            for (const pf::Point p :
                 {pf::Point{r.l, r.t}, pf::Point{r.r - 1, r.b - 1}, pf::Point{r.l + edge - 1, (r.t + r.b) / 2}})
                EXPECT_TRUE(Marks(p)) << p.x << "," << p.y;
            EXPECT_FALSE(Marks({r.l + edge, r.t + edge}));
        }
    };
    static Overlay Shown()
    {
        const std::shared_ptr<pf::Surface32> overlay = pf::screen().overlay();
        const std::lock_guard lock(overlay->mutex());
        Overlay out{{}, overlay->width()};
        for (int32_t y = 0; y < overlay->height(); ++y)
            out.pixels.insert(out.pixels.end(), overlay->row(y), overlay->row(y) + overlay->width());
        return out;
    }
};

TEST_F(DockDrag, DockedBarDraggedOverTheViewsFloatsAtThePointerAndStaysSoAfterARestart)
{
    CVTND_SizingBar& events = panels->Bar(1);
    const pf::Rect docked = events.windowRect();
    const pf::Point grab = OnCaption(events);

    // Within the drag distance nothing shows and the release changes nothing.
    sim().drag(grab, {grab.x + 3, grab.y - 3}, 3);
    EXPECT_TRUE(pf::screen().isOverlayClear());
    EXPECT_FALSE(events.GetState().floating);
    sim().advance(pf::kDoubleClickTimeMs + 1); // the next press is no double click

    const pf::Point to = MiddleOfViews();
    PressAndMove(grab, to);
    ASSERT_FALSE(events.GetState().floating) << "nothing moves before the release";
    const pf::Rect outline = pf::Rect::fromXywh(to.x - 31, to.y - 9, 240, 320); // 30, 8 into the caption
    Shown().ExpectOutlineOf(outline, CVTND_DockDrag::kFloatOutline);
    EXPECT_EQ(events.windowRect(), docked);
    sim().mouseUp(to);
    sim().pump();

    ASSERT_TRUE(events.GetState().floating);
    EXPECT_TRUE(pf::screen().isOverlayClear());
    EXPECT_EQ(events.parent(), nullptr);
    EXPECT_EQ(events.screenRect(), outline);
    EXPECT_TRUE(events.CaptionRect().contains(events.screenToClient(to))) << "the caption under the pointer";
    EXPECT_EQ(panels->Bar(2).windowRect().t, panels->Bar(0).windowRect().b) << "the column closes up";

    const std::vector<CVTND_DockState> saved = panels->States();
    panels.reset();
    MakePanels();
    EXPECT_EQ(panels->States(), saved);
    EXPECT_EQ(panels->Bar(1).screenRect(), outline);
}

// A docked bar taken to another edge joins the bars there at their thickness, and its old side closes up.
TEST_F(DockDrag, DockedBarDraggedOntoAnotherEdgeMovesThereAtThatEdgesThickness)
{
    CVTND_SizingBar& graph = panels->Bar(0);
    const pf::Rect views = frame.mdiClient()->screenRect();
    sim().drag(OnCaption(graph), {views.r + 30, views.t + 100}, 5);
    sim().pump();
    EXPECT_FALSE(graph.GetState().floating);
    EXPECT_EQ(graph.GetState().side, DockSide::kRight);
    EXPECT_EQ(graph.windowRect().width(), panels->Bar(3).windowRect().width());
    EXPECT_EQ(graph.screenRect().l, frame.mdiClient()->screenRect().r);
    EXPECT_EQ(graph.GripRect().l, 0) << "its sizing edge faces the views";
    EXPECT_EQ(panels->Bar(1).windowRect().t, frame.mdiClient()->windowRect().t) << "the left column closes up";
}

TEST_F(DockDrag, FloatingBarDraggedOntoEachEdgeDocksThereInThePlaceItsOutlineShowed)
{
    // Whether a bar lies along side of the views.
    const auto borders = [](DockSide side, const pf::Rect& bar, const pf::Rect& v) {
        const int32_t gaps[] = {bar.r - v.l, bar.l - v.r, bar.t - v.b, bar.b - v.t};
        return gaps[static_cast<size_t>(side)] == 0;
    };
    CVTND_SizingBar& cursors = panels->Bar(8);
    for (const DockSide side : {DockSide::kLeft, DockSide::kRight, DockSide::kTop, DockSide::kBottom}) {
        SCOPED_TRACE(static_cast<int>(side));
        cursors.SetFloating(true);
        sim().pump();
        ASSERT_TRUE(cursors.GetState().floating);
        const pf::Rect floating = cursors.screenRect();
        const pf::Rect v = frame.mdiClient()->screenRect(); // just outside it, over a side's bars or its empty zone
        const pf::Point at[] = {{v.l - 20, v.t + 40}, {v.r + 20, v.t + 40}, {v.l + 60, v.b + 20}, {v.l + 60, v.t + 10}};
        const pf::Point to = at[static_cast<size_t>(side)];
        PressAndMove(OnCaption(cursors), to);
        const Overlay during = Shown();
        EXPECT_EQ(cursors.screenRect(), floating) << "nothing moves before the release";
        sim().mouseUp(to);
        sim().pump();

        EXPECT_FALSE(cursors.GetState().floating);
        EXPECT_EQ(cursors.GetState().side, side);
        EXPECT_EQ(cursors.parent(), &frame);
        EXPECT_TRUE(pf::screen().isOverlayClear());
        EXPECT_TRUE(borders(side, cursors.screenRect(), frame.mdiClient()->screenRect()));
        during.ExpectOutlineOf(cursors.screenRect(), CVTND_DockDrag::kDockedOutline);
        if (side == DockSide::kTop) { // its sizing edge is its lower one and pushes the views down
            const int32_t viewsTop = frame.mdiClient()->windowRect().t;
            const pf::Point grip = cursors.clientToScreen({40, cursors.GripRect().t + 2});
            sim().drag(grip, {grip.x, grip.y + 30}, 3);
            EXPECT_EQ(frame.mdiClient()->windowRect().t, viewsTop + 30);
        }
    }
    EXPECT_EQ(cursors.GetState().size, 150) << "back in the bottom row, as thick as the row";
}

// Each way out leaves the bar where it was, the screen clean and the keyboard where it was before the drag.
TEST_F(DockDrag, EscapeTheRightButtonAndFocusLossCancel)
{
    CVTND_SizingBar& java = panels->Bar(6);
    CVTND_SizingBar& manipulate = panels->Bar(4);
    manipulate.SetFloating(true);
    sim().pump();
    pf::Window& field = *frame.mdiClient();
    ui().setFocus(field.hwnd());
    const std::vector<CVTND_DockState> before = panels->States();
    const pf::Rect javaBefore = java.screenRect();
    const pf::Rect manipulateBefore = manipulate.screenRect();
    const pf::Point left{frame.mdiClient()->screenRect().l - 30, frame.mdiClient()->screenRect().t + 50};

    const auto cancels = [&](const char* how, CVTND_SizingBar& bar, pf::Point to, const std::function<void()>& cancel) {
        SCOPED_TRACE(how);
        PressAndMove(OnCaption(bar), to);
        ASSERT_FALSE(pf::screen().isOverlayClear()) << "the outline shows";
        cancel();
        EXPECT_TRUE(pf::screen().isOverlayClear());
        sim().mouseMove({to.x + 5, to.y + 5});
        EXPECT_TRUE(pf::screen().isOverlayClear()) << "the pointer no longer drags";
        sim().mouseUp(to);
        sim().pump();
        EXPECT_EQ(panels->States(), before);
        EXPECT_EQ(java.screenRect(), javaBefore);
        EXPECT_EQ(manipulate.screenRect(), manipulateBefore);
        EXPECT_EQ(ui().capture(), pf::kNoWindow);
    };
    cancels("Escape, docked", java, MiddleOfViews(), [&] { sim().keyPress(pf::VK_ESCAPE); });
    EXPECT_EQ(ui().focus(), field.hwnd()) << "the keyboard goes back";
    cancels("Escape, floating", manipulate, left, [&] { sim().keyPress(pf::VK_ESCAPE); });
    cancels("the right button", java, left, [&] { sim().mouseDown(left, pf::InputEvent::Button::kRight); });
    sim().mouseUp(left, pf::InputEvent::Button::kRight);
    cancels("focus loss", manipulate, MiddleOfViews(), [&] { ui().setFocus(frame.hwnd()); });
}

} // namespace
} // namespace panels_test
