#include "render/mesh/clipper.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "render/format_record.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_surface.h"

namespace {

struct ClipVertex {
    float x, y, z;
    uint32_t colour = 0;
    float u = 0.0f;
};

uint8_t OutcodeOf(float x, float y, float z, float nearValue)
{
    uint8_t code = 0;
    code |= x < z ? 1 : 0;
    code |= x > -z ? 2 : 0;
    code |= y < z ? 4 : 0;
    code |= y > -z ? 8 : 0;
    code |= z > nearValue ? 16 : 0;
    code |= z < -1.0f ? 32 : 0;
    return code;
}

float F(const uint32_t* vertex, int word)
{
    return std::bit_cast<float>(vertex[word]);
}

// A 64 x 48 surface, its frame's factors set, with one open batch of triangles of the given stride: words 0-3,
// one colour at word 4, float attributes after.
class ClipperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_surface.Init());
        m_surface.SetCamera(&m_camera);
        m_surface.Resize(64, 48);
        m_surface.BeginFrame();
        float matrix[16];
        ASSERT_TRUE(m_surface.GetViewMatrix(matrix));
        m_batch = m_surface.Queue().NewBatch();
        ASSERT_NE(m_batch, nullptr);
        SetStride(6);
    }
    void TearDown() override { m_surface.EndFrame(); }

    void SetStride(int stride)
    {
        m_format = m_batch->TakeFormatRecord();
        m_format->vertexStride = static_cast<uint8_t>(stride);
        m_format->firstFloatWord = 5;
        m_format->colourCount = 1;
    }
    float NearValue() const { return m_surface.NearValue(); }

    SWprimitivenode* Queue(const std::array<ClipVertex, 3>& corners)
    {
        const int stride = m_format->vertexStride;
        SWprimitivenode* const node = m_batch->AllocPrimitives(1);
        uint32_t* const words = m_batch->TakeWords(3 * stride);
        for (int i = 0; i < 3; ++i) {
            uint32_t* const v = words + i * stride;
            std::fill(v, v + stride, 0u);
            v[0] = std::bit_cast<uint32_t>(corners[i].x);
            v[1] = std::bit_cast<uint32_t>(corners[i].y);
            v[2] = std::bit_cast<uint32_t>(corners[i].z);
            v[4] = corners[i].colour;
            for (int w = 5; w < stride; ++w)
                v[w] = std::bit_cast<uint32_t>(corners[i].u);
            m_codes[i] = OutcodeOf(corners[i].x, corners[i].y, corners[i].z, NearValue());
        }
        node->format = m_format;
        node->vertices = words;
        m_batch->AppendPrimitives(node);
        return node;
    }
    SWprimitivenode* Clip(SWprimitivenode* node)
    {
        return m_surface.GetClipper()->ClipQueuedTriangle(node, m_codes, *m_batch);
    }
    bool IsListed(const SWprimitivenode* node) const
    {
        for (const SWprimitivenode* n = m_batch->FirstNode(); n != m_batch->EndNode(); n = n->next)
            if (n == node)
                return true;
        return false;
    }

    SWrendercamera m_camera;
    SWrendersurface m_surface;
    SWrenderbatch* m_batch = nullptr;
    SWtexturestages* m_format = nullptr;
    uint8_t m_codes[3] = {};
};

TEST_F(ClipperTest, TriangleWhollyInsideIsLeftAlone)
{
    SWprimitivenode* const node = Queue({{{0.0f, 0.0f, -0.5f}, {0.1f, 0.0f, -0.5f}, {0.0f, 0.1f, -0.5f}}});
    const std::vector<uint32_t> before(node->vertices, node->vertices + 18);
    EXPECT_EQ(Clip(node), node);
    EXPECT_TRUE(IsListed(node));
    EXPECT_EQ(m_batch->NodeCount(), 1u);
    EXPECT_EQ(std::vector<uint32_t>(node->vertices, node->vertices + 18), before);
}

TEST_F(ClipperTest, TriangleBeyondOnePlaneIsUnlinkedWithItsLinksKept)
{
    SWprimitivenode* const first = Queue({{{0.0f, 0.0f, -0.5f}, {0.1f, 0.0f, -0.5f}, {0.0f, 0.1f, -0.5f}}});
    SWprimitivenode* const outside = Queue({{{-2.0f, 0.0f, -0.5f}, {-3.0f, 0.0f, -0.5f}, {-2.0f, 0.1f, -0.5f}}});
    const std::array<uint8_t, 3> outsideCodes{m_codes[0], m_codes[1], m_codes[2]};
    SWprimitivenode* const last = Queue({{{0.0f, 0.0f, -0.5f}, {0.1f, 0.0f, -0.5f}, {0.0f, 0.1f, -0.5f}}});
    std::copy(outsideCodes.begin(), outsideCodes.end(), m_codes);
    Clip(outside);
    EXPECT_FALSE(IsListed(outside));
    EXPECT_EQ(outside->prev, first);
    EXPECT_EQ(outside->next, last);
    EXPECT_EQ(first->next, last);
    EXPECT_EQ(last->prev, first);
    EXPECT_EQ(m_batch->NodeCount(), 2u);
}

TEST_F(ClipperTest, OneSideCutGivesTwoTrianglesOfTheQuadrilateral)
{
    // p0 and p1 inside, p2 beyond x = -z.
    SWprimitivenode* const node = Queue({{{0.0f, 0.0f, -0.5f}, {0.0f, 0.2f, -0.5f}, {1.0f, 0.0f, -0.5f}}});
    Clip(node);
    ASSERT_EQ(m_batch->NodeCount(), 2u);
    const SWprimitivenode* const fan = node->next;
    ASSERT_NE(fan, m_batch->EndNode());
    // The walk starts at the edge p2 -> p0, so the polygon is (cut p2-p0, p0, p1, cut p1-p2).
    const uint32_t* const p = node->vertices;
    EXPECT_FLOAT_EQ(F(p, 0), 0.5f);
    EXPECT_FLOAT_EQ(F(p + 6, 0), 0.0f);
    SWclipper& clipper = *m_surface.GetClipper();
    std::vector<uint32_t> v0(p, p + 6);
    std::vector<uint32_t> v2(p + 12, p + 18);
    clipper.Project(v0.data());
    clipper.Project(v2.data());
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ(fan->vertices[w], v0[w]) << w;
        EXPECT_EQ(fan->vertices[6 + w], v2[w]) << w;
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_LE(F(p + 6 * i, 0), -F(p + 6 * i, 2));
}

TEST_F(ClipperTest, EdgeAcrossBothSidePlanesGivesTwoVerticesInOnePass)
{
    SWprimitivenode* const node = Queue({{{-2.0f, 0.0f, -0.5f}, {2.0f, 0.0f, -0.5f}, {0.0f, 0.1f, -0.5f}}});
    Clip(node);
    // The long edge gives two cuts and each short edge one more: with the tip, five corners, three triangles.
    EXPECT_TRUE(IsListed(node));
    EXPECT_EQ(m_batch->NodeCount(), 3u);
    EXPECT_EQ(m_surface.GetClipper()->FanTrianglesMade(), 2u);
}

TEST_F(ClipperTest, ColoursBlendByTruncatedWeightsAndNearCutsAreExact)
{
    // Far plane at t = 0.5 exactly: z runs from -1.5 to -0.5.
    SWprimitivenode* const node = Queue({{{0.0f, 0.0f, -1.5f, 0x00000000u, 0.0f},
                                          {0.0f, 0.2f, -0.5f, 0xFFFFFFFFu, 1.0f},
                                          {0.2f, 0.0f, -0.5f, 0xFFFFFFFFu, 1.0f}}});
    Clip(node);
    bool sawCut = false;
    for (int i = 0; i < 3; ++i) {
        const uint32_t* v = node->vertices + 6 * i;
        if (F(v, 2) == -1.0f) {
            sawCut = true;
            EXPECT_EQ(v[4], 0x7F7F7F7Fu);
            EXPECT_FLOAT_EQ(F(v, 5), 0.5f);
        }
    }
    EXPECT_TRUE(sawCut);

    SWprimitivenode* const nearCut = Queue({{{0.0f, 0.0f, 0.5f}, {0.0f, 0.001f, -0.5f}, {0.001f, 0.0f, -0.5f}}});
    Clip(nearCut);
    int onNear = 0;
    for (int i = 0; i < 3; ++i)
        onNear += F(nearCut->vertices + 6 * i, 2) == NearValue() ? 1 : 0;
    EXPECT_EQ(onNear, 2);
}

TEST_F(ClipperTest, WidestStrideCutBySixPlanesStaysInsideTheWorkBuffers)
{
    SetStride(255);
    SWprimitivenode* const node = Queue({{{-40.0f, -40.0f, 0.5f}, {40.0f, -40.0f, -3.0f}, {0.0f, 60.0f, -1.2f}}});
    Clip(node);
    EXPECT_LE(m_batch->NodeCount(), 7u);
    for (const SWprimitivenode* n = m_batch->FirstNode(); n != m_batch->EndNode(); n = n->next)
        EXPECT_EQ(n->format->vertexStride, 255);
}

// Random triangles through the same call the mesh renderer makes: every surviving vertex lies in the volume
// (the first triangle before projection, the fan after it, on the screen).
TEST_F(ClipperTest, RandomTrianglesLeaveOnlyVerticesInsideTheVolume)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> any(-3.0f, 1.0f);
    for (int trial = 0; trial < 2000; ++trial) {
        SCOPED_TRACE(trial);
        SWprimitivenode* const node = Queue({{{any(random), any(random), any(random)},
                                              {any(random), any(random), any(random)},
                                              {any(random), any(random), any(random)}}});
        SWprimitivenode* const tailBefore = m_batch->EndNode()->prev;
        Clip(node);
        if (!IsListed(node))
            continue;
        for (int i = 0; i < 3; ++i) {
            const uint32_t* v = node->vertices + 6 * i;
            const float z = F(v, 2);
            EXPECT_LE(z, NearValue() + 1e-5f);
            EXPECT_GE(z, -1.0f - 1e-5f);
            EXPECT_LE(std::fabs(F(v, 0)), -z + 1e-5f);
            EXPECT_LE(std::fabs(F(v, 1)), -z + 1e-5f);
        }
        for (const SWprimitivenode* n = tailBefore->next; n != m_batch->EndNode(); n = n->next) {
            if (n == node)
                continue;
            for (int i = 0; i < 3; ++i) {
                const uint32_t* v = n->vertices + 6 * i;
                EXPECT_GE(F(v, 0), -1e-2f);
                EXPECT_LE(F(v, 0), 64.0f + 1e-2f);
                EXPECT_GE(F(v, 1), -1e-2f);
                EXPECT_LE(F(v, 1), 48.0f + 1e-2f);
                EXPECT_GE(F(v, 2), -1e-5f);
                EXPECT_LE(F(v, 2), 1.0f + 1e-5f);
            }
        }
    }
}

// Near distance 0 puts the near plane at -1e-10; a side cut between a corner there and one at -0.5 once rounded
// to z = 0, which projects to infinity and lost the triangle.
TEST_F(ClipperTest, SideCutNextToATinyNearValueStaysInFrontOfTheEye)
{
    m_camera.SetNearPlane(0.0f);
    float matrix[16];
    ASSERT_TRUE(m_surface.GetViewMatrix(matrix));
    SWprimitivenode* const node = Queue(
        {{{0.0f, 0.001006411504931748f, -0.5f}, {-40.0f, -40.0f, 0.5f}, {1.0842103e-19f, 1.0842107e-19f, 2.7e-43f}}});
    SWprimitivenode* const tail = m_batch->EndNode()->prev;
    Clip(node);
    ASSERT_TRUE(IsListed(node));
    for (int i = 0; i < 3; ++i)
        EXPECT_LE(F(node->vertices + 6 * i, 2), NearValue());
    for (const SWprimitivenode* n = tail->next; n != m_batch->EndNode(); n = n->next)
        for (int i = 0; i < 3; ++i)
            for (int w = 0; w < 4; ++w)
                EXPECT_TRUE(std::isfinite(F(n->vertices + 6 * i, w))) << "vertex " << i << " word " << w;
}

// A corner lying exactly on y = z is inside; the cut toward a far-outside corner must not be nudged toward it.
TEST_F(ClipperTest, CutFromACornerOnThePlaneIsNudgedInside)
{
    const float c = -0.37254899740219116f;
    SWprimitivenode* const node = Queue({{{c, -95.37254333496094f, c}, {c, c, c}, {c, c, c}}});
    m_codes[1] = m_codes[2] = 0; // on the planes x = z and y = z: inside
    m_codes[0] = OutcodeOf(c, -95.37254333496094f, c, NearValue());
    Clip(node);
    ASSERT_TRUE(IsListed(node));
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(F(node->vertices + 6 * i, 1), F(node->vertices + 6 * i, 2) - 1e-5f) << i;
}

// With the eye on the near plane (near value -1e-10) the side planes lie 2e-10 apart there; the nudge on a
// 100-unit edge along the near plane is 1.2e-5, which must not carry a cut across the opposite plane.
TEST_F(ClipperTest, NudgeAlongANearPlaneEdgeStaysBetweenTheSidePlanes)
{
    m_camera.SetNearPlane(0.0f);
    float matrix[16];
    ASSERT_TRUE(m_surface.GetViewMatrix(matrix));
    SWprimitivenode* const node =
        Queue({{{97.0f, 0.0f, 2.7e-43f}, {2.3e-38f, 1.7e-38f, -0.7475128f}, {-2.984375f, 0.0f, 2.1e-43f}}});
    Clip(node);
    ASSERT_TRUE(IsListed(node));
    for (int i = 0; i < 3; ++i) {
        const float x = F(node->vertices + 6 * i, 0);
        const float z = F(node->vertices + 6 * i, 2);
        EXPECT_LE(std::fabs(x), -z + 1e-5f) << "vertex " << i;
        EXPECT_LE(z, NearValue()) << "vertex " << i;
    }
}

TEST_F(ClipperTest, NonFiniteCornersNeverWriteOutsideTheirVertices)
{
    const float nan = std::nanf("");
    const float inf = INFINITY;
    SWprimitivenode* const node = Queue({{{nan, 0.0f, -0.5f}, {inf, -inf, 2.0f}, {0.0f, 0.1f, nan}}});
    m_codes[0] = 63;
    m_codes[2] = 63;
    Clip(node);
    EXPECT_LE(m_batch->NodeCount(), 7u);
}

} // namespace
