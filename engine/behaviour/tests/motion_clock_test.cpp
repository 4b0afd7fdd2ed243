// The motion clock: passes, ping-pong, wraps, pauses, set-time and a synchronised sound; and the value generators
// on it, with their records.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <limits>
#include <memory>
#include <vector>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"

namespace {

// A motion that records the local time of every Apply.
class Probe : public SWmotion {
public:
    explicit Probe(float durationMs, SWworld* world = nullptr) : SWmotion(world) { m_durationMs = durationMs; }
    void Apply() override { applied.push_back(m_localMs); }
    std::vector<float> applied;
};

// Runs body on another thread and fails the test when it has not ended within a minute: a guard against a
// loop that never ends, not a measure of speed.
template <typename Body> void WithinSeconds(Body body)
{
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "a step did not end within 60 s\n");
        std::_Exit(1); // the stuck thread cannot be joined, and the future would wait for it
    }
    done.get();
}

std::vector<uint8_t> Saved(const SWgenerator& generator)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(generator.Save(out));
    }
    return buffer.ToVector();
}

std::unique_ptr<SWgenerator> Read(const std::vector<uint8_t>& bytes, SWworld* world = nullptr)
{
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    return SWgenerator::Read(world, in);
}

} // namespace

TEST(MotionClock, PassesCountDownAndTheLastEndsAtItsEnd)
{
    Probe zero(0.0f);
    zero.Start();
    EXPECT_FALSE(zero.Step(100.0f));
    EXPECT_TRUE(zero.IsDone());
    EXPECT_EQ(zero.applied, std::vector<float>{0.0f});

    Probe three(1000.0f);
    three.SetLoopCount(3);
    three.Start();
    std::vector<int32_t> passes;
    bool running = true;
    float t = 0.0f;
    for (; running && t <= 4000.0f; t += 400.0f) {
        running = three.Step(t);
        passes.push_back(three.GetPassesLeft());
    }
    EXPECT_FLOAT_EQ(t - 400.0f, 3200.0f); // the step after 3000 ms ends it
    EXPECT_TRUE(three.IsDone());
    EXPECT_FLOAT_EQ(three.applied.back(), 1000.0f);
    EXPECT_EQ(passes.front(), 3);
    EXPECT_EQ(passes[3], 2); // at 1200
    EXPECT_EQ(passes[6], 1); // at 2400

    // The same frame time twice changes nothing.
    Probe same(1000.0f);
    same.Start();
    same.Step(10.0f);
    same.Step(50.0f);
    const size_t applies = same.applied.size();
    EXPECT_TRUE(same.Step(50.0f));
    EXPECT_EQ(same.applied.size(), applies);
}

TEST(MotionClock, PingPongReflectsAndLongStepsApplyAtEveryWrap)
{
    Probe bounce(1000.0f);
    bounce.SetLoopForever(true);
    bounce.SetPingPong(true);
    bounce.Start();
    bounce.Step(0.0f);
    bounce.Step(1200.0f);
    EXPECT_FLOAT_EQ(bounce.GetLocalTime(), 800.0f);
    EXPECT_EQ(bounce.GetDirection(), -1.0f);
    bounce.Step(2100.0f);
    EXPECT_FLOAT_EQ(bounce.GetLocalTime(), 100.0f); // 800 - 900 reflected at 0
    EXPECT_EQ(bounce.GetDirection(), 1.0f);

    Probe wraps(1000.0f);
    wraps.SetLoopForever(true);
    wraps.Start();
    wraps.Step(0.0f);
    wraps.applied.clear();
    wraps.Step(2500.0f);
    EXPECT_EQ(wraps.applied, (std::vector<float>{1500.0f, 500.0f}));
}

TEST(MotionClock, PauseResumesOverTheWholeGapAndSetTimeJumps)
{
    Probe p(1000.0f);
    p.Start();
    p.Step(0.0f);
    p.Step(300.0f);
    p.Pause();
    EXPECT_TRUE(p.Step(500.0f)); // paused: nothing
    EXPECT_FLOAT_EQ(p.GetLocalTime(), 300.0f);
    p.Start();
    p.Step(833.0f);
    EXPECT_FLOAT_EQ(p.GetLocalTime(), 833.0f);

    Probe jump(1000.0f);
    jump.SetTime(250.0f);
    EXPECT_FLOAT_EQ(jump.applied.back(), 250.0f);
    jump.SetTime(1800.0f); // one pass only: held at the end, never finished
    EXPECT_FLOAT_EQ(jump.applied.back(), 1000.0f);
    EXPECT_FALSE(jump.IsDone());
    jump.SetLoopCount(3);
    jump.SetTime(1800.0f);
    EXPECT_FLOAT_EQ(jump.applied.back(), 800.0f);
}

TEST(MotionClock, TinyUnusableAndEndlessDurationsNeverStall)
{
    WithinSeconds([] {
        Probe tiny(1e-3f);
        tiny.SetLoopForever(true);
        tiny.Start();
        tiny.Step(0.0f);
        tiny.applied.clear();
        tiny.Step(1e9f);
        EXPECT_LE(tiny.applied.size(), static_cast<size_t>(SWmotion::kMaxWrapsPerStep + 1));
        EXPECT_GE(tiny.GetLocalTime(), 0.0f);
        EXPECT_LE(tiny.GetLocalTime(), 1e-3f);

        Probe counted(1e-3f);
        counted.SetLoopCount(1000000);
        counted.Start();
        counted.Step(0.0f);
        counted.Step(1e9f);
        EXPECT_LT(counted.GetPassesLeft(), 1000000 - 1000); // passes beyond the walked ones are counted too

        Probe notANumber(std::numeric_limits<float>::quiet_NaN());
        notANumber.SetLoopForever(true);
        notANumber.Start();
        for (float t = 0.0f; t < 100.0f; t += 10.0f)
            notANumber.Step(t);
        for (const float at : notANumber.applied)
            EXPECT_EQ(at, 0.0f);

        Probe endless(std::numeric_limits<float>::infinity());
        endless.Start();
        endless.Step(0.0f);
        EXPECT_TRUE(endless.Step(1e9f));
        EXPECT_FALSE(endless.IsDone());
    });
}

TEST(MotionClock, ASynchronisedSoundEndsTheMotionWhenItStops)
{
    SWworld world;
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("tick"));
    Probe p(1000.0f, &world);
    p.SetSound(sound);
    p.SetLoopForever(true); // the sound has no length here: its passes are of no length
    p.Start();
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_EQ(sound->GetPlay().loop, 1);
    EXPECT_EQ(sound->GetLoop(), 0); // the sound's own, which is saved
    EXPECT_EQ(sound->GetStartedByMotion(), 1);
    EXPECT_TRUE(p.Step(0.0f));
    world.GetSoundList().Stop(sound);
    EXPECT_FALSE(p.Step(33.0f));
    EXPECT_TRUE(p.IsDone());
}

// Removing a scene file takes its sounds from the world while motions still name them: the motion, its copies and
// its next start find no sound, and the clock runs on its own duration.
TEST(MotionClock, ASoundRemovedFromTheWorldIsNoLongerTheMotions)
{
    SWworld world;
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("tick"));
    world.GetSoundList().Add(std::make_unique<SWsound>("tock"));
    Probe p(1000.0f, &world);
    p.SetSound(sound);
    ASSERT_TRUE(world.RemoveSound(world.GetSoundList().FindByName("tock")));
    EXPECT_EQ(p.GetSound(), sound); // another sound went: this one stays
    ASSERT_TRUE(world.RemoveSound(sound));
    EXPECT_EQ(p.GetSound(), nullptr);
    Probe copy(0.0f, &world);
    p.CopyTo(copy);
    EXPECT_EQ(copy.GetSound(), nullptr);
    p.Start();
    EXPECT_TRUE(p.Step(0.0f));
    EXPECT_TRUE(p.Step(500.0f));
    EXPECT_EQ(p.applied.back(), 500.0f);
    p.Stop();
}

TEST(Generators, AxisTrackRampsAccumulatesAndHoldsAfterItsDelay)
{
    SWaxistrack once(nullptr, 90.0f);
    once.SetDuration(1000.0f);
    float sum = 0.0f;
    for (float t = 0.0f; t <= 1200.0f; t += 100.0f) {
        once.Step(t);
        if (t == 500.0f) {
            EXPECT_FLOAT_EQ(once.GetValue(), 45.0f);
        }
        sum += once.GetDelta();
    }
    EXPECT_FLOAT_EQ(once.GetValue(), 90.0f);
    EXPECT_FLOAT_EQ(sum, 90.0f);

    SWaxistrack looping(nullptr, 10.0f);
    looping.SetDuration(100.0f);
    looping.SetLoopForever(true);
    sum = 0.0f;
    for (float t = 0.0f; t <= 500.0f; t += 25.0f) {
        looping.Step(t);
        sum += looping.GetDelta();
    }
    EXPECT_NEAR(sum, 50.0f, 1e-4f);

    SWaxistrack delayed(nullptr, 10.0f);
    delayed.SetDuration(1000.0f);
    delayed.SetDelay(500.0f);
    EXPECT_FLOAT_EQ(delayed.GetDuration(), 1500.0f);
    delayed.Step(0.0f);
    delayed.Step(1000.0f);
    EXPECT_FLOAT_EQ(delayed.GetValue(), 10.0f);
    delayed.Step(1250.0f);
    EXPECT_FLOAT_EQ(delayed.GetValue(), 10.0f);

    // No duration: the whole amount every step, the sign following the direction.
    SWaxistrack step(nullptr, 5.0f);
    step.SetLoopForever(true);
    step.SetPingPong(true);
    step.Step(0.0f);
    EXPECT_FLOAT_EQ(step.GetValue(), 5.0f);
    step.Step(10.0f);
    EXPECT_FLOAT_EQ(step.GetValue(), -5.0f);

    // A long run over a tiny pass ends at once with a finite channel.
    WithinSeconds([] {
        SWaxistrack fast(nullptr, 1.0f);
        fast.SetDuration(1e-3f);
        fast.SetLoopForever(true);
        fast.Step(0.0f);
        fast.Step(1e9f);
        EXPECT_TRUE(std::isfinite(fast.GetValue()));
        EXPECT_GT(fast.GetValue(), 1e11f);
    });
}

TEST(Generators, PolynomialPointsAndNoDuration)
{
    SWpolynomialgenerator p(nullptr);
    p.SetAmplitude(2.0f);
    p.SetTime(500.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 0.25f);
    p.SetMirror(true);
    p.SetTime(500.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 0.25f);
    p.SetTime(0.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 2.0f);
    p.SetMirror(false);
    p.SetDuration(0.0f);
    p.SetTime(0.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 2.0f); // at its end, not 0/0
}

TEST(Generators, WaveformShapesPhasesAndSettings)
{
    SWwaveformgenerator w(nullptr);
    w.SetSustainAmplitude(1.0f);
    const auto at = [&](uint8_t shape, float t) {
        w.SetShape(shape);
        w.SetTime(t);
        return w.GetValue();
    };
    EXPECT_EQ(at(SWgenerator::kSquare, 500.0f), 0.0f); // exactly pi
    EXPECT_EQ(at(SWgenerator::kSquare, 100.0f), 1.0f);
    EXPECT_EQ(at(SWgenerator::kSquare, 700.0f), -1.0f);
    EXPECT_NEAR(at(SWgenerator::kTriangle, 125.0f), 0.5f, 1e-5f);
    EXPECT_NEAR(at(SWgenerator::kTriangle, 625.0f), -0.5f, 1e-5f);
    EXPECT_NEAR(at(SWgenerator::kSawtoothUp, 250.0f), 0.25f, 1e-5f);
    EXPECT_NEAR(at(SWgenerator::kSawtoothDown, 250.0f), 0.75f, 1e-5f);
    EXPECT_FALSE(w.SetShape(6));

    // A negative phase gives the first period the shape of every other.
    w.SetPhase(-90.0f);
    EXPECT_EQ(at(SWgenerator::kSquare, 100.0f), -1.0f);
    EXPECT_EQ(at(SWgenerator::kSquare, 1100.0f - 1000.0f), at(SWgenerator::kSquare, 100.0f));
    EXPECT_GE(at(SWgenerator::kSawtoothUp, 100.0f), 0.0f);
    w.SetPhase(-400.0f);
    EXPECT_EQ(w.GetPhase(), -180.0f);

    w.SetAbsolute(true);
    w.SetPositive(true);
    EXPECT_FALSE(w.GetAbsolute());
    w.SetAbsolute(true);
    EXPECT_FALSE(w.GetPositive());
    w.SetPeriod(0.25f);
    EXPECT_EQ(w.GetPeriod(), 1.0f);
    EXPECT_EQ(w.GetEndPeriod(), 1.0f); // locked
    w.SetStartTime(200.0f);
    w.SetDecayTime(300.0f);
    EXPECT_FLOAT_EQ(w.GetDuration(), 1500.0f);

    // A huge time on a short period never loops.
    WithinSeconds([] {
        SWwaveformgenerator fast(nullptr);
        fast.SetSustainAmplitude(1.0f);
        fast.SetSustainTime(1e12f);
        fast.SetPeriod(1.0f);
        fast.SetTime(9.9e11f);
        EXPECT_TRUE(std::isfinite(fast.GetValue()));
    });
}

TEST(Generators, RandomAndPropertySampling)
{
    SWworld world;
    world.SeedRandom(7);
    SWrandomgenerator r(&world);
    r.SetLoopForever(true); // no duration: a draw at every step
    r.SetMinimum(2.0f);
    r.SetMaximum(1.0f);
    std::vector<float> draws;
    for (float t = 0.0f; t < 200.0f; t += 10.0f) {
        r.Step(t);
        EXPECT_GE(r.GetValue(), 1.0f);
        EXPECT_LE(r.GetValue(), 2.0f);
        draws.push_back(r.GetValue());
    }
    EXPECT_NE(draws.front(), draws.back());
    SWworld again;
    again.SeedRandom(7);
    SWrandomgenerator same(&again);
    same.SetLoopForever(true);
    same.SetMinimum(2.0f);
    same.SetMaximum(1.0f);
    same.Step(0.0f);
    EXPECT_EQ(same.GetValue(), draws.front());

    auto* node = new SWobjectnode();
    node->SetName(std::string("lamp"));
    world.AddNode(node, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    SWproperty* live = node->AddVariable(std::move(level));
    SWpropertygenerator p(&world);
    p.SetLoopForever(true);
    p.SetPropertyName(std::string("NODE:lamp.level"));
    live->AssignFloat(3.0f);
    p.Step(0.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 3.0f);
    live->AssignFloat(5.0f);
    p.Step(10.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 5.0f);
    p.SetRelative(true);
    p.Step(20.0f); // the first relative reading is against 0
    live->AssignFloat(6.5f);
    p.Step(30.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), 1.5f);
    node->RemoveVariable(live);
    p.Step(40.0f);
    EXPECT_FLOAT_EQ(p.GetValue(), -6.5f); // gone: read as 0
}

TEST(GeneratorRecords, EveryKindRoundTripsWithItsDelay)
{
    SWworld world;
    std::vector<std::unique_ptr<SWgenerator>> all;
    auto track = std::make_unique<SWaxistrack>(&world, 90.0f);
    track->SetDuration(1000.0f);
    track->SetDelay(250.0f);
    track->SetChannel(2);
    all.push_back(std::move(track));
    auto wave = std::make_unique<SWwaveformgenerator>(&world);
    wave->SetShape(SWgenerator::kTriangle);
    wave->SetLock(false);
    wave->SetPeriod(200.0f);
    wave->SetEndPeriod(400.0f);
    wave->SetPhase(-45.0f);
    wave->SetPositive(true);
    wave->SetInfinite(true);
    wave->SetDecayTime(300.0f);
    wave->SetDelay(100.0f);
    all.push_back(std::move(wave));
    auto poly = std::make_unique<SWpolynomialgenerator>(&world);
    poly->SetAmplitude(3.0f);
    poly->SetShape(0.5f);
    poly->SetMirror(true);
    poly->SetInvert(true);
    all.push_back(std::move(poly));
    auto random = std::make_unique<SWrandomgenerator>(&world);
    random->SetMinimum(-4.0f);
    random->SetDuration(80.0f);
    all.push_back(std::move(random));
    auto property = std::make_unique<SWpropertygenerator>(&world);
    property->SetPropertyName(std::string("NODE:x.y"));
    property->SetRelative(true);
    all.push_back(std::move(property));

    for (const auto& g : all) {
        const std::vector<uint8_t> bytes = Saved(*g);
        std::unique_ptr<SWgenerator> read = Read(bytes, &world);
        ASSERT_NE(read, nullptr) << int(g->GetType());
        EXPECT_EQ(read->GetType(), g->GetType());
        EXPECT_EQ(read->GetDelay(), g->GetDelay());
        EXPECT_FLOAT_EQ(read->GetDuration(), g->GetDuration()) << int(g->GetType());
        EXPECT_EQ(Saved(*read), bytes) << int(g->GetType());
        // Every prefix is damage: nothing is made, and nothing crashes.
        for (size_t cut = 0; cut < bytes.size(); ++cut)
            EXPECT_EQ(Read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut))),
                      nullptr)
                << int(g->GetType()) << " cut " << cut;
    }
    // The delay ends the ramp early after a load as before it.
    std::unique_ptr<SWgenerator> track2 = Read(Saved(*all[0]));
    track2->Step(0.0f);
    track2->Step(1000.0f);
    EXPECT_FLOAT_EQ(track2->GetValue(), 90.0f);
}

TEST(GeneratorRecords, OlderRandomRecordAndUnusableNumbers)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWrecordbuilder outer(out, MakeTag("7453"));
        SWrecordbuilder older(outer.Stream(), MakeTag("7450"));
        older.Stream().WriteU32(0);
        older.Stream().WriteF32(4.0f);
        older.Stream().WriteF32(-20.0f); // a negative duration is none
        ASSERT_TRUE(older.Finish());
        ASSERT_TRUE(outer.Finish());
        SWrecordbuilder wave(out, MakeTag("7451"));
        SWrecordbuilder first(wave.Stream(), MakeTag("7450"));
        first.Stream().WriteU32(0);
        first.Stream().WriteU8(1);
        first.Stream().WriteF64(std::numeric_limits<double>::quiet_NaN());
        first.Stream().WriteF32(0.0f);
        first.Stream().WriteF64(100.0);
        first.Stream().WriteF32(1.0f);
        first.Stream().WriteF64(0.0);
        first.Stream().WriteF32(0.0f);
        first.Stream().WriteF32(0.0f);
        first.Stream().WriteF32(1e-9f); // periods below 1 ms become 1
        first.Stream().WriteF32(std::numeric_limits<float>::quiet_NaN());
        first.Stream().WriteF32(0.0f);
        first.Stream().WriteU8(0);
        first.Stream().WriteU8(1);
        ASSERT_TRUE(first.Finish());
        ASSERT_TRUE(wave.Finish());
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    std::unique_ptr<SWgenerator> random = SWgenerator::Read(nullptr, in);
    ASSERT_NE(random, nullptr);
    EXPECT_EQ(random->GetRangeMin(), -2.0f);
    EXPECT_EQ(random->GetRangeMax(), 2.0f);
    EXPECT_EQ(random->GetDuration(), 0.0f);
    std::unique_ptr<SWgenerator> wave = SWgenerator::Read(nullptr, in);
    ASSERT_NE(wave, nullptr);
    auto& w = static_cast<SWwaveformgenerator&>(*wave);
    EXPECT_EQ(w.GetStartTime(), 0.0f);
    EXPECT_EQ(w.GetPeriod(), 1.0f);
    EXPECT_EQ(w.GetEndPeriod(), 1.0f);
    EXPECT_FLOAT_EQ(w.GetDuration(), 100.0f);
}

namespace {

SWmatrix Times(const SWmatrix& a, const SWmatrix& b)
{
    SWmatrix out;
    a.Multiply(out, b);
    return out;
}

SWmatrix Inverse(const SWmatrix& m)
{
    SWmatrix out;
    m.Invert(out);
    return out;
}

void ExpectNear(const SWmatrix& a, const SWmatrix& b, const char* what)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], 1e-4f) << what << " element " << i;
}

// A node motion that only carries the increment it is given.
class Carried : public SWnodemotion {
public:
    explicit Carried(SWworld* world) : SWnodemotion(world, 2) {}
};

} // namespace

TEST(NodeMotionFrames, TheIncrementTurnsAboutTheChosenFrame)
{
    SWworld world;
    auto* parent = new SWobjectnode();
    auto* child = new SWobjectnode();
    auto* target = new SWobjectnode();
    world.AddNode(parent, nullptr);
    world.AddNode(child, parent);
    world.AddNode(target, nullptr);
    const SWmatrix p = Times(SWmatrix::Translation(5.0f, 0.0f, 0.0f), SWmatrix::Rotation(0.7f, 1));
    const SWmatrix local = Times(SWmatrix::Translation(0.0f, 2.0f, 1.0f), SWmatrix::Rotation(0.3f, 0));
    const SWmatrix t = Times(SWmatrix::Translation(-3.0f, 1.0f, 0.0f), SWmatrix::Rotation(1.1f, 2));
    parent->SetWorldMatrix(p);
    target->SetWorldMatrix(t);
    const SWmatrix b = SWmatrix::Rotation(1.5707964f, 2);

    struct Case {
        uint32_t flags;
        bool withTarget;
        SWmatrix expectedWorld; // the child's world matrix after the fold
        const char* what;
    };
    const SWmatrix w = Times(p, local);
    const Case cases[] = {
        {1, false, Times(w, b), "local"},
        {2, false, Times(p, Times(b, local)), "parent"},
        {4, false, Times(b, w), "world axes"},
        {4, true, Times(b, w), "world axes ignore the target"},
        {16, false, Times(b, w), "target frame without a target"},
        {16, true, Times(t, Times(b, Times(Inverse(t), w))), "target"},
    };
    for (const Case& c : cases) {
        child->SetLocalMatrix(local);
        child->SetWorldMatrix(w);
        Carried motion(&world);
        motion.SetOptionFlags(c.flags);
        motion.SetTargetNode(c.withTarget ? target : nullptr);
        motion.SetIncrement(b);
        motion.ApplyToNode(*child);
        ExpectNear(Times(p, child->GetLocalMatrix()), c.expectedWorld, c.what);
    }

    // Pivot at the node: world axes through the node's own position.
    child->SetLocalMatrix(local);
    child->SetWorldMatrix(w);
    Carried pivot(&world);
    pivot.SetOptionFlags(4 | 128);
    pivot.SetIncrement(b);
    pivot.ApplyToNode(*child);
    SWmatrix at;
    at.CopyTranslation(w);
    ExpectNear(Times(p, child->GetLocalMatrix()), Times(at, Times(b, Times(Inverse(at), w))), "pivot");
}

TEST(NodeMotionFrames, OptionRulesAndTheCapturedFrame)
{
    SWworld world;
    Carried m(&world);
    EXPECT_EQ(m.GetOptionFlags(), 1u);
    m.SetOptionFlags(1 | 128);
    EXPECT_EQ(m.GetOptionFlags(), 1u);
    EXPECT_FALSE(m.GetFixedFrame());
    m.SetOptionFlags(32 | 1 | 128);
    EXPECT_EQ(m.GetOptionFlags(), 32u | 1u | 128u);
    EXPECT_TRUE(m.GetFixedFrame());

    auto* parent = new SWobjectnode();
    auto* child = new SWobjectnode();
    world.AddNode(parent, nullptr);
    world.AddNode(child, parent);
    parent->SetWorldMatrix(SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    SWtimedactionentry entry(&m);
    m.SetFixedMatrix(SWmatrix::Scaling(2.0f, 2.0f, 2.0f));
    m.GetReferenceMatrix(*child, entry);
    EXPECT_EQ(entry.frame, SWmatrix::Scaling(2.0f, 2.0f, 2.0f));
    Carried capture(&world);
    capture.SetOptionFlags(2); // without 64 nothing is captured
    entry.frame = SWmatrix();
    capture.GetReferenceMatrix(*child, entry);
    EXPECT_EQ(entry.frame, SWmatrix());
    capture.SetOptionFlags(2 | 64);
    capture.GetReferenceMatrix(*child, entry);
    EXPECT_EQ(entry.frame, SWmatrix::Translation(1.0f, 2.0f, 3.0f));
}
