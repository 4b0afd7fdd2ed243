// The in-memory source and sink the frame loops run on outside a world: widening of 8-bit samples, whole reads,
// steps back within what was delivered, and the scheme ids as records store them.
#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/wave_frame_stream.h"

namespace {

using sound::MemoryFrameSource;

TEST(MemoryFrameSource, WidensEightBitSamplesOnlyWhenAsked)
{
    const std::vector<uint8_t> bytes = {128, 0, 255};
    MemoryFrameSource source(bytes, true);
    EXPECT_TRUE(source.HasEightBitSamples());
    std::array<uint8_t, 6> out{};
    EXPECT_EQ(sound::ReadWhole(source, out.data(), out.size(), true), 6u);
    sound::VectorFrameSink sink;
    sink.Write(out.data(), out.size());
    EXPECT_EQ(sink.Samples(), (std::vector<int16_t>{128, -32768, 32767}));

    MemoryFrameSource plain(bytes);
    EXPECT_FALSE(plain.HasEightBitSamples());
    EXPECT_EQ(sound::ReadWhole(plain, out.data(), out.size(), false), 3u);
    EXPECT_EQ(out[2], 255);
}

// A widened read of an odd byte count asks for whole samples only and stops at the source's end.
TEST(MemoryFrameSource, WholeReadsEndAtTheEndAndOddWidenedCountsStopShort)
{
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    MemoryFrameSource source(bytes, true);
    std::array<uint8_t, 16> out{};
    EXPECT_EQ(sound::ReadWhole(source, out.data(), 7, true), 6u);
    EXPECT_EQ(sound::ReadWhole(source, out.data(), 16, true), 4u);
    size_t count = 99;
    EXPECT_FALSE(source.Read(out.data(), 2, count, true));
    EXPECT_EQ(count, 0u);
}

TEST(MemoryFrameSource, StepsBackOnlyOverWhatItDelivered)
{
    const std::vector<uint8_t> bytes = {10, 11, 12, 13, 14, 15};
    MemoryFrameSource source(bytes);
    EXPECT_TRUE(source.SetHistory(40));
    std::array<uint8_t, 4> out{};
    ASSERT_EQ(sound::ReadWhole(source, out.data(), 4, false), 4u);
    EXPECT_FALSE(source.StepBack(-5)); // more than was delivered
    EXPECT_FALSE(source.StepBack(1));  // forward is no step back
    ASSERT_TRUE(source.StepBack(-3));
    ASSERT_EQ(sound::ReadWhole(source, out.data(), 4, false), 4u);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{11, 12, 13, 14}));
    EXPECT_FALSE(source.HasFailed());
}

TEST(WaveFrameStream, SchemeIdsAreTheRecordTagsLittleEndian)
{
    static_assert(sound::SchemeIdOf("7491") == 0x31393437u);
    EXPECT_EQ(sound::SampleBytes(std::vector<int16_t>{-2, 258}), (std::vector<uint8_t>{0xFE, 0xFF, 0x02, 0x01}));
}

} // namespace
