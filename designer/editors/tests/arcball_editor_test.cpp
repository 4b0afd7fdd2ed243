// The arcball editor: the button function table read both ways, a new action's opening without writes, functions,
// frames, flags, release behaviour and sensitivities written through into all the channels they concern, and a node
// dropped on the picker.
#include <vector>

#include "designer/editing/picker_receptors.h"
#include "designer/editors/arcball_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/editors/trackball_dlg.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace tooltiptest {
namespace {

std::vector<uint8_t> Saved(const SWarcballmotion& motion)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(motion.Save(out));
    }
    return buffer.ToVector();
}

class ArcballEditor : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        action = sample->AddAction(*sample->timer, 45);
        ASSERT_NE(action, nullptr);
        motion = dynamic_cast<SWarcballmotion*>(action->GetMotion());
        ASSERT_NE(motion, nullptr);
    }
    CVTND_ControllerMotionArcballDlg* Open()
    {
        auto* editor = dynamic_cast<CVTND_ControllerMotionArcballDlg*>(app->EditObject(CVTND_Object(action), false));
        if (editor != nullptr)
            editor->show(pf::SW_SHOW);
        sim().pump();
        return editor;
    }
    int32_t Selected(CVTND_ControllerMotionArcballDlg& editor, int32_t id)
    {
        return editor.item<pf::ComboBox>(id)->getCurSel();
    }
    // The drop list shows twelve rows: entries past them are reached with the arrow keys, as a person would.
    void Choose(CVTND_ControllerMotionArcballDlg& editor, int32_t id, int32_t index)
    {
        auto& combo = *editor.item<pf::ComboBox>(id);
        if (index < 12) {
            ASSERT_TRUE(sim().chooseCombo(combo, index));
        } else {
            sim().click(combo);
            sim().keyPress(pf::VK_ESCAPE);
            while (combo.getCurSel() < index)
                sim().keyPress(pf::VK_DOWN);
        }
        sim().pump();
        ASSERT_EQ(combo.getCurSel(), index);
    }
    bool Checked(CVTND_ControllerMotionArcballDlg& editor, int32_t id)
    {
        return editor.item<pf::Button>(id)->getCheck() == pf::BST_CHECKED;
    }

    SWactionnode* action = nullptr;
    SWarcballmotion* motion = nullptr;
};

TEST_F(ArcballEditor, EveryFunctionIsRecognisedOnEveryButtonAndTheComboOrderMapsToIt)
{
    for (const auto& [button, first] : {std::pair{2, 0}, std::pair{4, 2}, std::pair{1, 4}}) {
        for (uint8_t f = 0; f <= 20; ++f) {
            motion->SetButtonFunction(static_cast<uint8_t>(button), f, 1.0f, 1.0f, 1.0f, true, 100.0f);
            EXPECT_EQ(CVTND_ControllerMotionArcballDlg::RecogniseFunction(motion->GetChannel(first),
                                                                          motion->GetChannel(first + 1)),
                      f)
                << int(f) << " on " << button;
        }
    }
    for (int32_t index = 0; index <= 20; ++index) {
        const uint8_t f = CVTND_ControllerMotionArcballDlg::FunctionOfComboIndex(index);
        EXPECT_EQ(f, index < 10 ? index : index < 20 ? index + 1 : 10);
        EXPECT_EQ(CVTND_ControllerMotionArcballDlg::ComboIndexOf(f), index);
    }
    EXPECT_EQ(CVTND_ControllerMotionArcballDlg::FunctionOfComboIndex(-1), 10);
    // A pair that matches nothing reads as None while its channels still act.
    motion->GetChannel(0).SetInputCode(2);
    motion->GetChannel(1).SetInputCode(2);
    EXPECT_EQ(CVTND_ControllerMotionArcballDlg::RecogniseFunction(motion->GetChannel(0), motion->GetChannel(1)), 10);
}

TEST_F(ArcballEditor, ANewActionOpensAsTheMotionIsAndWritesNothing)
{
    const std::vector<uint8_t> before = Saved(*motion);
    CVTND_ControllerMotionArcballDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Selected(*editor, 1293), 3); // rotate XY
    EXPECT_EQ(Selected(*editor, 1264), 7); // translate XY
    EXPECT_EQ(Selected(*editor, 1263), 6); // translate Z
    EXPECT_EQ(Selected(*editor, 1376), 3); // camera
    EXPECT_TRUE(Checked(*editor, 1124));
    EXPECT_FALSE(Checked(*editor, 1125));
    EXPECT_TRUE(Checked(*editor, 1187));
    EXPECT_EQ(editor->child(1171)->getText(), "2000");
    for (const int32_t id : {1344, 1345, 1346})
        EXPECT_EQ(editor->child(id)->getText(), "100");
    EXPECT_FALSE(editor->child(1003)->isVisible());
    EXPECT_EQ(Saved(*motion), before);
}

TEST_F(ArcballEditor, FunctionsFramesAndFlagsGoIntoTheChannels)
{
    CVTND_ControllerMotionArcballDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    Choose(*editor, 1263, 20); // right: None
    EXPECT_EQ(motion->GetChannel(4).GetInputCode(), 10);
    EXPECT_EQ(motion->GetChannel(5).GetInputCode(), 10);

    const uint8_t kept = motion->GetChannel(0).GetFrameBits() & 0xC0;
    Choose(*editor, 1376, 2); // world
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(motion->GetChannel(c).GetFrameBits(), kept | 0x04) << c;
    Choose(*editor, 1376, 0); // own: the pivot box off, its bit kept
    EXPECT_FALSE(editor->child(1124)->isEnabled());
    EXPECT_EQ(motion->GetChannel(3).GetFrameBits() & 0x80, kept & 0x80);
    sim().click(*editor->child(1125));
    for (int c = 0; c < 6; ++c)
        EXPECT_NE(motion->GetChannel(c).GetFrameBits() & 0x40, 0) << c;

    // The target frame shows the picker; a node dropped on it becomes every channel's target.
    Choose(*editor, 1376, 4);
    EXPECT_TRUE(editor->child(1003)->isVisible());
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->object));
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(motion->GetChannel(c).GetTargetObject(), sample->object) << c;
    EXPECT_EQ(editor->child(1390)->getText(), *sample->object->GetName());
    Choose(*editor, 1376, 1); // parent: the picker hidden, the target kept
    EXPECT_FALSE(editor->child(1003)->isVisible());
    EXPECT_EQ(motion->GetChannel(0).GetTargetObject(), sample->object);

    // Keep rotating flips the rotation channels as a group; the friction goes to each of them.
    sim().click(*editor->child(1187));
    EXPECT_FALSE(motion->GetChannel(0).HasMomentum());
    EXPECT_FALSE(motion->GetChannel(1).HasMomentum());
    sim().replaceText(*editor->child(1171), "750");
    sim().pump();
    EXPECT_EQ(motion->GetChannel(0).GetMomentumTime(), 750.0f);
    EXPECT_EQ(motion->GetChannel(1).GetMomentumTime(), 750.0f);
    sim().click(*editor->child(1193));
    EXPECT_TRUE(motion->IsExclusive());

    // None, reopened, shows None.
    editor->DestroyWindow();
    editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Selected(*editor, 1263), 20);
    EXPECT_EQ(Selected(*editor, 1376), 1);
    editor->DestroyWindow();
}

// The channels' target renamed through the rename dialog while the arcball and trackball editors are open: both
// show the new name.
TEST_F(ArcballEditor, TheTargetShownFollowsARenameInTheArcballAndTrackballEditors)
{
    SWactionnode* trackballAction = sample->AddAction(*sample->timer, 63);
    ASSERT_NE(trackballAction, nullptr);
    auto* trackball = dynamic_cast<SWarcballmotion*>(trackballAction->GetMotion());
    ASSERT_NE(trackball, nullptr);
    for (SWarcballmotion* aimed : {motion, trackball})
        for (int c = 0; c < 6; ++c) {
            aimed->GetChannel(c).SetTargetObject(sample->object);
            aimed->GetChannel(c).SetFrameBits(SWnodemotion::kFrameTarget);
        }
    CVTND_ControllerMotionArcballDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    auto* pages = dynamic_cast<CVTND_TrackballDlg*>(app->EditObject(CVTND_Object(trackballAction), false));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(editor->child(1390)->getText(), *sample->object->GetName());
    sim().onModal(kIddRename, [this](pf::Dialog& d) {
        sim().replaceText(*d.child(RenameControl::kNewName), "dial");
        sim().click(*d.child(pf::IDOK));
    });
    CVTND_RenameDlg rename{CVTND_Object(sample->object), nullptr};
    ASSERT_EQ(rename.Run(), 1);
    EXPECT_EQ(editor->child(1390)->getText(), "dial");
    for (int p = 0; p < 6; ++p)
        EXPECT_EQ(pages->Page(p)->child(1390)->getText(), "dial") << p;
    editor->DestroyWindow();
    pages->DestroyWindow();
}

TEST_F(ArcballEditor, SensitivitiesSetTheSpeedsAndTheirAxesScalesAndSurviveASave)
{
    CVTND_ControllerMotionArcballDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    Choose(*editor, 1263, 9); // right: translate YZ, so every axis has a channel
    for (const auto& [id, text] : {std::pair{1344, "150"}, std::pair{1345, "50"}, std::pair{1346, "0"}}) {
        sim().replaceText(*editor->child(id), text);
        sim().pump();
    }
    EXPECT_EQ(motion->GetAxisSpeeds(), (std::array<float, 3>{1.5f, 0.5f, 0.0f}));
    for (int c = 0; c < 6; ++c) {
        const uint8_t code = motion->GetChannel(c).GetInputCode();
        if (SWcontrolchannel::IsTranslationCode(code)) {
            EXPECT_EQ(motion->GetChannel(c).GetScale(), motion->GetAxisSpeeds()[code - 4u]) << c;
        }
    }
    editor->DestroyWindow();
    const std::vector<uint8_t> bytes = Saved(*motion);
    SWarcballmotion loaded(&World());
    SWchunkstream in{std::span<const uint8_t>(bytes)};
    ASSERT_TRUE(loaded.Load(in));
    EXPECT_EQ(loaded.GetAxisSpeeds(), (std::array<float, 3>{1.5f, 0.5f, 0.0f}));
}

} // namespace
} // namespace tooltiptest
