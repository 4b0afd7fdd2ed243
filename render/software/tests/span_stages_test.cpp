#include "render/software/combine_stages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <vector>

#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/software/gouraud_stage.h"
#include "render/software/span_writer.h"
#include "render/software/tests/span_stage_bench.h"
#include "render/software/texture_stages.h"

namespace {

uint32_t Channel(uint32_t pixel, int c)
{
    return pixel >> (8 * c) & 0xFF;
}

uint32_t Pack(const uint32_t (&channels)[4])
{
    return channels[0] | channels[1] << 8 | channels[2] << 16 | channels[3] << 24;
}

// Operands with every byte drawn from the saturating edges or at random.
std::vector<uint32_t> Operands(std::mt19937& random, int count)
{
    static constexpr uint32_t kEdges[] = {0, 1, 127, 128, 254, 255};
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i) {
        uint32_t channels[4];
        for (uint32_t& c : channels)
            c = random() % 2 == 0 ? kEdges[random() % 6] : random() % 256;
        out.push_back(Pack(channels));
    }
    return out;
}

TEST(PlainStages, CombinersMatchTheirPerChannelFormulas)
{
    std::mt19937 random(7);
    const std::vector<uint32_t> b = Operands(random, 4000), c = Operands(random, 4000), d = Operands(random, 4000);
    for (size_t i = 0; i < b.size(); ++i) {
        SCOPED_TRACE(testing::Message() << std::hex << b[i] << " " << c[i] << " " << d[i]);
        uint32_t add[4], mad[4], mod[4], blend[4], blend255[4], sad[4];
        for (int ch = 0; ch < 4; ++ch) {
            const uint32_t x = Channel(b[i], ch), y = Channel(c[i], ch), z = Channel(d[i], ch);
            add[ch] = std::min(x + y, 255u);
            const bool isColour = ch < 3;
            mad[ch] = isColour ? std::min(x * y / 256 + z, 255u) : 0;
            mod[ch] = isColour ? x * y / 256 : 0;
            blend[ch] = isColour ? std::min(y * (256 - (b[i] >> 24)) / 256 + z, 255u) : 0;
            blend255[ch] = isColour ? std::min(y * (255 - (b[i] >> 24)) / 256 + z, 255u) : 0;
            sad[ch] = isColour ? std::min(x * Channel(d[i], ch) / 256 + y, 255u) : 0; // d as the constant
        }
        EXPECT_EQ(plainstage::Add(b[i], c[i]), Pack(add));
        EXPECT_EQ(plainstage::MultiplyAdd(b[i], c[i], d[i]), Pack(mad));
        EXPECT_EQ(plainstage::Modulate(b[i], c[i]), Pack(mod));
        EXPECT_EQ(plainstage::Blend(b[i], c[i], d[i], 256), Pack(blend));
        EXPECT_EQ(plainstage::Blend(b[i], c[i], d[i], 255), Pack(blend255));
        EXPECT_EQ(plainstage::ScaleAdd(b[i], d[i], c[i]), Pack(sad));
        EXPECT_EQ(plainstage::AlphaProduct(b[i], c[i]) >> 24, (b[i] >> 24) * (c[i] >> 24) / 256);
    }
}

TEST(PlainStages, Dot3IsClampedAndZeroForOpposedVectors)
{
    EXPECT_EQ(plainstage::Dot3(0x808080, 0x808080), 0u);
    // A light and a normal both along z, each encoded as 127 (1 - v): the brightest texel stays white.
    EXPECT_EQ(plainstage::Dot3(0x7F7F00, 0x7F7F00), 0xFFFFFFFFu);
    EXPECT_EQ(plainstage::Dot3(0x000000, 0x000000), 0xFFFFFFFFu); // 768 before the clamp
    // Encoded as 127 v + 127: about 252 in every byte.
    EXPECT_EQ(plainstage::Dot3(0x7F7FFE, 0x7F7FFE), 248u * 0x01010101u);
    EXPECT_EQ(plainstage::Dot3(0x7F7FFE, 0x7F7F00), 0u); // facing away
    EXPECT_EQ(plainstage::Dot3(0x8080C0, 0x8080C0), 64u * 0x01010101u);
}

TEST(GouraudStage, EqualColoursAreExactAlphaIncludedAndVertexZeroGivesAlpha)
{
    SpanStageBench bench;
    uint32_t frame[8] = {};
    const uint32_t v[3][6] = {{0, 0, 0, 0, 0x80123456u}, {0, 0, 0, 0, 0x80123456u}, {0, 0, 0, 0, 0x80123456u}};
    const uint32_t* vertices[3] = {v[0], v[1], v[2]};
    SWgouraudstage stage;
    bench.Run(stage, 16, vertices, {{frame, 8, SWspanwriter::PackWeights(0.3, 0.3), 0}});
    EXPECT_TRUE(
        std::all_of(bench.rows[0].begin(), bench.rows[0].begin() + 8, [](uint32_t p) { return p == 0x80123456u; }));

    // Differing alphas: the plain variant keeps vertex 0's; colours follow the weights within 1.
    const uint32_t w[3][6] = {{0, 0, 0, 0, 0x10000000u}, {0, 0, 0, 0, 0xF0FF0000u}, {0, 0, 0, 0, 0x800000FFu}};
    const uint32_t* others[3] = {w[0], w[1], w[2]};
    SWgouraudstage second;
    const double s = 0.25, t = 0.5, ds = 0.0625, dt = -0.03125;
    bench.Run(second, 16, others, {{frame, 8, SWspanwriter::PackWeights(s, t), SWspanwriter::PackWeights(ds, dt)}});
    for (int i = 0; i < 8; ++i) {
        const uint32_t p = bench.rows[0][i];
        EXPECT_EQ(p >> 24, 0x10u);
        EXPECT_NEAR(Channel(p, 2), 255.0 * (s + i * ds), 1.0) << i;
        EXPECT_NEAR(Channel(p, 0), 255.0 * (t + i * dt), 1.0) << i;
    }
    // A weight of exactly 1.0 saturates instead of turning into -1.0: vertex 1's colour.
    bench.Run(second, 16, others, {{frame, 1, SWspanwriter::PackWeights(1.0, 0.0), 0}});
    EXPECT_NEAR(Channel(bench.rows[0][0], 2), 255.0, 1.0);
    bench.Run(second, 16, others, {{frame, 1, SWspanwriter::PackWeights(0.0, 1.0), 0}});
    EXPECT_NEAR(Channel(bench.rows[0][0], 0), 255.0, 1.0);
}

TEST(SpanWeights, OneAndAboveSaturateToTheLargestWeight)
{
    EXPECT_EQ(SWspanwriter::PackWeights(1.0, 1.0), 0x7FFF7FFFu);
    EXPECT_EQ(SWspanwriter::PackWeights(1.0001, 3e9), 0x7FFF7FFFu);
    EXPECT_EQ(SWspanwriter::PackWeights(-1.0, -1.0), 0x80008000u);
    EXPECT_EQ(SWspanwriter::PackWeights(0.5, 0.5), 0x40004000u);
    EXPECT_EQ(SWspanwriter::PackWeights(std::numeric_limits<double>::quiet_NaN(), 0.0), 0u);
}

TEST(TextureStage, MissingOrUnsizedLayersWriteZero)
{
    const std::vector<uint32_t> texels(16, 0xFF00FF00u);
    SWimage32 square("square", 4, 4, texels.data());
    SWimage32 wide("wide", 3, 4, std::vector<uint32_t>(12, 0xFFFFFFFFu).data());
    SWimage32 empty;
    uint32_t frame[4] = {};
    uint32_t v[3][8] = {};
    const uint32_t* vertices[3] = {v[0], v[1], v[2]};
    struct Case {
        const char* name;
        const SWtexture* image;
        uint8_t layerCount;
        uint8_t stride;
    } cases[] = {
        {"layer index equal to the count", &square, 0, 8},
        {"no image", nullptr, 1, 8},
        {"image without pixels", &empty, 1, 8},
        {"width not a power of two", &wide, 1, 8},
        {"coordinates outside the vertex", &square, 1, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpanStageBench bench;
        bench.format.layerCount = c.layerCount;
        bench.format.images[0] = c.image;
        bench.format.vertexStride = c.stride;
        bench.format.firstFloatWord = 4;
        SWnearesttexturestage nearest;
        bench.Run(nearest, 8, vertices, {{frame, 4, 0, 0}});
        EXPECT_TRUE(std::all_of(bench.rows[0].begin(), bench.rows[0].begin() + 4, [](uint32_t p) { return p == 0; }));
        SWfilteredtexturestage filtered;
        bench.rows[0].assign(kPassPixels, 1);
        bench.Run(filtered, 8, vertices, {{frame, 4, 0, 0}});
        EXPECT_TRUE(std::all_of(bench.rows[0].begin(), bench.rows[0].begin() + 4, [](uint32_t p) { return p == 0; }));
    }
    // A falloff layer needs its table: a plain 32 x 32 image gives the zero fill too.
    SpanStageBench bench;
    SWimage32 plain("plain", 32, 32, std::vector<uint32_t>(1024, 0xFFFFFFu).data());
    bench.format.layerCount = 1;
    bench.format.images[0] = &plain;
    bench.format.vertexStride = 6;
    bench.format.firstFloatWord = 4;
    SWfalloffstage falloff;
    bench.Run(falloff, 8, vertices, {{frame, 4, 0, 0}});
    EXPECT_TRUE(std::all_of(bench.rows[0].begin(), bench.rows[0].begin() + 4, [](uint32_t p) { return p == 0; }));
}

TEST(TextureStage, RepeatsAndLargeRepeatCountsWrapExactly)
{
    std::vector<uint32_t> texels(8 * 8);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = static_cast<uint32_t>(i);
    SWimage32 image("grid", 8, 8, texels.data());
    SpanStageBench bench;
    bench.format.layerCount = 1;
    bench.format.images[0] = &image;
    bench.format.vertexStride = 6;
    bench.format.firstFloatWord = 4;
    uint32_t frame[4] = {};
    // Vertex 0 at (0.3, 0.7); vertices 1 and 2 a thousand repeats away: weight 0 samples vertex 0's texel.
    auto vertex = [](float u, float v) {
        std::vector<uint32_t> words(6, 0);
        words[4] = std::bit_cast<uint32_t>(u);
        words[5] = std::bit_cast<uint32_t>(v);
        return words;
    };
    for (const float base : {0.3f, 1.3f, -0.7f}) {
        const std::vector<uint32_t> a = vertex(base, 0.7f), b = vertex(base + 1000.0f, 0.7f), c = vertex(base, 1000.7f);
        const uint32_t* vertices[3] = {a.data(), b.data(), c.data()};
        SWnearesttexturestage nearest;
        bench.Run(nearest, 8, vertices, {{frame, 1, 0, 0}});
        EXPECT_EQ(bench.rows[0][0], 5u * 8 + 2) << base; // texel column 2 (0.3 x 8), row 5 (0.7 x 8)
    }
}

} // namespace
