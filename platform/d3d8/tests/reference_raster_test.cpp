// The reference rasteriser against values worked out by hand: coverage by the top-left rule, texel-exact copies
// through the half-pixel offset, the stage operations, the depth functions and the address modes.
#include "platform/d3d8/reference_raster.h"

#include <gtest/gtest.h>

#include <vector>

namespace pf {
namespace {

struct Canvas {
    explicit Canvas(uint32_t w, uint32_t h, bool depth = false)
        : width(w), height(h), pixels(uint64_t{w} * h, 0), depths(depth ? uint64_t{w} * h : 0, 0xFFFFFFu)
    {
        state = D3DDeviceState::initial(depth, w, h);
        state.renderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    }
    RasterTarget target()
    {
        RasterTarget t;
        t.colour = {D3DFMT_X8R8G8B8, width, height, width * 4, reinterpret_cast<uint8_t*>(pixels.data())};
        t.depthFormat = D3DFMT_D24X8;
        t.depth = depths.empty() ? nullptr : depths.data();
        return t;
    }
    void draw(const std::vector<InputVertex>& vertices, const std::vector<uint32_t>& corners,
              const BoundTextures& textures = {})
    {
        drawTriangles(target(), state, textures, D3DFVF_XYZRHW, vertices, corners);
    }
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[uint64_t{y} * width + x] & 0xFFFFFFu; }

    uint32_t width, height;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> depths;
    D3DDeviceState state;
};

InputVertex vertex(float x, float y, uint32_t diffuse = 0xFFFFFFFFu, float u = 0, float v = 0, float z = 0.5f)
{
    InputVertex out;
    out.position = {x, y, z, 1.0f};
    out.diffuse = diffuse;
    out.uv[0] = {u, v};
    return out;
}

// Untextured, the default stage 0 passes the vertex colour through.
void quad(Canvas& c, float l, float t, float r, float b, uint32_t colour, float z = 0.5f)
{
    c.draw({vertex(l, t, colour, 0, 0, z), vertex(r, t, colour, 1, 0, z), vertex(l, b, colour, 0, 1, z),
            vertex(r, b, colour, 1, 1, z)},
           {0, 1, 2, 2, 1, 3});
}

TEST(ReferenceRasterTest, TiledMeshWithAdditiveBlendingCoversEveryPixelExactlyOnce)
{
    // A 5 x 4 grid of cells with fractional edges, each split along a diagonal; every triangle adds 1 to blue.
    Canvas c(23, 17);
    c.state.renderStates[D3DRS_ALPHABLENDENABLE] = 1;
    c.state.renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    c.state.renderStates[D3DRS_DESTBLEND] = D3DBLEND_ONE;
    std::vector<InputVertex> vertices;
    const float xs[6] = {-0.5f, 4.25f, 9.5f, 13.0f, 18.75f, 22.5f};
    const float ys[5] = {-0.5f, 3.0f, 7.5f, 12.25f, 16.5f};
    for (float y : ys)
        for (float x : xs)
            vertices.push_back(vertex(x, y, 0xFF000001u));
    std::vector<uint32_t> corners;
    for (uint32_t row = 0; row < 4; ++row)
        for (uint32_t col = 0; col < 5; ++col) {
            const uint32_t a = row * 6 + col, b = a + 1, d = a + 6, e = d + 1;
            corners.insert(corners.end(), {a, b, e, a, e, d});
        }
    c.draw(vertices, corners);
    for (uint32_t y = 0; y < c.height; ++y)
        for (uint32_t x = 0; x < c.width; ++x)
            ASSERT_EQ(c.at(x, y), 1u) << x << "," << y;
}

TEST(ReferenceRasterTest, HalfPixelOffsetQuadCopiesATextureTexelForTexel)
{
    constexpr uint32_t kW = 7, kH = 5;
    std::vector<uint32_t> texels(kW * kH);
    for (uint32_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | (i * 0x030507u);
    RasterImage image{D3DFMT_A8R8G8B8, kW, kH, kW * 4, reinterpret_cast<uint8_t*>(texels.data())};
    for (const uint32_t filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        Canvas c(kW, kH);
        c.state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
        c.state.stageStates[0][D3DTSS_MAGFILTER] = filter;
        c.state.stageStates[0][D3DTSS_MINFILTER] = filter;
        c.draw({vertex(-0.5f, -0.5f, ~0u, 0, 0), vertex(kW - 0.5f, -0.5f, ~0u, 1, 0),
                vertex(-0.5f, kH - 0.5f, ~0u, 0, 1), vertex(kW - 0.5f, kH - 0.5f, ~0u, 1, 1)},
               {0, 1, 2, 2, 1, 3}, {&image});
        for (uint32_t y = 0; y < kH; ++y)
            for (uint32_t x = 0; x < kW; ++x)
                ASSERT_EQ(c.at(x, y), texels[y * kW + x] & 0xFFFFFFu) << filter << ": " << x << "," << y;
    }
}

TEST(ReferenceRasterTest, StageOperationsGiveTheHandComputedValues)
{
    uint32_t texel = 0xFF80C040u;
    RasterImage image{D3DFMT_A8R8G8B8, 1, 1, 4, reinterpret_cast<uint8_t*>(&texel)};
    const auto run = [&](uint32_t op, uint32_t diffuse, uint32_t arg1 = D3DTA_TEXTURE, uint32_t arg2 = D3DTA_DIFFUSE) {
        Canvas c(2, 2);
        c.state.stageStates[0][D3DTSS_COLOROP] = op;
        c.state.stageStates[0][D3DTSS_COLORARG1] = arg1;
        c.state.stageStates[0][D3DTSS_COLORARG2] = arg2;
        c.state.renderStates[D3DRS_TEXTUREFACTOR] = 0xFF102030u;
        c.draw({vertex(-0.5f, -0.5f, diffuse), vertex(1.5f, -0.5f, diffuse), vertex(-0.5f, 1.5f, diffuse),
                vertex(1.5f, 1.5f, diffuse)},
               {0, 1, 2, 2, 1, 3}, {&image});
        return c.at(1, 1);
    };
    // MODULATE on bytes: (0x80 * 0x7F + 127) / 255 = 64, (0xC0 * 0x7F + 127) / 255 = 96, (0x40 * 0xFF + 127) / 255.
    EXPECT_EQ(run(D3DTOP_MODULATE, 0xFF7F7FFFu), 0x406040u);
    EXPECT_EQ(run(D3DTOP_ADD, 0xFF90300Fu), 0xFFF04Fu); // red saturates
    EXPECT_EQ(run(D3DTOP_SELECTARG2, 0xFF123456u), 0x123456u);
    EXPECT_EQ(run(D3DTOP_SELECTARG1, 0xFF123456u, D3DTA_TFACTOR), 0x102030u);
    EXPECT_EQ(run(D3DTOP_SELECTARG1, 0xFF123456u, D3DTA_TEXTURE | D3DTA_COMPLEMENT), 0x7F3FBFu);
    // DOTPRODUCT3: 4 * sum((a - 0.5)(b - 0.5)); a = b = (192, 128, 128) / 255 gives 4 * 0.063987 = 0.25595, and
    // 0.25595 * 255 = 65.27 in every channel; a unit vector along red gives 1.0003, saturated.
    EXPECT_EQ(run(D3DTOP_DOTPRODUCT3, 0xFFC08080u, D3DTA_DIFFUSE, D3DTA_DIFFUSE), 0x414141u);
    EXPECT_EQ(run(D3DTOP_DOTPRODUCT3, 0xFFFF8080u, D3DTA_DIFFUSE, D3DTA_DIFFUSE), 0xFFFFFFu);
    // Opposite directions give a negative dot, clamped to 0.
    EXPECT_EQ(run(D3DTOP_DOTPRODUCT3, 0xFFFF8080u, D3DTA_DIFFUSE, D3DTA_DIFFUSE | D3DTA_COMPLEMENT), 0u);
}

TEST(ReferenceRasterTest, EachDepthFunctionKeepsOrRejectsTheIncomingPixel)
{
    struct Case {
        uint32_t func;
        bool nearer, equal, farther; // whether an incoming pixel at that depth passes against 0.5
    };
    const Case cases[] = {{D3DCMP_NEVER, false, false, false},      {D3DCMP_LESS, true, false, false},
                          {D3DCMP_EQUAL, false, true, false},       {D3DCMP_LESSEQUAL, true, true, false},
                          {D3DCMP_GREATER, false, false, true},     {D3DCMP_NOTEQUAL, true, false, true},
                          {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true}};
    for (const Case& k : cases) {
        const float depths[3] = {0.25f, 0.5f, 0.75f};
        const bool expected[3] = {k.nearer, k.equal, k.farther};
        for (int i = 0; i < 3; ++i) {
            Canvas c(2, 2, true);
            c.state.renderStates[D3DRS_ZFUNC] = D3DCMP_ALWAYS;
            quad(c, -0.5f, -0.5f, 1.5f, 1.5f, 0xFF0000FFu, 0.5f);
            c.state.renderStates[D3DRS_ZFUNC] = k.func;
            quad(c, -0.5f, -0.5f, 1.5f, 1.5f, 0xFFFF0000u, depths[i]);
            EXPECT_EQ(c.at(0, 0), expected[i] ? 0xFF0000u : 0x0000FFu) << "func " << k.func << " depth " << depths[i];
        }
    }
    // Without z writes the buffer keeps the first value.
    Canvas c(2, 2, true);
    c.state.renderStates[D3DRS_ZWRITEENABLE] = 0;
    quad(c, -0.5f, -0.5f, 1.5f, 1.5f, 0xFF0000FFu, 0.25f);
    EXPECT_EQ(c.depths[0], quantiseDepth(D3DFMT_D24X8, 1.0f) & 0xFFFFFFu);
}

TEST(ReferenceRasterTest, WrapRepeatsAndClampHoldsTheEdgeTexelsBeyondTheBorder)
{
    uint32_t texels[2] = {0xFF0000FFu, 0xFFFF0000u}; // blue, red
    RasterImage image{D3DFMT_A8R8G8B8, 2, 1, 8, reinterpret_cast<uint8_t*>(texels)};
    // A quad four pixels wide with u from 0 to 2: two copies of the texture.
    const auto run = [&](uint32_t address) {
        Canvas c(4, 1);
        c.state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
        c.state.stageStates[0][D3DTSS_ADDRESSU] = address;
        c.state.stageStates[0][D3DTSS_ADDRESSV] = address;
        c.draw({vertex(-0.5f, -0.5f, ~0u, 0, 0), vertex(3.5f, -0.5f, ~0u, 2, 0), vertex(-0.5f, 0.5f, ~0u, 0, 1),
                vertex(3.5f, 0.5f, ~0u, 2, 1)},
               {0, 1, 2, 2, 1, 3}, {&image});
        return std::vector<uint32_t>{c.at(0, 0), c.at(1, 0), c.at(2, 0), c.at(3, 0)};
    };
    EXPECT_EQ(run(D3DTADDRESS_WRAP), (std::vector<uint32_t>{0xFFu, 0xFF0000u, 0xFFu, 0xFF0000u}));
    EXPECT_EQ(run(D3DTADDRESS_CLAMP), (std::vector<uint32_t>{0xFFu, 0xFF0000u, 0xFF0000u, 0xFF0000u}));

    // Coordinates far beyond the texture still read one of its texels (they once indexed outside it).
    for (const uint32_t address : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}) {
        Canvas c(2, 1);
        c.state.stageStates[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
        c.state.stageStates[0][D3DTSS_ADDRESSU] = address;
        c.state.stageStates[0][D3DTSS_MAGFILTER] = D3DTEXF_LINEAR;
        c.draw({vertex(-0.5f, -0.5f, ~0u, 3e38f, 0), vertex(1.5f, -0.5f, ~0u, -3e38f, 0),
                vertex(-0.5f, 0.5f, ~0u, 3e38f, 1)},
               {0, 1, 2}, {&image});
        EXPECT_TRUE(c.at(0, 0) == 0xFFu || c.at(0, 0) == 0xFF0000u) << address << ": " << c.at(0, 0);
    }
}

TEST(ReferenceRasterTest, CullingFollowsTheScreenWindingAndFarAwayCoordinatesDrawNothing)
{
    const std::vector<InputVertex> clockwise = {vertex(-0.5f, -0.5f, 0xFF00FF00u), vertex(3.5f, -0.5f, 0xFF00FF00u),
                                                vertex(-0.5f, 3.5f, 0xFF00FF00u)};
    for (const auto& [cull, drawn] : {std::pair{D3DCULL_NONE, true}, {D3DCULL_CW, false}, {D3DCULL_CCW, true}}) {
        Canvas c(4, 4);
        c.state.renderStates[D3DRS_CULLMODE] = cull;
        c.draw(clockwise, {0, 1, 2});
        EXPECT_EQ(c.at(0, 0), drawn ? 0x00FF00u : 0u) << cull;
    }
    Canvas c(4, 4);
    c.draw({vertex(-1e30f, 0, 0xFFFFFFFFu), vertex(1e30f, 0, 0xFFFFFFFFu), vertex(0, 1e30f, 0xFFFFFFFFu)}, {0, 1, 2});
    EXPECT_EQ(c.at(1, 1), 0u);
}

} // namespace
} // namespace pf
