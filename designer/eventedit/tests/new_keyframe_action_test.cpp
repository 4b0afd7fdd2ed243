// A key-frame play or jump dropped from the palette on a click event, its node dropped on it: the time line shows
// the length the play runs, and the first run in the preview moves the node as the next one does.
#include <cmath>
#include <memory>

#include "designer/app/extended_world.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/story_board_row.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/eventedit/timeline_frame.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/ui/frame/frame_window.h"

namespace eventedittest {
namespace {

constexpr uint32_t kFrameMs = 33;

class NewKeyFrameAction : public EventEditFixture {
protected:
    // The action of kind made by a drop on a new left click on object0 (whose track has 21 frames), then object0
    // dropped on the action.
    SWactionnode* DropOnClick(int32_t kind)
    {
        SWevent* click = sample->world.AddEventOfType(static_cast<uint32_t>(EventType::kLeftClickObject));
        click->AddObjectName(*sample->object->GetName());
        MapObject* event = Place(engine->AddEvent(click), 300, 200);
        DragFromPalette({Item(EdKind::kActionKind, sample->Kind(kind))}, {canvas->CentreOf(*event)});
        SWactionnode* made = click->GetFirstAction();
        MapObject* shown = made != nullptr ? engine->FindActionObject(made) : nullptr;
        if (shown == nullptr)
            return nullptr;
        DragFromPalette({Item(EdKind::kNode, sample->object)}, {canvas->CentreOf(*shown)});
        return made;
    }
    // A run of the preview: one click on object0 and twelve frames; object0's matrix then, and put back.
    SWmatrix RunOnce()
    {
        SWworld& world = sample->world;
        auto* node = SWobjectnode::FromNode(sample->object);
        world.SetRunning(true);
        world.RunFrame();
        auto* click = new SWinputrecord(InputKind::kObjectClick, 0, sample->object);
        click->SetSecondWord(2);
        world.GetPostedQueue().Push(click);
        for (int i = 0; i < 12; ++i) {
            virtualClock().advance(kFrameMs);
            world.RunFrame();
        }
        const SWmatrix moved = node->GetLocalMatrix();
        world.SetRunning(false);
        world.RunFrame();
        node->SetLocalMatrix(node->GetInitialMatrix());
        world.UpdateNodeTransforms(world.GetRootNode(), 0);
        return moved;
    }
    static bool Near(const SWmatrix& a, const SWmatrix& b)
    {
        for (int i = 0; i < 16; ++i)
            if (!(std::fabs(a[i] - b[i]) <= 1e-4f))
                return false;
        return true;
    }
};

TEST_F(NewKeyFrameAction, ShowsTheLengthItPlaysAndMovesTheNodeOnTheFirstRun)
{
    SWactionnode* play = DropOnClick(44);
    ASSERT_NE(play, nullptr);
    auto* motion = dynamic_cast<SWkeyframemotion*>(play->GetMotion());
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->GetEndFrame(), 21);

    CChildEventTimelineFrame::RegisterWindowClass(ui());
    pf::FrameWindow main;
    ASSERT_TRUE(main.createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 800), 0, pf::WS_VISIBLE));
    app->SetMainFrame(&main);
    auto* timeline = dynamic_cast<CChildEventTimelineFrame*>(app->OpenEventTimeline(play->GetEvent()));
    ASSERT_NE(timeline, nullptr);
    sim().pump();
    const CSBActionNodeRow* row = timeline->View().Board()->FindRow(play);
    ASSERT_NE(row, nullptr);
    const auto* end = static_cast<const CSBMarker*>(row->Markers().Head()->Next());
    ASSERT_NE(end, nullptr);
    EXPECT_NEAR(end->Time() - play->GetDelay(), 700.0, 1.0); // 21 frames of 33.3 ms
    timeline->destroy();
    sim().pump();
    app->SetMainFrame(nullptr);

    const SWmatrix first = RunOnce();
    EXPECT_FALSE(Near(first, SWobjectnode::FromNode(sample->object)->GetInitialMatrix()));
    EXPECT_TRUE(Near(first, RunOnce()));
}

// The jump goes to the frame its editor shows, the first, on its first run as on the next.
TEST_F(NewKeyFrameAction, AJumpHoldsTheFrameItShowsAndRuns)
{
    SWactionnode* jump = DropOnClick(47);
    ASSERT_NE(jump, nullptr);
    const auto* motion = dynamic_cast<const SWkeyframejumpmotion*>(jump->GetMotion());
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->GetFrame(), 0);
    EXPECT_TRUE(Near(RunOnce(), RunOnce()));
}

} // namespace
} // namespace eventedittest
