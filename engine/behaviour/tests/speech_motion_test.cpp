// The speech motion: morph channels weighted per frame, the head turned and turned back, bound vertices carried
// with their node, and the script bound by name when the motion starts on a node.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/behaviour_records.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/speech_data.h"

namespace {

constexpr float kFrameMs = 1000.0f / 30.0f;

// A face of four vertices on the x axis (vertex i at x = i), morph targets moving vertex 1 up by 1 ("Phoneme_Eat")
// and by 2 ("Phoneme_Ox"), a head node, and a script "talk" aimed at the face.
struct Head {
    SWworld world;
    SWmeshobject* mesh = nullptr;
    SWmeshnode* face = nullptr;
    SWobjectnode* head = nullptr;
    SWspeechdata* script = nullptr;

    Head()
    {
        mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
        mesh->SetVertices({0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0});
        mesh->ComputeBoundingBox();
        AddMorph("Phoneme_Eat", {{1, 1, 1, 0, 0}});
        AddMorph("Phoneme_Ox", {{1, 1, 2, 0, 0}});
        face = new SWmeshnode(mesh);
        face->SetName(std::string("face"));
        world.AddNode(face, nullptr);
        head = new SWobjectnode();
        head->SetName(std::string("head"));
        world.AddNode(head, nullptr);
        script = new SWspeechdata("talk");
        script->SetString(1, "face");
        world.GetRootObject()->AddChild(script);
    }

    void AddMorph(const char* name, std::vector<std::array<float, 5>> records)
    {
        auto target = std::make_unique<SWmorphtarget>();
        target->name = name;
        for (const auto& r : records)
            target->records.Append(r);
        mesh->GetMorphTargets().Add(std::move(target));
    }

    std::vector<float> Vertex(uint32_t i) const
    {
        const float* v = mesh->GetVertices() + static_cast<size_t>(i) * 3;
        return {v[0], v[1], v[2]};
    }

    // A motion bound to this head, stepped to frame.
    std::unique_ptr<SWspeechmotion> StartedMotion()
    {
        auto motion = std::make_unique<SWspeechmotion>(&world);
        motion->SetSpeechData(script);
        motion->SetTargetObject(face);
        motion->SetHeadNode(head);
        motion->SetLoop(true);
        motion->SetDuration(100000.0f);
        motion->Start();
        motion->Step(0.0f);
        return motion;
    }
};

TEST(SpeechMotion, ChannelsWeightTheirMorphTargetsAtTheFrame)
{
    Head h;
    h.script->AddChannel(0, {0.5f, 1.0f});  // Phoneme_Eat
    h.script->AddChannel(3, {0.25f, 0.0f}); // Phoneme_Ox: adds to the same vertex
    h.script->AddChannel(1, {1.0f, 1.0f});  // Phoneme_Earth: the mesh lacks it
    h.script->AddChannel(28, {1.0f});       // beyond the codes: ignored
    auto motion = h.StartedMotion();
    EXPECT_EQ(h.Vertex(1), (std::vector<float>{1.0f, 0.5f + 0.5f, 0.0f}));
    EXPECT_EQ(h.Vertex(0), (std::vector<float>{0, 0, 0}));
    motion->Step(kFrameMs * 1.5f);
    EXPECT_EQ(h.Vertex(1), (std::vector<float>{1.0f, 1.0f, 0.0f}));
    // Past every channel's values: the rest shape again, not what the last frame left.
    motion->Step(kFrameMs * 5.5f);
    EXPECT_EQ(h.Vertex(1), (std::vector<float>{1, 0, 0}));
    EXPECT_GE(h.mesh->GetComputedBoundingBox().Extents()[3], 1.0f) << "the bounds grew to hold the moved vertex";
}

TEST(SpeechMotion, MorphRecordsNamingNoVertexAreLeftOut)
{
    Head h;
    h.AddMorph("Phoneme_Size",
               {{4, 9, 9, 9, 0}, {-1, 9, 9, 9, 0}, {NAN, 9, 9, 9, 0}, {1e30f, 9, 9, 9, 0}, {2, 2, 3, 0, 0}});
    h.script->AddChannel(6, {1.0f});
    auto motion = h.StartedMotion();
    EXPECT_EQ(h.Vertex(2), (std::vector<float>{2, 3, 0}));
    EXPECT_EQ(h.Vertex(3), (std::vector<float>{3, 0, 0}));
}

TEST(SpeechMotion, TheHeadTurnsByTheAngleChannelsAndEachFrameUndoesTheLast)
{
    Head h;
    ASSERT_TRUE(h.mesh->AddVertexBucket(h.head->GetId(), {3})); // the turn needs a mesh with bindings
    const float quarter = 1.5707964f;
    h.script->AddChannel(21, {quarter, quarter, 0.0f}); // about Y
    const SWmatrix rest = h.head->GetLocalMatrix();
    auto motion = h.StartedMotion();
    const SWmatrix once = h.head->GetLocalMatrix();
    EXPECT_NEAR(once[2], 1.0f, 1e-6f) << "a quarter turn about Y";
    motion->Step(kFrameMs * 1.5f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(h.head->GetLocalMatrix()[i], once[i], 1e-6f) << "the same angle again: no second turn";
    motion->Step(kFrameMs * 2.5f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(h.head->GetLocalMatrix()[i], rest[i], 1e-6f) << "angle 0: back at rest";

    // Turns about two axes at once: once the angles are back at 0, so is the head, whatever came between.
    Head both;
    ASSERT_TRUE(both.mesh->AddVertexBucket(both.head->GetId(), {3}));
    both.script->AddChannel(19, {0.3f, 0.5f, 0.0f});
    both.script->AddChannel(21, {0.4f, -0.2f, 0.0f});
    both.script->AddChannel(20, {0.0f, 0.7f, 0.0f});
    auto turning = both.StartedMotion();
    turning->Step(kFrameMs * 1.5f);
    const SWmatrix second = both.head->GetLocalMatrix();
    turning->Step(kFrameMs * 2.5f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(both.head->GetLocalMatrix()[i], SWmatrix()[i], 1e-5f) << i;
    // The second frame's pose is its own turn from rest: Rz(-0.7) Rx(0.5) Ry(-0.2).
    SWmatrix expected = SWmatrix::Rotation(-0.7f, 2);
    expected.PostMultiply(SWmatrix::Rotation(0.5f, 0));
    expected.PostMultiply(SWmatrix::Rotation(-0.2f, 1));
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(second[i], expected[i], 1e-5f) << i;

    Head still;
    still.script->AddChannel(0, {1.0f});
    ASSERT_TRUE(still.mesh->AddVertexBucket(still.head->GetId(), {3}));
    SWmatrix moved = SWmatrix::Translation(1, 2, 3);
    still.head->SetLocalMatrix(moved);
    auto other = still.StartedMotion();
    EXPECT_EQ(still.head->GetLocalMatrix(), moved) << "no angle channel leaves the head alone";
}

TEST(SpeechMotion, BoundVerticesFollowTheirNodeAndADeletedNodeIsLetGo)
{
    Head h;
    auto* jaw = new SWobjectnode();
    jaw->SetName(std::string("jaw"));
    h.world.AddNode(jaw, nullptr);
    ASSERT_TRUE(h.mesh->AddVertexBucket(jaw->GetId(), {2, 3}));
    auto motion = h.StartedMotion();
    EXPECT_EQ(h.Vertex(2), (std::vector<float>{2, 0, 0}));
    jaw->SetWorldMatrix(SWmatrix::Translation(0, -1, 0));
    motion->Step(kFrameMs);
    EXPECT_EQ(h.Vertex(2), (std::vector<float>{2, -1, 0}));
    EXPECT_EQ(h.Vertex(3), (std::vector<float>{3, -1, 0}));
    EXPECT_EQ(h.Vertex(1), (std::vector<float>{1, 0, 0}));
    ASSERT_TRUE(h.world.DeleteNode(jaw));
    motion->Step(kFrameMs * 2);
    EXPECT_EQ(h.Vertex(2), (std::vector<float>{2, 0, 0}));
}

TEST(SpeechMotion, TheStartBindsTheScriptByNameItsFaceAndTheHead)
{
    Head h;
    h.script->AddChannel(0, {1.0f});
    SWevent* event = h.world.NewEvent();
    SWactionnode* action = event->CreateAction(h.world.GetActionCategories().FindKind(SWspeechmotion::kKind));
    ASSERT_NE(action, nullptr);
    auto* motion = dynamic_cast<SWspeechmotion*>(action->GetMotion());
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->IsReady(), 0u);
    motion->SetSpeechDataName(std::string("talk"));
    EXPECT_EQ(motion->IsReady(), SWspeechmotion::kType);
    motion->SetLoop(true);

    // Saved and read back, the name is what it keeps.
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        ASSERT_TRUE(motion->Save(out));
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWspeechmotion loaded(&h.world);
    SWchunkstream in(bytes);
    ASSERT_TRUE(loaded.Load(in));
    EXPECT_EQ(loaded.GetSpeechDataName(), std::optional<std::string>("talk"));

    StartMotionOnNode(*h.head, h.world, *motion);
    const auto* list = TimedActionTable::Of(h.world).GetTypeList(SWspeechmotion::kType);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 1u);
    auto* running = dynamic_cast<SWspeechmotion*>(list->front().get());
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->GetSpeechData(), h.script);
    EXPECT_EQ(running->GetTargetObject(), h.face);
    EXPECT_EQ(running->GetHeadNode(), h.head);
    running->Step(0.0f);
    EXPECT_EQ(h.Vertex(1), (std::vector<float>{1, 1, 0}));
}

} // namespace
