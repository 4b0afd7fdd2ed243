// The scene tree: lookups, matrices and their updates, reparenting, and the built-in transform variables.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/quaternion.h"
#include "engine/core/record_builder.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"

namespace {

SWobjectnode* AddObject(SWworld& world, SWnode* parent, const char* name)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    EXPECT_TRUE(world.AddNode(node, parent));
    return node;
}

void ExpectNear(const SWmatrix& a, const SWmatrix& b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

SWmatrix Turn(float angle, int axis)
{
    return SWmatrix::Rotation(angle, axis);
}

} // namespace

TEST(SceneTreeLookup, FindByNameIsByteExactAndDepthFirst)
{
    SWworld world;
    SWobjectnode* a = AddObject(world, nullptr, "a");
    SWobjectnode* deep = AddObject(world, a, "twin");
    AddObject(world, nullptr, "twin");
    EXPECT_EQ(world.GetRootNode()->FindByName("twin"), deep);
    EXPECT_EQ(world.GetRootNode()->FindByName("TWIN"), nullptr);
    auto* unnamed = new SWobjectnode();
    world.AddNode(unnamed, nullptr);
    EXPECT_EQ(world.GetRootNode()->FindByName(""), nullptr);
    EXPECT_EQ(world.GetRootNode()->FindById(deep->GetId()), deep);
    EXPECT_EQ(world.GetRootNode()->GetChild(1)->GetName(), std::optional<std::string>("twin"));
    EXPECT_EQ(world.GetRootNode()->GetChild(3), nullptr);
    EXPECT_EQ(deep->GetRoot(), world.GetRootNode());
    EXPECT_EQ(deep->GetWorld(), &world);
}

TEST(SceneTreeLookup, NodeIdsAreUniqueAndIdsReadRaiseTheCounter)
{
    SWobjectnode a;
    SWobjectnode b;
    EXPECT_NE(a.GetId(), b.GetId());
    a.SetId(b.GetId() + 500);
    SWobjectnode c;
    EXPECT_GT(c.GetId(), a.GetId());
}

TEST(SceneTreeLookup, GroupMembersAreUnique)
{
    SWnode group(SWnode::kKindGroup);
    SWobjectnode member;
    SWgroupmember* first = group.AddGroupMember(&member);
    EXPECT_EQ(group.AddGroupMember(&member), first);
    EXPECT_EQ(group.GetGroupMembers().Count(), 1u);
    EXPECT_EQ(group.FindGroupMember(&member), first);
}

TEST(SceneTreeMatrices, NodeToWorldOfAThreeLevelChainIsTheProductOfLocals)
{
    SWworld world;
    SWobjectnode* a = AddObject(world, nullptr, "a");
    SWobjectnode* b = AddObject(world, a, "b");
    SWobjectnode* c = AddObject(world, b, "c");
    a->SetLocalMatrix(SWmatrix::Translation(1, 2, 3));
    b->SetLocalMatrix(Turn(0.5f, 1));
    c->SetLocalMatrix(SWmatrix::Scaling(2, 2, 2));
    SWmatrix expected;
    SWmatrix::Translation(1, 2, 3).Multiply(expected, Turn(0.5f, 1));
    expected.PostMultiply(SWmatrix::Scaling(2, 2, 2));
    ExpectNear(ComputeNodeToWorldMatrix(*c), expected);
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    ExpectNear(c->GetWorldMatrix(), expected);
    ExpectNear(c->GetBaseWorldMatrix(), expected);
}

TEST(SceneTreeMatrices, ApplyTransformMovesAlongTheNodesOwnAxisOnceAtTheNextUpdate)
{
    SWworld world;
    SWobjectnode* parent = AddObject(world, nullptr, "parent");
    SWobjectnode* node = AddObject(world, parent, "node");
    node->SetLocalMatrix(Turn(static_cast<float>(M_PI / 2), 2)); // its x axis points along the parent's y
    node->Translate(1, 0, 0);
    EXPECT_EQ(node->GetLocalMatrix().GetTranslation(), SWvector(0, 0, 0)); // pending until the update
    world.UpdateNodeTransforms(parent, 1);
    const SWvector moved = node->GetWorldMatrix().GetTranslation();
    EXPECT_NEAR(moved.x, 0.0f, 1e-6f);
    EXPECT_NEAR(moved.y, 1.0f, 1e-6f);
    world.UpdateNodeTransforms(parent, 1); // folded once only
    EXPECT_NEAR(node->GetWorldMatrix().GetTranslation().y, 1.0f, 1e-6f);
}

TEST(SceneTreeMatrices, AnUpdateRefreshesTheSubtreeAndAGroupBreaksTheChain)
{
    SWworld world;
    SWobjectnode* top = AddObject(world, nullptr, "top");
    auto* group = new SWnode(SWnode::kKindGroup);
    world.AddNode(group, top);
    SWobjectnode* under = AddObject(world, group, "under");
    SWobjectnode* child = AddObject(world, top, "child");
    top->SetLocalMatrix(SWmatrix::Translation(5, 0, 0));
    world.UpdateNodeTransforms(top, 1);
    EXPECT_EQ(child->GetWorldMatrix().GetTranslation(), SWvector(5, 0, 0));
    EXPECT_EQ(under->GetWorldMatrix().GetTranslation(), SWvector(0, 0, 0));
}

TEST(SceneTreeReparent, KeepingTheWorldMatrix)
{
    SWworld world;
    SWobjectnode* from = AddObject(world, nullptr, "from");
    SWobjectnode* to = AddObject(world, nullptr, "to");
    SWobjectnode* node = AddObject(world, from, "node");
    from->SetLocalMatrix(SWmatrix::Translation(1, 2, 3));
    to->SetLocalMatrix(Turn(0.7f, 0).PostMultiply(SWmatrix::Scaling(2, 2, 2)));
    node->SetLocalMatrix(Turn(0.3f, 2));
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    const SWmatrix before = node->GetWorldMatrix();
    ASSERT_TRUE(world.Reparent(node, to, true, 1));
    EXPECT_EQ(node->GetParentNode(), to);
    ExpectNear(node->GetWorldMatrix(), before);
    EXPECT_FALSE(world.Reparent(to, to, true, 1));
    EXPECT_TRUE(world.Reparent(from, node, true, 1)); // node is not below from any more
    EXPECT_FALSE(world.Reparent(to, from, true, 1));  // from is below to now: a loop
    EXPECT_EQ(from->GetParentNode(), node);
}

TEST(TransformVariables, PositionMovesTheNodeAndRotationKeepsTranslationAndScale)
{
    SWobjectnode node;
    SWproperty* position = node.FindVariable(kPositionVariableName);
    SWproperty* rotation = node.FindVariable(kRotationVariableName);
    ASSERT_NE(position, nullptr);
    ASSERT_NE(rotation, nullptr);
    node.SetLocalMatrix(SWmatrix::Scaling(2, 3, 4));
    position->AssignVector(7, 8, 9);
    EXPECT_EQ(node.GetLocalMatrix().GetTranslation(), SWvector(7, 8, 9));
    const CVTN_Quaternion quarter = CVTN_Quaternion::FromAxisAngle({0, 0, 1}, static_cast<float>(M_PI / 2));
    rotation->AssignQuaternion(quarter);
    SWmatrix expected;
    SWmatrix::Translation(7, 8, 9).Multiply(expected, Turn(static_cast<float>(M_PI / 2), 2));
    expected.PostMultiply(SWmatrix::Scaling(2, 3, 4));
    ExpectNear(node.GetLocalMatrix(), expected);
    EXPECT_TRUE(position->HasChanged());
    EXPECT_TRUE(node.GetTransformVariable()->HasChanged());
}

TEST(TransformVariables, SettingTheLocalMatrixIsNotAnAssignment)
{
    SWobjectnode node;
    node.SetLocalMatrix(SWmatrix::Translation(1, 0, 0));
    EXPECT_FALSE(node.FindVariable(kPositionVariableName)->HasChanged() &&
                 node.GetTransformVariable()->GetPreviousData().elements[3] == 1.0f);
    EXPECT_EQ(node.GetTransformVariable()->GetPreviousData().elements[3], 0.0f);
}

TEST(TransformVariables, AreBuiltInAndNotSaved)
{
    SWobjectnode node;
    for (const char* name : {kTransformVariableName, kPositionVariableName, kRotationVariableName}) {
        const SWproperty* v = node.FindVariable(name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_TRUE(v->IsBuiltIn());
        EXPECT_EQ(v->GetFlags() & (SWproperty::kFlagEditable | SWproperty::kFlagSaved), 0);
    }
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    node.WriteVariables(out);
    EXPECT_EQ(buffer.Size(), 0u);
}

TEST(TransformVariables, AFileVariableNamedTransformDoesNotDeleteTheBuiltIn)
{
    SWobjectnode node;
    SWproperty* transform = node.GetTransformVariable();
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWproperty read(kTypeMatrix);
        read.SetName(std::string(kTransformVariableName));
        read.SetMatrixAll(SWmatrix::Translation(3, 2, 1));
        SWrecordbuilder record(out, MakeTag("7406"));
        read.Save(record.Stream());
        record.Finish();
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWchunkstream in(bytes);
    node.ReadVariables(in);
    EXPECT_EQ(node.GetTransformVariable(), transform);
    EXPECT_EQ(node.FindVariable(kTransformVariableName), transform);
    EXPECT_EQ(node.GetLocalMatrix().GetTranslation(), SWvector(3, 2, 1));
    EXPECT_EQ(node.FindVariable(kPositionVariableName)->GetAsVector(), SWvector(3, 2, 1));
    EXPECT_EQ(node.CountVariables(), 3u);
}

TEST(TransformVariables, ACloneOfAViewStaysBound)
{
    SWobjectnode node;
    const auto copy = node.FindVariable(kPositionVariableName)->Clone();
    copy->AssignVector(4, 4, 4);
    EXPECT_EQ(node.GetLocalMatrix().GetTranslation(), SWvector(4, 4, 4));
}
