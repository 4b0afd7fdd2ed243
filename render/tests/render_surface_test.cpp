#include "render/render_surface.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "engine/core/matrix.h"
#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/mesh/clipper.h"
#include "render/render_camera.h"
#include "render/software/rasteriser.h"
#include "testsupport/render/queued_triangle.h"

namespace {

struct ReadySurface {
    explicit ReadySurface(uint32_t width = 640, uint32_t height = 480)
    {
        EXPECT_TRUE(surface.Init());
        surface.SetCamera(&camera);
        surface.Resize(width, height);
        surface.BeginFrame();
    }
    SWrendercamera camera;
    SWrendersurface surface;
    float matrix[16] = {};
};

// S . H . T2 . R . T1 worked in double from the camera's fields.
std::array<double, 16> ReferenceViewMatrix(const SWrendercamera& camera)
{
    using V = std::array<double, 3>;
    const auto cross = [](const V& a, const V& b) {
        return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const auto unit = [](const V& a) {
        const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2] + 1.1754944e-38);
        return V{a[0] / length, a[1] / length, a[2] / length};
    };
    const SWvector& p = camera.GetPosition();
    const SWvector& e = camera.GetScale();
    const V d = unit({camera.GetDirection().x, camera.GetDirection().y, camera.GetDirection().z});
    const V s = unit(cross({camera.GetUp().x, camera.GetUp().y, camera.GetUp().z}, d));
    const V u = cross(d, s);
    const SWrendercamera::Window window = camera.GetWindow();
    const double hx = (window.centreX - e.x) / e.z;
    const double hy = (window.centreY - e.y) / e.z;
    const double far = camera.GetFar();
    const double scale[3] = {2.0 * e.z / (window.width * far), 2.0 * e.z / (window.height * far), 1.0 / far};
    std::array<double, 16> out{};
    const V rows[3] = {s, u, d};
    for (int r = 0; r < 3; ++r) {
        // Row r of R . T1, then T2, then H (rows 0 and 1 take the sheared third row).
        double row[4] = {rows[r][0], rows[r][1], rows[r][2], -(rows[r][0] * p.x + rows[r][1] * p.y + rows[r][2] * p.z)};
        row[3] -= r == 0 ? e.x : (r == 1 ? e.y : e.z);
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = row[c];
    }
    for (int c = 0; c < 4; ++c) {
        out[c] += hx * out[8 + c];
        out[4 + c] += hy * out[8 + c];
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] *= scale[r];
    out[15] = 1.0;
    return out;
}

TEST(RenderCameraMatrix, MatchesDoublePrecisionForRandomCameras)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> any(-3.0f, 3.0f);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        SWrendercamera camera;
        camera.SetPosition(any(random), any(random), any(random));
        camera.SetDirection(any(random), any(random), any(random));
        camera.SetUp(any(random), any(random), any(random));
        camera.SetScale(any(random) * 0.1f, any(random) * 0.1f, 1.0f + std::fabs(any(random)));
        camera.SetWindowX(-0.5f + any(random) * 0.1f, 0.5f);
        camera.SetWindowY(-0.4f, 0.35f + any(random) * 0.1f);
        camera.SetFarPlane(10.0f + std::fabs(any(random)) * 20.0f);
        SWmatrix built;
        camera.BuildViewMatrix(built);
        const std::array<double, 16> reference = ReferenceViewMatrix(camera);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(built[i], reference[i], 1e-4 * (1.0 + std::fabs(reference[i]))) << i;
    }
}

TEST(RenderCameraMatrix, DirectionAlongUpStaysFinite)
{
    SWrendercamera camera;
    camera.SetDirection(0.0f, 2.0f, 0.0f);
    SWmatrix built;
    camera.BuildViewMatrix(built);
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(built[i])) << i;
}

TEST(RenderCameraMatrix, DefaultCameraPutsNearAndFarOnTheVolume)
{
    SWrendercamera camera;
    SWmatrix built;
    camera.BuildViewMatrix(built);
    // The direction is the camera's backward axis, so what it sees lies on -z. The position is the window's plane
    // and the projection centre sits e.z = 1 behind it: the far plane is 50 from the centre, and the default
    // window (1.0 wide at distance 1) spans 2 atan 0.5, its edge on the plane x = -z.
    const SWvector far = built.TransformPoint({0.0f, 0.0f, -49.0f});
    EXPECT_FLOAT_EQ(far.z, -1.0f);
    const SWvector edge = built.TransformPoint({0.5f, 0.0f, 0.0f});
    EXPECT_FLOAT_EQ(edge.x, -edge.z);
}

TEST(RenderSurfaceViewport, FactorsAndNearValueOfANewCamera)
{
    ReadySurface ready;
    ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
    const SWviewport& v = ready.surface.Viewport();
    EXPECT_EQ(v.xScale, -320.0f);
    EXPECT_EQ(v.xOffset, 320.0f);
    EXPECT_EQ(v.yScale, 240.0f);
    EXPECT_EQ(v.yOffset, 240.0f);
    EXPECT_FLOAT_EQ(ready.surface.NearValue(), -0.003f);
    EXPECT_EQ(ready.surface.GetClipper()->GetNearPlane(), ready.surface.NearValue());
}

TEST(RenderSurfaceViewport, NearZeroKeepsTheNearValueOffZero)
{
    ReadySurface ready;
    ready.camera.SetNearPlane(0.0f);
    ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
    EXPECT_EQ(std::bit_cast<uint32_t>(ready.surface.NearValue()), 0xAEDBE6FFu);
}

TEST(RenderSurfaceViewport, InterlacedFieldsSplitAnOddHeight)
{
    ReadySurface ready(640, 481);
    ASSERT_TRUE(ready.surface.SetRenderMode(1));
    ASSERT_TRUE(ready.surface.SetPhase(0));
    ready.surface.GetViewMatrix(ready.matrix);
    EXPECT_EQ(ready.surface.Viewport().yScale, 120.5f);
    EXPECT_EQ(ready.surface.Viewport().yOffset, 120.5f);
    ASSERT_TRUE(ready.surface.SetPhase(1));
    ready.surface.GetViewMatrix(ready.matrix);
    EXPECT_EQ(ready.surface.Viewport().yScale, 120.0f);
    EXPECT_EQ(ready.surface.Viewport().yOffset, 361.0f);
}

TEST(RenderSurfaceViewport, JitterShiftsTheWindowOnlyWhileBuilding)
{
    ReadySurface ready(100, 100);
    ready.camera.SetWindowX(-0.5f, 0.5f);
    const SWrendercamera::Window before = ready.camera.GetWindow();
    ready.surface.SetJitter(0.5f, 0.0f);
    ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
    const SWrendercamera::Window after = ready.camera.GetWindow();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    SWrendercamera shifted = ready.camera;
    shifted.SetWindowX(-0.495f, 0.505f);
    SWmatrix expected;
    shifted.BuildViewMatrix(expected);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(ready.matrix[i], expected[i], 1e-7f) << i;
    SWmatrix unshifted;
    ready.camera.BuildViewMatrix(unshifted);
    EXPECT_NE(ready.matrix[2], unshifted[2]);
}

TEST(RenderSurfaceSettings, RefusedValuesChangeNothing)
{
    SWrendersurface surface;
    EXPECT_FALSE(surface.SetSupersampling(2, 1));
    EXPECT_FALSE(surface.SetSupersampling(3, 3));
    EXPECT_EQ(surface.GetSupersampling(), 1u);
    EXPECT_TRUE(surface.SetRenderMode(2));
    EXPECT_FALSE(surface.SetRenderMode(3));
    EXPECT_EQ(surface.GetRenderMode(), 2u);
    EXPECT_TRUE(surface.SetPhase(1));
    EXPECT_FALSE(surface.SetPhase(2));
    EXPECT_EQ(surface.GetPhase(), 1u);
    EXPECT_EQ(surface.GetId(), 0x54464F53u);
    uint32_t id = surface.GetId();
    EXPECT_EQ(std::memcmp(&id, "SOFT", 4), 0);
}

TEST(RenderSurfaceSettings, WithoutInitEveryDrawingOperationAnswersFalse)
{
    SWrendercamera camera;
    SWrendersurface surface; // as a surface whose Init ran out of memory
    surface.SetCamera(&camera);
    surface.Resize(32, 32);
    EXPECT_FALSE(surface.CanDraw());
    EXPECT_TRUE(surface.BeginFrame());
    float matrix[16] = {};
    EXPECT_FALSE(surface.GetViewMatrix(matrix));
    EXPECT_FALSE(surface.Draw(nullptr, nullptr, nullptr));
    ASSERT_NE(surface.NewDirectDrawRecord(), nullptr);
    EXPECT_FALSE(surface.Flush());
    EXPECT_EQ(surface.ChainA(), nullptr);
    ASSERT_NE(surface.Queue().NewBatch(), nullptr);
    EXPECT_FALSE(surface.EndFrame());
    EXPECT_TRUE(surface.Queue().IsEmpty());
}

TEST(RenderTargetScratch, SlotIsReusedOnlyWhileItsCapacityExceedsTheRequest)
{
    SWrendersurface surface;
    void* const first = surface.GetScratch(100, 3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(surface.ScratchCapacity(3), ((100u + 64) | 16) & ~3u);
    EXPECT_EQ(surface.ScratchCapacity(3), 180u);
    EXPECT_EQ(surface.GetScratch(179, 3), first);
    EXPECT_EQ(surface.GetScratch(0, 3), first);
    ASSERT_NE(surface.GetScratch(180, 3), nullptr); // a capacity equal to the request is not enough
    EXPECT_EQ(surface.ScratchCapacity(3), 244u);
    surface.GetScratch(300, 3);
    EXPECT_EQ(surface.ScratchCapacity(3), ((300u + 64) | 16) & ~3u);
    EXPECT_EQ(surface.GetScratch(10, 10), nullptr);
    EXPECT_EQ(surface.ScratchCapacity(0), 0u);
}

// A scratch buffer is lent again only once every reference handed out is back: records that wait to be drawn
// keep theirs, and a buffer too small for the next request is made anew.
TEST(RenderTargetScratch, VertexAndIndexScratchReuseAndReferences)
{
    SWrendersurface surface;
    SWvertexbuffer* const vertices = surface.GetVertexScratch(2, 100);
    ASSERT_NE(vertices, nullptr);
    SWvertexbuffer* const second = surface.GetVertexScratch(1, 100);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, vertices);       // the first is still held
    EXPECT_EQ(vertices->AddRef(), 2u); // the surface's and the one handed out
    vertices->Release();
    vertices->Release();
    EXPECT_EQ(surface.GetVertexScratch(2, 50), vertices);
    vertices->Release();
    second->Release();
    SWvertexbuffer* const wider = surface.GetVertexScratch(3, 100);
    ASSERT_NE(wider, nullptr);
    EXPECT_EQ(static_cast<SWsoftvertexbuffer*>(wider)->StrideBytes(), 48u);
    EXPECT_EQ(wider->Release(), 1u);

    SWindexbuffer* const indices = surface.GetIndexScratch(30);
    ASSERT_NE(indices, nullptr);
    SWindexbuffer* const other = surface.GetIndexScratch(30);
    EXPECT_NE(other, indices);
    EXPECT_EQ(indices->Release(), 1u);
    EXPECT_EQ(other->Release(), 1u);
    EXPECT_EQ(surface.GetIndexScratch(20), indices);
    EXPECT_EQ(indices->Release(), 1u);
    SWindexbuffer* const longer = surface.GetIndexScratch(31);
    EXPECT_EQ(static_cast<SWsoftindexbuffer*>(longer)->IndexCount(), 31u);
    EXPECT_EQ(longer->Release(), 1u);
}

TEST(RenderSurfaceModes, SupersamplingDrawsTwiceTheSizeAndHalvesIntoC)
{
    ReadySurface ready(40, 30);
    ASSERT_TRUE(ready.surface.SetSupersampling(2, 2));
    ready.surface.BeginFrame();
    EXPECT_EQ(ready.surface.BufferA().Width(), 80);
    EXPECT_EQ(ready.surface.BufferA().Height(), 60);
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 80; ++x)
            ready.surface.BufferA().Row(y)[x] = (x & 1) ? 0x00FF0000u : 0x000000FFu;
    for (int32_t y = 0; y < 60; ++y)
        ready.surface.BufferA().CurrentMask(y) = ~0u;
    ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
    EXPECT_EQ(ready.surface.Viewport().xOffset, 40.0f);
    ASSERT_TRUE(ready.surface.EndFrame());
    SWpixelbuffer* const shown = ready.surface.GetCurrentBuffer();
    ASSERT_EQ(shown, &ready.surface.BufferC());
    EXPECT_EQ(shown->Width(), 40);
    EXPECT_EQ(shown->Height(), 30);
    EXPECT_EQ(shown->Row(0)[0], 0x007F007Fu);
}

TEST(RenderSurfaceModes, StereoPhaseOneMixesBIntoA)
{
    ReadySurface ready(16, 8);
    ASSERT_TRUE(ready.surface.SetRenderMode(2));
    ready.surface.SetPhase(0);
    ready.surface.BeginFrame();
    ready.surface.EndFrame();
    for (int32_t x = 0; x < 16; ++x)
        ready.surface.BufferA().Row(3)[x] = 0x00FF0000u;
    ready.surface.SetPhase(1);
    ready.surface.BeginFrame();
    ASSERT_EQ(ready.surface.GetCurrentBuffer(), &ready.surface.BufferB());
    for (int32_t x = 0; x < 16; ++x)
        ready.surface.BufferB().Row(3)[x] = 0x00FFFFFFu;
    ASSERT_TRUE(ready.surface.EndFrame());
    const uint32_t mixed = ready.surface.BufferA().Row(3)[0];
    EXPECT_NE(mixed, 0x00FF0000u);
    EXPECT_EQ(ready.surface.BufferB().Row(3)[0], mixed); // written back for the next frame's view
}

TEST(RenderSurfaceModes, AttachedImageReceivesTheFrameAndKeepsItsSize)
{
    SWimage32 image("snapshot", 24, 18, nullptr);
    SWrendersurface surface;
    ASSERT_TRUE(surface.Init());
    EXPECT_FALSE(surface.AttachImage(nullptr));
    ASSERT_TRUE(surface.AttachImage(&image));
    surface.BeginFrame();
    EXPECT_EQ(surface.GetBufferWidth(), 24u);
    EXPECT_EQ(surface.GetBufferHeight(), 18u);
    EXPECT_EQ(surface.GetCurrentBuffer()->Row(0), image.GetPixelBuffer());
    EXPECT_TRUE(surface.EndFrame());
    EXPECT_EQ(image.GetWidth(), 24);
}

// A triangle far larger than the view at one depth is clipped to the view's square and drawn through the queue
// and EndFrame: every pixel is covered, and nothing is written outside the buffer. Seen from the front (clockwise
// on the screen) it covers the view; from the back the rasteriser draws nothing, so clipping kept the winding.
TEST(RenderSurfaceFrame, ClippedTriangleCoversTheWholeView)
{
    for (const bool reversed : {true, false}) {
        SCOPED_TRACE(reversed);
        ReadySurface ready(48, 36);
        ready.surface.RefreshBuffers();
        ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
        SWrenderbatch* const batch = ready.surface.Queue().NewBatch();
        SWtexturestages* const format = batch->TakeFormatRecord();
        format->colourCount = 2;
        format->firstFloatWord = 6;
        format->vertexStride = 6;
        format->combineMode = 3;
        format->flags = 3; // depth test and write
        const float corners[3][2] = {{-40.0f, -30.0f}, {40.0f, -30.0f}, {0.0f, 50.0f}};
        SWprimitivenode* const node = batch->AllocPrimitives(1);
        uint32_t* const words = batch->TakeWords(18);
        uint8_t codes[3];
        for (int i = 0; i < 3; ++i) {
            const int corner = reversed ? 2 - i : i;
            uint32_t* const v = words + 6 * i;
            v[0] = std::bit_cast<uint32_t>(corners[corner][0]);
            v[1] = std::bit_cast<uint32_t>(corners[corner][1]);
            v[2] = std::bit_cast<uint32_t>(-0.5f);
            v[3] = 0;
            v[4] = 0x00FF8040u;
            v[5] = 0;
            const float x = corners[corner][0], y = corners[corner][1], z = -0.5f;
            codes[i] = (x < z ? 1 : 0) | (x > -z ? 2 : 0) | (y < z ? 4 : 0) | (y > -z ? 8 : 0);
        }
        node->format = format;
        node->vertices = words;
        batch->AppendPrimitives(node);
        ready.surface.GetClipper()->ClipQueuedTriangle(node, codes, *batch);
        ASSERT_GE(batch->NodeCount(), 2u);
        for (int i = 0; i < 3; ++i)
            ready.surface.GetClipper()->Project(words + 6 * i);
        ASSERT_TRUE(ready.surface.EndFrame());
        int covered = 0;
        for (int32_t y = 0; y < 36; ++y)
            for (int32_t x = 0; x < 48; ++x)
                covered += ready.surface.BufferA().Row(y)[x] == 0x00FF8040u ? 1 : 0;
        EXPECT_EQ(covered, reversed ? 48 * 36 : 0);
        EXPECT_EQ(ready.surface.GetRasteriser()->Stats().skippedTriangles, 0u);
    }
}

// A triangle far larger than the view, clockwise on the screen, queued and clipped to the view in one colour.
void QueueViewFillingTriangle(SWrendersurface& surface, uint32_t colour)
{
    const float corners[3][2] = {{0.0f, 50.0f}, {40.0f, -30.0f}, {-40.0f, -30.0f}};
    QueueFlatTriangle(surface, corners, colour);
}

// Interlaced, each field is drawn into its own half of the buffer: field 0 the first (H + 1) / 2 rows, field 1
// the rest, so a full-view triangle in each field's colour fills exactly its half.
TEST(RenderSurfaceModes, InterlacedFieldsDrawOnlyIntoTheirHalves)
{
    const uint32_t colours[2] = {0x00FF8040u, 0x004080FFu};
    ReadySurface ready(16, 9);
    ASSERT_TRUE(ready.surface.SetRenderMode(1));
    for (uint32_t phase = 0; phase < 2; ++phase) {
        SCOPED_TRACE(phase);
        ASSERT_TRUE(ready.surface.SetPhase(phase));
        ready.surface.BeginFrame();
        ready.surface.RefreshBuffers();
        ASSERT_TRUE(ready.surface.GetViewMatrix(ready.matrix));
        QueueViewFillingTriangle(ready.surface, colours[phase]);
        ASSERT_TRUE(ready.surface.EndFrame());
        for (int32_t y = 0; y < 9; ++y) {
            const bool isOwnHalf = (y < 5) == (phase == 0);
            int own = 0;
            for (int32_t x = 0; x < 16; ++x)
                own += ready.surface.BufferA().Row(y)[x] == colours[phase] ? 1 : 0;
            EXPECT_EQ(own, isOwnHalf ? 16 : 0) << "row " << y;
        }
    }
}

} // namespace
