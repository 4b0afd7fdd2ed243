// Seeded random records and triangles through the very functions the rasteriser fuzz targets call, so that every
// test run covers random inputs and not only the fuzzer's sessions and its seeds.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "testsupport/render/raster_fuzz_input.h"

namespace {

class RandomInput {
public:
    explicit RandomInput(uint32_t seed) : m_random(seed) {}

    int Below(int n) { return static_cast<int>(m_random() % static_cast<uint32_t>(n)); }
    bool OneIn(int n) { return Below(n) == 0; }
    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(m_random); }
    uint32_t Word() { return static_cast<uint32_t>(m_random()); }

    void U8(int value) { bytes.push_back(static_cast<uint8_t>(value)); }
    void U16(int value)
    {
        U8(value & 0xFF);
        U8(value >> 8 & 0xFF);
    }
    void U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            U8(static_cast<int>(value >> (8 * i) & 0xFF));
    }
    void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }

    // Mostly the configured combine modes, layer counts and filters, sometimes anything at all; image sizes of any
    // width and height up to 64 (powers of two or not), missing images and falloff images.
    void Record(int colours, int stride)
    {
        // The combine modes with the layer counts that have a program.
        static constexpr int kConfigured[9][2] = {{3, 0}, {3, 1}, {3, 2}, {4, 1}, {4, 2},
                                                  {4, 3}, {5, 2}, {5, 3}, {5, 4}};
        const bool wild = OneIn(8);
        const int* configured = kConfigured[Below(9)];
        U8(wild ? Below(256) : configured[0]);
        U8(wild ? Below(256) : configured[1]);
        U8(Below(256));
        U8(Below(2));
        U8(stride);
        U8(4 + colours);
        U8(colours);
        for (int i = 0; i < kTextureStageCount; ++i) {
            U8(wild ? Below(256) : Below(3));
            U8(OneIn(4) ? Below(256) : 0);
            U32(Word());
        }
        for (int i = 0; i < kTextureStageCount; ++i) {
            const int kind = Below(8);
            U8(kind == 0 ? 255 : kind == 1 ? 254 : Below(64));
            U8(Below(64));
        }
        const int depth = Below(6);
        F32(depth == 0 ? 0.0f : depth == 1 ? Uniform(-1.0f, 1.0f) : 1.0f);
        F32(depth == 2 ? std::numeric_limits<float>::infinity() : depth == 3 ? 1e30f : 100.0f);
    }

    // Positions mostly on and around the buffer, now and then far away or not finite; depth terms positive and
    // sometimes zero, negative or huge; colours and coordinates anything.
    float Position(float extent)
    {
        const int kind = Below(40);
        if (kind == 0)
            return std::numeric_limits<float>::quiet_NaN();
        if (kind == 1)
            return Below(2) != 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        if (kind == 2)
            return Uniform(-1.1e12f, 1.1e12f); // past +-2^40
        if (kind < 8)
            return static_cast<float>(Below(static_cast<int>(extent) + 1)) + 0.5f * static_cast<float>(Below(2));
        return Uniform(-16.0f, extent + 16.0f);
    }
    float DepthTerm()
    {
        const int kind = Below(20);
        return kind == 0 ? 0.0f : kind == 1 ? -Uniform(0.0f, 2.0f) : kind == 2 ? 1e20f : Uniform(0.01f, 8.0f);
    }
    void Vertex(int stride)
    {
        for (int word = 0; word < stride; ++word) {
            if (word == 0)
                F32(Position(rasterfuzz::kWidth));
            else if (word == 1)
                F32(Position(rasterfuzz::kHeight));
            else if (word == 3)
                F32(DepthTerm());
            else if (word >= 6 && !OneIn(10))
                F32(Uniform(-3.0f, 3.0f)); // texture coordinates, a few repeats either way
            else
                U32(Word());
        }
    }

    std::vector<uint8_t> bytes;

private:
    std::mt19937 m_random;
};

constexpr int kRounds = 300;

TEST(RasterRobustness, SeededRandomQueueInputsKeepTheCanaries)
{
    RandomInput input(0x5EED0020u);
    int drew = 0;
    for (int round = 0; round < kRounds; ++round) {
        input.bytes.clear();
        const int colours = input.Below(3);
        const int sets = input.Below(5);
        // Now and then a stride too short for the layout the record states.
        const int stride = input.OneIn(10) ? input.Below(8) : 4 + colours + 2 * sets;
        input.Record(colours, stride);
        const int triangles = 1 + input.Below(12);
        for (int i = 0; i < 3 * triangles; ++i)
            input.Vertex(stride);
        const rasterfuzz::Outcome outcome = rasterfuzz::DrawQueueInput(input.bytes);
        ASSERT_TRUE(outcome.canariesIntact) << "round " << round;
        ASSERT_TRUE(outcome.pathsAgree) << "round " << round;
        drew += outcome.pixelsDrawn > 0 ? 1 : 0;
    }
    // The inputs are meant to reach the stages and the frame, not to be skipped as a whole.
    EXPECT_GT(drew, kRounds / 3);
}

TEST(RasterRobustness, SeededRandomIndexedInputsKeepTheCanaries)
{
    RandomInput input(0x5EED1020u);
    int drew = 0;
    for (int round = 0; round < kRounds; ++round) {
        input.bytes.clear();
        const int sets = input.Below(5);
        input.Record(2, 6 + 2 * sets);
        const int bufferVertices = 3 + input.Below(40);
        const int indexCount = 3 * (1 + input.Below(20)) + (input.OneIn(5) ? input.Below(3) : 0);
        // Stated counts mostly true, sometimes past the buffers or negative.
        const int vertexCount = input.OneIn(5) ? input.Below(70000) - 2000 : bufferVertices;
        const int triangleCount = input.OneIn(5) ? input.Below(70000) - 2000 : indexCount / 3;
        input.U16(vertexCount & 0xFFFF);
        input.U16(triangleCount & 0xFFFF);
        input.U8(bufferVertices);
        input.U8(indexCount);
        input.U8(sets);
        for (int i = 0; i < indexCount; ++i)
            input.U8(input.OneIn(8) ? input.Below(64) : input.Below(bufferVertices));
        for (int i = 0; i < bufferVertices; ++i)
            input.Vertex(6 + 2 * sets);
        const rasterfuzz::Outcome outcome = rasterfuzz::DrawIndexedInput(input.bytes);
        ASSERT_TRUE(outcome.canariesIntact) << "round " << round;
        ASSERT_TRUE(outcome.pathsAgree) << "round " << round;
        drew += outcome.pixelsDrawn > 0 ? 1 : 0;
    }
    EXPECT_GT(drew, kRounds / 3);
}

} // namespace
