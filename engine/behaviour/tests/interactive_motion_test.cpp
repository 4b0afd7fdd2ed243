// The interactive motions: control channels, the arcball's drags, presets and records, and the navigation's keys,
// mouse-look and records.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/tests/looking_world.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A node in a world, driven by motion, stepped on the motion's own clock and folded as the frame step folds it.
template <typename Motion> struct Driven {
    Driven()
    {
        world.AddNode(node, nullptr);
        motion.SetTarget(node);
        motion.Start();
        motion.Step(0.0f);
    }
    void StepTo(float ms)
    {
        motion.Step(ms);
        motion.ApplyToNode(*node);
        world.UpdateNodeTransforms(node, 1);
    }
    LookingWorld world;
    SWobjectnode* node = new SWobjectnode();
    Motion motion{&world};
};

std::vector<uint8_t> Saved(const SWmotion& motion)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(motion.Save(out));
        out.WriteTag(kTagEnd);
    }
    return buffer.ToVector();
}

bool LoadInto(SWmotion& motion, const std::vector<uint8_t>& bytes)
{
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    return motion.Load(in);
}

float AngleAbout(const SWmatrix& m, int axis)
{
    return axis == 1 ? std::atan2(-m[8], m[0]) : std::atan2(m[9], m[5]);
}

} // namespace

TEST(ControlChannel, PixelsTurnByRuleOrSphereAndClampStopsAtTheLimit)
{
    SWcontrolchannel c;
    c.Feed(nullptr, 100);
    EXPECT_NEAR(c.GetValue(), 100 * 2 * kPi / 1000, 1e-5f);
    SWcontrolchannel sphere;
    sphere.SetSphereMode(true);
    sphere.Feed(nullptr, 1024);
    EXPECT_NEAR(sphere.GetValue(), kPi, 1e-5f);
    SWcontrolchannel clamped;
    clamped.SetClamp(true);
    clamped.Feed(nullptr, 400);
    const float before = clamped.GetValue();
    clamped.BuildMatrix();
    clamped.Feed(nullptr, 400);
    EXPECT_FLOAT_EQ(clamped.GetValue(), kPi);
    EXPECT_NEAR(clamped.GetChange(), kPi - before, 1e-5f);
}

TEST(ControlChannel, ScaleStepsRefuseTinyScalesWithoutAJump)
{
    SWcontrolchannel c;
    c.SetInputCode(SWcontrolchannel::kScale);
    const auto stepTo = [&](float value) {
        c.FeedValue(value - c.GetValue());
        return c.BuildMatrix()[0];
    };
    c.FeedValue(0.0f);
    EXPECT_FLOAT_EQ(c.BuildMatrix()[0], 1.0f);
    EXPECT_FLOAT_EQ(stepTo(1.0f), 2.0f);
    EXPECT_FLOAT_EQ(stepTo(-0.99f), 1.0f); // refused: a hundredth of the size
    // From 2 to 0.5: a quarter, never the fifty a refused step's bookkeeping would give.
    EXPECT_NEAR(stepTo(-0.5f), 0.25f, 1e-5f);
}

TEST(ControlChannel, CodesLimitsAndSorting)
{
    SWarcballmotion arcball(nullptr);
    EXPECT_EQ(arcball.GetOrder(), (std::array<uint32_t, 6>{1, 0, 2, 3, 5, 4}));
    SWcontrolchannel& c = arcball.GetChannel(2);
    c.SetMinimum(-5.0f);
    c.SetMaximum(5.0f);
    EXPECT_TRUE(c.SetInputCode(SWcontrolchannel::kTranslateY));
    EXPECT_EQ(c.GetMaximum(), 5.0f); // translation to translation keeps user limits
    EXPECT_FALSE(c.SetInputCode(SWcontrolchannel::kTranslateY));
    EXPECT_TRUE(c.SetInputCode(SWcontrolchannel::kRotateX));
    EXPECT_EQ(c.GetMaximum(), kPi);
    EXPECT_EQ(arcball.GetOrder(), (std::array<uint32_t, 6>{1, 2, 0, 3, 5, 4}));
    // Codes nothing drives read as "none", so the order always places every channel.
    for (const uint8_t code : {3, 7, 8, 9, 12, 200}) {
        EXPECT_TRUE(c.SetInputCode(code) || c.GetInputCode() == SWcontrolchannel::kNone);
        EXPECT_EQ(c.GetInputCode(), SWcontrolchannel::kNone) << int(code);
        EXPECT_EQ(arcball.GetOrder(), (std::array<uint32_t, 6>{1, 0, 3, 5, 2, 4})) << int(code);
    }
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(IsRotationInputCode(static_cast<uint8_t>(code)), code < 3) << code;
}

TEST(ControlChannel, MomentumFadesOverItsTimeAndCompounds)
{
    Driven<SWarcballmotion> d;
    SWcontrolchannel& c = d.motion.GetChannel(0);
    c.BeginDrag();
    c.Feed(&d.world, 10);
    c.BuildMatrix();
    c.EndDrag();
    ASSERT_TRUE(c.IsMomentumActive());
    float t = 0.0f;
    while (c.IsMomentumActive() && t < 5000.0f) {
        t += 100.0f;
        d.StepTo(t);
    }
    // The first fed 9 pixels, the next trunc(1900 x 9 / 2000) = 8, ... and the truncation reaches 0 early.
    EXPECT_FALSE(c.IsMomentumActive());
    EXPECT_LT(t, 2100.0f);
    EXPECT_EQ(c.GetLastAmount(), 0);
}

TEST(Arcball, LeftDragTurnsAndLeftThenRightCountsAsMiddle)
{
    Driven<SWarcballmotion> d;
    d.motion.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    d.motion.MouseMove(&d.world, 100, 0, SWchannelmotion::kButtonLeft);
    d.StepTo(33.0f);
    // Channel 0 turns about Y, inverted: a 100-pixel drag to the right is -0.2 pi.
    EXPECT_NEAR(AngleAbout(d.node->GetLocalMatrix(), 1), -0.2f * kPi, 1e-4f);
    d.motion.MouseDown(0, 0, SWchannelmotion::kButtonRight);
    EXPECT_EQ(d.motion.GetHeldButtons(), SWchannelmotion::kButtonMiddle);
    d.motion.MouseMove(&d.world, 50, 0, SWchannelmotion::kButtonLeft | SWchannelmotion::kButtonRight);
    EXPECT_TRUE(d.motion.GetChannel(2).IsActive());
    EXPECT_FALSE(d.motion.GetChannel(0).IsActive());
    d.motion.MouseUp(0, 0, SWchannelmotion::kButtonLeft);
    EXPECT_EQ(d.motion.GetHeldButtons(), 0);
}

TEST(Arcball, PresetsSetTheirChannelsAndLargerNumbersNothing)
{
    struct Want {
        uint8_t x, y;
    };
    const Want want[SWarcballmotion::kPresetCount] = {{10, 0}, {1, 10}, {2, 10}, {1, 0},   {4, 10}, {10, 5}, {10, 6},
                                                      {4, 5},  {4, 6},  {5, 6},  {10, 10}, {10, 0}, {1, 10}, {2, 10},
                                                      {1, 0},  {4, 10}, {10, 5}, {10, 6},  {4, 5},  {4, 6},  {5, 6}};
    for (uint8_t preset = 0; preset < SWarcballmotion::kPresetCount; ++preset)
        for (const uint8_t button :
             {SWchannelmotion::kButtonLeft, SWchannelmotion::kButtonMiddle, SWchannelmotion::kButtonRight}) {
            SCOPED_TRACE(testing::Message() << int(preset) << " on " << int(button));
            SWarcballmotion a(nullptr), b(nullptr);
            a.SetButtonPreset(button, preset, 2.0f, 3.0f, 4.0f, true, 500.0f);
            b.SetButtonFunction(button, preset, 2.0f, 3.0f, 4.0f, true, 500.0f);
            const int first = button == SWchannelmotion::kButtonLeft     ? 0
                              : button == SWchannelmotion::kButtonMiddle ? 2
                                                                         : 4;
            EXPECT_EQ(a.GetChannel(first).GetInputCode(), want[preset].x);
            EXPECT_EQ(a.GetChannel(first + 1).GetInputCode(), want[preset].y);
            EXPECT_EQ(Saved(a), Saved(b));
            const bool sphere = preset == 3 || preset == 14;
            EXPECT_EQ(a.GetChannel(first).IsSphereMode(), sphere);
            if (want[preset].y == SWcontrolchannel::kTranslateZ) {
                EXPECT_EQ(a.GetChannel(first + 1).GetScale(), 4.0f);
            }
        }
    SWarcballmotion a(nullptr), untouched(nullptr);
    a.SetButtonPreset(SWchannelmotion::kButtonLeft, 21, 2, 2, 2, false, 1);
    EXPECT_EQ(Saved(a), Saved(untouched));
}

TEST(Arcball, SphereDragOfTheRadiusTurnsHalfWay)
{
    Driven<SWarcballmotion> d;
    d.motion.SetButtonPreset(SWchannelmotion::kButtonLeft, 14, 1, 1, 1, false, 0);
    d.motion.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    d.motion.MouseMove(&d.world, 0, 1024, SWchannelmotion::kButtonLeft);
    d.StepTo(33.0f);
    EXPECT_NEAR(std::fabs(AngleAbout(d.node->GetLocalMatrix(), 0)), kPi, 1e-4f);
    EXPECT_NEAR(d.motion.GetChannel(1).GetValue(), kPi, 1e-5f);
}

TEST(ArcballRecords, RoundTripKeepsSphereModeAndSkipsASeventhChannel)
{
    SWarcballmotion a(nullptr);
    a.SetButtonPreset(SWchannelmotion::kButtonLeft, 3, 1, 1, 1, true, 800.0f);
    a.SetExclusive(true);
    a.GetChannel(5).SetScale(7.0f);
    const std::vector<uint8_t> bytes = Saved(a);
    SWarcballmotion b(nullptr);
    ASSERT_TRUE(LoadInto(b, bytes));
    EXPECT_EQ(Saved(b), bytes);
    EXPECT_TRUE(b.GetChannel(0).IsSphereMode());
    EXPECT_TRUE(b.IsExclusive());
    EXPECT_EQ(b.GetAxisSpeeds()[2], 7.0f);

    // A seventh channel record after the six is skipped whole; the channels keep the six.
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        a.Save(out);
        a.GetChannel(0).SetInputCode(SWcontrolchannel::kTranslateX);
        a.GetChannel(0).Write(out);
        out.WriteTag(kTagEnd);
    }
    SWarcballmotion c(nullptr);
    ASSERT_TRUE(LoadInto(c, buffer.ToVector()));
    EXPECT_EQ(c.GetChannel(0).GetInputCode(), SWcontrolchannel::kRotateY);
}

TEST(ArcballRecords, OlderRecordChoosesPresetsAndTakesTheNodeMotionFrame)
{
    SWbuffer buffer;
    auto stream = std::make_unique<SWchunkstream>(buffer, SWchunkstream::kWrite);
    SWchunkstream& out = *stream;
    {
        SWrecordbuilder older(out, MakeTag("7443"));
        SWchunkstream& s = older.Stream();
        s.WriteF64(1500.0);
        s.WriteF64(700.0);
        s.WriteU8(3);  // left: sphere turn
        s.WriteU8(8);  // right: translate X and Z
        s.WriteU8(14); // middle: sphere turn, not inverted
        for (float v : {100.0f, 200.0f, 300.0f, 0.0f, 0.0f, 0.0f})
            s.WriteF32(v);
        s.WriteU8(1);
        s.WriteU8(0);
        older.Finish();
    }
    {
        SWrecordbuilder shared(out, MakeTag("7444"));
        SWchunkstream& s = shared.Stream();
        s.WriteU8(1);
        s.WriteU8(0);
        s.WriteU32(1);
        s.WriteU8(1 | 128);
        SWmatrix().Save(s);
        s.WriteString("");
        shared.Finish();
    }
    out.WriteTag(kTagEnd);
    stream.reset();
    SWarcballmotion a(nullptr);
    ASSERT_TRUE(LoadInto(a, buffer.ToVector()));
    EXPECT_EQ(a.GetDuration(), 1500.0f);
    EXPECT_TRUE(a.GetChannel(0).IsSphereMode());
    EXPECT_TRUE(a.GetChannel(0).IsInverted());
    EXPECT_TRUE(a.GetChannel(2).IsSphereMode());
    EXPECT_FALSE(a.GetChannel(2).IsInverted());
    EXPECT_EQ(a.GetChannel(4).GetInputCode(), SWcontrolchannel::kTranslateX);
    EXPECT_EQ(a.GetChannel(5).GetScale(), 3.0f);
    EXPECT_EQ(a.GetChannel(0).GetMomentumTime(), 700.0f);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(a.GetChannel(i).GetFrameBits(), 128 | 4) << i;
    EXPECT_EQ(a.GetOptionFlags(), 1u);
}

TEST(ArcballRecords, DamagedRecordsEndWithFalse)
{
    SWarcballmotion a(nullptr);
    const std::vector<uint8_t> bytes = Saved(a);
    for (size_t cut = 0; cut + 4 < bytes.size(); cut += 3) {
        std::vector<uint8_t> damaged(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SWarcballmotion b(nullptr);
        LoadInto(b, damaged); // a cut record may read as an early end; it must never crash or hang
    }
    std::vector<uint8_t> longer = bytes;
    longer[4] = 0xFF; // the first record's length: far past the end
    SWarcballmotion c(nullptr);
    EXPECT_FALSE(LoadInto(c, longer));
}

TEST(Navigation, HeldKeysWalkHorizontallyAtTheirSpeeds)
{
    for (const float tilt : {0.0f, 60.0f}) {
        for (const auto& [key, distance] : {std::pair<char, float>{0, 1.34f}, {'z', 2.68f}, {'x', 0.67f}}) {
            SCOPED_TRACE(testing::Message() << tilt << " " << key);
            Driven<SWnavigationmotion> d;
            // Level means the node's Z axis lies in the horizontal plane (world Z is up).
            d.node->SetLocalMatrix(SWmatrix::Rotation((90.0f + tilt) * kPi / 180.0f, 0));
            d.world.UpdateNodeTransforms(d.node, 1);
            const SWkeytable& keys = d.world.GetKeyTable();
            if (key != 0)
                d.motion.KeyDown(keys.FindKeyByCode(key));
            d.motion.KeyDown(keys.FindKeyByCode('w'));
            for (float t = 20.0f; t <= 1000.0f; t += 20.0f)
                d.StepTo(t);
            const SWvector moved = d.node->GetLocalMatrix().GetTranslation();
            EXPECT_NEAR(std::sqrt(moved.x * moved.x + moved.y * moved.y), distance, 1e-3f);
            EXPECT_NEAR(moved.z, 0.0f, 1e-5f);
        }
    }
}

TEST(Navigation, LaterKeyWinsTiltStopsAndMouseLookCallsTheHost)
{
    Driven<SWnavigationmotion> d;
    const SWkeytable& keys = d.world.GetKeyTable();
    d.motion.KeyDown(keys.FindKeyByCode(258));
    d.motion.KeyDown(keys.FindKeyByCode(259));
    EXPECT_EQ(d.motion.GetKeyBits(), 2);
    d.motion.KeyUp(keys.FindKeyByCode(259));
    EXPECT_EQ(d.motion.GetKeyBits(), 0);
    d.motion.KeyDown(keys.FindKeyByCode(257));
    for (float t = 50.0f; t <= 3000.0f; t += 50.0f)
        d.StepTo(t);
    EXPECT_FLOAT_EQ(d.motion.GetChannel(5).GetValue(), 1.55f);
    EXPECT_EQ(d.motion.GetOrder(), (std::array<uint32_t, 6>{2, 3, 5, 0, 4, 1}));

    d.motion.MouseDown(0, 0, SWchannelmotion::kButtonRight);
    EXPECT_TRUE(d.motion.IsMouseLook());
    EXPECT_EQ(d.world.begins, 1);
    EXPECT_EQ(d.world.GetNavigationChanged(), 1);
    d.motion.MouseUp(0, 0, SWchannelmotion::kButtonRight);
    EXPECT_FALSE(d.motion.IsMouseLook());
    EXPECT_EQ(d.world.ends, 1);
}

TEST(Navigation, CloneKeepsFreeModeAndRecordsRoundTrip)
{
    Driven<SWnavigationmotion> d;
    d.motion.SetFreeMode(1);
    std::unique_ptr<SWmotion> clone(d.motion.Clone());
    EXPECT_TRUE(static_cast<SWnavigationmotion*>(clone.get())->IsFreeMode());

    const std::vector<uint8_t> free = Saved(d.motion);
    SWnavigationmotion walk(&d.world);
    walk.SetKeySlot(14, d.world.GetKeyTable().FindKeyByCode('m'));
    const std::vector<uint8_t> walking = Saved(walk);
    EXPECT_LT(free.size(), walking.size()); // "GNHM" only in walk mode
    SWnavigationmotion back(&d.world);
    back.SetKeySlot(14, nullptr);
    ASSERT_TRUE(LoadInto(back, walking));
    EXPECT_EQ(back.GetKeySlot(14), d.world.GetKeyTable().FindKeyByCode('m'));
    EXPECT_EQ(Saved(back), walking);
}

TEST(InteractiveRecords, EveryCreatedKindSavesAndLoadsToTheSameBytes)
{
    SWworld world;
    for (const int32_t kind : {45, 62, 63, 64}) {
        SCOPED_TRACE(kind);
        const MotionCreator create = FindMotionCreator(kind);
        ASSERT_NE(create, nullptr);
        std::unique_ptr<SWmotion> made(create(&world));
        const std::vector<uint8_t> bytes = Saved(*made);
        std::unique_ptr<SWmotion> again(create(&world));
        ASSERT_TRUE(LoadInto(*again, bytes));
        EXPECT_EQ(Saved(*again), bytes);
    }
}

TEST(ArcballRecords, StoredCodesNothingDrivesReadAsNone)
{
    for (const uint8_t code : {3, 7, 9, 12, 200}) {
        SWcontrolchannel written;
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            written.Write(out);
        }
        std::vector<uint8_t> bytes = buffer.ToVector();
        bytes[8 + 4] = code; // after the record header and the empty target name's length
        SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
        in.TakeTag();
        std::unique_ptr<SWchunkstream> body = in.OpenChild();
        SWcontrolchannel read;
        ASSERT_TRUE(read.Read(*body)) << int(code);
        EXPECT_EQ(read.GetInputCode(), SWcontrolchannel::kNone) << int(code);
    }
}

TEST(Navigation, EndAllMouseLookReachesEveryRunningNavigation)
{
    LookingWorld world;
    std::vector<SWnavigationmotion*> running;
    for (int i = 0; i < 2; ++i) {
        auto* node = new SWobjectnode();
        world.AddNode(node, nullptr);
        auto motion = std::make_unique<SWnavigationmotion>(&world);
        motion->SetTarget(node);
        motion->Start();
        motion->MouseDown(0, 0, SWchannelmotion::kButtonRight);
        running.push_back(motion.get());
        TimedActionTable::Of(world).Add(std::move(motion));
    }
    ASSERT_TRUE(running[0]->IsMouseLook() && running[1]->IsMouseLook());
    world.ClearNavigationChanged();
    world.EndAllMouseLook();
    EXPECT_FALSE(running[0]->IsMouseLook());
    EXPECT_FALSE(running[1]->IsMouseLook());
    EXPECT_EQ(world.GetNavigationChanged(), 1);
    EXPECT_EQ(world.ends, 0); // releasing the pointer stays with the caller
}

TEST(InteractiveMotions, DrivenNodeDeletedWhileRunningIsNeverReached)
{
    Driven<SWarcballmotion> arcball;
    arcball.motion.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    arcball.motion.MouseMove(&arcball.world, 40, 0, SWchannelmotion::kButtonLeft);
    arcball.world.DeleteNode(arcball.node);
    arcball.motion.Step(33.0f);
    EXPECT_EQ(arcball.motion.GetDrivenNode(), nullptr);
    EXPECT_EQ(arcball.motion.GetMatrix(), SWmatrix());

    Driven<SWnavigationmotion> walk;
    walk.motion.KeyDown(walk.world.GetKeyTable().FindKeyByCode('w'));
    walk.world.DeleteNode(walk.node);
    walk.motion.Step(500.0f);
    EXPECT_EQ(walk.motion.GetDrivenNode(), nullptr);
    EXPECT_EQ(walk.motion.GetMatrix(), SWmatrix());
}

TEST(NavigationRecords, KeyCodesTheTableLacksReadAsEmptySlots)
{
    LookingWorld world;
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWrecordbuilder own(out, MakeTag("7443"));
        own.Stream().WriteU8(0);
        for (const uint32_t code : {258u, 5000u, 0xFFFFFFFFu, 0x80000000u, 115u, 260u})
            own.Stream().WriteU32(code);
        own.Stream().WriteF32(2.0f);
        own.Stream().WriteF32(1.0f);
        own.Finish();
        out.WriteTag(kTagEnd);
    }
    SWnavigationmotion motion(&world);
    ASSERT_TRUE(LoadInto(motion, buffer.ToVector()));
    EXPECT_EQ(motion.GetKeySlot(0), world.GetKeyTable().FindKeyByCode(258));
    EXPECT_EQ(motion.GetKeySlot(1), nullptr);
    EXPECT_EQ(motion.GetKeySlot(2), nullptr);
    EXPECT_EQ(motion.GetKeySlot(3), nullptr);
    EXPECT_EQ(motion.GetKeySlot(6), world.GetKeyTable().FindKeyByCode(115));
    EXPECT_EQ(motion.GetWalkSpeed(), 2.0f);
}
