// Key-frame plays of a synthetic 30-frame track (frame i at x = 1 + i, turned 3i degrees about Y): forwards 0 -> 30,
// backwards 30 -> 0, and forwards after a 500 ms blend from the node's pose at x = 0. Each step prints the frame
// shown and where the node stands; each play ends with the motion-finished records it posted.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979;

std::string Pose(float t, const SWkeyframemotion& play, const SWobjectnode& node)
{
    const SWmatrix m = node.GetLocalMatrix();
    const int32_t frame = play.GetCurrentFrame();
    char text[128];
    std::snprintf(text, sizeof text, "t=%.1f %s x=%.4f turn=%.3f%s", static_cast<double>(t),
                  frame < 0 ? "blend" : ("frame=" + std::to_string(frame)).c_str(), static_cast<double>(m[3]),
                  std::atan2(static_cast<double>(m[2]), static_cast<double>(m[0])) * kDegrees,
                  play.IsDone() ? " done" : "");
    return text;
}

void Play(const TraceRun& run, const char* title, int32_t start, int32_t end, float blendMs,
          const std::vector<float>& times)
{
    SWworld world;
    auto* node = new SWobjectnode();
    node->SetName(std::string("walker"));
    world.AddNode(node, nullptr);
    AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t i = 0; i < 30; ++i) {
        SWmatrix key = SWmatrix::Rotation(static_cast<float>(3.0 * i / kDegrees), 1);
        key.SetTranslation(1.0f + static_cast<float>(i), 0.0f, 0.0f);
        track.SetKey(i, key);
    }
    SWkeyframemotion play(&world);
    play.SetStartFrame(start);
    play.SetEndFrame(end);
    play.SetBlendTime(blendMs);
    play.Bind(*node);
    run.out.Note(0, title + std::string(", ") + std::to_string(static_cast<int>(play.GetDuration())) + " ms");
    play.Start();
    int frame = 0;
    for (const float t : times) {
        if (play.IsDone())
            break;
        play.Step(t);
        play.ApplyToNode(*node);
        run.out.Note(++frame, Pose(t, play, *node));
    }
    SWinputqueue posted(false);
    world.GetPostedQueue().MoveAll(posted);
    while (SWinputrecord* record = posted.Pop()) {
        const auto* target = std::get_if<SWnode*>(&record->GetTarget());
        run.out.Note(frame, std::string("posted kind ") + std::to_string(record->GetKindCode()) + " node=" +
                                (target != nullptr && *target != nullptr && (*target)->GetName() ? *(*target)->GetName()
                                                                                                 : std::string("-")));
        delete record;
    }
}

int RunKeyFrameScenario(const TraceRun& run)
{
    const std::vector<float> times = {0.0f,   100.0f, 200.0f, 300.0f, 400.0f, 483.0f,  499.0f, 499.5f,
                                      600.0f, 700.0f, 800.0f, 900.0f, 966.0f, 1000.0f, 1033.0f};
    Play(run, "frames 0 -> 30", 0, -1, 0.0f, times);
    Play(run, "frames 30 -> 0", 30, 0, 0.0f, times);
    std::vector<float> blended = {0.0f, 125.0f, 250.0f, 375.0f, 499.0f};
    for (const float t : times)
        blended.push_back(t + 500.0f);
    Play(run, "frames 0 -> 30 after a 500 ms blend", 0, -1, 500.0f, blended);
    return kTraceDone;
}

const bool kKeyFrame = RegisterTraceScenario(
    {"keyframe", "key-frame plays forwards, backwards and after a blend: the frame shown and the node's pose", 0,
     RunKeyFrameScenario});

} // namespace
