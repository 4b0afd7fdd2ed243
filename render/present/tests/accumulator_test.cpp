#include "render/present/accumulator.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// The mean each step shows for frames[0..]: floor of the mean of the frames summed, per channel.
uint32_t MeanOf(const std::vector<uint32_t>& frames, size_t count)
{
    uint32_t out = 0;
    for (uint32_t shift : {0u, 8u, 16u}) {
        uint32_t sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += frames[i] >> shift & 255;
        out |= sum / static_cast<uint32_t>(count) << shift;
    }
    return out;
}

} // namespace

// Random frames through every step: step 0 shows its frame, an odd step the mean of the frames before it, an even
// one the mean including it; from step 23 on the 23-frame mean, done, and the step stays at 24.
TEST(Accumulator, EveryStepShowsTheTruncatedMean)
{
    std::mt19937 random(11);
    constexpr uint32_t kPixels = 64;
    std::vector<std::vector<uint32_t>> frames(kPixels); // per pixel, its drawn value per step
    std::vector<uint32_t> frame(kPixels);
    SWaccumulator accumulator;
    accumulator.SetSize(8, 8);
    accumulator.SetFrame(frame.data(), 8 * 4, SWaccumulator::kFormat32);
    for (int step = 0; step < 30; ++step) {
        for (uint32_t p = 0; p < kPixels; ++p) {
            frame[p] = p < 8 ? 0xFFFFFF : p < 16 ? (p * 37u) * 0x010101u & 0xFFFFFF : random() & 0xFFFFFF;
            if (p < 16 && step > 0)
                frame[p] = frames[p][0]; // identical frames must keep their value at every step
            frames[p].push_back(frame[p]);
        }
        ASSERT_TRUE(accumulator.Accumulate());
        const size_t shown = step >= 23 ? 23 : step == 0 ? 1 : step % 2 == 0 ? static_cast<size_t>(step) + 1 : step;
        for (uint32_t p = 0; p < kPixels; ++p)
            ASSERT_EQ(frame[p], MeanOf(frames[p], shown)) << "step " << step << " pixel " << p;
        EXPECT_EQ(accumulator.IsDone(), step >= 23);
        EXPECT_EQ(accumulator.GetStep(), std::min(step + 1, 24));
    }
    accumulator.Reset();
    EXPECT_EQ(accumulator.GetStep(), 0);
    EXPECT_FALSE(accumulator.IsDone());

    accumulator.SetSize(0, 0);
    EXPECT_FALSE(accumulator.Accumulate());
    EXPECT_FALSE(accumulator.HasSum());
}

TEST(Accumulator, SixteenBitFramesAverageInTheirOwnUnits)
{
    std::vector<uint16_t> frame(4);
    SWaccumulator accumulator;
    accumulator.SetSize(4, 1);
    accumulator.SetFrame(frame.data(), 8, SWaccumulator::kFormat565);
    const uint16_t first[4] = {0xFFFF, 0x0000, 0xF800, 0x1234};
    const uint16_t second[4] = {0xFFFF, 0x0821, 0x07E0, 0x1234};
    const uint16_t third[4] = {0xFFFF, 0x0842, 0x001F, 0x1234};
    for (const uint16_t* drawn : {first, second, third}) {
        std::copy_n(drawn, 4, frame.data());
        ASSERT_TRUE(accumulator.Accumulate());
    }
    EXPECT_EQ(frame[0], 0xFFFF);
    EXPECT_EQ(frame[1], 0x0021); // blue and green (0 + 1 + 2) / 3 = 1, red (0 + 1 + 1) / 3 = 0
    EXPECT_EQ(frame[2], (31 / 3) << 11 | (63 / 3) << 5 | 31 / 3);
    EXPECT_EQ(frame[3], 0x1234);
}

TEST(Accumulator, JitterFollowsTheRankGridAndWeightsRoundUp)
{
    SWaccumulator accumulator;
    float x = 1, y = 1;
    accumulator.Jitter(0, x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    accumulator.Jitter(1, x, y); // rank 1: row 1, column 3
    EXPECT_EQ(std::bit_cast<uint32_t>(x), 0x3E2AAAABu);
    EXPECT_EQ(y, -x);
    accumulator.Jitter(24, x, y); // rank 24: row 2, column 3
    EXPECT_EQ(std::bit_cast<uint32_t>(x), 0x3E2AAAABu);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(accumulator.Weight(0), 1u << 24);
    EXPECT_EQ(accumulator.Weight(2), 5592406u); // 2^24 / 3 rounded up
    // Every sum of up to 23 frames of 255 comes out as its exact floor, and the product stays within 32 bits.
    for (uint32_t k = 0; k < 23; ++k)
        for (uint32_t sum = 0; sum <= 255 * (k + 1); ++sum)
            ASSERT_EQ(uint64_t{sum} * accumulator.Weight(k) >> 24, sum / (k + 1)) << k << " " << sum;
    EXPECT_LE(uint64_t{255} * 23 * accumulator.Weight(22), 0xFFFFFFFFull);
}
