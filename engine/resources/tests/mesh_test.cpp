#include "engine/resources/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/core/type_tag.h"
#include "engine/resources/array_block.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"
#include "testsupport/mesh/polygon_chain.h"

namespace {

SWpolygonbuild Load(SWmeshobject& mesh, const meshtest::OffMesh& off, uint32_t mask = 1)
{
    mesh.SetVertices(std::vector<float>(off.positions));
    const std::unique_ptr<SWarrayblock> chain = meshtest::PolygonChainOf(off, mask);
    return mesh.BuildPolygonIndices(chain.get());
}

float LengthOf(const float* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Hears kNotifyChanged from one mesh and, when asked, prepares it again from inside the notice.
class MeshListener : public CVTN_Container {
public:
    explicit MeshListener(SWmesh& mesh, bool reenter) : m_mesh(mesh), m_reenter(reenter)
    {
        RegisterListener(kNotifyChanged, MakeTag("NODE"));
    }
    void Notify(uint32_t code, CVTN_Container* sender) override
    {
        if (code != kNotifyChanged || sender != &m_mesh)
            return;
        ++heard;
        if (m_reenter)
            m_mesh.Prepare();
    }
    int heard = 0;

private:
    SWmesh& m_mesh;
    bool m_reenter;
};

TEST(MeshCornerKeys, CubeSharesKeysPerSmoothingGroup)
{
    SWmeshobject smooth, faceted;
    const SWpolygonbuild built = Load(smooth, meshtest::MakeCube(), 1);
    Load(faceted, meshtest::MakeCube(), 0);
    EXPECT_EQ(built.polygons, 6u);
    EXPECT_EQ(built.triangles, 12u);
    EXPECT_EQ(built.Dropped(), 0u);
    EXPECT_EQ(smooth.GetCornerKeyCount(), 8u);
    EXPECT_EQ(faceted.GetCornerKeyCount(), 24u) << "mask 0: a key per corner of each quad";
    // One key per position: the keys are the positions themselves, not an array of their own.
    EXPECT_EQ(smooth.GetCornerKeys().data(), smooth.GetCornerPositions().data());
    EXPECT_NE(faceted.GetCornerKeys().data(), faceted.GetCornerPositions().data());
    EXPECT_EQ(smooth.GetIndexRecord(5).cornerKey[2], smooth.GetIndexRecord(5).position[2]);
    // A position no triangle names has no key: the keys keep their own numbering, within their count.
    meshtest::OffMesh spare = meshtest::MakeCube();
    spare.positions.insert(spare.positions.end(), {9.0f, 9.0f, 9.0f});
    SWmeshobject withSpare;
    Load(withSpare, spare, 1);
    EXPECT_EQ(withSpare.GetCornerKeyCount(), 8u);
    EXPECT_NE(withSpare.GetCornerKeys().data(), withSpare.GetCornerPositions().data());
    for (uint32_t p = 0; p < withSpare.GetPolygonCount(); ++p)
        for (const uint32_t key : withSpare.GetIndexRecord(p).cornerKey)
            EXPECT_LT(key, 8u);
}

TEST(MeshCornerKeys, DifferentMasksSplitAPosition)
{
    // Two triangles sharing an edge, in different smoothing groups: the shared positions get two keys each.
    SWmeshobject mesh;
    mesh.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    auto chain =
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, false, std::vector<uint32_t>{}, 0, nullptr);
    auto second =
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{1, 3, 2}, false, std::vector<uint32_t>{}, 0, nullptr);
    second->SetSmoothingMask(2);
    chain->Append(std::move(second));
    mesh.BuildPolygonIndices(chain.get());
    EXPECT_EQ(mesh.GetCornerKeyCount(), 6u);
    EXPECT_NE(mesh.GetIndexRecord(0).cornerKey[1], mesh.GetIndexRecord(1).cornerKey[0]) << "position 1 in two groups";
}

TEST(MeshNormals, UnitAndOutwardOnClosedMeshes)
{
    for (const auto& off : {meshtest::MakeCube(), meshtest::MakeSphere(8, 12), meshtest::MakeTetrahedron()}) {
        SWmeshobject mesh;
        Load(mesh, off);
        mesh.ComputeNormals();
        mesh.ComputeBoundingBox();
        const SWvector centre = (mesh.GetComputedBoundingBox().Min() + mesh.GetComputedBoundingBox().Max()) * 0.5f;
        for (uint32_t p = 0; p < mesh.GetPolygonCount(); ++p)
            for (int c = 0; c < 3; ++c) {
                const SWindexrecord record = mesh.GetIndexRecord(p);
                const float* n = mesh.GetNormals() + 3 * record.cornerKey[c];
                const float* v = mesh.GetVertices() + 3 * record.position[c];
                EXPECT_NEAR(LengthOf(n), 1.0f, 1e-5f);
                const float outward = (v[0] - centre.x) * n[0] + (v[1] - centre.y) * n[1] + (v[2] - centre.z) * n[2];
                EXPECT_GT(outward, 0.0f);
            }
    }
}

TEST(MeshNormals, DegenerateFacesGiveZeroNormalsNotNaN)
{
    // Two triangles with area, then a collinear one and one with two coincident corners; position 4 is used only by
    // the last.
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeDegenerateFaces());
    ASSERT_EQ(mesh.GetPolygonCount(), 4u);
    mesh.ComputeNormals();
    for (uint32_t face = 0; face < 4; ++face) {
        SCOPED_TRACE(face);
        float n[3];
        mesh.GetFaceNormal(face, n);
        if (face < 2)
            EXPECT_NEAR(LengthOf(n), 1.0f, 1e-6f);
        else
            EXPECT_TRUE(n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f);
    }
    const uint32_t lonelyKey = mesh.GetIndexRecord(3).cornerKey[2];
    ASSERT_EQ(mesh.GetIndexRecord(3).position[2], 4u);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(mesh.GetNormals()[3 * lonelyKey + axis], 0.0f);
    for (uint32_t i = 0; i < 3 * mesh.GetCornerKeyCount(); ++i)
        EXPECT_TRUE(std::isfinite(mesh.GetNormals()[i]));
}

TEST(MeshNormals, StampRisesOnEveryComputation)
{
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeTetrahedron());
    const uint32_t before = mesh.GetGeometryStamp();
    mesh.ComputeNormals();
    mesh.ComputeNormals();
    EXPECT_EQ(mesh.GetGeometryStamp(), before + 2);
    MeshListener listener(mesh, false);
    mesh.UpdateNormals();
    EXPECT_EQ(mesh.GetGeometryStamp(), before + 3);
    EXPECT_EQ(listener.heard, 1);
}

// A reader that holds the mesh's arrays (a packed renderer between its rebuilds) sees them as they were: the mesh
// writes a copy of a held array, and new normals are a new array.
TEST(MeshSharedArrays, AHeldArrayNeverChangesUnderItsReader)
{
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeTetrahedron());
    mesh.Prepare();
    const SWsharedfloats positions = mesh.SharedVertices();
    const SWsharedfloats normals = mesh.SharedNormals();
    const std::vector<float> positionsBefore = *positions;
    const std::vector<float> normalsBefore = *normals;
    mesh.GetVertices()[0] += 1.0f;
    mesh.ComputeNormals();
    EXPECT_EQ(*positions, positionsBefore);
    EXPECT_EQ(*normals, normalsBefore);
    EXPECT_NE(mesh.GetVertices()[0], positionsBefore[0]);
    EXPECT_NE(std::as_const(mesh).GetNormals(), normals->data());
    mesh.Refresh(); // the rest shape again, shared rather than copied
    EXPECT_EQ(mesh.SharedVertices(), positions);
    EXPECT_EQ(std::as_const(mesh).GetBaseVertices(), std::as_const(mesh).GetVertices());
}

// Corner indices are kept in 16 bits only where every index of the array fits: past 65,536 positions they read back
// whole, and a texture index of its own beside them likewise.
TEST(MeshPolygons, IndicesPastSixteenBitsReadBackWhole)
{
    SWmaterial red("red");
    const std::vector<SWmaterial*> materials = {&red};
    for (const uint32_t count : {3u, 70000u}) {
        SWmesh mesh;
        std::vector<float> positions(size_t{count} * 3);
        for (uint32_t i = 0; i < count; ++i)
            positions[size_t{i} * 3] = static_cast<float>(i);
        positions[size_t{count - 1} * 3 + 1] = 1.0f; // a triangle with area
        mesh.SetVertices(std::move(positions));
        mesh.SetTextureVertices({0, 0, 1, 0, 0, 1});
        const std::vector<uint32_t> corners = {0, 1, count - 1, count - 1, 1, 0};
        const std::vector<uint32_t> uvs = {0, 1, 2, 2, 1, 1};
        const std::vector<uint16_t> none(2, 0);
        ASSERT_EQ(mesh.BuildTriangleIndices({corners, uvs, std::vector<uint32_t>(2, 1), none, materials}).triangles,
                  2u);
        for (uint32_t t = 0; t < 2; ++t) {
            const SWindexrecord record = mesh.GetIndexRecord(t);
            for (uint32_t c = 0; c < 3; ++c) {
                EXPECT_EQ(record.position[c], corners[t * 3 + c]) << count;
                EXPECT_EQ(record.texture[c], uvs[t * 3 + c]) << count;
            }
        }
        float face[3];
        mesh.GetFaceNormal(0, face);
        EXPECT_NEAR(LengthOf(face), 1.0f, 1e-5f) << count;
    }
}

TEST(MeshPolygons, FansOfQuadsAndPentagons)
{
    SWmeshobject mesh;
    const meshtest::OffMesh pentagon = meshtest::MakePolygon(5);
    const SWpolygonbuild built = Load(mesh, pentagon);
    EXPECT_EQ(built.triangles, 3u);
    for (uint32_t t = 0; t < 3; ++t) {
        const SWindexrecord record = mesh.GetIndexRecord(t);
        EXPECT_EQ(record.position[0], static_cast<uint32_t>(pentagon.coordIndex[0]));
        EXPECT_EQ(record.position[1], static_cast<uint32_t>(pentagon.coordIndex[t + 1]));
        EXPECT_EQ(record.position[2], static_cast<uint32_t>(pentagon.coordIndex[t + 2]));
    }
    SWmeshobject quads;
    EXPECT_EQ(Load(quads, meshtest::MakeGrid(3, 2, false)).triangles, 12u);
}

TEST(MeshPolygons, ShortAndOutOfRangePolygonsAreDroppedAndCounted)
{
    SWmeshobject mesh;
    mesh.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0});
    mesh.SetTextureVertices({0, 0, 1, 0});
    struct Block {
        std::vector<uint32_t> corners;
        std::vector<uint32_t> uv;
    };
    const Block blocks[] = {
        {{0, 1, 2}, {0, 1, 1}}, // kept
        {{0, 1}, {}},           // short
        {{0, 1, 3}, {}},        // position 3 does not exist
        {{0, 1, 2}, {0, 1, 2}}, // texture vertex 2 does not exist
        {{2, 1, 0}, {}},        // kept, texture index 0
    };
    std::unique_ptr<SWarrayblock> chain;
    for (const Block& block : blocks) {
        auto link = std::make_unique<SWarrayblock>(std::span<const uint32_t>(block.corners), !block.uv.empty(),
                                                   std::span<const uint32_t>(block.uv), 7, nullptr);
        if (chain == nullptr)
            chain = std::move(link);
        else
            chain->Append(std::move(link));
    }
    const SWpolygonbuild built = mesh.BuildPolygonIndices(chain.get());
    EXPECT_EQ(built.polygons, 5u);
    EXPECT_EQ(built.triangles, 2u);
    EXPECT_EQ(built.droppedShort, 1u);
    EXPECT_EQ(built.droppedOutOfRange, 2u);
    EXPECT_EQ(mesh.GetPolygons()[0].flags, 7u);
    EXPECT_EQ(mesh.GetIndexRecord(1).texture[2], 0u);
}

TEST(MeshPolygons, ShorterArraysClearATableTheyNoLongerFit)
{
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeCube());
    mesh.SetVertices(std::vector<float>(24, 1.0f)); // still 8 positions
    EXPECT_EQ(mesh.GetPolygonCount(), 12u);
    mesh.SetVertices(std::vector<float>(12, 1.0f)); // 4 positions
    EXPECT_EQ(mesh.GetPolygonCount(), 0u);
}

// Triangles given flat: texture indices equal to the position indices are read through those, others are kept
// apart, and either way every triangle reads back as given; a material set and set back finds the kind it had.
TEST(MeshPolygons, FlatTrianglesKeepOnlyWhatDiffers)
{
    SWmaterial red("red"), green("green");
    const std::vector<SWmaterial*> materials = {&red, &green};
    const std::vector<uint32_t> positions = {0, 1, 2, 1, 3, 2, 0, 2, 3, 0, 1, 3};
    const std::vector<uint32_t> masks = {1, 2, 1, 2};
    const std::vector<uint16_t> materialIndices = {0, 1, 0, 1};
    const auto build = [&](SWmesh& mesh, std::vector<uint32_t> textures) {
        mesh.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
        mesh.SetTextureVertices({0, 0, 1, 0, 0, 1, 1, 1});
        return mesh.BuildTriangleIndices({positions, std::move(textures), masks, materialIndices, materials});
    };
    SWmesh following, own;
    EXPECT_EQ(build(following, positions).triangles, 4u);
    EXPECT_EQ(following.GetCornerTextures().data(), following.GetCornerPositions().data());
    std::vector<uint32_t> textures = positions;
    textures[10] = 0;
    EXPECT_EQ(build(own, textures).triangles, 4u);
    EXPECT_NE(own.GetCornerTextures().data(), own.GetCornerPositions().data());
    for (uint32_t t = 0; t < 4; ++t) {
        const SWindexrecord a = following.GetIndexRecord(t), b = own.GetIndexRecord(t);
        for (uint32_t c = 0; c < 3; ++c) {
            EXPECT_EQ(a.position[c], positions[t * 3 + c]);
            EXPECT_EQ(a.texture[c], positions[t * 3 + c]);
            EXPECT_EQ(b.texture[c], textures[t * 3 + c]);
        }
        EXPECT_EQ(own.GetPolygons()[t].material, materials[t % 2]);
        EXPECT_EQ(own.GetSmoothingMask(t), masks[t]);
    }
    EXPECT_EQ(own.GetFaceKinds().size(), 2u);
    own.SetPolygonMaterial(0, &green);
    own.SetPolygonMaterial(0, &red);
    EXPECT_EQ(own.GetFaceKinds().size(), 3u) << "green with mask 1 is new; red with mask 1 is found again";
    EXPECT_EQ(own.GetPolygons()[0].material, &red);

    // One kind for every triangle keeps no kind per triangle until a material makes a second.
    SWmesh plain;
    const std::vector<uint16_t> allRed(4, 0);
    plain.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    plain.BuildTriangleIndices({positions, {}, std::vector<uint32_t>(4, 1), allRed, materials});
    ASSERT_EQ(plain.GetPolygonCount(), 4u);
    EXPECT_TRUE(plain.GetFaceKindIndices().empty());
    plain.SetPolygonMaterial(2, &green);
    ASSERT_EQ(plain.GetFaceKindIndices().size(), 4u);
    for (uint32_t t = 0; t < 4; ++t) {
        EXPECT_EQ(plain.GetPolygons()[t].material, t == 2 ? &green : &red) << t;
        EXPECT_EQ(plain.GetSmoothingMask(t), 1u) << t;
    }

    // Texture indices read through the positions still have to name texture vertices.
    following.SetTextureVertices({0, 0, 1, 0, 0, 1});
    EXPECT_EQ(following.GetPolygonCount(), 0u);
    SWmesh mismatched;
    EXPECT_EQ(build(mismatched, {0, 1, 2}).Dropped(), 4u) << "texture indices of another length build nothing";
}

TEST(MeshPolygons, LongChainIsFreedWithoutRecursion)
{
    auto head =
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, false, std::vector<uint32_t>{}, 0, nullptr);
    SWarrayblock* last = head.get();
    for (int i = 0; i < 1000000; ++i) {
        auto next =
            std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, false, std::vector<uint32_t>{}, 0, nullptr);
        SWarrayblock* const added = next.get();
        last->Append(std::move(next)); // from the last link: appending stays cheap
        last = added;
    }
    size_t links = 0;
    for (const SWarrayblock* block = head.get(); block != nullptr; block = block->GetNext())
        ++links;
    EXPECT_EQ(links, 1000001u);
    head.reset(); // a recursive destructor would overflow the stack here
}

TEST(MeshBounds, MatchBruteForceAndAreHiddenUntilLoaded)
{
    const meshtest::OffMesh off = meshtest::MakeTorus(9, 13, true);
    SWmeshobject mesh;
    Load(mesh, off);
    EXPECT_EQ(mesh.GetBoundingBox(), nullptr);
    mesh.Prepare();
    ASSERT_NE(mesh.GetBoundingBox(), nullptr);
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = 0; i < off.positions.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], off.positions[i]);
        hi[i % 3] = std::max(hi[i % 3], off.positions[i]);
    }
    const auto& e = mesh.GetBoundingBox()->Extents();
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(e[2 * axis], lo[axis]);
        EXPECT_EQ(e[2 * axis + 1], hi[axis]);
    }
}

class MeshViewVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A unit cube around the origin, moved along -z by the matrix of each case.
        Load(m_mesh, meshtest::MakeCube());
        m_mesh.Prepare();
    }
    // The cube (0..1 on each axis) shrunk to 0.2 across and centred on (x, y, z).
    uint32_t At(float x, float y, float z) const
    {
        SWmatrix combined = SWmatrix::Translation(x, y, z);
        combined.PostMultiply(SWmatrix::Scaling(0.2f, 0.2f, 0.2f));
        combined.PostMultiply(SWmatrix::Translation(-0.5f, -0.5f, -0.5f));
        return m_mesh.TestViewVolume(combined, -0.01f);
    }
    SWmeshobject m_mesh;
};

TEST_F(MeshViewVolume, InsideOutsideAndStraddling)
{
    EXPECT_EQ(At(0, 0, -0.5f), SWmesh::kViewNotOutside | SWmesh::kViewInside) << "wholly inside";
    EXPECT_EQ(At(5, 0, -0.5f), 0u) << "wholly beyond x = -z";
    EXPECT_EQ(At(0, 0, 5), 0u) << "wholly behind the near plane";
    EXPECT_EQ(At(0, 0, -3), 0u) << "wholly beyond the far plane";
    EXPECT_EQ(At(0.45f, 0, -0.5f), SWmesh::kViewNotOutside) << "straddling x = -z";
}

TEST_F(MeshViewVolume, PointOnTheConeIsNotOutside)
{
    EXPECT_EQ(SWmesh::OutcodeOf(0.5f, 0, -0.5f, -0.01f), 0);
    EXPECT_EQ(SWmesh::OutcodeOf(-0.5f, 0.5f, -0.5f, -0.01f), 0);
    EXPECT_EQ(SWmesh::OutcodeOf(0.50001f, 0, -0.5f, -0.01f), SWmesh::kOutRight);
    EXPECT_EQ(SWmesh::OutcodeOf(0, -0.6f, -0.5f, -0.01f), SWmesh::kOutBelow);
    EXPECT_EQ(SWmesh::OutcodeOf(0, 0, -0.001f, -0.01f), SWmesh::kOutNear);
    EXPECT_EQ(SWmesh::OutcodeOf(0, 0, -1.5f, -0.01f), SWmesh::kOutFar);
}

TEST_F(MeshViewVolume, UnloadedOrEmptyMeshAnswersZero)
{
    SWmeshobject empty;
    EXPECT_EQ(empty.TestViewVolume(SWmatrix(), -0.01f), 0u);
    m_mesh.SetLoaded(false);
    EXPECT_EQ(At(0, 0, -0.5f), 0u);
}

TEST(MeshPrepare, NotifiesOnceAndReentryReturnsAtOnce)
{
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeCube());
    MeshListener listener(mesh, /*reenter*/ true);
    const uint32_t stamp = mesh.GetGeometryStamp();
    mesh.Prepare();
    EXPECT_TRUE(mesh.IsLoaded());
    EXPECT_EQ(listener.heard, 1);
    EXPECT_EQ(mesh.GetGeometryStamp(), stamp + 1) << "the re-entered call computed nothing";
}

TEST(MeshPrepare, HoldingBytesAndMissingArraysPreventLoading)
{
    SWmeshobject mesh;
    MeshListener listener(mesh, false);
    mesh.Prepare();
    EXPECT_FALSE(mesh.IsLoaded()) << "no arrays";
    Load(mesh, meshtest::MakeCube());
    mesh.SetFilling(true);
    mesh.Prepare();
    EXPECT_FALSE(mesh.IsLoaded());
    mesh.SetFilling(false);
    mesh.SetDetached(true);
    mesh.Prepare();
    EXPECT_FALSE(mesh.IsLoaded());
    EXPECT_EQ(listener.heard, 0);
    mesh.SetDetached(false);
    mesh.Prepare();
    EXPECT_TRUE(mesh.IsLoaded());
    EXPECT_EQ(listener.heard, 1);
}

// The base and the working positions are one array until the working ones are handed out writable; then the base
// keeps the rest shape, and the working positions refresh from it.
TEST(MeshObject, WorkingVerticesRefreshFromTheBase)
{
    SWmeshobject mesh;
    const SWmeshobject& seen = mesh;
    EXPECT_EQ(mesh.GetObjectReference().id, -1);
    Load(mesh, meshtest::MakeTriangle());
    EXPECT_FALSE(mesh.HasOwnBase());
    EXPECT_EQ(seen.GetBaseVertices(), seen.GetVertices());
    const float rest = seen.GetVertices()[0];
    mesh.GetVertices()[0] = 42.0f;
    EXPECT_TRUE(mesh.HasOwnBase());
    EXPECT_EQ(seen.GetBaseVertices()[0], rest);
    mesh.SetPending(true);
    mesh.Refresh();
    EXPECT_EQ(seen.GetVertices()[0], rest);
    mesh.SetVertices({1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_FALSE(mesh.HasOwnBase());
    EXPECT_EQ(seen.GetBaseVertices()[3], 4.0f);
    mesh.GetBaseVertices()[3] = -4.0f; // writing the base parts it too
    EXPECT_EQ(seen.GetVertices()[3], 4.0f);
}

TEST(MeshObject, VertexBindingsAndTheirRefusals)
{
    SWmeshobject mesh;
    Load(mesh, meshtest::MakeCube());
    EXPECT_TRUE(mesh.AddVertexBucket(11, {0, 1, 2}));
    EXPECT_FALSE(mesh.AddVertexBucket(12, {3, 8})) << "vertex 8 does not exist";
    EXPECT_FALSE(mesh.AddVertexBucket(12, {3, 2})) << "vertex 2 is bound";
    EXPECT_FALSE(mesh.AddVertexBucket(12, {3, 3})) << "named twice";
    EXPECT_TRUE(mesh.AddVertexBucket(12, {3, 4}));
    ASSERT_NE(mesh.GetVertexBinding(4), nullptr);
    EXPECT_EQ(mesh.GetVertexBinding(4)->nodeId, 12u);
    EXPECT_EQ(mesh.GetVertexBinding(1)->nodeId, 11u);
    EXPECT_EQ(mesh.GetVertexBinding(5), nullptr);
    EXPECT_EQ(mesh.GetVertexBinding(100), nullptr);
    CVTN_Container node;
    mesh.SetCachedNode(1, &node);
    EXPECT_EQ(mesh.GetVertexBinding(3)->node, &node);
    mesh.ClearCachedNodes();
    EXPECT_EQ(mesh.GetVertexBinding(3)->node, nullptr);
}

TEST(MeshObject, MorphTargetsByName)
{
    SWmeshobject mesh;
    auto target = std::make_unique<SWmorphtarget>();
    target->name = "smile";
    const float record[5] = {3, 0.5f, 0.25f, -1, 9};
    target->records.Append(record);
    mesh.GetMorphTargets().Add(std::move(target));
    const SWmorphtarget* found = mesh.GetMorphTargets().FindByName("smile");
    ASSERT_NE(found, nullptr);
    ASSERT_NE(found->records.GetAt(0), nullptr);
    EXPECT_EQ(found->records.GetAt(0)[4], 9.0f);
    EXPECT_EQ(found->records.GetAt(1), nullptr);
    EXPECT_EQ(mesh.GetMorphTargets().FindByName("Smile"), nullptr);
}

TEST(MeshCodecSettings, SetterClampsAndOffsets)
{
    SWmesh mesh;
    mesh.SetGeometryCodecParameters(1, 20, 20);
    EXPECT_EQ(mesh.GetPositionBits(), 18u);
    EXPECT_EQ(mesh.GetTextureCoordinateBits(), 12u);
    EXPECT_EQ(mesh.GetGeometryCodecFlag(), 1);
    mesh.SetGeometryCodecParameters(0, 0, 0);
    EXPECT_EQ(mesh.GetPositionBits(), 10u);
    EXPECT_EQ(mesh.GetTextureCoordinateBits(), 6u);
    EXPECT_EQ(mesh.GetUserPositionSetting(), 4u);
    EXPECT_EQ(mesh.GetSchemeKind(), SchemeKind::kMesh);
}

TEST(MeshGeometry, HiddenVisibleAndMatrices)
{
    SWmeshobject mesh;
    EXPECT_TRUE(mesh.IsKindOf(MakeTag("NODE")));
    EXPECT_EQ(mesh.GetTag(), MakeTag("MMES"));
    mesh.SetHidden(true, false);
    EXPECT_TRUE(mesh.IsHidden());
    EXPECT_TRUE(mesh.IsVisible());
    mesh.SetHidden(true, true);
    EXPECT_FALSE(mesh.IsVisible());
    mesh.SetHidden(false, true);
    EXPECT_TRUE(mesh.IsVisible());
    mesh.SetRenderMatrix(SWmatrix::Translation(1, 2, 3));
    SWmatrix out;
    EXPECT_EQ(&mesh.GetRenderMatrix(out), &out);
    EXPECT_EQ(out.GetTranslation(), SWvector(1, 2, 3));
}

// The public meshes: every one loads with finite normals; degtri_sliding has zero normals on its flat faces.
std::filesystem::path CorpusFolder()
{
    if (const char* data = std::getenv("VORTAN_TEST_DATA"))
        return std::filesystem::path(data) / "mesh";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/nonexistent") / ".cache/vortan-test-data/mesh";
}

TEST(MeshCorpus, DegenerateSlidingTrianglesGiveZeroNotNaN)
{
    const auto path = CorpusFolder() / "degtri_sliding.off";
    const auto off = meshtest::ReadOffFile(path.string());
    if (!off)
        GTEST_SKIP() << "no " << path << " (scripts/fetch-test-data)";
    SWmeshobject mesh;
    Load(mesh, *off);
    mesh.Prepare();
    ASSERT_TRUE(mesh.IsLoaded());
    int zero = 0;
    for (uint32_t i = 0; i < mesh.GetPolygonCount(); ++i) {
        float n[3];
        mesh.GetFaceNormal(i, n);
        EXPECT_TRUE(std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]));
        zero += n[0] == 0 && n[1] == 0 && n[2] == 0;
    }
    EXPECT_GT(zero, 0);
    for (uint32_t i = 0; i < 3 * mesh.GetCornerKeyCount(); ++i)
        EXPECT_TRUE(std::isfinite(mesh.GetNormals()[i]));
}

} // namespace
