// The bars' places: stored and read whole or not at all, laid out within the frame, resized, floated and hidden.
#include <gtest/gtest.h>

#include "designer/workspace/dock_state.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/tests/panels_fixture.h"

namespace panels_test {
namespace {

const pf::Rect kWork{0, 0, 1280, 1024};

TEST(DockStateStore, RoundTripsEveryField)
{
    pf::SettingsStore store(nullptr);
    pf::Profile profile(store, "Software\\Brenix\\Vortan");
    const CVTND_DockState state{DockSide::kBottom, 333, false, true, pf::Rect::fromXywh(100, 120, 300, 400), 170};
    ASSERT_TRUE(WriteDockState(profile, "Sounds", 7, state));
    EXPECT_EQ(store.getDword("Software\\Brenix\\Vortan\\Sounds-SCBar-7", "Size"), 333u);
    EXPECT_EQ(ReadDockState(profile, "Sounds", 7, CVTND_DockState(), kWork), state);
    // A section written before the splitters has no share: the rest is believed, the side shared equally.
    store.deleteValue("Software\\Brenix\\Vortan\\Sounds-SCBar-7", "Share");
    CVTND_DockState older = state;
    older.share = 0;
    EXPECT_EQ(ReadDockState(profile, "Sounds", 7, CVTND_DockState(), kWork), older);
    const CVTND_DockState top{DockSide::kTop, 90, true, false, pf::Rect::fromXywh(100, 120, 300, 400), 0};
    ASSERT_TRUE(WriteDockState(profile, "Sounds", 7, top));
    EXPECT_EQ(ReadDockState(profile, "Sounds", 7, CVTND_DockState(), kWork), top);
}

TEST(DockStateStore, AnyDamagedValueGivesTheDefaultWhole)
{
    const CVTND_DockState good{DockSide::kRight, 300, true, true, pf::Rect::fromXywh(200, 200, 300, 300)};
    const CVTND_DockState fallback{DockSide::kLeft, 220, true, false, pf::Rect::fromXywh(10, 10, 240, 320)};
    struct Damage {
        const char* entry;
        uint32_t value;
    };
    for (const Damage& damage :
         {Damage{"Side", 4}, Damage{"Side", 0xFFFFFFFFu}, Damage{"Size", 0}, Damage{"Size", 0x7FFFFFFF},
          Damage{"Visible", 2}, Damage{"Floating", 7}, Damage{"FloatW", 5}, Damage{"FloatH", 100000},
          Damage{"FloatX", 5000}, Damage{"FloatY", 0x80000000u}, Damage{"Share", 0xFFFFFFFFu}, Damage{"Share", 5000}}) {
        SCOPED_TRACE(std::string(damage.entry) + " = " + std::to_string(damage.value));
        pf::SettingsStore store(nullptr);
        pf::Profile profile(store, "Software\\Brenix\\Vortan");
        WriteDockState(profile, "Java", 6, good);
        store.setDword("Software\\Brenix\\Vortan\\Java-SCBar-6", damage.entry, damage.value);
        EXPECT_EQ(ReadDockState(profile, "Java", 6, fallback, kWork), fallback);
    }
    pf::SettingsStore empty(nullptr);
    pf::Profile none(empty, "Software\\Brenix\\Vortan");
    EXPECT_EQ(ReadDockState(none, "Java", 6, fallback, kWork), fallback) << "a missing section";
}

// Ten floating bars of 4000 x 4000 once took 678 MB: a floating place is no larger than the work area.
TEST(DockStateStore, AFloatingPlaceIsHeldToTheWorkArea)
{
    pf::SettingsStore store(nullptr);
    pf::Profile profile(store, "Software\\Brenix\\Vortan");
    const CVTND_DockState huge{DockSide::kLeft, 200, true, true, pf::Rect::fromXywh(-100, 50, 4000, 4000)};
    ASSERT_TRUE(WriteDockState(profile, "Tools", 2, huge));
    const CVTND_DockState read = ReadDockState(profile, "Tools", 2, CVTND_DockState(), kWork);
    EXPECT_TRUE(read.floating);
    EXPECT_EQ(read.floatRect, pf::Rect::fromXywh(-100, 50, kWork.width(), kWork.height()));
    // Its caption above the work area, out of reach of the mouse: moved down onto it, the rest kept.
    const CVTND_DockState above{DockSide::kLeft, 200, true, true, pf::Rect::fromXywh(300, -250, 240, 320)};
    ASSERT_TRUE(WriteDockState(profile, "Tools", 2, above));
    EXPECT_EQ(ReadDockState(profile, "Tools", 2, CVTND_DockState(), {0, 20, 1280, 1024}).floatRect,
              pf::Rect::fromXywh(300, 20, 240, 320));
}

TEST(DockLayout, SidesShareTheAreaAndLeaveTheMiddle)
{
    std::vector<CVTND_DockState> states(4);
    states[0] = {DockSide::kLeft, 200, true, false, {}};
    states[1] = {DockSide::kLeft, 999, true, false, {}}; // the first bar of a side sets its thickness
    states[2] = {DockSide::kBottom, 150, true, false, {}};
    states[3] = {DockSide::kRight, 5000, true, false, {}};
    const pf::Rect area{0, 30, 1000, 730};
    std::vector<pf::Rect> rects;
    const pf::Rect rest = LayoutDockedBars(area, states, rects);
    EXPECT_EQ(rects[0], (pf::Rect{0, 30, 200, 380}));
    EXPECT_EQ(rects[1], (pf::Rect{0, 380, 200, 730}));
    EXPECT_EQ(rects[3].width(), (1000 - kMinMiddle) / 2) << "a right column too wide is cut";
    EXPECT_EQ(rects[2], (pf::Rect{200, 580, rects[3].l, 730}));
    EXPECT_EQ(rest, (pf::Rect{200, 30, rects[3].l, 580}));
    states[2].floating = true;
    states[0].visible = false;
    LayoutDockedBars(area, states, rects);
    EXPECT_TRUE(rects[0].isEmpty());
    EXPECT_TRUE(rects[2].isEmpty());
    EXPECT_EQ(rects[1], (pf::Rect{0, 30, 999, 730}).intersected({0, 30, rects[1].r, 730}));

    // Shares part a side in proportion, whatever its length now; a bar without one weighs as the average.
    std::vector<CVTND_DockState> column(3, CVTND_DockState{DockSide::kLeft, 200, true, false, {}});
    column[0].share = 100;
    column[1].share = 300;
    LayoutDockedBars({0, 0, 1000, 600}, column, rects);
    EXPECT_EQ(rects[0], (pf::Rect{0, 0, 200, 100}));
    EXPECT_EQ(rects[1], (pf::Rect{0, 100, 200, 400}));
    EXPECT_EQ(rects[2], (pf::Rect{0, 400, 200, 600})) << "share 0 weighs 200";
    LayoutDockedBars({0, 0, 1000, 300}, column, rects);
    EXPECT_EQ(rects[1], (pf::Rect{0, 50, 200, 200}));

    // The top row lies between the columns as the bottom row does; where both are too thick the bottom gives way.
    std::vector<CVTND_DockState> rows(3);
    rows[0] = {DockSide::kLeft, 200, true, false, {}};
    rows[1] = {DockSide::kTop, 100, true, false, {}};
    rows[2] = {DockSide::kBottom, 900, true, false, {}};
    EXPECT_EQ(LayoutDockedBars({0, 0, 1000, 700}, rows, rects), (pf::Rect{200, 100, 1000, 100 + kMinMiddle}));
    EXPECT_EQ(rects[1], (pf::Rect{200, 0, 1000, 100}));
    EXPECT_EQ(rects[2], (pf::Rect{200, 100 + kMinMiddle, 1000, 700}));
}

class Docking : public PanelsFixture {};

TEST_F(Docking, DefaultLayoutDocksAroundTheClientAndAnyBarsInnerEdgeResizesItsWholeSide)
{
    const pf::Rect client = frame.mdiClient()->windowRect();
    CVTND_SizingBar& graph = panels->Bar(0);
    CVTND_SizingBar& properties = panels->Bar(3);
    EXPECT_EQ(graph.windowRect().r, client.l);
    EXPECT_EQ(properties.windowRect().l, client.r);
    EXPECT_EQ(panels->Bar(9).windowRect().t, client.b);
    EXPECT_TRUE(graph.isVisible());

    const pf::Rect grip = graph.GripRect();
    const pf::Point from = graph.clientToScreen({grip.l + 2, grip.t + 100});
    sim().drag(from, {from.x + 60, from.y}, 4);
    EXPECT_EQ(graph.GetState().size, 280);
    EXPECT_EQ(frame.mdiClient()->windowRect().l, client.l + 60);
    // The edge of a bar below the first moves the whole column too.
    CVTND_SizingBar& actions = panels->Bar(2);
    const pf::Point lower = actions.clientToScreen({actions.GripRect().l + 2, actions.GripRect().t + 60});
    sim().drag(lower, {lower.x + 40, lower.y}, 4);
    EXPECT_EQ(graph.windowRect().width(), 320);
    EXPECT_EQ(actions.windowRect().width(), 320);
    EXPECT_EQ(frame.mdiClient()->windowRect().l, client.l + 100);
}

TEST_F(Docking, SplitterBetweenTwoBarsOfASideResizesBothAndIsRememberedAcrossARestart)
{
    CVTND_SizingBar& graph = panels->Bar(0);
    CVTND_SizingBar& events = panels->Bar(1);
    CVTND_SizingBar& actions = panels->Bar(2);
    EXPECT_TRUE(actions.SplitterRect().isEmpty()) << "the last bar of a side has none";
    const int32_t pair = graph.DockedLength() + events.DockedLength();
    const int32_t graphBefore = graph.DockedLength();
    const pf::Rect actionsBefore = actions.windowRect();
    const pf::Rect split = graph.SplitterRect();
    ASSERT_FALSE(split.isEmpty());
    const pf::Point from = graph.clientToScreen({split.l + 40, split.t + 2});
    sim().drag(from, {from.x, from.y + 70}, 4);
    EXPECT_EQ(graph.DockedLength(), graphBefore + 70);
    EXPECT_EQ(events.DockedLength(), pair - graph.DockedLength());
    EXPECT_EQ(events.windowRect().t, graph.windowRect().b);
    EXPECT_EQ(actions.windowRect(), actionsBefore) << "only the two beside the splitter move";
    // Far past the next bar: that one keeps its caption and a row.
    const pf::Point moved = graph.clientToScreen({split.l + 40, graph.SplitterRect().t + 2});
    sim().drag(moved, {moved.x, moved.y + 2000}, 4);
    EXPECT_EQ(events.DockedLength(), kMinSplitPane);

    // The bottom row's splitter runs across.
    CVTND_SizingBar& java = panels->Bar(6);
    const int32_t javaBefore = java.DockedLength();
    const pf::Rect across = panels->Bar(5).SplitterRect();
    const pf::Point at = panels->Bar(5).clientToScreen({across.l + 2, across.t + 20});
    sim().drag(at, {at.x - 30, at.y}, 3);
    EXPECT_EQ(java.DockedLength(), javaBefore + 30);

    const std::vector<pf::Rect> placed = {graph.windowRect(), events.windowRect(), java.windowRect()};
    panels.reset();
    MakePanels();
    EXPECT_EQ(
        (std::vector<pf::Rect>{panels->Bar(0).windowRect(), panels->Bar(1).windowRect(), panels->Bar(6).windowRect()}),
        placed);
}

TEST_F(Docking, CloseBoxHidesAndTheViewMenuShowsAgain)
{
    CVTND_SizingBar& events = panels->Bar(1);
    const pf::Rect box = events.CloseBoxRect();
    sim().click(events, {box.l + 3, box.t + 3});
    EXPECT_FALSE(events.GetState().visible);
    EXPECT_FALSE(events.isVisible());
    EXPECT_EQ(frame.menu().itemState(CVTND_Panels::kFirstViewCommand + 1, 0) & pf::MF_CHECKED, 0u);
    EXPECT_TRUE(frame.routeCommand(CVTND_Panels::kFirstViewCommand + 1, 0));
    EXPECT_TRUE(events.isVisible());
}

TEST_F(Docking, DoubleClickFloatsAndDocksBackWithItsContentAndPlacesSurviveARestart)
{
    CVTND_SizingBar& sounds = panels->Bar(7);
    const pf::Rect caption = sounds.CaptionRect();
    sim().doubleClick(sounds.clientToScreen({caption.l + 30, caption.t + 8}));
    sim().pump();
    ASSERT_TRUE(sounds.GetState().floating);
    EXPECT_EQ(sounds.parent(), nullptr) << "a floating bar is a top-level window";
    EXPECT_TRUE(sounds.isVisible());
    EXPECT_EQ(app->GetPanel(PanelRole::kSounds), &sounds.Content());
    EXPECT_EQ(dynamic_cast<CVTND_SoundsDlg&>(sounds.Content()).Items().size(), 2u);
    // Moved by its caption.
    const pf::Rect before = sounds.screenRect();
    const pf::Point grab = sounds.clientToScreen({caption.l + 30, caption.t + 8});
    sim().drag(grab, {grab.x + 40, grab.y + 25}, 3);
    EXPECT_EQ(sounds.screenRect(), before.offsetBy(40, 25));
    // The session's end asks every top-level window to close: the floating bar stays as it is, to be stored so.
    sounds.send(pf::WM_CLOSE);
    EXPECT_TRUE(sounds.GetState().visible);
    EXPECT_TRUE(sounds.isVisible());

    // Another bar hidden and one resized; then the panels go and come again over the same settings.
    panels->Bar(1).SetVisible(false);
    panels->Bar(0).SetDockedSize(300);
    const std::vector<CVTND_DockState> saved = panels->States();
    panels.reset();
    MakePanels();
    EXPECT_EQ(panels->States(), saved);
    EXPECT_TRUE(panels->Bar(7).GetState().floating);
    EXPECT_FALSE(panels->Bar(1).isVisible());

    CVTND_SizingBar& again = panels->Bar(7);
    const pf::Rect c = again.CaptionRect();
    sim().doubleClick(again.clientToScreen({c.l + 30, c.t + 8}));
    sim().pump();
    EXPECT_FALSE(again.GetState().floating);
    EXPECT_EQ(again.parent(), &frame);
}

} // namespace
} // namespace panels_test
