// The XYZ motion: increments that sum to the generators' amounts at any frame times, rotation orders, a scale that
// dips below nothing and recovers, settings forwarded to the generators, records, and old files' conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/world.h"

namespace {

constexpr float kQuarterTurn = 1.5707964f;

std::unique_ptr<SWgenerator> Track(float amount, float durationMs)
{
    auto track = std::make_unique<SWaxistrack>(nullptr, amount);
    track->SetDuration(durationMs);
    return track;
}

// Steps motion at the given frame times, composing every increment it makes.
SWmatrix Folded(SWxyzmotion& motion, const std::vector<float>& times)
{
    SWmatrix total;
    motion.Start();
    for (const float t : times) {
        if (motion.IsDone())
            break; // an ended motion is purged; its last increment is never folded again
        motion.Step(t);
        total.PostMultiply(motion.GetMatrix());
    }
    return total;
}

void ExpectNear(const SWmatrix& a, const SWmatrix& b, float tolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

std::vector<uint8_t> Saved(const SWxyzmotion& m)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(m.Save(out));
    }
    return buffer.ToVector();
}

} // namespace

TEST(XyzMotion, AQuarterTurnAtEvenAndUnevenFrameTimes)
{
    std::vector<float> even;
    for (float t = 0.0f; t < 1100.0f; t += 16.7f)
        even.push_back(t);
    std::vector<float> uneven = {0.0f};
    const float steps[] = {10.0f, 50.0f, 7.0f, 120.0f, 3.0f, 260.0f, 33.0f};
    for (size_t i = 0; uneven.back() < 1200.0f; ++i)
        uneven.push_back(uneven.back() + steps[i % std::size(steps)]);
    for (const auto* times : {&even, &uneven}) {
        SWxyzmotion turn(nullptr);
        turn.SetGenerator(Track(kQuarterTurn, 1000.0f), 1); // the second rotation of order 0 is about Y
        EXPECT_FLOAT_EQ(turn.GetDuration(), 1000.0f);
        ExpectNear(Folded(turn, *times), SWmatrix::Rotation(kQuarterTurn, 1), 1e-5f);
        EXPECT_TRUE(turn.IsDone());
    }
}

TEST(XyzMotion, OrderSixTurnsTwiceAboutXAndEndedGeneratorsAddNothing)
{
    SWxyzmotion twice(nullptr);
    twice.SetRotationOrder(6);
    EXPECT_EQ(twice.GetAxis(2), 0);
    twice.SetGenerator(Track(0.5f, 500.0f), 0);
    twice.SetGenerator(Track(0.25f, 1000.0f), 2); // the longer axis decides the pass
    ExpectNear(Folded(twice, {0.0f, 200.0f, 600.0f, 800.0f, 1000.0f, 1200.0f}), SWmatrix::Rotation(0.75f, 0), 1e-5f);
    twice.SetRotationOrder(12); // stored, axes kept
    EXPECT_EQ(twice.GetRotationOrder(), 12);
    EXPECT_EQ(twice.GetAxis(2), 0);
}

TEST(XyzMotion, AScaleBelowNothingCollapsesAndRecovers)
{
    SWxyzmotion scale(nullptr, SWxyzmotion::kScale);
    auto wave = std::make_unique<SWwaveformgenerator>(nullptr);
    wave->SetSustainAmplitude(3.0f); // value + 1 runs from 1 to 4, back through 1 to -2, and up again
    scale.SetGenerator(std::move(wave), 0);
    std::vector<float> times;
    for (float t = 0.0f; t <= 1000.0f; t += 10.0f)
        times.push_back(t);
    const SWmatrix total = Folded(scale, times);
    // The ratios multiply out to the last factor: finite, and the axis back at its full size.
    EXPECT_TRUE(std::isfinite(total[0]));
    EXPECT_NEAR(total[0], 1.0f, 1e-3f);
    EXPECT_FLOAT_EQ(total[5], 1.0f);
}

TEST(XyzMotion, SettingsReachTheGeneratorsAndCopiesKeepThem)
{
    SWxyzmotion m(nullptr, SWxyzmotion::kTranslate);
    EXPECT_FALSE(m.SetMotionType(5));
    EXPECT_EQ(m.GetType(), SWxyzmotion::kTranslate);
    m.SetGenerator(Track(1.0f, 400.0f), 0);
    m.SetGenerator(Track(2.0f, 800.0f), 1);
    m.SetLoopCount(3);
    m.SetPingPong(true);
    EXPECT_EQ(m.GetGenerator(0)->GetLoopCount(), 3);
    EXPECT_TRUE(m.GetGenerator(1)->IsPingPong());
    m.StretchDuration(1600.0f);
    EXPECT_FLOAT_EQ(m.GetGenerator(0)->GetDuration(), 800.0f);
    EXPECT_FLOAT_EQ(m.GetDuration(), 1600.0f);
    m.SetRotationOrder(4);
    const std::unique_ptr<SWmotion> copy(m.Clone());
    const auto& c = static_cast<const SWxyzmotion&>(*copy);
    EXPECT_TRUE(c.IsRunningCopy());
    EXPECT_EQ(c.GetRotationOrder(), 4);
    EXPECT_EQ(c.GetType(), SWxyzmotion::kTranslate);
    EXPECT_NE(c.GetGenerator(0), m.GetGenerator(0));
    EXPECT_FLOAT_EQ(c.GetGenerator(1)->GetDuration(), 1600.0f);
    EXPECT_EQ(c.GetGenerator(1)->GetLoopCount(), 3);
}

TEST(XyzMotion, RecordsRoundTripAndDamageIsRefused)
{
    SWworld world;
    SWxyzmotion m(&world, SWxyzmotion::kScale);
    m.SetRotationOrder(7);
    m.SetGenerator(Track(0.5f, 300.0f), 2);
    m.SetLoopForever(true);
    m.SetOptionFlags(SWnodemotion::kFrameFixed | SWnodemotion::kFrameCapture);
    m.SetFixedMatrix(SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    m.SetTargetNodeName(std::string("aim"));
    m.SetSoundName(std::string("hum"));
    const std::vector<uint8_t> bytes = Saved(m);

    SWxyzmotion read(&world);
    {
        SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
        ASSERT_TRUE(read.Load(in));
    }
    EXPECT_EQ(Saved(read), bytes);
    EXPECT_EQ(read.GetRotationOrder(), 7);
    EXPECT_TRUE(read.GetFixedFrame());
    EXPECT_TRUE(read.GetGenerator(2)->IsLoopingForever());
    EXPECT_EQ(read.GetSoundName(), std::optional<std::string>("hum"));

    // Bit 32 clear on reading clears the fixed frame the setter never clears.
    SWxyzmotion local(&world);
    local.SetLoopForever(true);
    const std::vector<uint8_t> plain = Saved(local);
    {
        SWchunkstream in(std::span<const uint8_t>(plain.data(), plain.size()));
        ASSERT_TRUE(read.Load(in));
    }
    EXPECT_FALSE(read.GetFixedFrame());

    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        SWxyzmotion damaged(&world);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SWchunkstream in(std::span<const uint8_t>(part.data(), part.size()));
        damaged.Load(in); // a cut on a record boundary is a shorter list; what matters is no crash or leak
    }
}

TEST(XyzMotion, OldFilesConvertOnceBelowBuild4000AndScalesUpToVersion940)
{
    for (const uint32_t build : {3999u, 4000u}) {
        SWworld world;
        SWevent* event = world.NewEvent();
        SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(41));
        ASSERT_NE(action, nullptr);
        auto* motion = dynamic_cast<SWxyzmotion*>(action->GetMotion());
        ASSERT_NE(motion, nullptr);
        motion->SetGenerator(Track(10.0f, 0.0f), 0);
        motion->SetGenerator(Track(1.0f, 600.0f), 1);
        motion->SetGenerator(Track(1.0f, 1000.0f), 2);
        motion->SetLoopForever(true);
        event->ConvertOldActionTimes(build);
        const auto* track = static_cast<SWaxistrack*>(motion->GetGenerator(0));
        EXPECT_FLOAT_EQ(track->GetAmount(), build < 4000 ? 10.0f * 0.03003003f : 10.0f) << build;
        EXPECT_FLOAT_EQ(motion->GetGenerator(1)->GetDelay(), build < 4000 ? 400.0f : 0.0f) << build;
        EXPECT_FLOAT_EQ(motion->GetGenerator(1)->GetDuration(), build < 4000 ? 1000.0f : 600.0f) << build;
    }
    for (const uint32_t version : {940u, 951u}) {
        SWworld world;
        world.SetFileVersionNumber(version);
        SWevent* event = world.NewEvent();
        SWactionnode* action = event->CreateAction(world.GetActionCategories().FindKind(53));
        auto* motion = dynamic_cast<SWxyzmotion*>(action->GetMotion());
        ASSERT_NE(motion, nullptr);
        EXPECT_EQ(motion->GetType(), SWxyzmotion::kScale);
        static_cast<SWaxistrack*>(motion->GetGenerator(0))->SetAmount(1.5f);
        event->ConvertOldActionTimes(4100);
        EXPECT_FLOAT_EQ(static_cast<SWaxistrack*>(motion->GetGenerator(0))->GetAmount(), version <= 940 ? 0.5f : 1.5f);
    }
}
