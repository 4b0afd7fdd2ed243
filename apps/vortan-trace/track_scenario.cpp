// The track-target motion run by the frame driver: a node keeps its Z axis on a target that swings over it in a
// half circle (straight over its head half way), comes in until it sits on the node, then jumps onto the node's own
// X axis. Each frame prints the target, the node's Z axis in the world and the angle left between them.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/core/object_node.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

constexpr double kPi = 3.14159265358979;

std::string Vector(const SWvector& v)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.4f %.4f %.4f)", static_cast<double>(v.x), static_cast<double>(v.y),
                  static_cast<double>(v.z));
    return text;
}

// The node's Z axis in the world and the angle in degrees between it and the way to the target.
std::string Aim(const SWobjectnode& node, const SWobjectnode& target)
{
    const SWmatrix& w = node.GetWorldMatrix();
    const SWvector z(w[2], w[6], w[10]);
    const SWvector p = target.GetWorldMatrix().GetTranslation();
    const SWvector o = w.GetTranslation();
    const SWvector d(p.x - o.x, p.y - o.y, p.z - o.z);
    const double zl = std::sqrt(double{z.x} * z.x + double{z.y} * z.y + double{z.z} * z.z);
    const double dl = std::sqrt(double{d.x} * d.x + double{d.y} * d.y + double{d.z} * d.z);
    std::string text = "z-axis=" + Vector(z);
    if (dl < 1e-6)
        return text + " target on the node";
    const double c = (double{z.x} * d.x + double{z.y} * d.y + double{z.z} * d.z) / (zl * dl);
    char angle[48];
    std::snprintf(angle, sizeof angle, " off-by=%.3f deg", std::acos(std::fmax(-1.0, std::fmin(1.0, c))) * 180.0 / kPi);
    return text + angle;
}

int RunTrackScenario(const TraceRun& run)
{
    FrameDriver d;
    auto* aimer = static_cast<SWobjectnode*>(d.Node("aimer"));
    auto* target = static_cast<SWobjectnode*>(d.Node("target"));
    aimer->SetLocalMatrix(SWmatrix::Translation(0.0f, 1.0f, 0.0f));
    d.world.UpdateNodeTransforms(aimer, 0);
    auto owned = std::make_unique<SWtracktargetmotion>(&d.world);
    SWtracktargetmotion* motion = owned.get();
    motion->SetTarget(target);
    motion->SetOwnNode(aimer);
    motion->BindNode(aimer->GetId());
    aimer->AttachTimedAction(motion);
    TimedActionTable::Of(d.world).Add(std::move(owned));
    motion->Start();
    run.out.Note(0, "aimer at (0 1 0) aims its Z axis; the target swings from +z over the aimer to -z, radius 2");

    const int swing = 12;
    const int approach = 4;
    for (int i = 0; i <= swing + approach + 1; ++i) {
        SWvector at;
        std::string where;
        if (i <= swing) {
            const double a = kPi * i / swing;
            at = SWvector(0.0f, 1.0f + static_cast<float>(2.0 * std::sin(a)), static_cast<float>(2.0 * std::cos(a)));
            where = i * 2 == swing ? " (straight over the aimer)" : "";
        } else if (i <= swing + approach) {
            const float share = static_cast<float>(i - swing) / approach;
            at = SWvector(0.0f, 1.0f, -2.0f * (1.0f - share));
            where = i == swing + approach ? " (on the aimer)" : " (coming in)";
        } else {
            // Two units along the aimer's own X axis: nothing to turn about in the aim's first plane.
            const SWmatrix& w = aimer->GetWorldMatrix();
            at = SWvector(w[3] + 2.0f * w[0], w[7] + 2.0f * w[4], w[11] + 2.0f * w[8]);
            where = " (on the aimer's own X axis)";
        }
        target->SetLocalMatrix(SWmatrix::Translation(at.x, at.y, at.z));
        d.world.UpdateNodeTransforms(target, 0);
        d.Frame(run.dtMs);
        run.out.Note(i + 1, "target=" + Vector(at) + where + " " + Aim(*aimer, *target));
    }
    return kTraceDone;
}

const bool kTrack = RegisterTraceScenario(
    {"track", "a track-target motion keeping a node's Z axis on a target that passes over it and into it", 0,
     RunTrackScenario});

} // namespace
