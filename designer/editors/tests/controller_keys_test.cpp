// The controller editor by the keyboard alone: Tab reaches the "~" button beside each animated value and the key-frame
// pages' frame bars, and the keys then choose a generator and set the frames; what a refused value said on the status
// bar goes with the editor.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "designer/editors/controller_editor.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/object_node.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/frame/frame_window.h"

namespace editorstest {
namespace {

class ControllerKeys : public EditorsFixture {
protected:
    CVTND_ActionControllerDlg* OpenOn(SWactionnode* action)
    {
        return Open<CVTND_ActionControllerDlg>(CVTND_Object(action));
    }
    // Tab pressed until the focus is on a window that `wanted` accepts, at most one round of the dialog's stops.
    pf::Window* TabTo(pf::Dialog& dialog, const std::function<bool(const pf::Window&)>& wanted)
    {
        for (size_t i = 0; i <= dialog.tabStops().size(); ++i) {
            sim().keyPress(pf::VK_TAB);
            if (pf::Window* focus = pf::ui().window(pf::ui().focus()); focus != nullptr && wanted(*focus))
                return focus;
        }
        return nullptr;
    }
};

bool IsGeneratorButton(const pf::Window& w)
{
    return w.className() == "button" && w.parent() != nullptr && w.parent()->className() == "CVTND_ValueGenerator";
}

// Each of X, Y and Z has its "~" in the round; Space on X's opens the menu and the choice reaches X's generator.
TEST_F(ControllerKeys, TabReachesEachGeneratorButtonAndSpaceChoosesByItsMenu)
{
    SWactionnode* rotate = sample->AddAction(*sample->timer, 43);
    auto* motion = dynamic_cast<SWxyzmotion*>(rotate->GetMotion());
    ASSERT_NE(motion, nullptr);
    CVTND_ActionControllerDlg* editor = OpenOn(rotate);
    ASSERT_NE(editor, nullptr);
    std::vector<const pf::Window*> reached;
    for (size_t i = 0; i < editor->tabStops().size(); ++i) {
        sim().keyPress(pf::VK_TAB);
        const pf::Window* focus = pf::ui().window(pf::ui().focus());
        if (focus != nullptr && IsGeneratorButton(*focus) &&
            std::find(reached.begin(), reached.end(), focus) == reached.end())
            reached.push_back(focus);
    }
    EXPECT_EQ(reached.size(), 3u) << "X, Y and Z";

    auto* x = dynamic_cast<CVTND_ValueGenerator*>(editor->CurrentPage()->child(1004));
    ASSERT_NE(x, nullptr);
    ASSERT_NE(TabTo(*editor, [x](const pf::Window& w) { return &w == x->GetButton(); }), nullptr);
    sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kSine);
    sim().keyPress(pf::VK_SPACE);
    sim().pump();
    ASSERT_NE(motion->GetGenerator(0), nullptr);
    EXPECT_EQ(motion->GetGenerator(0)->GetType(), SWgenerator::kSine);
}

// A play of "walk" (keys at 0, 10 and 20): Tab reaches the Start and End frame bars, and the arrows move each frame.
TEST_F(ControllerKeys, TabReachesTheFrameBarsAndTheArrowsSetTheFrames)
{
    AnimationTrack& walk = SWobjectnode::FromNode(sample->object)->GetAnimationTracks().AddTrack(std::string("walk"));
    for (const uint32_t f : {0u, 10u, 20u})
        walk.SetKey(f, SWmatrix::Translation(static_cast<float>(f), 0.0f, 0.0f));
    SWactionnode* play = sample->AddAction(*sample->timer, 44);
    play->AddArgument(sample->object->GetName()->c_str(), SWdatanode::kString, true);
    auto* motion = dynamic_cast<SWkeyframemotion*>(play->GetMotion());
    ASSERT_NE(motion, nullptr);
    motion->SetBlockName(std::string("walk"));
    CVTND_ActionControllerDlg* editor = OpenOn(play);
    ASSERT_NE(editor, nullptr);
    pf::Window* page = editor->CurrentPage();
    const int32_t end = motion->GetEndFrame();
    ASSERT_GT(end, 2);

    ASSERT_NE(TabTo(*editor, [page](const pf::Window& w) { return &w == page->child(1078); }), nullptr)
        << "the Start frame bar";
    sim().keyPress(pf::VK_RIGHT);
    sim().keyPress(pf::VK_RIGHT);
    EXPECT_EQ(motion->GetStartFrame(), 2);
    EXPECT_EQ(page->child(1079)->getText(), "2");
    ASSERT_NE(TabTo(*editor, [page](const pf::Window& w) { return &w == page->child(1081); }), nullptr)
        << "the End frame bar";
    sim().keyPress(pf::VK_LEFT);
    EXPECT_EQ(motion->GetEndFrame(), end - 1);
    EXPECT_EQ(page->child(1082)->getText(), std::to_string(end - 1));
}

// A value refused in the editor says why on the main window's status bar; closing the editor takes the words away.
TEST_F(ControllerKeys, ARefusalLeavesTheStatusBarWhenItsEditorCloses)
{
    pf::FrameWindow frame;
    ASSERT_TRUE(frame.createFrame("Designer", {0, 0, 800, 600}, 0, pf::WS_VISIBLE));
    ASSERT_TRUE(frame.createStatusBar({-1}));
    frame.statusBar()->setText(0, "Ready");
    app->SetMainFrame(&frame);
    CVTND_ActionControllerDlg* editor = OpenOn(sample->AddAction(*sample->timer, 43));
    ASSERT_NE(editor, nullptr);
    auto* x = dynamic_cast<CVTND_ValueGenerator*>(editor->CurrentPage()->child(1004));
    ASSERT_NE(x, nullptr);
    sim().replaceText(*x->GetEdit(), "abc");
    sim().pump();
    EXPECT_NE(frame.statusBar()->paneText(0), "Ready") << "the refusal is said";
    editor->DestroyWindow();
    sim().pump();
    EXPECT_EQ(frame.statusBar()->paneText(0), "Ready");
    app->SetMainFrame(nullptr);
    frame.destroy();
}

} // namespace
} // namespace editorstest
