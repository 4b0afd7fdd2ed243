#include "designer/editors/preview_sphere.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"

namespace {

float Length(const float* p)
{
    return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
}

// The sign of the quad's turn seen from outside: (c1 - c0) x (c2 - c0) against the direction of c0.
float OutwardTurn(const globe& g, int32_t face)
{
    const float* p[3];
    for (int k = 0; k < 3; ++k)
        p[k] = &g.positions[3 * static_cast<size_t>(globe_corner(g, face, k))];
    const float a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const float b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    const float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return n[0] * p[0][0] + n[1] * p[0][1] + n[2] * p[0][2];
}

class CountingWorld : public SWworld {
public:
    void Lock() override
    {
        ++locks;
        SWworld::Lock();
    }
    int locks = 0;
};

CVTND_SphereRequest PreviewRequest(SWmaterial* material, int32_t level = 5)
{
    return {50.0f, true, level, material, "MaterialSphereMesh", 328328};
}

} // namespace

TEST(PreviewSphereGlobe, CountsOfEachLevel)
{
    struct Row {
        int32_t level, quads, vertices, edges;
    };
    for (const Row row : {Row{0, 6, 8, 12}, Row{1, 24, 26, 48}, Row{5, 6144, 6146, 12288}}) {
        SCOPED_TRACE(row.level);
        globe g;
        ASSERT_EQ(make_globe(g, row.level), 0);
        EXPECT_EQ(g.faces, row.quads);
        EXPECT_EQ(g.vertices, row.vertices);
        EXPECT_EQ(g.edgeTable.size() / 2, static_cast<size_t>(row.edges));
        EXPECT_EQ(g.positions.size(), 3 * static_cast<size_t>(row.vertices));
        EXPECT_EQ(g.pass, row.level);
    }
    globe g;
    EXPECT_EQ(make_globe(g, kGlobeMaxLevel + 1), 1);
    EXPECT_EQ(g.faces, 0);
}

// Every vertex is on the unit sphere, every quad turns the way the cube's faces do, and child k of face p starts
// at corner k of p: the depth-first numbering q = 4p + k, with the parents' vertices keeping their numbers.
TEST(PreviewSphereGlobe, UnitVerticesWindingAndNumbering)
{
    globe parent, child;
    ASSERT_EQ(make_globe(parent, 2), 0);
    ASSERT_EQ(make_globe(child, 3), 0);
    for (int32_t v = 0; v < child.vertices; ++v)
        ASSERT_NEAR(Length(&child.positions[3 * static_cast<size_t>(v)]), 1.0f, 1e-6f) << v;
    const bool cubeOutward = OutwardTurn(parent, 0) > 0.0f;
    for (int32_t q = 0; q < child.faces; ++q) {
        ASSERT_EQ(OutwardTurn(child, q) > 0.0f, cubeOutward) << q;
        ASSERT_EQ(globe_corner(child, q, 0), globe_corner(parent, q / 4, q % 4)) << q;
    }
    for (int32_t v = 0; v < parent.vertices; ++v)
        ASSERT_EQ(child.positions[3 * static_cast<size_t>(v)], parent.positions[3 * static_cast<size_t>(v)]);
    float x = 0.0f, y = 0.0f, z = 0.0f;
    EXPECT_EQ(globe_normalize(x, y, z), 1);
}

TEST(PreviewSphereMesh, StoredVerticesAndTextureCoordinates)
{
    SWmaterial material("m");
    SWmeshobject mesh;
    ASSERT_TRUE(BuildPreviewSphereMesh(mesh, PreviewRequest(&material)));
    EXPECT_EQ(mesh.GetVertexCount(), 6146u);
    EXPECT_EQ(mesh.GetPolygonCount(), 12288u);
    ASSERT_EQ(mesh.GetTextureVertexCount(), 3u * 12288u);
    const float* const v = mesh.GetVertices();
    for (uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
        ASSERT_NEAR(Length(v + 3 * i), 50.0f, 5e-5f) << i;
    const float* const uv = mesh.GetTextureVertices();
    bool sawBottom = false, sawEquator = false, sawTop = false;
    for (uint32_t i = 0; i < mesh.GetTextureVertexCount(); ++i) {
        const float s = uv[2 * i], t = uv[2 * i + 1];
        ASSERT_TRUE(s >= 0.0f && s <= 1.0f) << i << " s " << s;
        ASSERT_TRUE(t >= -0.25f && t <= 0.75f) << i << " t " << t;
        sawBottom |= s == 0.0f;
        sawEquator |= std::abs(s - 0.5f) < 1e-6f;
        sawTop |= s == 1.0f;
    }
    EXPECT_TRUE(sawBottom && sawEquator && sawTop);
    for (uint32_t p = 0; p < mesh.GetPolygonCount(); ++p) {
        ASSERT_EQ(mesh.GetPolygons()[p].material, &material);
        ASSERT_EQ(mesh.GetPolygons()[p].flags, 7u);
    }

    SWmeshobject plain;
    ASSERT_TRUE(BuildPreviewSphereMesh(plain, {0.5f, false, 3, nullptr, "limits", 7}));
    ASSERT_EQ(plain.GetTextureVertexCount(), 3u * 2u * 384u);
    for (uint32_t i = 0; i < 2 * plain.GetTextureVertexCount(); ++i)
        ASSERT_EQ(plain.GetTextureVertices()[i], 0.0f);
}

TEST(PreviewSphereMesh, PreparedHiddenNamedAndAddedUnderTheLock)
{
    CountingWorld world;
    auto mesh = std::make_unique<SWmeshobject>();
    ASSERT_TRUE(BuildPreviewSphereMesh(*mesh, PreviewRequest(nullptr, 1)));
    EXPECT_TRUE(mesh->IsLoaded());
    EXPECT_NE(mesh->GetBoundingBox(), nullptr);
    EXPECT_TRUE(mesh->IsHidden());
    EXPECT_FALSE(mesh->IsVisible());
    EXPECT_EQ(mesh->GetName(), "MaterialSphereMesh");
    EXPECT_EQ(mesh->GetObjectReference().id, 328328);
    EXPECT_EQ(mesh->GetObjectReference().value, 0u);

    EXPECT_EQ(FindPreviewSphere(world, 328328), nullptr);
    SWmeshobject* const added = AddPreviewSphereToWorld(world, std::move(mesh));
    EXPECT_EQ(world.locks, 1);
    EXPECT_EQ(FindPreviewSphere(world, 328328), added);
    EXPECT_EQ(world.GetRootObject()->GetFirstGeometry(), added);

    SWmeshobject refused;
    EXPECT_FALSE(BuildPreviewSphereMesh(refused, PreviewRequest(nullptr, 11)));
    EXPECT_EQ(refused.GetPolygonCount(), 0u);
}
