#include "render/mesh/vertex_shading.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_target.h"

namespace {

class VertexShading : public ::testing::Test {
protected:
    void SetUp() override { m_drivers.Init(); } // fills the angle table
    void TearDown() override { m_drivers.Shutdown(); }

    SWhostdrivers m_drivers;
};

SWframelighting LightAlong(SWvector direction)
{
    SWframelighting lighting;
    lighting.light = {direction.x * 3000.0f, direction.y * 3000.0f, direction.z * 3000.0f};
    lighting.lightUnit = NormaliseTiny(lighting.light);
    return lighting;
}

TEST_F(VertexShading, ShadeFollowsTheAngleAndStaysInTheTable)
{
    const SWvector light = {0.0f, 0.0f, 1.0f};
    const float away[3] = {0.0f, 0.0f, -1.0f};
    const float along[3] = {0.0f, 0.0f, 1.0f};
    const float side[3] = {1.0f, 0.0f, 0.0f};
    EXPECT_EQ(ShadeOf(ShadeIndex(away, light)), 0);
    EXPECT_EQ(ShadeOf(ShadeIndex(side, light)), 0);
    EXPECT_EQ(ShadeOf(ShadeIndex(along, light)), 255);

    // Normals are not renormalised: a long one must still land on the last entry, and NaN on the first.
    const float longer[3] = {0.0f, 0.0f, 1.01f};
    EXPECT_EQ(ShadeIndex(longer, light), 16383u);
    const float huge[3] = {0.0f, 0.0f, 1e30f};
    EXPECT_EQ(ShadeIndex(huge, light), 16383u);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float broken[3] = {nan, 0.0f, nan};
    EXPECT_EQ(ShadeIndex(broken, light), 0u);
    // 60 degrees: the table is linear in the angle, so a third of the way up.
    const float sixty[3] = {std::sqrt(0.75f), 0.0f, 0.5f};
    EXPECT_NEAR(ShadeOf(ShadeIndex(sixty, light)), 255.0 / 3.0, 1.5);
}

TEST_F(VertexShading, OutcodesOnTheBoundaryAreInside)
{
    const float nearValue = -0.003f;
    EXPECT_EQ(VertexOutcode(0.5f, 0.5f, -0.5f, nearValue), 64); // on |x| = |z| and |y| = |z|
    EXPECT_EQ(VertexOutcode(-0.5f, 0.0f, -0.5f, nearValue), 64);
    EXPECT_EQ(VertexOutcode(0.0f, 0.0f, nearValue, nearValue), 64); // on the near plane
    EXPECT_EQ(VertexOutcode(0.0f, 0.0f, -1.0f, nearValue), 64);
    EXPECT_EQ(VertexOutcode(0.6f, 0.0f, -0.5f, nearValue), 2);
    EXPECT_EQ(VertexOutcode(-0.6f, -0.6f, -0.5f, nearValue), 1 | 4);
    EXPECT_EQ(VertexOutcode(0.0f, 0.6f, -0.5f, nearValue), 8);
    EXPECT_EQ(VertexOutcode(0.0f, 0.0f, -0.001f, nearValue), 16);
    EXPECT_EQ(VertexOutcode(0.0f, 0.0f, -1.5f, nearValue), 32);
}

TEST_F(VertexShading, HighlightAndReflectionPairs)
{
    SWframelighting lighting = LightAlong({0.0f, 0.0f, 1.0f});
    lighting.b1 = {1.0f, 0.0f, 0.0f};
    lighting.b2 = {0.0f, 1.0f, 0.0f};
    const float k = 0.25f;
    const float o = 0.484375f;
    float u = 0.0f;
    float v = 0.0f;
    const float facing[3] = {0.0f, 0.0f, 1.0f};
    HighlightPair(facing, 1.0f, lighting, k, o, u, v);
    EXPECT_FLOAT_EQ(u, o);
    EXPECT_FLOAT_EQ(v, o);
    // A back-facing normal lands in the ring between k and 2k around (o, o).
    const float back[3] = {0.6f, 0.0f, -0.8f};
    HighlightPair(back, -0.8f, lighting, k, o, u, v);
    const float distance = std::hypot(u - o, v - o);
    EXPECT_GT(distance, k);
    EXPECT_LT(distance, 2.0f * k);
    EXPECT_NEAR(distance, (2.0f - 0.6f) * k, 1e-5f);

    // A vertex at the eye point: V is the zero vector, so R = N.
    lighting.eye = {1.0f, 2.0f, 3.0f};
    lighting.viewX = {1.0f, 0.0f, 0.0f};
    lighting.viewY = {0.0f, 1.0f, 0.0f};
    const float position[3] = {1.0f, 2.0f, 3.0f};
    const float normal[3] = {0.4f, -0.2f, 0.0f};
    ReflectionPair(position, normal, lighting, u, v);
    EXPECT_FLOAT_EQ(u, 0.4f * 0.375f + 0.5f);
    EXPECT_FLOAT_EQ(v, -0.2f * 0.375f + 0.5f);
}

TEST_F(VertexShading, Dot3ColoursEncodeTheLightInTheFrame)
{
    const SWtangentframe identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    // Light along the normal: t = (0, 0, 1): red 0, green 127, blue 127.
    EXPECT_EQ(Dot3Colour(identity, {0.0f, 0.0f, 1.0f}), 0x007F7Fu);
    // Light along the tangent: t = (1, 0, 0).
    EXPECT_EQ(Dot3Colour(identity, {1.0f, 0.0f, 0.0f}), 0x7F7F00u);
    // Light against the binormal: t = (0, -1, 0), green 254.
    EXPECT_EQ(Dot3Colour(identity, {0.0f, -1.0f, 0.0f}), 0x7FFE7Fu);
    // T = (0, -1, 0), B = (1, 0, 0): t = L.x T + L.y B + L.z N = (-1, 0, 0) for L = (0, -1, 0), blue 254.
    const SWtangentframe turned = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    EXPECT_EQ(Dot3Colour(turned, {0.0f, -1.0f, 0.0f}), 0x7F7FFEu);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SWtangentframe broken = {nan, nan, nan, nan, nan, nan, nan, nan, nan};
    EXPECT_EQ(Dot3Colour(broken, {0.0f, 0.0f, 1.0f}), 0u);
}

TEST_F(VertexShading, FrameLightingIsAHeadlight)
{
    SWrendercamera camera;
    camera.SetPosition(0.0f, 0.0f, -5.0f);
    SWmatrix view;
    camera.BuildViewMatrix(view);
    SWframelighting lighting;
    SetUpFrameLighting(view, SWmatrix(), camera, lighting);
    // The eye is the point the view takes to its origin, on the camera's axis.
    const SWvector origin = lighting.combined.TransformPoint(lighting.eye);
    EXPECT_NEAR(origin.x, 0.0f, 1e-4f);
    EXPECT_NEAR(origin.y, 0.0f, 1e-4f);
    EXPECT_NEAR(origin.z, 0.0f, 1e-4f);
    EXPECT_NEAR(lighting.eye.x, 0.0f, 1e-4f);
    EXPECT_NEAR(lighting.eye.y, 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(lighting.light.z, -5.0f + 3000.0f);
    EXPECT_FLOAT_EQ(lighting.light.y, 600.0f);
    // The highlight basis is perpendicular to the light.
    EXPECT_NEAR(lighting.b1.x * lighting.light.x + lighting.b1.y * lighting.light.y + lighting.b1.z * lighting.light.z,
                0.0f, 1e-2f);
    EXPECT_NEAR(lighting.b2.x * lighting.lightUnit.x + lighting.b2.y * lighting.lightUnit.y +
                    lighting.b2.z * lighting.lightUnit.z,
                0.0f, 1e-5f);
}

// The stage writes only the visible vertices, only within the stride, and carries colour words as bits.
TEST_F(VertexShading, StageWritesVisibleVerticesWithinTheStride)
{
    SWdrawgroup group;
    group.vertices = {0.0f, 0.0f, -0.5f, 0.0f, 0.0f, 1.0f,  5.0f, 0.0f, -0.5f,
                      0.0f, 0.0f, -1.0f, 0.0f, 1.0f, -0.5f, 0.0f, 0.0f, 1.0f};
    group.drawFlags = kDrawShaded | kDrawReflection;
    group.stages.vertexStride = 8;
    group.stages.layerCount = 1;
    group.stages.layerFlags[0] = kStageReflection;
    group.layout = LayoutOf(group.stages);
    ASSERT_EQ(group.layout.reflectionWord, 6);

    std::vector<uint32_t> ramp1(256);
    std::vector<uint32_t> ramp2(256);
    for (uint32_t i = 0; i < 256; ++i) {
        ramp1[i] = 0xFF800000u | i; // an opaque colour whose bits are not a tidy float
        ramp2[i] = 0x7FC00001u + i; // NaN patterns must survive as bits
    }
    SWshadedata shade;
    shade.ramp1 = ramp1.data();
    shade.ramp2 = ramp2.data();
    SWframelighting lighting = LightAlong({0.0f, 0.0f, 1.0f});
    lighting.eye = {0.0f, 0.0f, 0.0f};
    lighting.viewX = {1.0f, 0.0f, 0.0f};
    lighting.viewY = {0.0f, 1.0f, 0.0f};
    const std::vector<uint32_t> visible = {0b011}; // vertices 0 and 1
    SWvertexstage stage;
    stage.group = &group;
    stage.lighting = &lighting;
    stage.shade = &shade;
    stage.visible = visible;
    stage.stride = 8;
    std::vector<uint32_t> out(3 * 8 + 1, 0xDEADBEEFu);
    std::vector<uint8_t> codes(3, 0);
    ShadeVertices(stage, out.data(), codes.data());
    EXPECT_EQ(out[4], ramp1[255]);
    EXPECT_EQ(out[5], ramp2[255]);
    EXPECT_EQ(out[8 + 4], ramp1[0]);
    EXPECT_EQ(out[8 + 5], ramp2[0]);
    EXPECT_EQ(codes[0], 64);
    EXPECT_EQ(codes[1], 2);
    EXPECT_EQ(codes[2], 0);          // not visible: untouched
    EXPECT_EQ(out[16], 0xDEADBEEFu); // nor its words
    EXPECT_EQ(out[24], 0xDEADBEEFu); // nothing past the last vertex

    // Projected: q = 1 / z with the viewport's factors.
    SWviewport viewport{-320.0f, 320.0f, 240.0f, 240.0f, 1.0f, 0.0f};
    stage.viewport = &viewport;
    ShadeVertices(stage, out.data(), nullptr);
    EXPECT_FLOAT_EQ(std::bit_cast<float>(out[0]), 320.0f);
    EXPECT_FLOAT_EQ(std::bit_cast<float>(out[3]), 2.0f);
    EXPECT_FLOAT_EQ(std::bit_cast<float>(out[8]), 5.0f * -2.0f * -320.0f + 320.0f);
}

} // namespace
