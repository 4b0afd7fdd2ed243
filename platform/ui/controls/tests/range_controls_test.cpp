// The notification contracts of trackbars, spins, tabs and scroll bars.
#include "platform/ui/controls/tests/control_fixture.h"

namespace pf {
namespace {

using namespace test;

class RangeControls : public Controls {
protected:
    Trackbar& track()
    {
        Trackbar& t = control<Trackbar>(kTrack);
        t.setRange(0, 100);
        t.setPageSize(10);
        return t;
    }
};

TEST_F(RangeControls, TrackbarSetPosClampsAndNeverNotifies)
{
    Trackbar& t = track();
    watch();
    t.setPos(150);
    EXPECT_EQ(t.getPos(), 100);
    t.setPos(-5);
    EXPECT_EQ(t.getPos(), 0);
    EXPECT_TRUE(spy->log().empty());
}

TEST_F(RangeControls, TrackbarDragTracksThenReleasesInOrder)
{
    Trackbar& t = track();
    t.setPos(20);
    watch([&](const Msg& m) { return scrollNote(m) + " at " + std::to_string(t.getPos()); });
    ASSERT_TRUE(sim().moveTrackbar(t, 60));
    std::vector<std::string> n = notes();
    ASSERT_GE(n.size(), 4u);
    for (size_t i = 0; i + 3 < n.size(); ++i)
        EXPECT_EQ(n[i].rfind("scroll 5 ", 0), 0u) << n[i];
    // The position is updated before each message, and the message carries it.
    EXPECT_EQ(n[n.size() - 4], "scroll 5 60 at 60");
    EXPECT_EQ(n[n.size() - 3], "scroll 4 60 at 60");
    EXPECT_EQ(n[n.size() - 2], "scroll 8 0 at 60");
    EXPECT_EQ(n[n.size() - 1], "notify -16 at 60");
}

TEST_F(RangeControls, TrackbarChannelClickPagesThenEndsOnRelease)
{
    Trackbar& t = track();
    t.setPos(50);
    watch([&](const Msg& m) { return scrollNote(m) + " at " + std::to_string(t.getPos()); });
    sim().click(t, t.pointForPos(90));
    EXPECT_EQ(notes(), (std::vector<std::string>{"scroll 3 0 at 60", "scroll 8 0 at 60", "notify -16 at 60"}));
}

TEST_F(RangeControls, TrackbarKeysEndTrackWithoutReleasedCapture)
{
    Trackbar& t = track();
    t.setPos(50);
    watch([&](const Msg& m) { return scrollNote(m) + " at " + std::to_string(t.getPos()); });
    sim().trackbarKey(t, VK_RIGHT);
    sim().trackbarKey(t, VK_PRIOR);
    EXPECT_EQ(notes(), (std::vector<std::string>{"scroll 1 0 at 51", "scroll 8 0 at 51", "scroll 2 0 at 41",
                                                 "scroll 8 0 at 41"}));
}

TEST_F(RangeControls, SpinWritesItsBuddyWithEnChangeAndReportsThePosition)
{
    auto& spin = control<UpDown>(kSpin);
    Edit& buddy = control<Edit>(kSpinBuddy);
    spin.setStyle(spin.style() | UDS_ALIGNRIGHT); // placed beside its buddy, as the dialogs' spins are
    spin.setRange32(0, 10);
    buddy.setText("7");
    watch([&](const Msg& m) { return scrollNote(m) + " buddy " + buddy.text(); });
    spin.setBuddy(buddy.hwnd());
    EXPECT_EQ(spin.getPos(), 7) << "the spin starts from its buddy's number";
    EXPECT_TRUE(notes().empty()) << "taking a buddy writes nothing into it";
    spin.setPos(4);
    EXPECT_EQ(notes(), (std::vector<std::string>{"command buddy 4"}))
        << "setPos writes the buddy, whose EN_CHANGE follows";
    spy->clear();
    sim().spin(spin, 1);
    EXPECT_EQ(notes(), (std::vector<std::string>{"notify -722 buddy 4", "command buddy 5", "scroll 4 5 buddy 5",
                                                 "scroll 8 5 buddy 5"}));
}

TEST_F(RangeControls, SpinReadsTheBuddyAndKeepsItsPositionOnBadText)
{
    auto& spin = control<UpDown>(kSpin);
    Edit& buddy = control<Edit>(kSpinBuddy);
    spin.setBuddy(buddy.hwnd());
    spin.setRange32(0, 100);
    spin.setPos(10);
    buddy.setText("40");
    sim().spin(spin, 1);
    EXPECT_EQ(spin.getPos(), 41);
    buddy.setText("forty");
    sim().spin(spin, -1);
    EXPECT_EQ(spin.getPos(), 40);
    EXPECT_EQ(buddy.text(), "40");
    spin.setPos(100);
    sim().spin(spin, 1);
    EXPECT_EQ(spin.getPos(), 100) << "clamped without UDS_WRAP";
}

TEST_F(RangeControls, SpinWrapsWithUdsWrap)
{
    auto& spin = control<UpDown>(kSpin);
    spin.setStyle(spin.style() | UDS_WRAP);
    spin.setRange32(0, 3);
    spin.setPos(3);
    sim().spin(spin, 1);
    EXPECT_EQ(spin.getPos(), 0);
    sim().spin(spin, -1);
    EXPECT_EQ(spin.getPos(), 3);
}

TEST_F(RangeControls, SpinDeltaPosNonZeroCancels)
{
    auto& spin = control<UpDown>(kSpin);
    spin.setRange32(0, 10);
    spin.setPos(3);
    host.hook = [](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_NOTIFY && notifyRecord<NMHDR>(m.lParam)->code == UDN_DELTAPOS)
            return 1;
        return std::nullopt;
    };
    watch();
    sim().spin(spin, 1);
    EXPECT_EQ(spin.getPos(), 3);
    EXPECT_EQ(spy->count(WM_VSCROLL), 1u) << "only the release's SB_ENDSCROLL";
}

TEST_F(RangeControls, TabClickAsksThenChangesAndSetCurSelIsSilent)
{
    auto& tab = control<TabControl>(kTab);
    tab.insertItem(0, "First");
    tab.insertItem(1, "Second");
    tab.insertItem(2, "Third");
    watch([&](const Msg&) { return std::to_string(tab.getCurSel()); });
    EXPECT_EQ(tab.setCurSel(1), 0);
    EXPECT_TRUE(spy->log().empty());
    sim().selectTab(tab, 2);
    EXPECT_EQ(spy->codes(WM_NOTIFY), (std::vector<int32_t>{TCN_SELCHANGING, TCN_SELCHANGE}));
    EXPECT_EQ(notes(), (std::vector<std::string>{"1", "2"}));
    host.hook = [](const Msg& m) -> std::optional<LResult> {
        if (m.message == WM_NOTIFY && notifyRecord<NMHDR>(m.lParam)->code == TCN_SELCHANGING)
            return 1;
        return std::nullopt;
    };
    sim().selectTab(tab, 0);
    EXPECT_EQ(tab.getCurSel(), 2) << "a non-zero answer keeps the tab";
    const Rect display = tab.adjustRect(false, tab.clientRect());
    EXPECT_EQ(tab.adjustRect(true, display), tab.clientRect());
}

TEST_F(RangeControls, ScrollBarDragReportsButDoesNotMoveItself)
{
    auto& bar = control<ScrollBar>(kScroll);
    bar.setInfo({0, 100, 10, 0});
    watch([&](const Msg& m) { return scrollNote(m); });
    const Rect thumb = bar.thumbRect();
    const Point from = bar.clientToScreen({thumb.l + 2, thumb.t + 4});
    sim().drag(from, {from.x + 60, from.y}, 3);
    const std::vector<int32_t> codes = [&] {
        std::vector<int32_t> out;
        for (const SpiedMessage& m : spy->log())
            out.push_back(loWord(m.wParam));
        return out;
    }();
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], SB_THUMBTRACK);
    EXPECT_EQ(codes[codes.size() - 2], SB_THUMBPOSITION);
    EXPECT_EQ(codes.back(), SB_ENDSCROLL);
    EXPECT_GT(hiWord(spy->log()[spy->log().size() - 2].wParam), 0);
    EXPECT_EQ(bar.position(), 0) << "the parent moves the bar";
    EXPECT_EQ(static_cast<Hwnd>(spy->log()[0].lParam), bar.hwnd());
    spy->clear();
    sim().click(bar, bar.arrowRect(false).topLeft());
    EXPECT_EQ(loWord(spy->log().front().wParam), SB_LINEDOWN);
}

} // namespace
} // namespace pf
