// Sequences wait for real motions run by the frame driver: the motion is stepped, folded into the nodes it is bound
// to and, once it ends, lets go of the sequence entry it held, one hold per node.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/object_node.h"
#include "testsupport/behaviour/frame_driver.h"
#include "testsupport/behaviour/trace_observer.h"

namespace {

constexpr float kQuarterTurn = 1.5707964f;

struct Driver : FrameDriver {
    RecordingObserver recorder;
};

// The nodes the start handler binds its motion to, as the per-node start does: one hold each, then Start.
std::vector<std::string> g_boundNames;
SWactionqueueentry* g_heldEntry = nullptr;

void StartOnNamedNodes(SWevent*, SWevents* events, const ActionTarget&, const ActionSubject& subject)
{
    auto* motion = dynamic_cast<SWnodemotion*>(subject.motion);
    SWworld* world = events->AsWorld();
    if (motion == nullptr || world == nullptr)
        return;
    for (const std::string& name : g_boundNames) {
        auto* node = dynamic_cast<SWobjectnode*>(world->GetRootNode()->FindByName(name));
        motion->BindNode(node->GetId());
        node->AttachTimedAction(motion);
        motion->AddHold();
    }
    g_heldEntry = motion->GetHoldObject();
    motion->Start();
}

// A queue of a plain action, a 300 ms quarter turn about Y that the queue waits for, and another plain action.
struct TurnSequence {
    explicit TurnSequence(Driver& d)
    {
        spin.SetKindId(41);
        spin.SetHandler(StartOnNamedNodes);
        event = d.Event(3, "sequence");
        queue = static_cast<SWqueueaction*>(d.Action(event, 30));
        first = d.Action(event, 0);
        first->SetQueueLink(queue->GetActionId());
        auto* turning = new SWmotionaction(41);
        turning->SetKind(&spin);
        auto motion = std::make_unique<SWxyzmotion>(&d.world, SWxyzmotion::kRotate);
        auto track = std::make_unique<SWaxistrack>(&d.world, kQuarterTurn);
        track->SetDuration(300.0f);
        motion->SetGenerator(std::move(track), 1);
        turning->SetMotion(std::move(motion));
        event->AppendAction(turning);
        turning->SetActionId(d.world.NextActionId());
        turning->SetQueueLink(queue->GetActionId());
        turning->SetWait(1);
        turn = turning;
        last = d.Action(event, 0);
        last->SetQueueLink(queue->GetActionId());
    }
    SWactionkind spin;
    SWevent* event;
    SWqueueaction* queue;
    SWactionnode* first;
    SWactionnode* turn;
    SWactionnode* last;
};

float AngleAboutY(const SWobjectnode& node)
{
    const SWmatrix m = node.GetLocalMatrix();
    return std::atan2(m[2], m[0]); // element (0, 2) over (0, 0)
}

} // namespace

TEST(MotionSequences, TheNextGroupWaitsUntilTheFrameAfterTheMotionEnds)
{
    Driver d;
    auto* spinner = static_cast<SWobjectnode*>(d.Node("spinner"));
    g_boundNames = {"spinner"};
    TurnSequence s(d);
    d.Observe(d.recorder);
    d.Post(SWinputrecord::SWinputrecordTrigger(s.event, std::nullopt, 0));
    d.Frame(33);
    ASSERT_NE(g_heldEntry, nullptr);
    EXPECT_EQ(g_heldEntry->GetWaitCount(), 1u); // starting placed no hold of its own
    EXPECT_EQ(d.recorder.executed.back(), s.turn->GetActionId());

    int frames = 1;
    while (TimedActionTable::Of(d.world).Count() > 0 && frames < 40) {
        EXPECT_NE(d.recorder.executed.back(), s.last->GetActionId()) << "frame " << frames;
        d.Frame(33);
        ++frames;
    }
    EXPECT_EQ(frames, 11); // 300 ms from the first frame: the step at 330 ms ends it
    EXPECT_NEAR(AngleAboutY(*spinner), kQuarterTurn, 1e-5f);
    EXPECT_NE(d.recorder.executed.back(), s.last->GetActionId());
    d.Frame(33);
    EXPECT_EQ(d.recorder.executed.back(), s.last->GetActionId());
}

TEST(MotionSequences, AMotionOnTwoNodesHoldsTwiceAndLetsGoOfBoth)
{
    Driver d;
    auto* a = static_cast<SWobjectnode*>(d.Node("a"));
    auto* b = static_cast<SWobjectnode*>(d.Node("b"));
    b->SetLocalMatrix(SWmatrix::Translation(4.0f, 0.0f, 0.0f));
    g_boundNames = {"a", "b"};
    TurnSequence s(d);
    d.Observe(d.recorder);
    d.Post(SWinputrecord::SWinputrecordTrigger(s.event, std::nullopt, 0));
    d.Frame(33);
    ASSERT_NE(g_heldEntry, nullptr);
    SWactionqueueentry* entry = g_heldEntry;
    QueueEntryRef keep(entry);
    EXPECT_EQ(entry->GetWaitCount(), 2u);
    for (int i = 0; i < 12; ++i)
        d.Frame(33);
    EXPECT_EQ(TimedActionTable::Of(d.world).Count(), 0u);
    EXPECT_NEAR(AngleAboutY(*a), kQuarterTurn, 1e-5f);
    EXPECT_NEAR(AngleAboutY(*b), kQuarterTurn, 1e-5f);
    EXPECT_NEAR(b->GetLocalMatrix()[3], 4.0f, 1e-5f); // turned in place, in its own frame
    EXPECT_EQ(d.recorder.executed.back(), s.last->GetActionId());
}
