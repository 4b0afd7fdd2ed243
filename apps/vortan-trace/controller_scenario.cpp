// The motion controller through the older actions, as a world runs them from its start event: a play of three
// passes, a ping-pong play of two, a play entered through a 300 ms transition, a looping translation and rotation
// on one node, and a jump with a short transition. Each frame prints the frame each node shows and the mover's
// pose; the dispatch lines show the motion-finished records as they arrive.
#include <cmath>
#include <cstdio>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/core/animation_data.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

constexpr float kPi = 3.14159265f;

// Frame f of the default track stands the node at x = f.
SWobjectnode* Animated(FrameDriver& d, const char* name)
{
    auto* node = static_cast<SWobjectnode*>(d.Node(name));
    AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t f = 0; f < 8; ++f)
        track.SetKey(f, SWmatrix::Translation(static_cast<float>(f), 0.0f, 0.0f));
    node->GetAnimationTracks().GetClips().Add({1, 0});
    node->SetHasKeyFrameMatrices(1);
    return node;
}

SWoldanimationaction& PlayAction(FrameDriver& d, SWevent* event, const char* node, int32_t start, int32_t end)
{
    auto& play = static_cast<SWoldanimationaction&>(*d.Action(event, 2, node));
    play.settings.startFrame = start;
    play.settings.endFrame = end;
    play.settings.clipId = 1;
    return play;
}

std::string Shown(const char* name, SWobjectnode& node)
{
    const SWmotioncontroller* c = node.GetMotionController(node.GetWorld(), false);
    char text[64];
    std::snprintf(text, sizeof text, "%s=%d%s", name, c != nullptr ? c->GetCurrentFrame() : -1,
                  c != nullptr && c->GetPlay() == nullptr && c->GetJump() == nullptr ? "." : "");
    return text;
}

int RunControllerScenario(const TraceRun& run)
{
    FrameDriver d;
    d.Observe(run.out);
    SWobjectnode* passes = Animated(d, "passes");
    SWobjectnode* pong = Animated(d, "pingpong");
    SWobjectnode* blend = Animated(d, "blend");
    SWobjectnode* jumper = Animated(d, "jumper");
    auto* mover = static_cast<SWobjectnode*>(d.Node("mover"));

    SWevent* start = d.Event(0, "start");
    PlayAction(d, start, "passes", 0, 3).settings.passCount = 3;
    SWoldanimationaction& pingPong = PlayAction(d, start, "pingpong", 0, 3);
    pingPong.settings.passCount = 2;
    pingPong.settings.pingPong = 1;
    PlayAction(d, start, "blend", 6, 4).settings.transitionSeconds = 0.3;
    auto& slide = static_cast<SWoldtranslationaction&>(*d.Action(start, 26, "mover"));
    slide.settings.x = 1.0f;
    slide.settings.durationMs = 200;
    slide.settings.continuous = 1;
    auto& turn = static_cast<SWoldrotationaction&>(*d.Action(start, 27, "mover"));
    turn.settings.rotation = CVTN_Quaternion::FromAxisAngle(SWvector(0, 0, 1), kPi / 2);
    turn.settings.durationMs = 400;
    turn.settings.continuous = 1;
    auto& jump = static_cast<SWoldjumpaction&>(*d.Action(start, 32, "jumper"));
    jump.settings.frame = 5;
    jump.settings.transitionSeconds = 0.1;
    jump.settings.clipId = 1;
    run.out.Note(0, "frames 0..7 stand at x = frame; '.' marks a node whose play or jump has ended");

    d.Start();
    for (int i = 0; i < run.frames; ++i) {
        d.Frame(run.dtMs);
        const SWmatrix m = mover->GetLocalMatrix();
        char pose[96];
        std::snprintf(pose, sizeof pose, " mover x=%.3f turn=%.1f deg blend-x=%.3f", static_cast<double>(m[3]),
                      std::atan2(static_cast<double>(m[4]), static_cast<double>(m[0])) * 180.0 / kPi,
                      static_cast<double>(blend->GetAnimationMatrix()[3]));
        run.out.Note(d.FrameCount(), Shown("passes", *passes) + " " + Shown("pingpong", *pong) + " " +
                                         Shown("blend", *blend) + " " + Shown("jumper", *jumper) + pose);
    }
    return kTraceDone;
}

const bool kController = RegisterTraceScenario(
    {"controller", "older plays with passes, ping-pong and a transition, a looping translation and rotation, a jump",
     16, RunControllerScenario});

} // namespace
