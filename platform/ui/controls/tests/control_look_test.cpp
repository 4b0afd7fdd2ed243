// How the controls look on the screen, probed where a person would look: a radio's round well and dot, a tick in a
// check box, arrows on a scroll bar, buttons pushed and outlined, sunken wells, etched disabled text, the chosen tab
// joined to its page, menu marks.
#include "platform/ui/controls/tests/control_fixture.h"

#include "platform/gfx/frame_control.h"
#include "platform/gfx/surface_dc.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/progress_bar.h"
#include "platform/ui/providers/live_menu.h"

namespace pf {
namespace {

using namespace test;

uint32_t sys(int32_t index)
{
    return pixelFromColorRef(getSysColor(index));
}

class ControlLook : public Controls {
protected:
    uint32_t at(Window& w, Point client) { return screenPixel(w.clientToScreen(client)); }
    uint32_t atWindow(Window& w, Point inWindow)
    {
        const Rect s = w.screenRect();
        return screenPixel({s.l + inWindow.x, s.t + inWindow.y});
    }
    // How many pixels of a colour the client rectangle `r` of `w` shows.
    int64_t count(Window& w, const Rect& r, uint32_t color)
    {
        int64_t n = 0;
        for (int32_t y = r.t; y < r.b; ++y)
            for (int32_t x = r.l; x < r.r; ++x)
                n += at(w, {x, y}) == color ? 1 : 0;
        return n;
    }
};

TEST_F(ControlLook, RadioButtonIsARoundWellWithADotCheckBoxASquareWellWithATick)
{
    Button& radio = control<Button>(kRadio1);
    Button& check = control<Button>(kCheck);
    const int32_t side = checkMarkSide(16);
    ASSERT_EQ(side, 13);
    const Rect box = Rect::fromXywh(0, (16 - side) / 2, side, side);
    const Rect well = box.inflatedBy(-3, -3); // inside both rings, where only the well and its mark show
    radio.setCheck(BST_CHECKED);
    check.setCheck(BST_CHECKED);
    sim().pump();
    for (const Point corner :
         {Point{box.l, box.t}, Point{box.r - 1, box.t}, Point{box.l, box.b - 1}, Point{box.r - 1, box.b - 1}})
        EXPECT_EQ(at(radio, corner), sys(COLOR_BTNFACE)) << "a round well leaves its corners to the face";
    EXPECT_EQ(at(radio, {box.l + side / 2, box.t + side / 2}), sys(COLOR_BTNTEXT)) << "the dot";
    EXPECT_EQ(at(check, {box.l, box.t}), sys(COLOR_BTNSHADOW)) << "a square well is sunken to its corner";
    const int64_t tick = count(check, well, sys(COLOR_BTNTEXT));
    EXPECT_GE(tick, 15) << "a tick, not a dot or a filled square";
    EXPECT_LT(tick, well.width() * well.height() / 2);
    EXPECT_EQ(at(check, {well.r - 1, well.t}), sys(COLOR_BTNTEXT)) << "the long stroke ends at the top right";
    EXPECT_EQ(at(check, {well.l, well.t}), sys(COLOR_WINDOW)) << "and the top left is clear";

    radio.setCheck(BST_UNCHECKED);
    check.setCheck(BST_UNCHECKED);
    sim().pump();
    EXPECT_EQ(at(radio, {box.l + side / 2, box.t + side / 2}), sys(COLOR_WINDOW)) << "an empty white well";
    EXPECT_EQ(count(check, well, sys(COLOR_BTNTEXT)), 0);
}

TEST_F(ControlLook, PushButtonSinksWhileHeldAndTheFocusedOneIsOutlinedAndDotted)
{
    Button& push = control<Button>(kPush);
    const Rect r = push.clientRect();
    const Point middle{static_cast<int32_t>(r.width() / 2), static_cast<int32_t>(r.height() / 2)};
    ui().setFocus(control<Edit>(kEdit).hwnd());
    sim().pump();
    EXPECT_EQ(at(push, {middle.x, 0}), sys(COLOR_BTNHIGHLIGHT)) << "raised";
    EXPECT_EQ(at(push, {middle.x, r.b - 1}), sys(COLOR_3DDKSHADOW));
    const Rect focusSide{4, 6, 5, r.b - 6}; // the left side of the focus mark, clear of the caption
    EXPECT_EQ(count(push, focusSide, sys(COLOR_BTNFACE)), focusSide.height()) << "no focus mark";

    sim().mouseMove(push.clientToScreen(middle));
    sim().mouseDown(push.clientToScreen(middle));
    sim().pump();
    EXPECT_EQ(at(push, {middle.x, 0}), sys(COLOR_WINDOWFRAME)) << "focused by the press: outlined";
    EXPECT_EQ(at(push, {middle.x, 1}), sys(COLOR_3DDKSHADOW)) << "held: the edge inverted";
    EXPECT_EQ(at(push, {middle.x, r.b - 2}), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_GT(count(push, focusSide, sys(COLOR_BTNFACE) ^ 0xFFFFFFu), 0) << "the dotted focus mark";

    sim().mouseUp(host.clientToScreen({590, 430})); // let go outside: no click, the button rises again
    sim().pump();
    EXPECT_EQ(at(push, {middle.x, 1}), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(at(push, {middle.x, 0}), sys(COLOR_WINDOWFRAME)) << "still focused";
}

TEST_F(ControlLook, DefaultButtonOutlineFollowsTheFocusAmongPushButtons)
{
    Window* def = ui().createWindow({"button", "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0,
                                     Rect::fromXywh(160, 120, 80, 22), host.hwnd(), 900});
    ASSERT_NE(def, nullptr);
    ui().setFocus(control<Edit>(kEdit).hwnd());
    sim().pump();
    EXPECT_EQ(at(*def, {40, 0}), sys(COLOR_WINDOWFRAME)) << "the default button is outlined";
    ui().setFocus(control<Button>(kPush).hwnd());
    sim().pump();
    EXPECT_EQ(at(*def, {40, 0}), sys(COLOR_BTNHIGHLIGHT)) << "while another push button has the focus";
    EXPECT_EQ(at(control<Button>(kPush), {40, 0}), sys(COLOR_WINDOWFRAME));
    def->enable(false);
    ui().setFocus(control<Edit>(kEdit).hwnd());
    sim().pump();
    EXPECT_EQ(at(*def, {40, 0}), sys(COLOR_BTNHIGHLIGHT)) << "a disabled button is never outlined";
}

TEST_F(ControlLook, ScrollBarHasArrowsThatLookPushedWhileHeld)
{
    ScrollBar& bar = control<ScrollBar>(kScroll);
    bar.setInfo({0, 100, 20, 40});
    sim().pump();
    for (const bool first : {true, false}) {
        const Rect face = bar.arrowRect(first).inflatedBy(-2, -2);
        EXPECT_GE(count(bar, face, sys(COLOR_BTNTEXT)), 9) << "an arrow on each button";
    }
    EXPECT_EQ(at(bar, {2, 0}), sys(COLOR_BTNHIGHLIGHT)) << "raised";

    sim().mouseDown(bar.clientToScreen({5, 5}));
    sim().pump();
    EXPECT_EQ(at(bar, {2, 0}), sys(COLOR_BTNSHADOW)) << "held: flat";
    sim().mouseUp(bar.clientToScreen({5, 5}));
    sim().pump();
    EXPECT_EQ(at(bar, {2, 0}), sys(COLOR_BTNHIGHLIGHT));
}

TEST_F(ControlLook, WellsOfEditsAndListsAreSunkenWithOrWithoutABorder)
{
    Edit& edit = control<Edit>(kEdit); // WS_BORDER: the frame holds the outer ring
    ListBox& list = control<ListBox>(kList);
    sim().pump();
    const int32_t middle = 40;
    EXPECT_EQ(atWindow(edit, {middle, 0}), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(atWindow(edit, {middle, 1}), sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(atWindow(edit, {middle, static_cast<int32_t>(edit.screenRect().height()) - 1}), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(at(list, {middle, 0}), sys(COLOR_BTNSHADOW)) << "no border: both rings in the client";
    EXPECT_EQ(at(list, {middle, 1}), sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(at(list, {middle, static_cast<int32_t>(list.clientRect().height()) - 1}), sys(COLOR_BTNHIGHLIGHT));
}

TEST_F(ControlLook, DisabledTextIsEtched)
{
    Button& check = control<Button>(kCheck);
    const Rect label{checkMarkSide(16) + 4, 0, static_cast<int32_t>(check.clientRect().width()), 16};
    EXPECT_GT(count(check, label, sys(COLOR_BTNTEXT)), 0);
    check.enable(false);
    sim().pump();
    EXPECT_EQ(count(check, label, sys(COLOR_BTNTEXT)), 0);
    EXPECT_GT(count(check, label, sys(COLOR_BTNSHADOW)), 10) << "the text in shadow";
    EXPECT_GT(count(check, label, sys(COLOR_BTNHIGHLIGHT)), 5) << "over its highlight";
}

TEST_F(ControlLook, ChosenTabIsJoinedToItsPage)
{
    TabControl& tab = control<TabControl>(kTab);
    tab.insertItem(0, "One");
    tab.insertItem(1, "Two");
    tab.setCurSel(0);
    sim().pump();
    const Rect chosen = tab.getItemRect(0);
    const Rect other = tab.getItemRect(1);
    const int32_t pageTop = chosen.b;
    EXPECT_EQ(at(tab, {(other.l + other.r) / 2, pageTop}), sys(COLOR_BTNHIGHLIGHT)) << "the page's raised top";
    EXPECT_EQ(at(tab, {(chosen.l + chosen.r) / 2, pageTop}), sys(COLOR_BTNFACE)) << "open under the chosen tab";
    EXPECT_EQ(at(tab, {(chosen.l + chosen.r) / 2, 0}), sys(COLOR_BTNHIGHLIGHT)) << "which stands higher";
    EXPECT_EQ(at(tab, {(other.l + other.r) / 2, 0}), sys(COLOR_BTNFACE));
}

TEST_F(ControlLook, TrackbarThumbIsRaisedAndPointsAtTheTicks)
{
    Trackbar& track = control<Trackbar>(kTrack);
    track.setPos(50);
    sim().pump();
    const Rect t = track.thumbRect();
    EXPECT_EQ(at(track, {t.l, t.t}), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(at(track, {t.r - 1, t.t + 2}), sys(COLOR_3DDKSHADOW));
    EXPECT_NE(at(track, {t.l, t.b - 1}), sys(COLOR_BTNHIGHLIGHT)) << "the point leaves its corners";
    EXPECT_EQ(at(track, {t.l + 4, t.b - 1}), sys(COLOR_BTNHIGHLIGHT)) << "the tip, lit on its left";
}

TEST_F(ControlLook, WindowsOwnScrollBarsHaveArrowsAndAThumb)
{
    Window w;
    ASSERT_TRUE(w.create({"window", "", WS_POPUP | WS_VISIBLE | WS_VSCROLL, 0, {700, 100, 800, 300}, kNoWindow, 0}));
    w.setScrollInfo(SB_VERT, {0, 99, 50, 0});
    sim().pump();
    const Rect bar{100 - 16, 0, 100, 200}; // window coordinates: the bar fills the right edge
    int64_t arrow = 0;
    for (int32_t y = 2; y < 14; ++y)
        for (int32_t x = bar.l + 2; x < bar.r - 2; ++x)
            arrow += atWindow(w, {x, y}) == sys(COLOR_BTNTEXT) ? 1 : 0;
    EXPECT_EQ(arrow, 16) << "an up arrow 7 wide and 4 deep on the first button";
    EXPECT_EQ(atWindow(w, {bar.l + 4, 16}), sys(COLOR_BTNHIGHLIGHT)) << "the thumb, raised, right under it";
    EXPECT_EQ(atWindow(w, {bar.l + 4, bar.b - 1}), sys(COLOR_3DDKSHADOW)) << "the down button's shaded bottom";
}

TEST(MenuLook, MarksTicksDotsAndSubMenuArrowsAndEtchesGrayedItems)
{
    const std::vector<MenuItem> items = {
        {1, "Ticked", MF_CHECKED, {}},
        {2, "Chosen", MF_CHECKED | MFT_RADIOCHECK, {}},
        {0, "More", 0, {{3, "Inner", 0, {}}}},
        {4, "Grayed", MF_GRAYED, {}},
    };
    const int32_t width = 140;
    auto surface = std::make_shared<Surface32>(width, 90);
    SurfaceDc dc(surface);
    drawMenuLevel(dc, {0, 0, width, 90}, items, -1);
    const std::vector<Rect> rows = menuItemRects(items, width);
    const auto count = [&](const Rect& r, uint32_t color) {
        int32_t n = 0;
        for (int32_t y = r.t; y < r.b; ++y)
            for (int32_t x = r.l; x < r.r; ++x)
                n += surface->pixel(x, y) == color ? 1 : 0;
        return n;
    };
    const auto margin = [&](size_t i) { return Rect{2, rows[i].t, 18, rows[i].b}; };
    const int32_t tick = count(margin(0), sys(COLOR_MENUTEXT));
    const int32_t dot = count(margin(1), sys(COLOR_MENUTEXT));
    EXPECT_GE(tick, 12) << "a tick before a checked item";
    EXPECT_GE(dot, 12) << "a dot before a radio item";
    EXPECT_NE(tick, dot);
    EXPECT_EQ(count(margin(2), sys(COLOR_MENUTEXT)), 0) << "no mark on an unchecked item";
    EXPECT_GE(count({width - 18, rows[2].t, width - 2, rows[2].b}, sys(COLOR_MENUTEXT)), 9) << "a sub-menu arrow";
    EXPECT_EQ(count({width - 18, rows[0].t, width - 2, rows[0].b}, sys(COLOR_MENUTEXT)), 0);
    EXPECT_GT(count(rows[3], sys(COLOR_BTNHIGHLIGHT)), 5) << "grayed text is etched";
    EXPECT_EQ(count({2, rows[3].t, width - 2, rows[3].b}, sys(COLOR_MENUTEXT)), 0);
}

TEST_F(ControlLook, ProgressBarAnswersTheOldValuesAndFillsInProportionWithinItsWell)
{
    ProgressBar bar;
    ASSERT_TRUE(bar.create({"msctls_progress32", "", WS_CHILD | WS_VISIBLE, 0, {10, 420, 210, 436}, host.hwnd(), 77}));
    EXPECT_EQ(bar.send(PBM_SETRANGE32, 0, 40), static_cast<LResult>(100 << 16)); // the old range, 0 to 100
    EXPECT_EQ(bar.send(PBM_SETPOS, 10, 0), 0);
    EXPECT_EQ(bar.send(PBM_SETPOS, 90, 0), 10); // clamped to 40
    EXPECT_EQ(bar.send(PBM_GETPOS, 0, 0), 40);
    const uint32_t highlight = sys(COLOR_HIGHLIGHT);
    const Rect client = bar.clientRect();
    // How far the blocks reach from the left, in pixels of the middle row.
    const auto reach = [&] {
        sim().pump();
        int32_t last = -1;
        for (int32_t x = 0; x < client.r; ++x)
            if (at(bar, {x, client.b / 2}) == highlight)
                last = x;
        return last + 1;
    };
    const int32_t full = reach();
    EXPECT_GE(full, client.r - 4); // a full bar reaches the end of its well
    EXPECT_LT(full, client.r);     // and leaves the well's edge
    bar.send(PBM_SETPOS, 10, 0);
    const int32_t quarter = reach();
    EXPECT_GT(quarter, full / 4 - 10); // whole blocks only
    EXPECT_LE(quarter, full / 4 + 2);
    bar.send(PBM_SETPOS, 0, 0);
    EXPECT_EQ(reach(), 0);
    bar.destroy();
}

} // namespace
} // namespace pf
