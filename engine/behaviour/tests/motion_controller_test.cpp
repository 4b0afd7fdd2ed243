// The motion controller: frames of a key-frame play, passes, ping-pong and transitions, jumps, the timed
// translation and rotation, vertex frames, and durations that would otherwise never end a step.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/animation_data.h"
#include "engine/core/camera_node.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/mesh.h"

namespace {

// A step that loops for ever fails the test at once instead of hanging the suite: a guard against a loop that
// never ends, not a measure of speed.
template <typename Body> void WithinSeconds(Body body)
{
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "a controller step did not end within 60 s\n");
        std::_Exit(1);
    }
    done.get();
}

// A node whose default track puts frame f at x = f, for frames 0..frames-1, with clip 1 starting at base.
struct Animated {
    explicit Animated(uint32_t frames = 11, uint32_t base = 0)
    {
        node->SetName(std::string("walker"));
        world.AddNode(node, nullptr);
        AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
        for (uint32_t f = 0; f < frames + base; ++f)
            track.SetKey(f, SWmatrix::Translation(static_cast<float>(f), 0.0f, 0.0f));
        node->GetAnimationTracks().GetClips().Add({1, base});
        node->SetHasKeyFrameMatrices(1);
        controller = node->GetMotionController(&world, true);
        controller->Step(0.0f);
    }
    void StepTo(float ms) { controller->Step(ms); }
    size_t FinishedRecords()
    {
        size_t n = 0;
        while (SWinputrecord* r = world.GetPostedQueue().Pop()) {
            n += r->GetKind() == InputKind::kMotionFinished ? 1 : 0;
            delete r;
        }
        return n;
    }
    SWworld world;
    SWobjectnode* node = new SWobjectnode();
    SWmotioncontroller* controller = nullptr;
};

SWoldanimationaction::Settings PlayOf(int32_t start, int32_t end)
{
    SWoldanimationaction::Settings s;
    s.startFrame = start;
    s.endFrame = end;
    s.clipId = 1;
    return s;
}

float AngleAboutZ(const SWmatrix& m)
{
    return std::atan2(m[4], m[0]);
}

} // namespace

TEST(MotionControllerPlay, FramesAtThirtyASecondForwardAndReverse)
{
    Animated a;
    SWoldanimationaction play(2);
    play.settings = PlayOf(0, 10);
    a.controller->Play(&play);
    a.StepTo(32.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 0);
    a.StepTo(33.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 1);
    EXPECT_FLOAT_EQ(a.node->GetAnimationMatrix()[3], 1.0f);

    Animated b;
    SWoldanimationaction reverse(2);
    reverse.settings = PlayOf(5, 0);
    b.controller->Play(&reverse);
    b.StepTo(1.0f);
    EXPECT_EQ(b.controller->GetCurrentFrame(), 4);
}

TEST(MotionControllerPlay, PassesEndOnceAndPingPongEndsAtTheStart)
{
    Animated a(11, 20);
    SWoldanimationaction play(2);
    play.settings = PlayOf(0, 3);
    play.settings.passCount = 3;
    a.controller->Play(&play);
    for (float t = 10.0f; t <= 400.0f; t += 10.0f)
        a.StepTo(t);
    EXPECT_EQ(a.controller->GetPlay(), nullptr);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 3 + 20);
    EXPECT_EQ(a.FinishedRecords(), 1u);

    Animated b(11, 20);
    SWoldanimationaction pong(2);
    pong.settings = PlayOf(0, 3);
    pong.settings.passCount = 2;
    pong.settings.pingPong = 1;
    b.controller->Play(&pong);
    for (float t = 10.0f; t <= 400.0f; t += 10.0f)
        b.StepTo(t);
    EXPECT_EQ(b.controller->GetCurrentFrame(), 0 + 20);
    EXPECT_EQ(b.FinishedRecords(), 1u);

    Animated c;
    SWoldanimationaction forever(2);
    forever.settings = PlayOf(0, 3);
    forever.settings.loopForever = 1;
    c.controller->Play(&forever);
    for (float t = 10.0f; t <= 5000.0f; t += 10.0f)
        c.StepTo(t);
    EXPECT_NE(c.controller->GetPlay(), nullptr);
    EXPECT_EQ(c.FinishedRecords(), 0u);
}

TEST(MotionControllerPlay, TransitionBlendsIntoTheFirstFrameAndJumpWithoutOneSnaps)
{
    Animated a;
    SWoldjumpaction jump(32);
    jump.settings.frame = 8;
    jump.settings.clipId = 1;
    a.controller->JumpTo(&jump);
    a.StepTo(1.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 8);
    EXPECT_EQ(a.controller->GetJump(), nullptr);

    SWoldanimationaction play(2);
    play.settings = PlayOf(2, 6);
    play.settings.transitionSeconds = 0.3;
    a.controller->Play(&play);
    a.StepTo(151.0f); // half way from frame 8 (x = 8) to frame 2 (x = 2)
    EXPECT_NEAR(a.node->GetAnimationMatrix()[3], 5.0f, 1e-4f);
    a.StepTo(301.0f + 34.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 3);
}

TEST(MotionControllerPlay, ZeroDurationsNeverLoopInsideAStep)
{
    // Use-duration with a duration of 0 counts frames at 30 a second instead of dividing by zero.
    Animated a;
    SWoldanimationaction play(2);
    play.settings = PlayOf(0, 10);
    play.settings.useDuration = 1;
    play.settings.durationSeconds = 0.0;
    a.controller->Play(&play);
    a.StepTo(33.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 1);

    // Start = end, no transition, for ever: a period of 0 counts one pass per step.
    Animated b;
    SWoldanimationaction still(2);
    still.settings = PlayOf(4, 4);
    still.settings.loopForever = 1;
    b.controller->Play(&still);
    WithinSeconds([&] {
        for (float t = 10.0f; t <= 1000.0f; t += 10.0f)
            b.StepTo(t);
    });
    EXPECT_EQ(b.controller->GetCurrentFrame(), 4);
    EXPECT_NE(b.controller->GetPlay(), nullptr);
}

TEST(MotionControllerTransform, LoopingRotationMakesWholeTurnsPlusTheRemainder)
{
    Animated a;
    SWoldrotationaction turn(27);
    turn.settings.rotation = CVTN_Quaternion::FromAxisAngle(SWvector(0, 0, 1), std::numbers::pi_v<float> / 2);
    turn.settings.durationMs = 100;
    turn.settings.continuous = 1;
    a.controller->Rotate(&turn);
    for (const float t : {37.0f, 81.0f, 130.0f, 199.0f, 250.0f})
        a.StepTo(t);
    // 2.5 quarter turns: 225 degrees, which atan2 reports as -135.
    EXPECT_NEAR(AngleAboutZ(a.node->GetLocalMatrix()), -0.75f * std::numbers::pi_v<float>, 1e-4f);
}

TEST(MotionControllerTransform, TranslationRestartsFromWhereItIsAndZeroDurationsEnd)
{
    Animated a;
    SWoldtranslationaction move(26);
    move.settings.x = 10.0f;
    move.settings.durationMs = 100;
    a.controller->Translate(&move);
    a.StepTo(50.0f);
    EXPECT_NEAR(a.node->GetLocalMatrix()[3], 5.0f, 1e-4f);
    SWoldtranslationaction again(26);
    again.settings.y = 4.0f;
    again.settings.durationMs = 100;
    a.controller->Translate(&again);
    a.StepTo(100.0f);
    EXPECT_NEAR(a.node->GetLocalMatrix()[3], 5.0f, 1e-4f); // nothing snaps back
    EXPECT_NEAR(a.node->GetLocalMatrix()[7], 2.0f, 1e-4f);

    // A looping translation of duration 0 moves at its rate per millisecond; a rotation of 0 takes 33 ms.
    Animated b;
    SWoldtranslationaction rate(26);
    rate.settings.x = 0.01f;
    rate.settings.durationMs = 0;
    rate.settings.continuous = 1;
    b.controller->Translate(&rate);
    Animated d;
    SWoldrotationaction spin(27);
    spin.settings.rotation = CVTN_Quaternion::FromAxisAngle(SWvector(0, 0, 1), 0.1f);
    spin.settings.durationMs = 0;
    spin.settings.continuous = 1;
    d.controller->Rotate(&spin);
    WithinSeconds([&] {
        for (float t = 10.0f; t <= 330.0f; t += 10.0f) {
            b.StepTo(t);
            d.StepTo(t);
        }
    });
    EXPECT_NEAR(b.node->GetLocalMatrix()[3], 3.3f, 1e-3f);
    EXPECT_NEAR(AngleAboutZ(d.node->GetLocalMatrix()), 1.0f, 1e-3f); // 330 ms: ten turns of 0.1

    Animated c;
    SWoldtranslationaction once(26);
    once.settings.z = 2.0f;
    once.settings.durationMs = 0;
    c.controller->Translate(&once);
    c.StepTo(10.0f);
    EXPECT_FLOAT_EQ(c.node->GetLocalMatrix()[11], 2.0f);
    EXPECT_EQ(c.controller->GetTranslation(), nullptr);
}

TEST(MotionControllerVertices, FrameTableSmallerThanTheMeshIsNeverReadPastItsEnd)
{
    SWmesh mesh;
    Animated a;
    a.node->SetKindFlags(a.node->GetKindFlags() | SWobjectnode::kFlagVertexAnimated);
    a.node->SetHasKeyFrameMatrices(0);
    mesh.SetVertices(std::vector<float>(8 * 3, -1.0f));
    a.node->SetGeometry(&mesh);
    auto table = std::make_unique<VertexFrameTable>();
    ASSERT_TRUE(table->Allocate(3, 4));
    for (uint32_t f = 0; f < 3; ++f)
        for (float& v : table->GetFrameVertices(f))
            v = static_cast<float>(f);
    table->SetReady(true);
    a.node->SetVertexFrameTable(std::move(table));
    SWoldanimationaction play(2);
    play.settings = PlayOf(0, 2);
    play.settings.transitionSeconds = 0.1;
    a.controller->Play(&play);
    a.StepTo(50.0f); // half way into frame 0 from the current vertices
    EXPECT_FLOAT_EQ(mesh.GetVertices()[0], -0.5f);
    a.StepTo(100.0f + 34.0f);
    EXPECT_FLOAT_EQ(mesh.GetVertices()[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.GetVertices()[3 * 3], 1.0f);
    EXPECT_FLOAT_EQ(mesh.GetVertices()[4 * 3], -1.0f); // past the table: left alone
    a.node->SetGeometry(nullptr);
}

TEST(MotionControllerLife, RunsOnWithEmptySlotsAndForgetsDeletedActions)
{
    Animated a;
    for (int i = 1; i <= 10000; ++i)
        a.StepTo(static_cast<float>(i) * 33.0f);
    EXPECT_TRUE(a.controller->IsRunning());
    EXPECT_FALSE(a.controller->IsDone());
    EXPECT_EQ(a.node->GetMotionController(&a.world, false), a.controller);

    SWevent* const event = a.world.NewEvent();
    auto* play = new SWoldanimationaction(2);
    play->settings = PlayOf(0, 10);
    event->AppendAction(play);
    play->SetActionId(a.world.NextActionId());
    a.controller->Play(play);
    ASSERT_EQ(a.controller->GetPlay(), play);
    a.world.DeleteEvent(event);
    EXPECT_EQ(a.controller->GetPlay(), nullptr);
    a.StepTo(400000.0f);

    // Its node deleted, the controller ends and the purge takes it.
    a.world.DeleteNode(a.node);
    a.StepTo(400033.0f);
    EXPECT_TRUE(a.controller->IsDone());
    EXPECT_EQ(TimedActionTable::Of(a.world).PurgeDone(), 1u);
}

TEST(MotionControllerHandlers, NodeAxisLockAndArcballBindingCopiesItsSettings)
{
    Animated a;
    AnimationTrack* track = a.node->GetAnimationTracks().FindByName(kDefaultAnimationName);
    for (uint32_t f = 0; f < 11; ++f)
        track->SetKey(f, SWmatrix::Translation(static_cast<float>(f), 2.0f * static_cast<float>(f), 0.0f));
    a.node->SetAxisLock(2);
    SWoldanimationaction play(2);
    play.settings = PlayOf(0, 10);
    a.controller->Play(&play);
    a.StepTo(100.0f);
    EXPECT_EQ(a.controller->GetCurrentFrame(), 3);
    EXPECT_FLOAT_EQ(a.node->GetAnimationMatrix()[3], 3.0f);
    EXPECT_FLOAT_EQ(a.node->GetAnimationMatrix()[7], 0.0f); // y locked on the node

    auto binding = std::make_unique<SWoldarcballaction>(4);
    binding->settings.values[5] = 42.0f;
    FindActionHandler(4)(nullptr, &a.world, ActionTarget::Text("walker"),
                         ActionSubject{binding.get(), nullptr, nullptr});
    binding.reset(); // an editor deletes the action while the world runs
    EXPECT_EQ(a.world.GetArcballNode(), a.node);
    EXPECT_EQ(a.world.GetArcballFlag(), 1);
    EXPECT_EQ(a.world.GetArcballSettings().values[5], 42.0f);
    FindActionHandler(4)(nullptr, &a.world, ActionTarget::Text("nobody"), ActionSubject{});
    EXPECT_EQ(a.world.GetArcballNode(), nullptr);
    EXPECT_EQ(a.world.GetArcballSettings().values[5], 100.0f);
}

TEST(MotionControllerPlay, ExtremeStoredFieldsNeitherOverflowNorHang)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int32_t start, end, passes;
        uint8_t useDuration;
        double duration, transition;
    };
    const Case cases[] = {
        {INT32_MAX, INT32_MIN, 3, 0, 0.0, 0.0},
        {INT32_MIN, INT32_MAX, -5, 1, 1e-30, 0.0},
        {0, 10, 2, 1, inf, 0.0},
        {0, 10, 2, 1, nan, nan},
        {0, 10, INT32_MAX, 0, 0.0, 1e30},
        {5, 5, INT32_MIN, 1, -1.0, -1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        Animated a(11, 7);
        SWoldanimationaction play(2);
        play.settings = PlayOf(c.start, c.end);
        play.settings.passCount = c.passes;
        play.settings.useDuration = c.useDuration;
        play.settings.durationSeconds = c.duration;
        play.settings.transitionSeconds = c.transition;
        a.controller->Play(&play);
        SWoldjumpaction jump(32);
        jump.settings = {0, 1, INT32_MAX, nan, 1};
        WithinSeconds([&] {
            for (float t = 10.0f; t <= 2000.0f; t += 10.0f)
                a.StepTo(t);
            a.controller->JumpTo(&jump);
            a.StepTo(1e9f);
        });
        EXPECT_GE(a.controller->GetCurrentFrame(), 0);
    }
}

TEST(MotionControllerTransform, PendingRelativeMoveInTheNodesFrameOrTheViewCameras)
{
    Animated own;
    own.node->SetKindFlags(own.node->GetKindFlags() | SWobjectnode::kFlagRelativeInOwnFrame);
    own.node->PendingRelativeMatrix() = SWmatrix::Translation(1.0f, 0.0f, 0.0f);
    own.node->PendingRelativeByte() = 1;
    own.StepTo(10.0f);
    EXPECT_FLOAT_EQ(own.node->GetLocalMatrix()[3], 1.0f);
    EXPECT_EQ(own.node->PendingRelativeByte(), 0);
    EXPECT_EQ(own.node->PendingRelativeMatrix(), SWmatrix());

    // Without the flag the move is given in the camera's frame: a camera turned a quarter about Z turns x into y.
    Animated viewed;
    auto* camera = new SWcameranode();
    camera->SetLocalMatrix(SWmatrix::Rotation(std::numbers::pi_v<float> / 2, 2));
    viewed.world.AddNode(camera, nullptr);
    viewed.world.AddCamera(camera);
    viewed.world.UpdateNodeTransforms(viewed.world.GetRootNode(), 1);
    viewed.node->PendingRelativeMatrix() = SWmatrix::Translation(1.0f, 0.0f, 0.0f);
    viewed.node->PendingRelativeByte() = 1;
    viewed.StepTo(10.0f);
    EXPECT_NEAR(viewed.node->GetLocalMatrix()[3], 0.0f, 1e-6f);
    EXPECT_NEAR(viewed.node->GetLocalMatrix()[7], 1.0f, 1e-6f);
}
