// The interactive motions driven by scripted input, stepped on their own clock at the run's frame time and folded
// into their node as the frame step folds them:
//   navigation - a camera walks with "w" (then running with "z"), tilts with Page Up until the tilt stops, and
//                looks around with the right button held, the host's pointer calls printed;
//   arcball    - a node turned by a left drag, by a sphere-mode drag of the sphere's radius, left to spin on with
//                momentum, and moved by left and right held together as the middle button.
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

constexpr float kPi = 3.14159265f;

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// A host that captures the pointer whenever asked, and says so.
class TraceHostWorld : public SWworld {
public:
    explicit TraceHostWorld(TracePrinter& out) : m_out(out) {}
    bool BeginMouseLook() override
    {
        m_out.Note(frame, "host BeginMouseLook -> pointer captured");
        return true;
    }
    void EndMouseLook() override { m_out.Note(frame, "host EndMouseLook -> pointer released"); }
    int frame = 0;

private:
    TracePrinter& m_out;
};

// One node, one running clone of a motion on it, and the frames that step them.
template <typename Motion> class Stage {
public:
    Stage(const TraceRun& run, SWobjectnode* node, const char* name) : world(run.out), m_run(run), m_node(node)
    {
        node->SetName(std::string(name));
        world.AddNode(node, nullptr);
        Motion pattern(&world);
        StartMotionOnNode(*node, world, pattern);
        motion = static_cast<Motion*>(TimedActionTable::Of(world).GetTypeList(Motion::kType)->front().get());
        world.UpdateNodeTransforms(m_node, 1);
        motion->Step(m_nowMs);
    }
    void Frame(float stepMs = 0.0f)
    {
        m_nowMs += stepMs > 0.0f ? stepMs : static_cast<float>(m_run.dtMs);
        world.frame = ++m_frames;
        motion->Step(m_nowMs);
        motion->ApplyToNode(*m_node);
        world.UpdateNodeTransforms(m_node, 1);
    }
    // Exactly ms of motion time, in frames of the run's length (the last one shorter when it must be).
    void Frames(float ms)
    {
        for (float left = ms; left > 0.0f; left -= static_cast<float>(m_run.dtMs))
            Frame(std::fmin(left, static_cast<float>(m_run.dtMs)));
    }
    void Note(const std::string& text) { m_run.out.Note(m_frames, text); }

    TraceHostWorld world;
    Motion* motion = nullptr;

private:
    const TraceRun& m_run;
    SWobjectnode* m_node;
    float m_nowMs = 0.0f;
    int m_frames = 0;
};

SWvector Position(const SWobjectnode& node)
{
    return node.GetLocalMatrix().GetTranslation();
}

// The tilt of the camera's view axis (its -Z) above the horizontal, in radians.
double Tilt(const SWobjectnode& node)
{
    const SWmatrix& m = node.GetWorldMatrix();
    return std::asin(std::fmax(-1.0, std::fmin(1.0, -double{m[10]})));
}

int RunNavigationScenario(const TraceRun& run)
{
    auto* camera = new SWcameranode();
    // Level means the camera's Z axis lies in the horizontal plane (world Z is up); this one looks 30 degrees down.
    camera->SetLocalMatrix(SWmatrix::Rotation((90.0f - 30.0f) * kPi / 180.0f, 0));
    Stage<SWnavigationmotion> s(run, camera, "camera");
    s.world.SetPixelSize(0.000254f, 0.000254f); // a quarter-millimetre pixel
    const SWkeytable& keys = s.world.GetKeyTable();
    const auto walk = [&](const char* what, const SWkeyentry* modifier) {
        const SWvector from = Position(*camera);
        if (modifier != nullptr)
            s.motion->KeyDown(modifier);
        s.motion->KeyDown(keys.FindKeyByCode('w'));
        s.Frames(1000.0f);
        s.motion->KeyUp(keys.FindKeyByCode('w'));
        if (modifier != nullptr)
            s.motion->KeyUp(modifier);
        s.Frame();
        const SWvector to = Position(*camera);
        const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
        s.Note(std::string(what) +
               Format(" held 1 s: moved %.2f units horizontally, %.4f vertically", std::sqrt(dx * dx + dy * dy), dz));
    };
    s.Note(Format("camera looking %.0f degrees down; walk 1.34, run 2.68 units a second", 30.0));
    walk("w", nullptr);
    walk("w with z", keys.FindKeyByCode('z'));
    s.motion->KeyDown(keys.FindKeyByCode(257));
    for (int half = 1; half <= 6; ++half) {
        s.Frames(500.0f);
        s.Note(Format("Page Up held %.1f s: tilt channel %.4f rad", half * 0.5,
                      static_cast<double>(s.motion->GetChannel(5).GetValue())));
    }
    s.motion->KeyUp(keys.FindKeyByCode(257));
    s.Note(Format("view axis %.2f degrees above the horizontal", Tilt(*camera) * 180.0 / kPi));
    s.motion->MouseDown(10, 10, SWchannelmotion::kButtonRight);
    s.Note(Format("right button down: mouse-look %.0f, navigation changed %.0f", s.motion->IsMouseLook() ? 1 : 0,
                  s.world.GetNavigationChanged()));
    s.world.ClearNavigationChanged();
    const double turnBefore = s.motion->GetChannel(0).GetValue();
    s.motion->MouseMove(&s.world, 20, 0, SWchannelmotion::kButtonRight);
    s.Frame();
    s.Note(Format("mouse moved 20 pixels right: turn channel %+.4f rad",
                  static_cast<double>(s.motion->GetChannel(0).GetValue()) - turnBefore));
    s.motion->MouseUp(10, 10, SWchannelmotion::kButtonRight);
    s.Note(Format("right button up: mouse-look %.0f, navigation changed %.0f", s.motion->IsMouseLook() ? 1 : 0,
                  s.world.GetNavigationChanged()));
    return kTraceDone;
}

double AngleAboutY(const SWobjectnode& node)
{
    const SWmatrix m = node.GetLocalMatrix();
    return std::atan2(-double{m[8]}, double{m[0]});
}

double AngleAboutX(const SWobjectnode& node)
{
    const SWmatrix m = node.GetLocalMatrix();
    return std::atan2(double{m[9]}, double{m[5]});
}

int RunArcballScenario(const TraceRun& run)
{
    auto* ball = new SWobjectnode();
    Stage<SWarcballmotion> s(run, ball, "ball");
    SWarcballmotion& a = *s.motion;
    s.Note(Format("default arcball: order %.0f%.0f%.0f...", a.GetOrder()[0], a.GetOrder()[1], a.GetOrder()[2]) +
           " (channel 1 turns about X before channel 0 about Y)");
    a.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    a.MouseMove(&s.world, 100, 0, SWchannelmotion::kButtonLeft);
    s.Frame();
    s.Note(Format("left drag of 100 pixels: turned %+.4f rad about Y (2 pi / 1000 a pixel)", AngleAboutY(*ball)));
    a.MouseUp(0, 0, SWchannelmotion::kButtonLeft);
    const SWcontrolchannel& spin = a.GetChannel(0);
    for (int i = 0; i < 12 && spin.IsMomentumActive() && spin.GetLastAmount() != 0; ++i) {
        s.Frames(100.0f);
        s.Note(
            Format("momentum: last amount %.0f pixels, channel at %+.4f rad", spin.GetLastAmount(), spin.GetValue()));
    }
    s.Frames(2000.0f);
    s.Note(Format("2 s later: momentum active %.0f, channel at %+.4f rad", spin.IsMomentumActive() ? 1 : 0,
                  spin.GetValue()));

    a.SetButtonPreset(SWchannelmotion::kButtonLeft, 14, 1.0f, 1.0f, 1.0f, false, 0.0f);
    const double before = a.GetChannel(1).GetValue();
    a.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    a.MouseMove(&s.world, 0, 1024, SWchannelmotion::kButtonLeft);
    s.Frame();
    a.MouseUp(0, 0, SWchannelmotion::kButtonLeft);
    s.Note(Format("sphere mode, 1024-pixel drag down: turned %.4f rad about X (pi = %.4f); |angle| now %.4f",
                  a.GetChannel(1).GetValue() - before, kPi, std::fabs(AngleAboutX(*ball))));

    const SWvector from = Position(*ball);
    a.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    a.MouseDown(0, 0, SWchannelmotion::kButtonRight);
    s.Note(Format("left then right: held buttons %.0f (middle)", a.GetHeldButtons()));
    a.MouseMove(&s.world, 50, 0, SWchannelmotion::kButtonLeft | SWchannelmotion::kButtonRight);
    s.Frame();
    const SWvector to = Position(*ball);
    s.Note(Format("moved 50 pixels: translation (%+.3f %+.3f %+.3f), the middle button's channels", to.x - from.x,
                  to.y - from.y, to.z - from.z));
    a.MouseUp(0, 0, SWchannelmotion::kButtonRight);
    s.Note(Format("right released: held buttons %.0f", a.GetHeldButtons()));
    return kTraceDone;
}

const bool kNavigation = RegisterTraceScenario(
    {"navigation", "a camera walked, run, tilted and turned by keys and mouse-look", 0, RunNavigationScenario});
const bool kArcball = RegisterTraceScenario(
    {"arcball", "a node turned and moved by arcball drags, sphere mode and momentum", 0, RunArcballScenario});

} // namespace
