// The motion clock and the XYZ motion, stepped directly on chosen frame times (the frame step that drives motions
// in a world comes later): passes, ping-pong, a pause; a quarter turn at even and uneven frame times, a scale that
// dips below nothing and recovers, a translation looping for ever.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string ClockState(const SWmotion& m)
{
    return Format("local=%.1f", m.GetLocalTime()) + " passes=" + std::to_string(m.GetPassesLeft()) +
           (m.GetDirection() > 0.0f ? " dir=+" : " dir=-") + (m.IsRunning() ? " running" : " stopped") +
           (m.IsDone() ? " done" : "");
}

void RunClock(const TraceRun& run, const char* title, SWmotion& m, float dt, int frames, float pauseAt = -1.0f,
              float resumeAt = -1.0f)
{
    run.out.Note(0, title);
    m.Start();
    for (int i = 0; i <= frames; ++i) {
        const float t = static_cast<float>(i) * dt;
        if (t == resumeAt) {
            m.Start();
            run.out.Note(i, Format("resume at %.0f", t));
        }
        m.Step(t);
        run.out.Note(i, Format("t=%.0f ", t) + ClockState(m));
        if (t == pauseAt) {
            m.Pause();
            run.out.Note(i, Format("pause at %.0f", t));
        }
        if (m.IsDone())
            break;
    }
}

int RunClockScenario(const TraceRun& run)
{
    const int frames = run.frames;
    SWmotion three(nullptr);
    three.SetDuration(1000.0f);
    three.SetLoopCount(3);
    RunClock(run, "1000 ms, 3 passes, a step every 400 ms", three, 400.0f, frames);
    SWmotion bounce(nullptr);
    bounce.SetDuration(1000.0f);
    bounce.SetLoopForever(true);
    bounce.SetPingPong(true);
    RunClock(run, "1000 ms, ping-pong for ever, a step every 400 ms", bounce, 400.0f, frames);
    SWmotion paused(nullptr);
    paused.SetDuration(1000.0f);
    RunClock(run, "1000 ms, paused at 300 and resumed at 800, a step every 100 ms", paused, 100.0f, frames, 300.0f,
             800.0f);
    return kTraceDone;
}

// The angle about Y of a node turned only about Y, in degrees.
double AngleAboutY(const SWobjectnode& node)
{
    const SWmatrix m = node.GetLocalMatrix();
    return std::atan2(static_cast<double>(m[2]), static_cast<double>(m[0])) * 180.0 / 3.14159265358979;
}

void Turn(const TraceRun& run, const char* title, const std::vector<float>& times)
{
    SWworld world;
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    SWxyzmotion turn(&world);
    auto track = std::make_unique<SWaxistrack>(&world, 1.5707964f);
    track->SetDuration(1000.0f);
    turn.SetGenerator(std::move(track), 1);
    run.out.Note(0, title);
    turn.Start();
    int frame = 0;
    for (const float t : times) {
        if (turn.IsDone())
            break;
        turn.Step(t);
        turn.ApplyToNode(*node);
        run.out.Note(++frame, Format("t=%.1f angle=%.4f", t, AngleAboutY(*node)) + (turn.IsDone() ? " done" : ""));
    }
}

int RunXyzScenario(const TraceRun& run)
{
    std::vector<float> even;
    for (int i = 0; i <= 70; ++i)
        even.push_back(static_cast<float>(i) * 16.7f);
    Turn(run, "a quarter turn about Y over 1000 ms at 16.7 ms frames", even);
    std::vector<float> uneven = {0.0f};
    const float gaps[] = {10.0f, 50.0f, 7.0f, 120.0f, 3.0f, 260.0f, 33.0f};
    for (size_t i = 0; uneven.back() < 1100.0f; ++i)
        uneven.push_back(uneven.back() + gaps[i % std::size(gaps)]);
    Turn(run, "the same at uneven frame times", uneven);

    SWworld world;
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    SWxyzmotion scale(&world, SWxyzmotion::kScale);
    auto wave = std::make_unique<SWwaveformgenerator>(&world);
    wave->SetSustainAmplitude(3.0f);
    scale.SetGenerator(std::move(wave), 0);
    run.out.Note(0, "a scale of x from a sine of amplitude 3: the factor dips below 0, holds at 1e-6, recovers");
    scale.Start();
    for (int i = 0; i <= 10; ++i) {
        const float t = static_cast<float>(i) * 100.0f;
        scale.Step(t);
        scale.ApplyToNode(*node);
        run.out.Note(i, Format("t=%.0f scale-x=%.6g", t, node->GetLocalMatrix()[0]));
    }

    SWxyzmotion slide(&world, SWxyzmotion::kTranslate);
    auto track = std::make_unique<SWaxistrack>(&world, 2.0f);
    track->SetDuration(500.0f);
    slide.SetGenerator(std::move(track), 2);
    slide.SetLoopForever(true);
    auto* moved = new SWobjectnode();
    world.AddNode(moved, nullptr);
    run.out.Note(0, "a translation of 2 along z every 500 ms, for ever");
    slide.Start();
    for (int i = 0; i <= 8; ++i) {
        const float t = static_cast<float>(i) * 200.0f;
        slide.Step(t);
        slide.ApplyToNode(*moved);
        run.out.Note(i, Format("t=%.0f z=%.4f", t, moved->GetLocalMatrix()[11]));
    }
    return kTraceDone;
}

const bool kClock =
    RegisterTraceScenario({"clock", "the motion clock: passes, ping-pong and a pause, each step's local time and state",
                           12, RunClockScenario});
const bool kXyz = RegisterTraceScenario(
    {"xyz", "XYZ motions: a quarter turn at even and uneven frames, a scale through 0, a looping slide", 0,
     RunXyzScenario});

} // namespace
