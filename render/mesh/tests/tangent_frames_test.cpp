#include "render/mesh/tangent_frames.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Mesh {
    std::vector<float> vertices;
    std::vector<float> coordinates;
    std::vector<uint16_t> triangles;

    void Add(float x, float y, float z, float u, float v)
    {
        vertices.insert(vertices.end(), {x, y, z, 0.0f, 0.0f, 1.0f});
        coordinates.insert(coordinates.end(), {u, v});
    }
    std::vector<SWtangentframe> Frames(uint32_t* outSkipped = nullptr) const
    {
        std::vector<SWtangentframe> frames;
        const uint32_t skipped = ComputeTangentFrames({vertices, coordinates, triangles}, frames);
        if (outSkipped != nullptr)
            *outSkipped = skipped;
        return frames;
    }
};

void ExpectFrame(const SWtangentframe& frame, const SWtangentframe& expected)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(frame[i], expected[i], 1e-6f) << "element " << i;
}

constexpr SWtangentframe kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};

TEST(TangentFrames, PlanarQuadHasTAlongUBAlongVAndTheFaceNormal)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0, 0);
    mesh.Add(2, 0, 0, 1, 0);
    mesh.Add(2, 2, 0, 1, 1);
    mesh.Add(0, 2, 0, 0, 1);
    mesh.triangles = {0, 1, 2, 0, 2, 3};
    const auto frames = mesh.Frames();
    ASSERT_EQ(frames.size(), 6u);
    for (const SWtangentframe& frame : frames)
        ExpectFrame(frame, kIdentity);
}

TEST(TangentFrames, EqualCoordinatesTakeTheEdgesAsTangentAndBinormal)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0.5f, 0.5f);
    mesh.Add(0, 0, 3, 0.5f, 0.5f); // e1 along z
    mesh.Add(0, 4, 0, 0.5f, 0.5f); // e2 along y
    mesh.triangles = {0, 1, 2};
    // T along e1 (z), B along e2 (y), N = T x B = -x, which the face normal e1 x e2 = -x confirms.
    ExpectFrame(mesh.Frames()[0], {0, 0, -1, 0, 1, 0, 1, 0, 0});
}

TEST(TangentFrames, CollinearCoordinatesStayFinite)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0, 0);
    mesh.Add(1, 0, 0, 1, 1);
    mesh.Add(0, 1, 0, 2, 2);
    mesh.triangles = {0, 1, 2};
    for (const SWtangentframe& frame : mesh.Frames())
        for (float value : frame)
            EXPECT_TRUE(std::isfinite(value));
}

TEST(TangentFrames, MirroredMappingKeepsTheNormalOnTheFront)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0, 0);
    mesh.Add(1, 0, 0, -1, 0); // u runs against x
    mesh.Add(0, 1, 0, 0, 1);
    mesh.triangles = {0, 1, 2};
    // T = -x, B = y: T x B = -z, flipped onto the face normal +z.
    ExpectFrame(mesh.Frames()[0], {-1, 0, 0, 0, 1, 0, 0, 0, 1});
}

TEST(TangentFrames, SharedVertexCarriesTheNormalisedSumOnEveryTriangle)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0, 0);
    mesh.Add(1, 0, 0, 1, 0);
    mesh.Add(0, 1, 0, 0, 1);
    mesh.Add(-1, 0, 0, 1, 0);
    mesh.triangles = {0, 1, 2, 0, 2, 3}; // the first frame is the identity, the second has T = -x
    const auto frames = mesh.Frames();
    // Vertex 0 and 2 sum (1, 0, 0) and (-1, 0, 0) in their first row: a zero row, kept finite.
    const SWtangentframe shared{0, 0, 0, 0, 1, 0, 0, 0, 1};
    ExpectFrame(frames[0], shared);
    ExpectFrame(frames[3], shared);
    ExpectFrame(frames[2], shared);
    ExpectFrame(frames[4], shared);
    ExpectFrame(frames[1], kIdentity);
    ExpectFrame(frames[5], {-1, 0, 0, 0, 1, 0, 0, 0, 1});
}

TEST(TangentFrames, TriangleWithAnIndexBeyondTheVerticesIsSkipped)
{
    Mesh mesh;
    mesh.Add(0, 0, 0, 0, 0);
    mesh.Add(1, 0, 0, -1, 0);
    mesh.Add(0, 1, 0, 0, 1);
    mesh.triangles = {0, 1, 2, 0, 1, 99};
    uint32_t skipped = 0;
    const auto frames = mesh.Frames(&skipped);
    EXPECT_EQ(skipped, 1u);
    ASSERT_EQ(frames.size(), 6u);
    ExpectFrame(frames[0], {-1, 0, 0, 0, 1, 0, 0, 0, 1}); // untouched by the bad triangle
    ExpectFrame(frames[3], kIdentity);
}

} // namespace
