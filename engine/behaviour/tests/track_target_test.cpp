// The track-target motion: aiming an axis at a target, the flip when it lies behind, finite turns for targets
// across or on the node, and its records.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/behaviour/track_target_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

struct Aiming {
    Aiming()
    {
        world.AddNode(own, nullptr);
        world.AddNode(target, nullptr);
        motion.SetOwnNode(own);
        motion.SetTarget(target);
    }
    SWmatrix Increment(float x, float y, float z)
    {
        target->SetWorldMatrix(SWmatrix::Translation(x, y, z));
        motion.SetTime(0.0f);
        return motion.GetMatrix();
    }
    SWworld world;
    SWobjectnode* own = new SWobjectnode();
    SWobjectnode* target = new SWobjectnode();
    SWtracktargetmotion motion{&world};
};

bool Finite(const SWmatrix& m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m[i]))
            return false;
    return true;
}

} // namespace

TEST(TrackTarget, OnTheAxisNothingBehindItAFlipAndAcrossOrOnItFinite)
{
    for (const uint16_t axis : {0, 1, 2}) {
        Aiming a;
        a.motion.SetAimOption(axis);
        const float along[3][3] = {{5, 0, 0}, {0, 5, 0}, {0, 0, 5}};
        const float* d = along[axis];
        EXPECT_EQ(a.Increment(d[0], d[1], d[2]), SWmatrix()) << axis;
        const SWmatrix flips[3] = {SWmatrix::Scaling(-1, 1, -1), SWmatrix::Scaling(1, -1, -1),
                                   SWmatrix::Scaling(-1, 1, -1)};
        EXPECT_EQ(a.Increment(-d[0], -d[1], -d[2]), flips[axis]) << axis;
        // Across the turn's plane, and on the node itself.
        const float across[3][3] = {{0, 5, 0}, {5, 0, 0}, {5, 0, 0}};
        EXPECT_TRUE(Finite(a.Increment(across[axis][0], across[axis][1], across[axis][2]))) << axis;
        EXPECT_TRUE(Finite(a.Increment(0, 0, 0))) << axis;
        EXPECT_EQ(a.Increment(0, 0, 0), SWmatrix()) << axis; // no way to aim: the node keeps its pose
        EXPECT_EQ(a.Increment(0, 1e-7f, 0), SWmatrix()) << axis;
    }
}

TEST(TrackTarget, OneFoldAimsTheAxisAndAwayOrACameraAimsBackwards)
{
    Aiming a;
    a.Increment(3.0f, 4.0f, 12.0f);
    a.motion.ApplyToNode(*a.own);
    a.own->SetWorldMatrix(a.own->GetLocalMatrix());
    const SWvector z = a.own->GetWorldMatrix().TransformDirection(SWvector(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(z.x, 3.0f / 13.0f, 1e-5f);
    EXPECT_NEAR(z.y, 4.0f / 13.0f, 1e-5f);
    EXPECT_NEAR(z.z, 12.0f / 13.0f, 1e-5f);

    Aiming away;
    away.motion.SetAimAway(true);
    EXPECT_EQ(away.Increment(0.0f, 0.0f, -5.0f), SWmatrix());
    Aiming camera;
    camera.own->SetKindFlags(camera.own->GetKindFlags() | SWnode::kKindCamera);
    EXPECT_EQ(camera.Increment(0.0f, 0.0f, -5.0f), SWmatrix());
}

TEST(TrackTarget, RecordsKeepEverySavedSettingAndRefuseDamage)
{
    SWworld world;
    SWtracktargetmotion m(&world);
    m.SetAimOption(1);
    m.SetTargetName(std::string("sun"));
    m.SetAimAway(true);
    m.SetOption(2, 7);
    m.SetOption(3, 9);
    for (int i = 1; i <= 4; ++i)
        m.SetValue(i, static_cast<float>(i) * 1.5f);
    m.SetDuration(750.0f);
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        ASSERT_TRUE(m.Save(out));
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWtracktargetmotion read(&world);
    {
        SWchunkstream in(bytes);
        ASSERT_TRUE(read.Load(in));
    }
    EXPECT_EQ(read.GetAimOption(), 1);
    EXPECT_EQ(read.GetTargetName(), std::optional<std::string>("sun"));
    EXPECT_TRUE(read.GetAimAway());
    EXPECT_EQ(read.GetOption(3), 9);
    EXPECT_EQ(read.GetValue(4), 6.0f);
    EXPECT_EQ(read.GetDuration(), 750.0f);
    EXPECT_TRUE(read.IsLoopingForever());
    const std::unique_ptr<SWmotion> copy(read.Clone());
    EXPECT_EQ(static_cast<SWtracktargetmotion&>(*copy).GetOption(2), 7);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SWtracktargetmotion damaged(&world);
        SWchunkstream in(part);
        damaged.Load(in); // no crash, no leak; a cut on a record boundary is a shorter list
    }
}
