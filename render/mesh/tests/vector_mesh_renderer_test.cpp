#include "render/mesh/vector_mesh_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "platform/sys/scripted_cpu.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "render/render_target.h"
#include "render/software/rasteriser.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/render/mesh_loading.h"

namespace {

void FillGrey(SWshadedata& out)
{
    static const std::vector<uint32_t> ramp1 = [] {
        std::vector<uint32_t> made(256);
        for (uint32_t i = 0; i < 256; ++i)
            made[i] = 0xFF000000u | i * 0x010101u;
        return made;
    }();
    static const std::vector<uint32_t> ramp2(256, 0x00102030u);
    out.ramp1 = ramp1.data();
    out.ramp2 = ramp2.data();
    out.highlightScale = 0.25f;
    out.highlightOffset = 0.484375f;
}

bool GreyRamps(const SWmaterial&, SWshadedata& out)
{
    FillGrey(out);
    return true;
}

TEST(VectorMeshPacks, AlignedArraysAndPackedNormalsStayInRange)
{
    SWalignedarray<SWtrianglepack> packs(3);
    ASSERT_NE(packs.data(), nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(packs.data()) % 32, 0u);
    EXPECT_EQ(packs[2].distance[3], 0.0f); // value-initialised
    packs.Reset(0);
    EXPECT_EQ(packs.data(), nullptr);
    EXPECT_EQ(packs.size(), 0u);
    SWalignedarray<SWvertexpack> none; // releasing what was never taken
    none.Reset(0);

    EXPECT_EQ(PackedNormalComponent(0.5f), 16380);
    EXPECT_EQ(PackedNormalComponent(-1.0f), -32760);
    EXPECT_EQ(PackedNormalComponent(3.0f), 32767); // a face normal of length 3 saturates
    EXPECT_EQ(PackedNormalComponent(-3.0f), -32767);
    EXPECT_EQ(PackedNormalComponent(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(PackedNormalComponent(std::numeric_limits<float>::infinity()), 32767);
}

// A hand-made group of 5 vertices and 5 triangles: the short packs repeat their last entry.
SWdrawgroup MakeGroup(uint32_t vertexCount, uint32_t triangleCount, std::mt19937& random)
{
    std::uniform_real_distribution<float> spread(-1.0f, 1.0f);
    SWdrawgroup group;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const float position[3] = {spread(random), spread(random), spread(random) - 4.0f};
        // Unnormalised normals, some a little long.
        const float length = 0.9f + 0.15f * (spread(random) + 1.0f);
        float normal[3] = {spread(random), spread(random), spread(random)};
        const float norm = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        for (float& n : normal)
            n = n / norm * length;
        group.vertices.insert(group.vertices.end(), position, position + 3);
        group.vertices.insert(group.vertices.end(), normal, normal + 3);
        group.coordinates.push_back(spread(random));
        group.coordinates.push_back(spread(random));
    }
    for (uint32_t t = 0; t < triangleCount; ++t) {
        SWgrouptriangle triangle;
        triangle.distance = spread(random);
        for (int c = 0; c < 3; ++c) {
            triangle.normal[c] = spread(random);
            triangle.corners[c] = static_cast<uint16_t>(random() % vertexCount);
        }
        group.triangles.push_back(triangle);
    }
    return group;
}

TEST(VectorMeshPacks, ShortPacksRepeatTheLastEntry)
{
    std::mt19937 random(7);
    SWdrawgroup group = MakeGroup(5, 5, random);
    SWpackeddrawgroup packed;
    PackDrawGroup(packed, group);
    ASSERT_EQ(packed.vertices.size(), 2u);
    ASSERT_EQ(packed.triangles.size(), 2u);
    for (uint32_t lane = 1; lane < 4; ++lane) {
        EXPECT_EQ(packed.vertices[1].x[lane], group.vertices[4 * 6]);
        EXPECT_EQ(packed.vertices[1].nz[lane], group.vertices[4 * 6 + 5]);
        EXPECT_EQ(packed.triangles[1].distance[lane], packed.triangles[1].distance[0]);
        EXPECT_EQ(packed.triangles[1].ny[lane], packed.triangles[1].ny[0]);
        for (int c = 0; c < 3; ++c) // degenerate: every corner on the last triangle's first
            EXPECT_EQ(packed.corners[(4 + lane) * 3 + c], group.triangles[4].corners[0]);
    }
    EXPECT_EQ(packed.triangles[0].distance[2], group.triangles[2].distance * 32760.0f - 3.0f);
}

// The packed side test against the float one, and the intrinsics against the portable lanes.
TEST(VectorMeshPacks, CullingKeepsTheFloatSideWithinTheBias)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> spread(-1.0f, 1.0f);
    SWdrawgroup group = MakeGroup(8, 4000, random);
    SWpackeddrawgroup packed;
    PackDrawGroup(packed, group);
    uint32_t kept = 0;
    for (int trial = 0; trial < 8; ++trial) {
        const SWvector eye = {spread(random) * 3.0f, spread(random) * 3.0f, spread(random) * 3.0f};
        for (uint32_t p = 0; p < packed.triangles.size(); ++p) {
            const uint32_t mask = CullMask(packed.triangles[p], nullptr, eye, true);
            EXPECT_EQ(CullMask(packed.triangles[p], nullptr, eye, false), mask);
            for (uint32_t lane = 0; lane < 4; ++lane) {
                const SWgrouptriangle& t = group.triangles[p * 4 + lane];
                const float side = eye.x * t.normal[0] + eye.y * t.normal[1] + eye.z * t.normal[2] - t.distance;
                // The 16-bit normals move the side by at most |eye| x sqrt(3) / 65520 besides the bias.
                const float slack = 3.0f * 3.0f * 1.8f / 65520.0f;
                if (side >= slack) {
                    EXPECT_NE(mask & (1u << lane), 0u) << side;
                }
                if (side < -3.0f / 32760.0f - slack) {
                    EXPECT_EQ(mask & (1u << lane), 0u) << side;
                }
                kept += (mask >> lane) & 1u;
            }
        }
    }
    EXPECT_GT(kept, 8000u);
    EXPECT_LT(kept, 24000u);
}

float AsFloat(uint32_t word)
{
    return std::bit_cast<float>(word);
}

// The four-lane vertex stage against the scalar one on random vertices: positions, pairs and constants bit for
// bit, shades within one step of the angle table (the lanes round the index where the scalar stage truncates).
TEST(VectorMeshPacks, LaneShadingMatchesTheScalarStage)
{
    SWhostdrivers drivers;
    drivers.Init();
    std::mt19937 random(3);
    SWdrawgroup group = MakeGroup(203, 4, random);
    // A NaN normal and a normal of length 1.01 along the light.
    SWframelighting lighting;
    lighting.combined = SWmatrix();
    lighting.eye = {0.1f, 0.2f, 0.3f};
    lighting.viewX = {1.0f, 0.0f, 0.0f};
    lighting.viewY = {0.0f, 0.8f, 0.6f};
    lighting.lightUnit = {0.0f, 0.6f, 0.8f};
    lighting.b1 = {1.0f, 0.0f, 0.0f};
    lighting.b2 = {0.0f, 0.8f, -0.6f};
    group.vertices[3 * 6 + 3] = std::numeric_limits<float>::quiet_NaN();
    group.vertices[7 * 6 + 3] = 0.0f;
    group.vertices[7 * 6 + 4] = 0.6f * 1.01f;
    group.vertices[7 * 6 + 5] = 0.8f * 1.01f;
    group.layout = {6, 8, 10};
    group.drawFlags = kDrawShaded;
    SWshadedata shade;
    FillGrey(shade);
    SWpackeddrawgroup packed;
    PackDrawGroup(packed, group);
    const SWviewport viewport = {320.0f, 320.0f, -240.0f, 240.0f, 0.5f, 0.25f};
    const uint32_t stride = 12;
    const uint32_t padded = static_cast<uint32_t>(packed.vertices.size() * 4);
    std::vector<uint32_t> allVertices(padded / 32 + 1, 0xFFFFFFFFu);
    std::vector<uint32_t> allPacks(packed.vertices.size() / 32 + 1, 0xFFFFFFFFu);
    for (const SWviewport* port : {&viewport, static_cast<const SWviewport*>(nullptr)}) {
        SWvertexstage stage;
        stage.group = &group;
        stage.lighting = &lighting;
        stage.shade = &shade;
        stage.viewport = port;
        stage.stride = stride;
        stage.visible = allVertices;
        std::vector<uint32_t> scalar(size_t{padded} * stride, 0);
        std::vector<uint8_t> scalarCodes(padded, 0);
        ShadeVertices(stage, scalar.data(), scalarCodes.data());
        stage.visible = allPacks;
        std::vector<uint32_t> lanes(scalar.size(), 0);
        std::vector<uint32_t> portable(scalar.size(), 0);
        std::vector<uint8_t> laneCodes(padded, 0);
        std::vector<uint8_t> portableCodes(padded, 0);
        ShadeVertexPacks(packed, stage, false, lanes.data(), laneCodes.data());
        ShadeVertexPacks(packed, stage, true, portable.data(), portableCodes.data());
        EXPECT_EQ(lanes, portable);
        EXPECT_EQ(laneCodes, portableCodes);
        uint32_t shadesApart = 0;
        for (uint32_t n = 0; n < group.VertexCount(); ++n) {
            const uint32_t* a = &scalar[size_t{n} * stride];
            const uint32_t* b = &lanes[size_t{n} * stride];
            for (uint32_t w = 0; w < stride; ++w) {
                if (w == 4) {
                    const int shadeA = static_cast<int>(a[4] & 0xFF);
                    const int shadeB = static_cast<int>(b[4] & 0xFF);
                    EXPECT_LE(std::abs(shadeA - shadeB), 1) << n;
                    shadesApart += shadeA != shadeB ? 1 : 0;
                } else if (w != 5) {
                    EXPECT_EQ(a[w], b[w]) << n << " word " << w;
                }
            }
            EXPECT_EQ(b[5], 0x00102030u);
            EXPECT_EQ(scalarCodes[n], laneCodes[n]);
        }
        EXPECT_EQ(lanes[3 * stride + 4], 0xFF000000u);   // NaN: shade 0
        EXPECT_EQ(lanes[7 * stride + 4], 0xFFFFFFFFu);   // long normal: the table's last entry
        EXPECT_LT(shadesApart, group.VertexCount() / 2); // rounding, not a different lookup
        if (port != nullptr) {
            EXPECT_TRUE(std::isfinite(AsFloat(lanes[0])));
        }
    }
    drivers.Shutdown();
}

// Whole frames through the surface with each kind.
struct KindScene {
    SWhostdrivers drivers;
    SWrendercamera camera;
    SWrendersurface surface;
    SWmaterial material{"m"};
    SWmesh mesh;
    std::unique_ptr<SWmeshrendererCommon> renderer;
    SWrenderbatch* opaque = nullptr;
    SWrenderbatch* transparent = nullptr;

    KindScene(int kind, bool portable, SWvector position, SWvector direction, bool sphere = true)
    {
        drivers.Init();
        SetShadeDataSource(GreyRamps);
        EXPECT_TRUE(surface.Init());
        surface.SetCamera(&camera);
        surface.Resize(96, 72);
        camera.SetPosition(position.x, position.y, position.z);
        camera.SetDirection(direction.x, direction.y, direction.z);
        if (kind == 0) {
            renderer = std::make_unique<SWmeshrendererScalar>();
        } else {
            auto vector = kind == 1 ? std::make_unique<SWmeshrendererSSE>() : std::make_unique<SWmeshrendererSSE2>();
            vector->UsePortableLanes(portable);
            renderer = std::move(vector);
        }
        renderer->SetMesh(&mesh);
        material.SetTransparency(0.5f); // queued, so the vertices can be read back
        if (!sphere)
            return;
        rendertest::TexturedMesh shape = rendertest::FromOff(meshtest::MakeSphere(13, 17));
        for (float& value : shape.positions)
            value = (value - 0.5f) * 1.5f;
        rendertest::LoadMesh(mesh, shape, &material);
    }
    ~KindScene()
    {
        SetShadeDataSource(nullptr);
        drivers.Shutdown();
    }
    // The queued corners of each visible triangle, by triangle number; run before the clipper changes them only
    // when the mesh is inside.
    std::map<int32_t, std::vector<uint32_t>> Frame()
    {
        surface.BeginFrame();
        surface.RefreshBuffers();
        float matrix[16];
        EXPECT_TRUE(surface.GetViewMatrix(matrix));
        const SWmatrix view(std::span<const float, 16>(matrix, 16));
        opaque = surface.Queue().NewBatch();
        transparent = surface.Queue().NewBatch();
        transparent->SetKind(SWrenderbatch::Kind::kDepthSum);
        transparent->SetTransparent(true);
        EXPECT_TRUE(renderer->Render(surface, opaque, transparent, view));
        std::map<int32_t, std::vector<uint32_t>> corners;
        const SWdrawgroup& group = *renderer->FirstGroup();
        size_t k = 0;
        for (const SWprimitivenode* node = transparent->FirstNode(); node != transparent->EndNode();
             node = node->next, ++k) {
            const uint32_t stride = node->format->vertexStride;
            const int32_t triangle = k < group.primitiveIndices.size() ? group.primitiveIndices[k] : -1 - int32_t(k);
            corners[triangle].assign(node->vertices, node->vertices + 3 * stride);
        }
        return corners;
    }
};

TEST(VectorMeshRenderer, KindsAgreeWithEachOtherAndWithTheScalarKind)
{
    for (const SWvector position : {SWvector{0.4f, 1.0f, 4.0f}, SWvector{0.3f, 0.2f, 1.2f}}) {
        const bool inside = position.z > 2.0f;
        KindScene scalar(0, false, position, position);
        KindScene one(1, false, position, position);
        KindScene onePortable(1, true, position, position);
        KindScene two(2, false, position, position);
        const auto a = scalar.Frame();
        const auto b = one.Frame();
        EXPECT_EQ(onePortable.Frame(), b);
        EXPECT_EQ(two.Frame(), b);
        const SWdrawgroup& group = *scalar.renderer->FirstGroup();
        const uint32_t triangles = group.TriangleCount();
        ASSERT_GT(a.size(), 20u);
        if (!inside) {
            EXPECT_GT(scalar.renderer->Stats().clipped, 0u);
            EXPECT_NEAR(double(one.renderer->Stats().visible), double(scalar.renderer->Stats().visible), 3.0);
            continue;
        }
        // Every triangle kind 0 keeps, kind 1 keeps; the extra ones are fillers or lie on the edge of the bias.
        for (const auto& [triangle, corners] : a) {
            ASSERT_TRUE(b.contains(triangle)) << triangle;
            const std::vector<uint32_t>& other = b.at(triangle);
            const uint32_t stride = static_cast<uint32_t>(corners.size() / 3);
            for (uint32_t c = 0; c < 3; ++c) {
                for (uint32_t w = 0; w < stride; ++w) {
                    const uint32_t x = corners[c * stride + w];
                    const uint32_t y = other[c * stride + w];
                    if (w == 4)
                        EXPECT_LE(std::abs(int(x & 0xFF) - int(y & 0xFF)), 1);
                    else if (w < 4)
                        EXPECT_NEAR(AsFloat(x), AsFloat(y), std::fabs(AsFloat(x)) * 1e-5f);
                    else
                        EXPECT_EQ(x, y);
                }
            }
        }
        uint32_t extra = 0;
        for (const auto& [triangle, corners] : b) {
            if (a.contains(triangle))
                continue;
            ++extra;
            // The sphere has no face within the bias of the eye, so only fillers may be added.
            EXPECT_GE(static_cast<uint32_t>(triangle), triangles);
            const uint32_t stride = static_cast<uint32_t>(corners.size() / 3);
            EXPECT_EQ(corners[0], corners[stride]);
            EXPECT_EQ(corners[1], corners[2 * stride + 1]);
        }
        EXPECT_LE(extra, 3u);
    }
}

// The packed kinds keep a group's vertices and triangles only as packs; a bump map added after the build makes its
// tangent frames from the packs, the same frames and the same lit corners as kind 0 makes from its own arrays.
TEST(VectorMeshRenderer, PackedKindsHoldTheGeometryOnceAndMakeLaterDot3FramesFromThePacks)
{
    const SWvector position = {0.4f, 1.0f, 4.0f};
    KindScene scalar(0, false, position, position, false);
    KindScene packed(2, false, position, position, false);
    rendertest::TexturedMesh shape = rendertest::FromOff(meshtest::MakeSphere(13, 17));
    for (size_t v = 0; v < shape.positions.size(); v += 3) {
        shape.uv.push_back(shape.positions[v]);
        shape.uv.push_back(shape.positions[v + 1] * 0.5f + shape.positions[v + 2]);
    }
    shape.uvPolygons = shape.polygons;
    SWimage32 bump("bump", 4, 4, nullptr);
    for (KindScene* scene : {&scalar, &packed}) {
        rendertest::LoadMesh(scene->mesh, shape, &scene->material);
        scene->Frame();
    }
    const SWdrawgroup& own = *scalar.renderer->FirstGroup();
    const SWdrawgroup& group = *packed.renderer->FirstGroup();
    EXPECT_TRUE(group.vertices.empty());
    EXPECT_TRUE(group.triangles.empty());
    EXPECT_EQ(group.VertexCount(), own.VertexCount());
    EXPECT_EQ(group.TriangleCount(), own.TriangleCount());
    ASSERT_FALSE(group.dot3);
    // A sphere of one material and no seams: its vertices are the mesh's own, read in place.
    const SWpackeddrawgroup* held = static_cast<const SWmeshrendererSSE&>(*packed.renderer).PackedGroupOf(group);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->vertices.size(), 0u);
    EXPECT_EQ(held->positions, packed.mesh.SharedVertices());
    EXPECT_EQ(held->coordinates, packed.mesh.SharedTextureVertices());
    EXPECT_TRUE(held->meshCorners);
    EXPECT_TRUE(held->corners.empty());
    EXPECT_TRUE(group.coordinates.empty());

    for (KindScene* scene : {&scalar, &packed}) {
        scene->material.SetBumpTexture(&bump);
        scene->material.SetBumpAmount(1.0f);
    }
    const auto a = scalar.Frame();
    const auto b = packed.Frame();
    ASSERT_TRUE(group.dot3);
    ASSERT_EQ(group.frames.size(), size_t{own.TriangleCount()} * 3);
    EXPECT_EQ(group.frames, own.frames);
    ASSERT_GT(a.size(), 20u);
    for (const auto& [triangle, corners] : a) {
        ASSERT_TRUE(b.contains(triangle)) << triangle;
        const uint32_t stride = static_cast<uint32_t>(corners.size() / 3);
        for (uint32_t c = 0; c < 3; ++c)
            EXPECT_EQ(corners[c * stride + 4], b.at(triangle)[c * stride + 4]) << triangle;
    }
    EXPECT_EQ(packed.renderer->BuildCount(), 1u);
}

TEST(VectorMeshRenderer, FillerTrianglesFollowTheLastAndPacksFacingAwayAddNothing)
{
    // Five triangles: a pack of four and a pack holding the last with three fillers. A pyramid: four sides, then
    // the base as one triangle facing -z. Its positions are numbered as the triangles first name them, so that its
    // group is the mesh's own vertices and triangles.
    rendertest::TexturedMesh pyramid;
    pyramid.positions = {-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 0.0f, -0.5f, 0.5f, 0.0f};
    pyramid.polygons = {{0, 1, 2}, {1, 3, 2}, {3, 4, 2}, {4, 0, 2}, {0, 3, 1}};
    const SWvector position = {0.0f, 0.0f, 4.0f};
    KindScene scene(2, false, position, position, false);
    rendertest::LoadMesh(scene.mesh, pyramid, &scene.material);
    const auto corners = scene.Frame();
    const SWdrawgroup& group = *scene.renderer->FirstGroup();
    ASSERT_EQ(group.TriangleCount(), 5u);
    // The pyramid's four sides face the eye; the base (the fifth, last) faces away, and so do its fillers.
    EXPECT_EQ(group.primitiveIndices, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(corners.size(), 4u);

    KindScene below(1, false, {0.0f, 0.0f, -4.0f}, {0.0f, 0.0f, -4.0f}, false);
    rendertest::LoadMesh(below.mesh, pyramid, &below.material);
    const auto seen = below.Frame();
    // From below only the base: it and its three fillers, which are degenerate and draw nothing; the corners come
    // from the mesh's own table here (its triangles are its polygons one for one).
    EXPECT_EQ(below.renderer->FirstGroup()->primitiveIndices, (std::vector<int32_t>{4, 5, 6, 7}));
    EXPECT_TRUE(static_cast<const SWmeshrendererSSE&>(*below.renderer)
                    .PackedGroupOf(*below.renderer->FirstGroup())
                    ->meshCorners);
    for (const int32_t filler : {5, 6, 7}) {
        ASSERT_TRUE(seen.contains(filler)) << filler;
        const std::vector<uint32_t>& words = seen.at(filler);
        const size_t stride = words.size() / 3;
        EXPECT_TRUE(std::equal(words.begin(), words.begin() + stride, words.begin() + stride)) << filler;
        EXPECT_TRUE(std::equal(words.begin(), words.begin() + stride, words.begin() + 2 * stride)) << filler;
    }
    EXPECT_EQ(below.renderer->Stats().visible, 4u);
    ASSERT_TRUE(below.surface.EndFrame());
}

// A ramp the test rewrites between two draws of one frame, as a material built again would.
std::array<uint32_t, 256> g_changingRamp{};

bool ChangingRamp(const SWmaterial&, SWshadedata& out)
{
    out.ramp1 = g_changingRamp.data();
    out.ramp2 = g_changingRamp.data();
    return true;
}

// A mesh drawn twice in one frame, under another view and with its ramp rewritten between, and the second time
// with new geometry: each indexed record keeps the light, visible vertices and ramp it was handed over with, and
// the groups it shades from stay until it is drawn, whether the workers shade it at the frame's end (a recorder
// set keeps the records until then), as it is handed over, or the frame-order path at once.
TEST(VectorMeshRenderer, RecordsShadedLaterKeepWhatTheyWereHandedOverWith)
{
    struct NoRecording final : SWtrianglerecorder {
        void Record(const Run&, const uint32_t*, const uint32_t*, const uint32_t*) override {}
    } recorder;
    const auto frame = [&](int kind, int workers, bool record, bool reshape) {
        KindScene scene(kind, false, {0.4f, 1.0f, 7.0f}, {0.4f, 1.0f, 7.0f});
        SetShadeDataSource(ChangingRamp);
        scene.material.SetTransparency(0.0f); // opaque and inside: handed over as indexed records
        scene.surface.GetRasteriser()->SetWorkers(workers);
        scene.surface.GetRasteriser()->SetRecorder(record ? &recorder : nullptr);
        scene.surface.BeginFrame();
        scene.surface.RefreshBuffers();
        float matrix[16];
        EXPECT_TRUE(scene.surface.GetViewMatrix(matrix));
        const SWmatrix view(std::span<const float, 16>(matrix, 16));
        scene.opaque = scene.surface.Queue().NewBatch();
        scene.transparent = scene.surface.Queue().NewBatch();
        SWmatrix moved;
        view.Multiply(moved, SWmatrix::Translation(-0.6f, 0.2f, 0.0f));
        for (uint32_t i = 0; i < 256; ++i)
            g_changingRamp[i] = 0xFF000000u | i * 0x010101u;
        EXPECT_TRUE(scene.renderer->Render(scene.surface, scene.opaque, scene.transparent, view));
        for (uint32_t i = 0; i < 256; ++i)
            g_changingRamp[i] = 0xFF000000u | i << 16;
        if (reshape) {
            rendertest::TexturedMesh shape = rendertest::FromOff(meshtest::MakeSphere(9, 11));
            for (float& value : shape.positions)
                value = value - 0.5f;
            rendertest::LoadMesh(scene.mesh, shape, &scene.material);
        }
        EXPECT_TRUE(scene.renderer->Render(scene.surface, scene.opaque, scene.transparent, moved));
        EXPECT_TRUE(scene.surface.EndFrame());
        EXPECT_EQ(scene.renderer->BuildCount(), reshape ? 2u : 1u);
        EXPECT_GT(scene.renderer->Stats().indexed, 0u);
        const SWpixelbuffer& buffer = *scene.surface.GetCurrentBuffer();
        std::vector<uint32_t> pixels;
        for (int32_t y = 0; y < buffer.Height(); ++y)
            pixels.insert(pixels.end(), buffer.Row(y), buffer.Row(y) + buffer.Width());
        return pixels;
    };
    // Kind 0 shades as it hands over, but its records, too, wait with the groups' format records.
    for (const int kind : {0, 2}) {
        for (const bool reshape : {false, true}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + (reshape ? ", new geometry" : ""));
            const std::vector<uint32_t> inOrder = frame(kind, 0, false, reshape);
            EXPECT_GT(
                std::count_if(inOrder.begin(), inOrder.end(),
                              [](uint32_t p) { return (p & 0xFFFFFF) == (p & 0xFF) * 0x010101u && (p & 0xFF) > 8; }),
                100);
            for (const int workers : {2, 3}) {
                EXPECT_EQ(frame(kind, workers, true, reshape), inOrder) << workers << " workers, kept to the end";
                EXPECT_EQ(frame(kind, workers, false, reshape), inOrder) << workers << " workers";
            }
        }
    }
}

} // namespace
