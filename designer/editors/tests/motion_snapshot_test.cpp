// The motion list of the key-frame pages and the node-matrix snapshot of the controller editor, on the sample
// world's object nodes.
#include <string>

#include "designer/editors/motion_list.h"
#include "designer/editors/node_matrix_snapshot.h"
#include "designer/editors/tests/editors_fixture.h"
#include "engine/core/animation_data.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"

namespace editorstest {
namespace {

using MotionList = EditorsFixture;
using NodeSnapshot = EditorsFixture;

SWmatrix Moved(float x)
{
    return SWmatrix::Translation(x, 0.0f, 0.0f);
}

void AddTrack(SWnode* node, const char* name, std::initializer_list<uint32_t> frames)
{
    AnimationTrack& track = SWobjectnode::FromNode(node)->GetAnimationTracks().AddTrack(std::string(name));
    for (const uint32_t f : frames)
        track.SetKey(f, SWmatrix());
}

SWobjectnode* AddObjectNode(CVTND_ExtendedWorld& world, const char* name, SWnode* parent = nullptr)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    world.AddNode(node, parent);
    return node;
}

TEST_F(MotionList, OneEntryPerNameWithTheLargestCounts)
{
    SWobjectnode* first = AddObjectNode(World(), "first");
    SWobjectnode* second = AddObjectNode(World(), "second");
    AddTrack(first, "walk", {0, 10, 20}); // 3 keys, 21 frames
    AddTrack(second, "walk", {0, 40});    // 2 keys, 41 frames
    AddTrack(second, "Walk", {0});        // another name by its case
    SWobjectnode* child = AddObjectNode(World(), "child", first);
    AddTrack(child, "wave", {5});
    CVTND_MotionList list;
    list.AddNodeAnimations(first, false);
    list.AddNodeAnimations(second, false);
    ASSERT_EQ(list.Count(), 2u);
    const CVTND_MotionListNode* walk = list.FindByName(std::string_view("walk"));
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(walk->keyCount, 3);
    EXPECT_EQ(walk->frameCount, 41u);
    EXPECT_NE(list.FindByName(std::string_view("Walk")), walk);
    EXPECT_EQ(list.FindByName(std::string_view("wave")), nullptr); // children only with the subtree
    EXPECT_EQ(list.FindByName(std::optional<std::string>()), nullptr);
    list.AddNodeAnimations(first, true);
    ASSERT_NE(list.FindByName(std::string_view("wave")), nullptr);
    EXPECT_EQ(list.FindByName(std::string_view("wave"))->frameCount, 6u);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(NodeSnapshot, ResetPutsEnabledNodesAtRest)
{
    auto* object = SWobjectnode::FromNode(sample->object);
    auto* other = SWobjectnode::FromNode(sample->otherObject);
    const SWmatrix rest = object->GetInitialMatrix();
    object->SetLocalMatrix(Moved(5.0f));
    other->SetLocalMatrix(Moved(6.0f));
    other->SetEnabled(false);
    TKObjectModifierDialog snapshot(&World());
    // An editor that posed nothing has nothing to put back, and asks for no redraw: one restarts every view's
    // refinement, and a large scene is held meanwhile.
    World().ClearFullRedraw();
    snapshot.ResetNodeMatrices();
    snapshot.RestoreNodeMatrices(false);
    snapshot.RestoreNodeMatrices(true);
    EXPECT_FALSE(World().IsFullRedrawRequested());
    EXPECT_EQ(object->GetLocalMatrix(), Moved(5.0f));

    snapshot.NotePose();
    snapshot.ResetNodeMatrices();
    EXPECT_EQ(object->GetLocalMatrix(), rest);
    EXPECT_EQ(other->GetLocalMatrix(), Moved(6.0f)); // a disabled node takes no part
    EXPECT_TRUE(World().IsFullRedrawRequested());
    // Back at rest: the next reset moves nothing and redraws nothing.
    World().ClearFullRedraw();
    snapshot.NotePose();
    snapshot.ResetNodeMatrices();
    EXPECT_FALSE(World().IsFullRedrawRequested());
}

TEST_F(NodeSnapshot, RecordsComeBackByNameAndOrder)
{
    auto* object = SWobjectnode::FromNode(sample->object);
    TKObjectModifierDialog snapshot(&World());
    object->SetLocalMatrix(Moved(1.0f));
    snapshot.RestoreNodeMatrices(true); // nothing recorded yet: nothing changes
    EXPECT_EQ(object->GetLocalMatrix(), Moved(1.0f));

    SWobjectnode* twinA = AddObjectNode(World(), "twin");
    SWobjectnode* twinB = AddObjectNode(World(), "twin");
    SWobjectnode* renamed = AddObjectNode(World(), "before");
    SWobjectnode* doomed = AddObjectNode(World(), "doomed");
    twinA->SetLocalMatrix(Moved(10.0f));
    twinB->SetLocalMatrix(Moved(20.0f));
    renamed->SetLocalMatrix(Moved(30.0f));
    snapshot.NotePose();
    snapshot.RestoreNodeMatrices(false);
    const size_t records = snapshot.Records().Count();

    for (SWobjectnode* node : {object, twinA, twinB, renamed})
        node->SetLocalMatrix(Moved(99.0f));
    renamed->SetName(std::string("after"));
    World().DeleteNode(doomed);
    SWobjectnode* added = AddObjectNode(World(), "added");
    added->SetLocalMatrix(Moved(7.0f));
    snapshot.RestoreNodeMatrices(true);
    EXPECT_EQ(object->GetLocalMatrix(), Moved(1.0f));
    EXPECT_EQ(twinA->GetLocalMatrix(), Moved(10.0f)); // each twin its own matrix
    EXPECT_EQ(twinB->GetLocalMatrix(), Moved(20.0f));
    EXPECT_EQ(renamed->GetLocalMatrix(), Moved(99.0f));
    EXPECT_EQ(added->GetLocalMatrix(), Moved(7.0f));
    EXPECT_EQ(snapshot.Records().Count(), records); // the deleted node's record is kept
}

} // namespace
} // namespace editorstest
