// The trackball editor: a new kind-63 action's pages, tabs that show exactly their pages where they belong, None
// disabling a page and the next function restoring it before the scale rule, limits by input code and in degrees,
// per-channel frames and targets, and the global bytes.
#include <cfloat>
#include <vector>

#include "designer/editing/picker_receptors.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/editors/trackball_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/tab_control.h"

namespace tooltiptest {
namespace {

class TrackballEditor : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        action = sample->AddAction(*sample->timer, 63);
        ASSERT_NE(action, nullptr);
        motion = dynamic_cast<SWarcballmotion*>(action->GetMotion());
        ASSERT_NE(motion, nullptr);
        editor = dynamic_cast<CVTND_TrackballDlg*>(app->EditObject(CVTND_Object(action), false));
        ASSERT_NE(editor, nullptr);
        editor->show(pf::SW_SHOW);
        sim().pump();
    }
    void Choose(pf::Dialog& page, int32_t id, int32_t index)
    {
        ASSERT_TRUE(sim().chooseCombo(*page.item<pf::ComboBox>(id), index));
        sim().pump();
    }
    void Tab(int32_t index)
    {
        ASSERT_TRUE(sim().selectTab(*editor->item<pf::TabControl>(1271), index));
        sim().pump();
    }
    std::vector<bool> EnabledStates(pf::Dialog& page)
    {
        std::vector<bool> states;
        for (const int32_t id : CVTND_TrackballButtonDlg::SavedControls())
            states.push_back(page.child(id)->isEnabled());
        return states;
    }

    SWactionnode* action = nullptr;
    SWarcballmotion* motion = nullptr;
    CVTND_TrackballDlg* editor = nullptr;
};

TEST_F(TrackballEditor, ANewActionsPagesAndTabsShowTheirChannels)
{
    CVTND_TrackballButtonDlg& horizontal = *editor->Page(0);
    CVTND_TrackballButtonDlg& vertical = *editor->Page(1);
    EXPECT_EQ(horizontal.item<pf::ComboBox>(1119)->getCurSel(), 2); // rotate Y
    EXPECT_EQ(vertical.item<pf::ComboBox>(1119)->getCurSel(), 1);   // rotate X
    EXPECT_EQ(horizontal.item<pf::Button>(1127)->getCheck(), pf::BST_CHECKED);
    EXPECT_EQ(horizontal.item<pf::Button>(1126)->getCheck(), pf::BST_CHECKED);
    EXPECT_EQ(horizontal.child(1171)->getText(), "2000");
    EXPECT_EQ(horizontal.item<pf::Button>(1123)->getCheck(), 0);
    EXPECT_EQ(horizontal.child(1122)->getText(), "-180");
    EXPECT_EQ(horizontal.child(1121)->getText(), "180");
    EXPECT_FALSE(horizontal.child(1122)->isEnabled());

    // Each tab shows exactly its pages, the horizontal at (5, 10), the vertical beside it.
    EXPECT_EQ(horizontal.windowRect().l, 5);
    EXPECT_EQ(horizontal.windowRect().t, 10);
    EXPECT_EQ(vertical.windowRect().l, static_cast<int32_t>(vertical.clientRect().width()) + 10);
    Tab(2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(editor->Page(i)->isVisible(), i / 2 == 2) << i;
    EXPECT_FALSE(editor->Globals()->isVisible());
    EXPECT_EQ(editor->Page(4)->item<pf::ComboBox>(1119)->getCurSel(), 0); // none
    EXPECT_EQ(editor->Page(5)->item<pf::ComboBox>(1119)->getCurSel(), 6); // translate Z
    EXPECT_EQ(editor->Page(5)->item<pf::Button>(1127)->getCheck(), pf::BST_CHECKED);
    Tab(3);
    EXPECT_TRUE(editor->Globals()->isVisible());
    EXPECT_FALSE(editor->Page(4)->isVisible());
}

TEST_F(TrackballEditor, NoneDisablesThePageAndTheNextFunctionRestoresItBeforeTheScaleRule)
{
    CVTND_TrackballButtonDlg& page = *editor->Page(0);
    const std::vector<bool> before = EnabledStates(page);
    ASSERT_FALSE(before[9]); // the minimum edit, off while limits are off
    Choose(page, 1119, 0);
    EXPECT_EQ(motion->GetChannel(0).GetInputCode(), 10);
    for (const int32_t id : CVTND_TrackballButtonDlg::SavedControls())
        EXPECT_FALSE(page.child(id)->isEnabled()) << id;
    EXPECT_TRUE(page.child(1119)->isEnabled());
    Choose(page, 1119, 3); // rotate Z: exactly the states from before
    EXPECT_EQ(EnabledStates(page), before);
    Choose(page, 1119, 7); // scale: the frame and target controls go
    for (const int32_t id : {1376, 1003, 1390, 1124, 1125})
        EXPECT_FALSE(page.child(id)->isEnabled()) << id;
    EXPECT_EQ(motion->GetChannel(0).GetInputCode(), 11);
}

// A new action's right-button horizontal channel opens on None: its first function gives the controls back.
TEST_F(TrackballEditor, APageThatOpensOnNoneGetsItsControlsBackWithAFunction)
{
    Tab(2);
    CVTND_TrackballButtonDlg& page = *editor->Page(4);
    ASSERT_EQ(motion->GetChannel(4).GetInputCode(), 10);
    EXPECT_FALSE(page.child(1127)->isEnabled());
    Choose(page, 1119, 1); // rotate X
    for (const int32_t id : {1127, 1120, 1123, 1126, 1376})
        EXPECT_TRUE(page.child(id)->isEnabled()) << id;
    EXPECT_FALSE(page.child(1122)->isEnabled()); // the minimum still follows Apply limits
}

TEST_F(TrackballEditor, LimitsFollowTheInputCodeAndRotationsAreTypedInDegrees)
{
    CVTND_TrackballButtonDlg& page = *editor->Page(1); // rotate X
    SWcontrolchannel& channel = motion->GetChannel(1);
    Choose(page, 1119, 4); // translate X
    EXPECT_EQ(channel.GetMinimum(), -FLT_MAX);
    EXPECT_EQ(channel.GetMaximum(), FLT_MAX);
    Choose(page, 1119, 5); // translate Y: kept
    EXPECT_EQ(channel.GetMaximum(), FLT_MAX);
    Choose(page, 1119, 2); // rotate Y
    EXPECT_NEAR(channel.GetMaximum(), 3.14159265f, 1e-6f);
    sim().click(*page.child(1123));
    EXPECT_TRUE(channel.IsClamped());
    EXPECT_TRUE(page.child(1122)->isEnabled());
    sim().replaceText(*page.child(1122), "90");
    sim().pump();
    // The Part's two calls leave the second: the number times 0.017453292.
    EXPECT_FLOAT_EQ(channel.GetMinimum(), 90.0f * 0.017453292f);
    EXPECT_NEAR(channel.GetMinimum(), 1.5707963f, 1e-6f);
    sim().replaceText(*page.child(1120), "250");
    sim().pump();
    EXPECT_FLOAT_EQ(channel.GetScale(), 2.5f);

    // The frame and its boxes act on this channel only; a dropped node becomes its target.
    const uint8_t other = motion->GetChannel(0).GetFrameBits();
    Choose(page, 1376, 4);
    EXPECT_NE(channel.GetFrameBits() & 0x10, 0);
    EXPECT_EQ(motion->GetChannel(0).GetFrameBits(), other);
    page.send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->object));
    EXPECT_EQ(channel.GetTargetObject(), sample->object);
    EXPECT_EQ(motion->GetChannel(0).GetTargetObject(), nullptr);
    EXPECT_EQ(page.child(1390)->getText(), *sample->object->GetName());
    sim().click(*page.child(1125));
    EXPECT_NE(channel.GetFrameBits() & 0x40, 0);

    // Reopened, the limit shows in degrees again.
    editor->DestroyWindow();
    auto* again = dynamic_cast<CVTND_TrackballDlg*>(app->EditObject(CVTND_Object(action), false));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Page(1)->child(1122)->getText(), "90");
    again->DestroyWindow();
}

TEST_F(TrackballEditor, TheGlobalsPageWritesTheMotionsBytes)
{
    Tab(3);
    CVTND_TrackballGlobalsDlg& globals = *editor->Globals();
    const bool twoButtons = motion->IsTwoButtonMiddle();
    sim().click(*globals.child(1141));
    sim().click(*globals.child(1140));
    sim().click(*globals.child(1142));
    EXPECT_TRUE(motion->IsExclusive());
    EXPECT_TRUE(motion->IsCentred());
    EXPECT_NE(motion->IsTwoButtonMiddle(), twoButtons);
    sim().click(*globals.child(1139));
    EXPECT_FALSE(motion->IsCentred());
}

} // namespace
} // namespace tooltiptest
