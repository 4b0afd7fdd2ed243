#include "render/software/rasteriser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/resources/image32.h"
#include "testsupport/render/raster_host.h"
#include "testsupport/render/raster_scene.h"

namespace {

using testsupport::PackVertices;
using testsupport::PrimitiveList;
using testsupport::RasterTestHost;
using testsupport::ScreenVertex;

int Channel(uint32_t pixel, int c)
{
    return static_cast<int>(pixel >> (8 * c) & 0xFF);
}

ScreenVertex Corner(float x, float y, float u, float v, float w = 1.0f, uint32_t colour = 0)
{
    ScreenVertex out;
    out.x = x;
    out.y = y;
    out.w = w;
    out.colours[0] = colour;
    out.uv[0][0] = u;
    out.uv[0][1] = v;
    return out;
}

// Pipeline 32 with zero vertex colours: the texel itself, alpha included.
SWtexturestages TexelFormat(const SWtexture* image, uint8_t filter)
{
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 1);
    format.combineMode = 4;
    format.layerCount = 1;
    format.images[0] = image;
    format.layerFlags[0] = filter;
    return format;
}

struct Drawing {
    explicit Drawing(int32_t side = 64) : host(side, side) { rasteriser.Create(&host); }

    void Triangles(const SWtexturestages& format, const std::vector<ScreenVertex>& vertices)
    {
        const std::vector<uint32_t> words = PackVertices(format, vertices);
        PrimitiveList list;
        for (size_t i = 0; i + 3 <= vertices.size(); i += 3)
            list.Add(&format, words.data() + i * format.vertexStride);
        rasteriser.DrawPrimitives(list.First());
    }
    // Clockwise a b c d.
    void Quad(const SWtexturestages& format, ScreenVertex a, ScreenVertex b, ScreenVertex c, ScreenVertex d)
    {
        Triangles(format, {a, b, c, a, c, d});
    }

    RasterTestHost host;
    SWrasteriser rasteriser;
};

TEST(RasterImages, GouraudFollowsTheBarycentricReference)
{
    Drawing drawing;
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 0);
    format.combineMode = 3;
    const double x[3] = {4, 60, 10}, y[3] = {4, 8, 58};
    const uint32_t colours[3] = {0xFF2010, 0x10F040, 0x3020E0};
    std::vector<ScreenVertex> v;
    for (int i = 0; i < 3; ++i)
        v.push_back(Corner(static_cast<float>(x[i]), static_cast<float>(y[i]), 0, 0, 1, colours[i]));
    drawing.Triangles(format, v);
    const double area = (y[2] - y[0]) * (x[1] - x[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    int checked = 0;
    for (int py = 0; py < 64; ++py) {
        for (int px = 0; px < 64; ++px) {
            const double cx = px + 0.5, cy = py + 0.5;
            const double s = ((y[2] - y[0]) * (cx - x[0]) - (x[2] - x[0]) * (cy - y[0])) / area;
            const double t = ((x[1] - x[0]) * (cy - y[0]) - (y[1] - y[0]) * (cx - x[0])) / area;
            if (s < 0.02 || t < 0.02 || s + t > 0.98)
                continue;
            ++checked;
            for (int c = 0; c < 3; ++c) {
                const double expected =
                    (1 - s - t) * Channel(colours[0], c) + s * Channel(colours[1], c) + t * Channel(colours[2], c);
                ASSERT_NEAR(Channel(drawing.host.Pixel(px, py), c), expected, 1.0) << px << "," << py << " " << c;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(RasterImages, NearestSelectsTheReferenceTexelAndBilinearReproducesTexelCentres)
{
    std::mt19937 random(5);
    std::vector<uint32_t> texels(32 * 32);
    for (uint32_t& t : texels)
        t = random();
    SWimage32 image("noise", 32, 32, texels.data());
    for (const uint8_t filter : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(int{filter});
        // 32 x 32 texels over 32 x 32 pixels: pixel centres are texel centres.
        Drawing drawing;
        drawing.Quad(TexelFormat(&image, filter), Corner(0, 0, 0, 0), Corner(32, 0, 1, 0), Corner(32, 32, 1, 1),
                     Corner(0, 32, 0, 1));
        for (int py = 0; py < 32; ++py)
            for (int px = 0; px < 32; ++px)
                ASSERT_EQ(drawing.host.Pixel(px, py), texels[py * 32 + px]) << px << "," << py;
    }
    // Nearest at a scale that is not a power of two: the texel a double-precision reference picks.
    Drawing drawing;
    drawing.Quad(TexelFormat(&image, 0), Corner(0, 0, 0, 0), Corner(60, 0, 1, 0), Corner(60, 60, 1, 1),
                 Corner(0, 60, 0, 1));
    int checked = 0;
    for (int py = 0; py < 60; ++py) {
        for (int px = 0; px < 60; ++px) {
            const double u = (px + 0.5) / 60 * 32, v = (py + 0.5) / 60 * 32;
            if (std::fabs(u - std::round(u)) < 0.01 || std::fabs(v - std::round(v)) < 0.01)
                continue;
            ++checked;
            ASSERT_EQ(drawing.host.Pixel(px, py), texels[static_cast<int>(v) * 32 + static_cast<int>(u)]);
        }
    }
    EXPECT_GT(checked, 3000);
}

TEST(RasterImages, CoordinatesOneApartSampleTheSameTexels)
{
    const std::vector<uint32_t> texels = [] {
        std::vector<uint32_t> t(64);
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<uint32_t>(i * 0x010203);
        return t;
    }();
    SWimage32 image("grid", 8, 8, texels.data());
    const SWtexturestages format = TexelFormat(&image, 0);
    Drawing drawing;
    for (const float base : {0.25f, 1.25f}) {
        const float left = base < 1 ? 0.0f : 32.0f;
        drawing.Quad(format, Corner(left, 0, base, base), Corner(left + 32, 0, base + 0.5f, base),
                     Corner(left + 32, 40, base + 0.5f, base + 0.75f), Corner(left, 40, base, base + 0.75f));
    }
    for (int py = 0; py < 40; ++py)
        for (int px = 0; px < 32; ++px)
            ASSERT_EQ(drawing.host.Pixel(px, py), drawing.host.Pixel(px + 32, py)) << px << "," << py;
}

TEST(RasterImages, RadialFalloffFollowsItsFormula)
{
    std::vector<uint32_t> lighting(32 * 32, 0);
    lighting[15 * 32 + 15] = 0x00C08040;
    std::vector<uint8_t> bytes(512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>((i * 7) % 256);
    testsupport::FalloffImage image(lighting.data(), bytes);
    Drawing drawing;
    drawing.Quad(TexelFormat(&image, 2), Corner(0, 0, 0, 0), Corner(64, 0, 1, 0), Corner(64, 64, 1, 1),
                 Corner(0, 64, 0, 1));
    int lit = 0;
    for (int py = 0; py < 64; ++py) {
        for (int px = 0; px < 64; ++px) {
            // Texel units at the pixel centre, half a texel back: 0.5 texel per pixel.
            const double u = (px + 0.5) / 2 - 0.5, v = (py + 0.5) / 2 - 0.5;
            uint32_t expected = 0;
            if (u >= 0 && v >= 0 && u < 31 && v < 31) {
                const double q = std::pow((u - 15) * 1024, 2) + std::pow((v - 15) * 1024, 2) + 1048576;
                if (q < 0x0FFF8002) {
                    const uint32_t f = bytes[static_cast<size_t>(q / 524288)];
                    expected = ((0xC0 * f) >> 8) << 16 | ((0x80 * f) >> 8) << 8 | ((0x40 * f) >> 8);
                    lit += expected != 0 ? 1 : 0;
                }
            }
            ASSERT_EQ(drawing.host.Pixel(px, py), expected) << px << "," << py;
        }
    }
    EXPECT_GT(lit, 1000);
}

TEST(RasterImages, TranslucentTriangleIsPremultipliedOverTheTexture)
{
    std::mt19937 random(11);
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t& t : texels)
        t = random() & 0xFFFFFF;
    SWimage32 image("under", 16, 16, texels.data());
    Drawing drawing;
    drawing.Quad(TexelFormat(&image, 0), Corner(0, 0, 0, 0), Corner(64, 0, 1, 0), Corner(64, 64, 1, 1),
                 Corner(0, 64, 0, 1));
    std::vector<uint32_t> under(64 * 64);
    for (int py = 0; py < 64; ++py)
        for (int px = 0; px < 64; ++px)
            under[py * 64 + px] = drawing.host.Pixel(px, py);
    SWtexturestages glass;
    testsupport::SetVertexLayout(glass, 2, 0);
    glass.combineMode = 3;
    glass.vertexAlpha = 1;
    const uint32_t colour = 0x60204010; // alpha 0x60, premultiplied
    drawing.Triangles(glass,
                      {Corner(0, 0, 0, 0, 1, colour), Corner(64, 0, 0, 0, 1, colour), Corner(0, 64, 0, 0, 1, colour)});
    for (int py = 0; py < 64; ++py) {
        for (int px = 0; px + py < 63; ++px) {
            for (int c = 0; c < 3; ++c) {
                const double expected = Channel(under[py * 64 + px], c) * (1.0 - 0x60 / 256.0) + Channel(colour, c);
                ASSERT_NEAR(Channel(drawing.host.Pixel(px, py), c), expected, 1.0) << px << "," << py;
            }
        }
    }
}

TEST(RasterImages, CrossingTrianglesGiveOneImageInBothOrders)
{
    const testsupport::RasterScene scene(256);
    const testsupport::RasterCell* cell = scene.CellNamed("crossing");
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->draws.size(), 2u);
    std::vector<uint32_t> images[2];
    for (int order = 0; order < 2; ++order) {
        Drawing drawing(256);
        for (int d = 0; d < 2; ++d) {
            const testsupport::RasterDraw& draw = cell->draws[order == 0 ? d : 1 - d];
            drawing.Triangles(draw.format, draw.vertices);
        }
        for (int py = 0; py < 256; ++py)
            for (int px = 0; px < 256; ++px)
                images[order].push_back(drawing.host.Pixel(px, py));
    }
    EXPECT_EQ(images[0], images[1]);
    EXPECT_NE(std::count(images[0].begin(), images[0].end(), 0xE04040u), 0);
    EXPECT_NE(std::count(images[0].begin(), images[0].end(), 0x40E040u), 0);
}

TEST(RasterImages, PerspectiveQuadSamplesWithinATexelOfTheExactOne)
{
    // Each texel holds its own coordinates, so the picture says which texel every pixel took.
    std::vector<uint32_t> texels(64 * 64);
    for (uint32_t ty = 0; ty < 64; ++ty)
        for (uint32_t tx = 0; tx < 64; ++tx)
            texels[ty * 64 + tx] = ty << 8 | tx;
    SWimage32 image("coordinates", 64, 64, texels.data());
    Drawing drawing(200);
    const float wFar = 0.2f, wNear = 1.0f;
    const ScreenVertex a = Corner(70, 10, 0, 0, wFar), b = Corner(130, 10, 1, 0, wFar),
                       c = Corner(195, 190, 1, 1, wNear), d = Corner(5, 190, 0, 1, wNear);
    const SWtexturestages format = TexelFormat(&image, 0);
    drawing.Quad(format, a, b, c, d);
    EXPECT_EQ(drawing.rasteriser.Stats().perspectiveTriangles, 2u);
    // The exact texel: screen weights of each triangle, divided through by the depth terms.
    const ScreenVertex tris[2][3] = {{a, b, c}, {a, c, d}};
    int checked = 0;
    for (int py = 0; py < 200; ++py) {
        for (int px = 0; px < 200; ++px) {
            const double cx = px + 0.5, cy = py + 0.5;
            for (const auto& t : tris) {
                const double area = (t[2].y - t[0].y) * (t[1].x - t[0].x) - (t[2].x - t[0].x) * (t[1].y - t[0].y);
                const double s = ((t[2].y - t[0].y) * (cx - t[0].x) - (t[2].x - t[0].x) * (cy - t[0].y)) / area;
                const double r = ((t[1].x - t[0].x) * (cy - t[0].y) - (t[1].y - t[0].y) * (cx - t[0].x)) / area;
                if (s < 0.01 || r < 0.01 || s + r > 0.99)
                    continue;
                const double q0 = (1 - s - r) * t[0].w, q1 = s * t[1].w, q2 = r * t[2].w, sum = q0 + q1 + q2;
                const double u = (q0 * t[0].uv[0][0] + q1 * t[1].uv[0][0] + q2 * t[2].uv[0][0]) / sum * 64;
                const double v = (q0 * t[0].uv[0][1] + q1 * t[1].uv[0][1] + q2 * t[2].uv[0][1]) / sum * 64;
                const uint32_t pixel = drawing.host.Pixel(px, py);
                ASSERT_LE(std::abs(static_cast<int>(pixel & 0xFF) - static_cast<int>(u)), 1) << px << "," << py;
                ASSERT_LE(std::abs(static_cast<int>(pixel >> 8 & 0xFF) - static_cast<int>(v)), 1) << px << "," << py;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 15000);
}

} // namespace
