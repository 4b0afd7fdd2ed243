// Key-frame motions: which frame shows when, plays that put the node on each frame's transform over its pose at the
// start, a blend that ends where the first frame puts the node, the one finished record, jumps, vertex plays on
// frame tables that do not match their mesh, records, and the kinds that make them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kQuarterTurn = 1.5707964f;

// A node at base whose default track puts frame i at (i, 0, 0), turned a quarter about Y from frame 10 on.
SWobjectnode* AnimatedNode(SWworld& world, uint32_t frames, const SWmatrix& base = SWmatrix())
{
    auto* node = new SWobjectnode();
    node->SetName(std::string("walker"));
    world.AddNode(node, nullptr);
    node->SetLocalMatrix(base);
    AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t i = 0; i < frames; ++i) {
        SWmatrix key = i >= 10 ? SWmatrix::Rotation(kQuarterTurn, 1) : SWmatrix();
        key.SetTranslation(static_cast<float>(i), 0.0f, 0.0f);
        track.SetKey(i, key);
    }
    return node;
}

void ExpectNear(const SWmatrix& a, const SWmatrix& b, float tolerance = 1e-4f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

SWmatrix Times(const SWmatrix& a, const SWmatrix& b)
{
    SWmatrix out;
    return a.Multiply(out, b);
}

template <typename Motion> std::vector<uint8_t> Saved(const Motion& m)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(m.Save(out));
    }
    return buffer.ToVector();
}

template <typename Motion> bool Loaded(Motion& m, const std::vector<uint8_t>& bytes)
{
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    return m.Load(in);
}

std::vector<uint8_t> Record(const char* tag, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> out(tag, tag + 4);
    const auto n = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

size_t CountFinished(SWworld& world)
{
    SWinputqueue drained(false);
    world.GetPostedQueue().MoveAll(drained);
    size_t finished = 0;
    while (SWinputrecord* r = drained.Pop()) {
        finished += r->GetKind() == InputKind::kMotionFinished ? 1 : 0;
        delete r;
    }
    return finished;
}

} // namespace

TEST(KeyFrames, TheFrameShownAtEachTime)
{
    struct Case {
        float t, offset;
        int32_t start, end;
        bool useExplicit;
        float explicitMs;
        int32_t frame;
    };
    const Case cases[] = {
        {483.0f, 0.0f, 0, 30, false, 0.0f, 14},    // 0.03 x 483.5 = 14.505
        {499.0f, 0.0f, 0, 30, false, 0.0f, 14},    //
        {499.5f, 0.0f, 0, 30, false, 0.0f, 15},    // frame 15 begins at 15 / 0.03 - 0.5
        {0.0f, 0.0f, 30, 0, false, 0.0f, 29},      // backwards: one below the start
        {1000.0f, 0.0f, 30, 0, false, 0.0f, 0},    // and never below 0
        {983.0f, 500.0f, 0, 30, false, 0.0f, 14},  // a blend delays every frame
        {1000.0f, 0.0f, 0, 30, true, 2000.0f, 15}, // spread over an explicit duration
        {483.0f, 0.0f, 0, 30, true, 0.0f, 14},     // an explicit duration of 0 is none
        {483.0f, 0.0f, 0, 30, true, -5.0f, 14},    //
        {kNaN, 0.0f, 7, 30, false, 0.0f, 7},       // a time that is not a number shows the start
        {3e38f, 0.0f, 0, 30, false, 0.0f, std::numeric_limits<int32_t>::max()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyFrameAt(c.t, c.offset, c.start, c.end, c.useExplicit, c.explicitMs), c.frame)
            << "t " << c.t << " offset " << c.offset << " " << c.start << " -> " << c.end;

    SWkeyframemotion m(nullptr);
    m.SetEndFrame(30);
    EXPECT_FLOAT_EQ(m.GetDuration(), 1000.0f);
    m.SetUseExplicitDuration(true); // with nothing to spread over, the frames keep their own pace
    EXPECT_FLOAT_EQ(m.GetDuration(), 1000.0f);
    m.SetExplicitDuration(2000.0f);
    m.SetBlendTime(500.0f);
    EXPECT_FLOAT_EQ(m.GetDuration(), 2500.0f);
}

TEST(KeyFramePlay, BindsItsBlockAndPutsTheNodeOnEachFrameOverItsPose)
{
    SWworld world;
    const SWmatrix base = SWmatrix::Translation(0.0f, 5.0f, 0.0f);
    SWobjectnode* node = AnimatedNode(world, 120, base);

    SWkeyframemotion named(&world);
    named.SetBlockName(std::string("run"));
    EXPECT_FALSE(named.Bind(*node)); // another name must exist on the node
    node->GetAnimationTracks().AddTrack(std::string("run")).SetKey(3, SWmatrix::Translation(0.0f, 0.0f, 9.0f));
    EXPECT_TRUE(named.Bind(*node));
    EXPECT_EQ(named.GetEndFrame(), 4);

    SWkeyframemotion play(&world);
    play.SetBlockName(std::string()); // empty: the default block
    ASSERT_TRUE(play.Bind(*node));
    EXPECT_EQ(play.GetEndFrame(), 120);
    EXPECT_FLOAT_EQ(play.GetDuration(), 4000.0f);
    EXPECT_EQ(play.GetBoundNodes(), std::vector<uint32_t>{node->GetId()});

    play.Start();
    for (const float t : {0.0f, 100.0f, 483.0f, 499.5f, 2000.0f}) {
        play.Step(t);
        play.ApplyToNode(*node);
        const int32_t frame = play.GetCurrentFrame();
        ExpectNear(node->GetLocalMatrix(), Times(base, node->GetAnimationTracks().GetTrackValue(frame, 1)));
    }
    EXPECT_EQ(play.GetCurrentFrame(), 60);

    // A node deleted under the motion leaves it doing nothing.
    world.DeleteNode(node);
    play.Step(2100.0f);
    ExpectNear(play.GetMatrix(true), SWmatrix(), 0.0f);
}

TEST(KeyFramePlay, ABlendEndsWhereTheFirstFramePutsTheNode)
{
    SWworld world;
    const SWmatrix base = SWmatrix::Translation(0.0f, 5.0f, 0.0f);
    SWobjectnode* node = AnimatedNode(world, 30, base);
    SWkeyframemotion play(&world);
    play.SetStartFrame(10);
    play.SetBlendTime(500.0f);
    ASSERT_TRUE(play.Bind(*node));
    EXPECT_FLOAT_EQ(play.GetDuration(), 500.0f + 20.0f * 33.333333f);

    for (const uint8_t option : {0, 1}) { // options 4 and 5 only change what a pass boundary keeps
        node->SetLocalMatrix(base);
        play.SetOption(4, option);
        play.SetOption(5, option);
        play.Start();
        play.Step(0.0f);
        play.ApplyToNode(*node);
        ExpectNear(node->GetLocalMatrix(), base);
        play.Step(250.0f);
        play.ApplyToNode(*node);
        SWmatrix half = SWmatrix::Rotation(kQuarterTurn / 2.0f, 1);
        half.SetTranslation(5.0f, 0.0f, 0.0f);
        ExpectNear(node->GetLocalMatrix(), Times(base, half));
        play.Step(500.0f);
        play.ApplyToNode(*node);
        EXPECT_EQ(play.GetCurrentFrame(), 10);
        ExpectNear(node->GetLocalMatrix(), Times(base, node->GetAnimationTracks().GetTrackValue(10, 1)));
        play.Stop();
    }
}

TEST(KeyFramePlay, OneFinishedRecordAtTheEndAndNoneAfterAStop)
{
    SWworld world;
    SWobjectnode* node = AnimatedNode(world, 30);
    SWkeyframemotion play(&world);
    ASSERT_TRUE(play.Bind(*node));
    play.Start();
    for (float t = 0.0f; t < 1200.0f; t += 100.0f)
        play.Step(t);
    EXPECT_TRUE(play.IsDone());
    play.Finish();
    SWinputqueue drained(false);
    world.GetPostedQueue().MoveAll(drained);
    ASSERT_EQ(drained.Count(), 1u);
    SWinputrecord* record = drained.Pop();
    EXPECT_EQ(record->GetKind(), InputKind::kMotionFinished);
    EXPECT_EQ(std::get<SWnode*>(record->GetTarget()), node);
    delete record;

    SWkeyframemotion stopped(&world);
    ASSERT_TRUE(stopped.Bind(*node));
    stopped.Start();
    stopped.Step(0.0f);
    stopped.Step(300.0f);
    stopped.Stop();
    EXPECT_EQ(CountFinished(world), 0u);
}

TEST(KeyFrameJump, GoesToItsFrameAtOnceOrOverItsTransition)
{
    SWworld world;
    const SWmatrix base = SWmatrix::Translation(0.0f, 5.0f, 0.0f);
    SWobjectnode* node = AnimatedNode(world, 30, base);
    const SWmatrix& target = node->GetAnimationTracks().GetTrackValue(12, 1);

    for (const float transition : {0.0f, 1000.0f}) {
        node->SetLocalMatrix(base);
        SWkeyframejumpmotion jump(&world);
        jump.SetFrame(12);
        jump.UpdateTargetTransform(transition);
        ASSERT_TRUE(jump.Bind(*node));
        EXPECT_FLOAT_EQ(jump.GetDuration(), transition);
        jump.Start();
        jump.Step(0.0f);
        jump.ApplyToNode(*node);
        if (transition > 0.0f) {
            ExpectNear(node->GetLocalMatrix(), base);
            jump.Step(500.0f);
            jump.ApplyToNode(*node);
            SWmatrix half = SWmatrix::Rotation(kQuarterTurn / 2.0f, 1);
            half.SetTranslation(6.0f, 0.0f, 0.0f);
            ExpectNear(node->GetLocalMatrix(), Times(base, half));
            jump.Step(1000.0f);
            jump.ApplyToNode(*node);
            EXPECT_FALSE(jump.IsDone());
            jump.Step(1100.0f); // the end adds nothing more
            jump.ApplyToNode(*node);
        }
        EXPECT_TRUE(jump.IsDone());
        ExpectNear(node->GetLocalMatrix(), Times(base, target));
    }
}

TEST(VertexKeyFrames, PlaysAndJumpsOnlyTheVerticesMeshAndTableShare)
{
    for (const uint32_t tableVertices : {2u, 4u, 6u}) {
        SWworld world;
        auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
        mesh->SetVertices(std::vector<float>(4 * 3, 0.0f));
        mesh->ComputeBoundingBox();
        auto* node = new SWmeshnode(mesh);
        world.AddNode(node, nullptr);
        auto table = std::make_unique<VertexFrameTable>();
        ASSERT_TRUE(table->Allocate(3, tableVertices));
        for (uint32_t f = 0; f < 3; ++f) {
            std::span<float> frame = table->GetFrameVertices(f);
            for (size_t i = 0; i < frame.size(); ++i)
                frame[i] = static_cast<float>(f + 1) * 10.0f + static_cast<float>(i);
        }
        table->SetReady(true);
        node->SetVertexFrameTable(std::move(table));
        const size_t shared = std::min<size_t>(4, tableVertices) * 3;

        SWvertexkeyframemotion play(&world);
        auto* plain = new SWobjectnode();
        world.AddNode(plain, nullptr);
        EXPECT_FALSE(play.Bind(*plain)); // no vertex frames
        ASSERT_TRUE(play.Bind(*node));
        EXPECT_EQ(play.GetEndFrame(), 3);
        const uint32_t stamp = mesh->GetGeometryStamp();
        play.Start();
        play.Step(0.0f);
        play.Step(40.0f); // frame 1
        EXPECT_EQ(play.GetCurrentFrame(), 1);
        for (size_t i = 0; i < 12; ++i)
            EXPECT_FLOAT_EQ(mesh->GetVertices()[i], i < shared ? 20.0f + static_cast<float>(i) : 0.0f) << i;
        EXPECT_GT(mesh->GetGeometryStamp(), stamp);
        EXPECT_GE(mesh->GetComputedBoundingBox().Extents()[1], 20.0f);

        // A jump moves what the two share from where it stands to the start frame over the time offset.
        SWvertexkeyframemotion jump(&world, SWvertexkeyframemotion::kJump);
        EXPECT_FLOAT_EQ(jump.GetDuration(), SWvertexkeyframemotion::kJumpOffsetMs);
        ASSERT_TRUE(jump.Bind(*node));
        jump.Start();
        jump.Step(0.0f);
        jump.Step(500.0f);
        for (size_t i = 0; i < shared; ++i)
            EXPECT_FLOAT_EQ(mesh->GetVertices()[i], 20.0f + static_cast<float>(i) - 5.0f) << i;
        jump.Step(1000.0f);
        jump.Step(1100.0f);
        EXPECT_TRUE(jump.IsDone());
        for (size_t i = 0; i < shared; ++i)
            EXPECT_FLOAT_EQ(mesh->GetVertices()[i], 10.0f + static_cast<float>(i)) << i;
    }
}

TEST(KeyFrameRecords, EveryMotionKeepsItsSettingsAndRefusesDamage)
{
    SWworld world;
    SWkeyframemotion play(&world);
    play.SetBlendTime(250.0f);
    play.SetStartFrame(4);
    play.SetEndFrame(90);
    play.SetExplicitDuration(1500.0f);
    play.SetUseExplicitDuration(true);
    play.SetBlockName(std::string("run"));
    for (int i = 1; i <= 5; ++i)
        play.SetOption(i, static_cast<uint8_t>(10 + i));
    play.SetOptionValue(-7);
    play.SetLoopCount(3);
    play.SetSoundName(std::string("steps"));
    const std::vector<uint8_t> playBytes = Saved(play);
    SWkeyframemotion playBack(&world);
    ASSERT_TRUE(Loaded(playBack, playBytes));
    EXPECT_EQ(Saved(playBack), playBytes);
    EXPECT_FLOAT_EQ(playBack.GetDuration(), 1750.0f);
    EXPECT_EQ(playBack.GetOption(5), 15);

    SWkeyframejumpmotion jump(&world);
    jump.SetFrame(17);
    jump.UpdateTargetTransform(400.0f);
    jump.SetOption(1, 9);
    jump.SetOption(2, 0);
    jump.SetOptionValue(123);
    jump.SetBlockName(std::nullopt);
    const std::vector<uint8_t> jumpBytes = Saved(jump);
    SWkeyframejumpmotion jumpBack(&world);
    ASSERT_TRUE(Loaded(jumpBack, jumpBytes));
    EXPECT_EQ(Saved(jumpBack), jumpBytes);
    EXPECT_FALSE(jumpBack.GetApplyToChildren());

    SWvertexkeyframemotion vertex(&world, SWvertexkeyframemotion::kJump);
    vertex.SetTimeOffset(300.0f);
    vertex.SetStartFrame(2);
    vertex.SetOption(0);
    vertex.SetOptionValue(0xDEADBEEF);
    vertex.SetUseExplicitDuration(true);
    vertex.SetExplicitDuration(50.0f);
    const std::vector<uint8_t> vertexBytes = Saved(vertex);
    SWvertexkeyframemotion vertexBack(&world, SWvertexkeyframemotion::kJump);
    ASSERT_TRUE(Loaded(vertexBack, vertexBytes));
    EXPECT_EQ(Saved(vertexBack), vertexBytes);
    EXPECT_FLOAT_EQ(vertexBack.GetDuration(), 300.0f);

    // Times from a record that are not a number or negative are none.
    std::vector<uint8_t> own(34, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(own.data(), &nan, 8);
    const double negative = -40.0;
    std::memcpy(own.data() + 20, &negative, 8);
    SWkeyframemotion odd(&world);
    ASSERT_TRUE(Loaded(odd, Record("7443", own)));
    EXPECT_EQ(odd.GetBlendTime(), 0.0f);
    EXPECT_EQ(odd.GetExplicitDuration(), 0.0f);

    for (const std::vector<uint8_t>* bytes : {&playBytes, &jumpBytes, &vertexBytes})
        for (size_t cut = 1; cut < bytes->size(); ++cut) {
            const std::vector<uint8_t> part(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(cut));
            SWkeyframemotion a(&world);
            SWkeyframejumpmotion b(&world);
            SWvertexkeyframemotion c(&world);
            Loaded(a, part);
            Loaded(b, part);
            Loaded(c, part); // a cut on a record boundary is a shorter list; what matters is no crash or leak
        }
    const std::vector<uint8_t> huge = Record("7469", {0xFF, 0xFF, 0xFF, 0xFF});
    SWkeyframemotion hugeName(&world);
    EXPECT_FALSE(Loaded(hugeName, huge));
}

TEST(KeyFrameRecords, TheKindsMakeTheirMotions)
{
    SWworld world;
    const std::pair<int32_t, uint32_t> kinds[] = {{44, 1}, {47, 6}, {50, 7}, {51, 8}};
    for (const auto& [kind, type] : kinds) {
        const MotionCreator create = FindMotionCreator(kind);
        ASSERT_NE(create, nullptr) << kind;
        std::unique_ptr<SWmotion> motion(create(&world));
        auto* node = dynamic_cast<SWnodemotion*>(motion.get());
        ASSERT_NE(node, nullptr) << kind;
        EXPECT_EQ(node->GetType(), type) << kind;
        std::unique_ptr<SWmotion> copy(motion->Clone());
        EXPECT_EQ(dynamic_cast<SWnodemotion*>(copy.get())->GetType(), type) << kind;
        // As made, each reads its own records back to the same bytes.
        const std::vector<uint8_t> bytes = Saved(*motion);
        std::unique_ptr<SWmotion> back(create(&world));
        ASSERT_TRUE(Loaded(*back, bytes)) << kind;
        EXPECT_EQ(Saved(*back), bytes) << kind;
        EXPECT_FLOAT_EQ(back->GetDuration(), motion->GetDuration()) << kind;
    }
}
