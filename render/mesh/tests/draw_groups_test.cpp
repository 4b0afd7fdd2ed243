#include "render/mesh/draw_groups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <utility>

#include "engine/resources/array_block.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "render/render_target.h"

namespace {

// A target that answers the Dot3 question as told and draws nothing; the set-up asks it nothing else.
class Dot3Target final : public SWrendertarget {
public:
    explicit Dot3Target(bool dot3) : m_dot3(dot3) {}
    bool Init() override { return true; }
    uint32_t GetId() const override { return 1; }
    bool Resize(uint32_t, uint32_t) override { return true; }
    bool Draw(const SWdirectdraw*, const SWdirectdraw*, const SWprimitivenode*) override { return false; }
    bool TakesDot3() const override { return m_dot3; }
    bool SetRenderMode(uint32_t) override { return false; }
    bool SetPhase(uint32_t) override { return false; }
    bool GetViewMatrix(float*) override { return false; }
    SWvertexbuffer* CreateVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* CreateIndexBuffer(uint32_t) override { return nullptr; }
    SWvertexbuffer* GetVertexScratch(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* GetIndexScratch(uint32_t) override { return nullptr; }

private:
    bool m_dot3;
};

class GroupRenderer final : public SWmeshrenderer {
public:
    int Kind() const override { return 0; }
    bool Render(SWrendertarget&, SWrenderbatch*, SWrenderbatch*, const SWmatrix&) override { return false; }
};

std::unique_ptr<SWimage32> Texture()
{
    return std::make_unique<SWimage32>("t", 4, 4, nullptr);
}

// A grid of quads in the z = 0 plane, u along x and v along y, each quad two triangles of one material chosen by
// materialOf(quad).
struct Grid {
    SWmesh mesh;

    Grid(uint32_t columns, uint32_t rows, bool textured, SWmaterial* (*materialOf)(uint32_t, void*), void* context)
    {
        std::vector<float> positions;
        std::vector<float> uv;
        for (uint32_t y = 0; y <= rows; ++y)
            for (uint32_t x = 0; x <= columns; ++x) {
                positions.insert(positions.end(), {static_cast<float>(x), static_cast<float>(y), 0.0f});
                uv.insert(uv.end(), {static_cast<float>(x) / columns, static_cast<float>(y) / rows});
            }
        mesh.SetVertices(std::move(positions));
        if (textured)
            mesh.SetTextureVertices(std::move(uv));
        SWarrayblockChain chain;
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < columns; ++x) {
                const uint32_t a = y * (columns + 1) + x;
                const std::vector<uint32_t> corners = {a, a + 1, a + columns + 2, a + columns + 1};
                auto block = std::make_unique<SWarrayblock>(std::span<const uint32_t>(corners), textured,
                                                            std::span<const uint32_t>(corners), 0,
                                                            materialOf(y * columns + x, context));
                block->SetSmoothingMask(1);
                chain.Add(std::move(block));
            }
        mesh.BuildPolygonIndices(chain.Head());
        mesh.ComputeNormals();
    }
};

SWmaterial* Same(uint32_t, void* context)
{
    return static_cast<SWmaterial*>(context);
}

struct Built {
    GroupRenderer renderer;
    explicit Built(SWmesh& mesh, SWrendertarget* target = nullptr)
    {
        renderer.SetMesh(&mesh);
        renderer.SetTarget(target);
        renderer.BuildDrawGroups();
    }
    const SWdrawgroup& Group() const { return *renderer.FirstGroup(); }
};

TEST(DrawGroups, GroupsFollowMaterialsAndKeepIndicesInRange)
{
    SWmaterial red("red");
    SWmaterial blue("blue");
    SWmaterial* pair[2] = {&red, &blue};
    Grid one(3, 2, true, Same, &red);
    Built single(one.mesh);
    ASSERT_EQ(single.renderer.GroupCount(), 1u);
    EXPECT_EQ(single.Group().TriangleCount(), 12u);
    // Every corner of the grid has one position and one texture vertex, so the pairs collapse to the positions.
    EXPECT_EQ(single.Group().VertexCount(), 12u);
    EXPECT_EQ(single.Group().coordinates.size(), 24u);

    Grid two(
        4, 1, true, [](uint32_t quad, void* c) { return static_cast<SWmaterial**>(c)[quad % 2]; }, pair);
    Built split(two.mesh);
    ASSERT_EQ(split.renderer.GroupCount(), 2u);
    EXPECT_EQ(split.renderer.FirstGroup()->material, &blue); // the second made comes first
    EXPECT_EQ(split.renderer.FirstGroup()->next->material, &red);
    EXPECT_EQ(split.renderer.FirstGroup()->TriangleCount(), 4u);
    EXPECT_EQ(split.renderer.SkippedPolygons(), 0u);

    // Same positions, different coordinates per corner: each (vertex, coordinate) pair is one output vertex.
    SWmesh seams;
    seams.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    seams.SetTextureVertices({0, 0, 1, 0, 0, 1, 1, 1, 0.5f, 0.5f});
    auto a =
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, true, std::vector<uint32_t>{0, 1, 2}, 0, &red);
    a->Append(
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{1, 3, 2}, true, std::vector<uint32_t>{4, 3, 2}, 0, &red));
    a->SetSmoothingMask(1);
    a->GetNext()->SetSmoothingMask(1);
    seams.BuildPolygonIndices(a.get());
    seams.ComputeNormals();
    Built seam(seams);
    EXPECT_EQ(seam.Group().VertexCount(), 5u); // vertex 1 with coordinates 1 and 4, vertex 2 shared
    const SWgrouptriangle& second = seam.Group().triangles[1];
    EXPECT_EQ(seam.Group().coordinates[second.corners[0] * 2], 0.5f);
    EXPECT_EQ(seam.Group().coordinates[second.corners[2] * 2 + 1], 1.0f);
}

TEST(DrawGroups, LargeMeshSplitsBeforeIndicesOverflow)
{
    SWmaterial material("m");
    Grid grid(349, 200, true, Same, &material); // 70,350 positions
    Built built(grid.mesh);
    ASSERT_GE(built.renderer.GroupCount(), 2u);
    uint32_t triangles = 0;
    for (const SWdrawgroup* group = built.renderer.FirstGroup(); group != nullptr; group = group->next.get()) {
        EXPECT_LT(group->VertexCount(), 65535u);
        for (const SWgrouptriangle& triangle : group->triangles)
            for (const uint16_t corner : triangle.corners)
                ASSERT_LT(corner, group->VertexCount());
        triangles += group->TriangleCount();
    }
    EXPECT_EQ(triangles, 349u * 200u * 2u);
}

TEST(DrawGroups, UntexturedMeshDropsTextureLayers)
{
    auto texture = Texture();
    auto bump = Texture();
    SWmaterial material("m");
    material.SetTexture(texture.get());
    material.SetBumpTexture(bump.get());
    material.SetBumpAmount(1.0f);
    Dot3Target target(true);
    Grid grid(2, 2, false, Same, &material);
    Built built(grid.mesh, &target);
    const SWdrawgroup& group = built.Group();
    EXPECT_TRUE(group.coordinates.empty());
    EXPECT_FALSE(group.dot3);
    EXPECT_EQ(group.stages.layerCount, 0);
    EXPECT_EQ(group.stages.combineMode, kCombinePlain);
    EXPECT_EQ(group.coordinateWords, 0u);
    EXPECT_EQ(group.layout.textureWord, -1);
}

TEST(DrawGroups, TransparencyIsClampedBeforeItBecomesTheAlphaByte)
{
    EXPECT_EQ(AlphaOfTransparency(0.5f), 127);
    EXPECT_EQ(AlphaOfTransparency(7.5f), 255);
    EXPECT_EQ(AlphaOfTransparency(-3.0f), 0);
    EXPECT_EQ(AlphaOfTransparency(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(AlphaOfTransparency(std::numeric_limits<float>::infinity()), 255);

    struct Case {
        float transparency;
        bool transparent;
        uint8_t alpha;
    };
    const Case cases[] = {
        {0.001f, false, 0}, {0.005f, true, 1}, {7.5f, true, 255}, {std::numeric_limits<float>::quiet_NaN(), false, 0}};
    for (const Case& c : cases) {
        SWmaterial material("m");
        material.SetTransparency(c.transparency);
        Grid grid(1, 1, false, Same, &material);
        Built built(grid.mesh);
        SCOPED_TRACE(c.transparency);
        EXPECT_EQ((built.Group().drawFlags & kDrawTransparent) != 0, c.transparent);
        EXPECT_EQ(built.Group().stages.vertexAlpha, c.alpha);
        EXPECT_EQ((built.Group().stages.flags & kFormatOpaque) != 0, c.alpha == 0);
    }
}

// The stage block of every mode, so that a change of one value shows.
TEST(DrawGroups, StageBlockOfEachMode)
{
    auto texture = Texture();
    auto reflection = Texture();
    auto bump = Texture();
    struct Row {
        const char* name;
        uint32_t mode;
        bool diffuse, reflect, bump, dot3Target;
        uint8_t kind, stages, stride;
        uint8_t operations[4];
        int8_t sets[4];
        int highlight, textureWord, reflectionWord;
        uint32_t drawModeBits;
    };
    const Row rows[] = {
        {"gouraud", 4, false, false, false, true, 3, 0, 6, {}, {0, 1, 2, 3}, -1, -1, -1, kDrawShaded},
        {"flat+tex", 3, true, false, false, true, 3, 1, 8, {1}, {0, 1, 2, 3}, -1, 6, -1, kDrawShaded},
        {"cont+tex+refl", 2, true, true, false, true, 3, 2, 10, {1, 9}, {0, 1, 2, 3}, -1, 6, 8, kDrawContinuous},
        {"phong", 5, false, false, false, true, 4, 1, 8, {3}, {0, 1, 2, 3}, 6, -1, -1, kDrawPhong},
        {"phong+tex+refl", 5, true, true, false, true, 4, 3, 12, {3, 1, 9}, {0, 1, 2, 3}, 6, 8, 10, kDrawPhong},
        {"dot3", 4, false, false, true, true, 5, 2, 10, {3, 1}, {0, 1, 2, 3}, 6, 8, -1, 0},
        {"dot3+tex+refl", 4, true, true, true, true, 5, 4, 12, {3, 1, 1, 9}, {0, 1, 1, 2}, 6, 8, 10, 0},
        {"bump, no dot3", 4, true, false, true, false, 3, 1, 8, {1}, {0, 1, 2, 3}, -1, 6, -1, kDrawShaded},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SWmaterial material("m");
        material.SetRenderMode(row.mode);
        material.SetMaterialFlags(SWmaterial::kFlagBilinear);
        if (row.diffuse)
            material.SetTexture(texture.get());
        if (row.reflect) {
            material.SetReflectionTexture(reflection.get());
            material.SetReflectivity(0.5f);
        }
        if (row.bump) {
            material.SetBumpTexture(bump.get());
            material.SetBumpAmount(1.0f);
        }
        Dot3Target target(row.dot3Target);
        Grid grid(1, 1, true, Same, &material);
        Built built(grid.mesh, &target);
        const SWdrawgroup& group = built.Group();
        const SWtexturestages& s = group.stages;
        EXPECT_EQ(s.combineMode, row.kind);
        EXPECT_EQ(s.layerCount, row.stages);
        EXPECT_EQ(s.vertexStride, row.stride);
        EXPECT_EQ(s.firstFloatWord, 6);
        EXPECT_EQ(s.colourCount, 2);
        for (int i = 0; i < row.stages; ++i) {
            EXPECT_EQ(s.layerFlags[i], row.operations[i]) << "stage " << i;
            EXPECT_EQ(s.coordinateSets[i], row.sets[i]) << "stage " << i;
        }
        EXPECT_EQ(group.layout.highlightWord, row.highlight);
        EXPECT_EQ(group.layout.textureWord, row.textureWord);
        EXPECT_EQ(group.layout.reflectionWord, row.reflectionWord);
        EXPECT_EQ(group.drawFlags & (kDrawShaded | kDrawPhong | kDrawContinuous), row.drawModeBits);
        EXPECT_EQ(group.dot3, row.bump && row.dot3Target);
        EXPECT_EQ(group.frames.size(), group.dot3 ? group.triangles.size() * 3 : 0u);
        if (row.diffuse && row.kind == kCombinePlain) {
            EXPECT_EQ(s.images[0], texture.get());
        }
        if (row.reflect) {
            EXPECT_EQ(s.images[row.stages - 1], reflection.get());
        }
    }

    // A mode read from a file outside 2 to 5 draws with no stages, even with textures set.
    SWmaterial odd("odd");
    odd.SetStoredRenderMode(6);
    odd.SetTexture(texture.get());
    Grid grid(1, 1, true, Same, &odd);
    Built built(grid.mesh);
    EXPECT_EQ(built.Group().stages.combineMode, kCombineNone);
    EXPECT_EQ(built.Group().stages.layerCount, 0);
    EXPECT_EQ(built.Group().stages.vertexStride, 6);
}

// A diffuse texture whose layer bit is clear, with a reflection layer: the texture pair has no stage, so the only
// pair of the 8-word vertex is the reflection's, and no pair lies past the stride.
TEST(DrawGroups, LayoutNeverReachesPastTheStride)
{
    auto texture = Texture();
    auto reflection = Texture();
    SWmaterial material("m");
    material.SetRenderMode(SWmaterial::kModeGouraud);
    material.SetTexture(texture.get());
    material.SetReflectionTexture(reflection.get());
    material.SetReflectivity(0.5f);
    Grid grid(1, 1, false, Same, &material); // no texture vertices: the diffuse bit is dropped
    Built built(grid.mesh);
    const SWdrawgroup& group = built.Group();
    EXPECT_EQ(group.stages.vertexStride, 8);
    EXPECT_EQ(group.layout.reflectionWord, 6);
    EXPECT_EQ(group.layout.textureWord, -1);

    // Any record: every pair the layout names fits inside the stride.
    SWtexturestages stages;
    stages.layerCount = 3;
    stages.vertexStride = 8;
    stages.layerFlags[0] = kStageLighting;
    stages.layerFlags[1] = kStageTexture;
    stages.layerFlags[2] = kStageReflection;
    const SWvertexlayout layout = LayoutOf(stages);
    EXPECT_EQ(layout.highlightWord, 6);
    EXPECT_EQ(layout.textureWord, -1);
    EXPECT_EQ(layout.reflectionWord, -1);
}

TEST(DrawGroups, TangentFramesFollowTheStamp)
{
    auto bump = Texture();
    SWmaterial material("m");
    material.SetBumpTexture(bump.get());
    material.SetBumpAmount(1.0f);
    Dot3Target target(true);
    Grid grid(1, 1, true, Same, &material);
    Built built(grid.mesh, &target);
    SWdrawgroup& group = *built.renderer.FirstGroup();
    ASSERT_TRUE(group.dot3);
    ASSERT_EQ(group.frames.size(), 6u);
    // A planar quad with u along x and v along y: T = x, B = y, N = z.
    const SWtangentframe expected = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(group.frames[0][i], expected[i], 1e-6f) << i;

    // Same stamp: the frames are kept as they are.
    group.frames[0][0] = 42.0f;
    built.renderer.SetupDrawGroup(group, SWmeshview::Of(grid.mesh));
    EXPECT_EQ(group.frames[0][0], 42.0f);
    // A moved stamp makes them again.
    grid.mesh.ComputeNormals();
    built.renderer.SetupDrawGroup(group, SWmeshview::Of(grid.mesh));
    EXPECT_NEAR(group.frames[0][0], 1.0f, 1e-6f);
}

TEST(DrawGroups, FlatFlagsFollowTheMaterial)
{
    SWmaterial material("m");
    material.SetRenderMode(SWmaterial::kModeGouraud);
    Grid grid(1, 1, false, Same, &material);
    Built built(grid.mesh);
    EXPECT_FALSE(built.renderer.UpdateFlatFlags());
    material.SetRenderMode(SWmaterial::kModeFlat);
    EXPECT_TRUE(built.renderer.UpdateFlatFlags());
    EXPECT_EQ(built.Group().flat, 1);
    EXPECT_FALSE(built.renderer.UpdateFlatFlags());
    grid.mesh.ComputeNormals(); // the groups are now of an old stamp
    EXPECT_FALSE(built.renderer.UpdateFlatFlags());
}

// Indices from a scene file that reach past an array: the polygon is left out, the rest draws.
TEST(DrawGroups, PolygonsWithIndicesOutOfRangeAreLeftOut)
{
    SWmaterial material("m");
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    const std::vector<float> normals(3 * 4, 0.0f);
    const std::vector<float> uv = {0, 0, 1, 0, 0, 1, 1, 1};
    const std::vector<float> faces(3 * 5, 0.0f);
    // Per polygon: good, position 4, corner key 9, texture vertex 77, good, a face kind that does not exist.
    const std::vector<uint32_t> cornerPositions = {0, 1, 2, 0, 1, 4, 1, 3, 2, 1, 3, 2, 1, 3, 2, 0, 1, 2};
    const std::vector<uint32_t> cornerKeys = {0, 1, 2, 0, 1, 2, 1, 3, 9, 1, 3, 2, 1, 3, 2, 0, 1, 2};
    const std::vector<uint32_t> cornerTextures = {0, 1, 2, 0, 1, 2, 1, 3, 2, 1, 3, 77, 1, 3, 2, 0, 1, 2};
    const std::vector<uint32_t> kindIndices = {0, 0, 0, 0, 0, 1};
    const std::vector<SWfacekind> kinds = {{&material, 0, 0}};
    SWmeshview view;
    view.positions = positions;
    view.normals = normals;
    view.textureVertices = uv;
    view.faceNormals = faces;
    view.cornerPositions = cornerPositions;
    view.cornerKeys = cornerKeys;
    view.cornerTextures = cornerTextures;
    view.faceKindIndices = kindIndices;
    view.faceKinds = kinds;
    view.cornerKeyCount = 4;
    GroupRenderer renderer;
    renderer.BuildDrawGroups(view);
    EXPECT_EQ(renderer.SkippedPolygons(), 4u);
    ASSERT_EQ(renderer.GroupCount(), 1u);
    EXPECT_EQ(renderer.FirstGroup()->TriangleCount(), 2u);
    EXPECT_EQ(renderer.FirstGroup()->VertexCount(), 4u);
}

} // namespace
