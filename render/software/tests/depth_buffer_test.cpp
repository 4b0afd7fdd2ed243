#include "render/software/depth_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "render/software/block_runs.h"
#include "render/software/float_bits.h"

namespace {

std::vector<int32_t> Runs(const SWdepthbuffer& depth)
{
    std::vector<int32_t> runs;
    for (const int32_t* run = depth.RunList(); *run != 0; ++run)
        runs.push_back(*run);
    return runs;
}

void RequestSpan(SWdepthbuffer& depth, int32_t row, int32_t first, int32_t count, float start, float step)
{
    depth.Span() = {start, step, first, count, row};
}

TEST(FloatBits, SmallValuesAreZeroAndLargeOnesFollowTheCallersChoice)
{
    EXPECT_EQ(FloatToIntSaturated(0.0f), 0);
    EXPECT_EQ(FloatToIntSaturated(std::ldexp(1.0f, -9)), 0); // exponent field 118
    EXPECT_EQ(FloatToIntSaturated(std::ldexp(1.0f, -8)), 0); // 119: truncates to 0 anyway
    EXPECT_EQ(FloatToIntSaturated(1234.75f), 1234);
    EXPECT_EQ(FloatToIntSaturated(-1234.75f), -1234);
    EXPECT_EQ(FloatToIntSaturated(std::ldexp(1.0f, 31)), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FloatToIntSaturated(std::ldexp(1.0f, 54)), std::numeric_limits<int32_t>::max()); // field 181
    EXPECT_EQ(FloatToIntSaturated(std::ldexp(1.0f, 60)), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FloatToIntSaturated(-std::ldexp(1.0f, 60)), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(FloatToIntSaturated(std::numeric_limits<float>::infinity()), std::numeric_limits<int32_t>::max());

    EXPECT_EQ(FloatToIntLowBits(1234.75f), 1234);
    EXPECT_EQ(FloatToIntLowBits(std::ldexp(1.0f, 32) + std::ldexp(1.0f, 10)), 1024); // wraps to the low bits
    EXPECT_EQ(FloatToIntLowBits(std::ldexp(1.0f, 60)), 0);
    EXPECT_EQ(FloatToIntLowBits(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(BlockRuns, StretchesOfSetBlocksWithAShortenedFirstBlock)
{
    std::vector<std::pair<int32_t, int32_t>> runs;
    auto collect = [&](int32_t first, int32_t count) { runs.emplace_back(first, count); };
    ForEachMaskedRun(0b1101u, 3, 0, 40, collect); // blocks of 8
    EXPECT_EQ(runs, (std::vector<std::pair<int32_t, int32_t>>{{0, 8}, {16, 16}}));
    runs.clear();
    ForEachMaskedRun(0b111u, 3, 5, 14, collect); // starts inside block 0, stops inside block 2
    EXPECT_EQ(runs, (std::vector<std::pair<int32_t, int32_t>>{{5, 14}}));
    runs.clear();
    ForEachMaskedRun(~0u, 0, 0, 10, collect); // more bits than pixels: stops at the row's end
    EXPECT_EQ(runs, (std::vector<std::pair<int32_t, int32_t>>{{0, 10}}));
    runs.clear();
    ForEachMaskedRun(0x80000000u, 5, 0, 1024, collect);
    EXPECT_EQ(runs, (std::vector<std::pair<int32_t, int32_t>>{{992, 32}}));
}

class DepthBufferTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_depth.SetSize(64, 4, 3)); } // blocks of 8
    SWdepthbuffer m_depth;
};

TEST_F(DepthBufferTest, LazyClearTouchesOnlyBlocksTheTriangleCovers)
{
    // Leave values behind, then start a new frame.
    m_depth.SetColumnMask(~0u);
    RequestSpan(m_depth, 1, 0, 64, 1000.0f, 0.0f);
    ASSERT_TRUE(m_depth.TestAndWrite());
    m_depth.MarkAllRows();
    m_depth.SetColumnMask(0b10u); // this triangle covers pixels 8 to 15
    RequestSpan(m_depth, 1, 8, 4, 10.0f, 0.0f);
    EXPECT_TRUE(m_depth.TestAndWrite());
    EXPECT_EQ(m_depth.Row(1)[8], 10);
    EXPECT_EQ(m_depth.Row(1)[12], 0);   // cleared, not drawn
    EXPECT_EQ(m_depth.Row(1)[0], 1000); // not yet cleared: no triangle reached it
    EXPECT_EQ(m_depth.Row(1)[16], 1000);
    EXPECT_EQ(m_depth.ClearMask(1), ~0b10u);
    EXPECT_EQ(m_depth.ClearMask(2), ~0u);
}

TEST_F(DepthBufferTest, EqualDepthIsHiddenAndNearerWins)
{
    RequestSpan(m_depth, 0, 0, 8, 500.0f, 0.0f);
    EXPECT_TRUE(m_depth.TestAndWrite());
    EXPECT_FALSE(m_depth.TestAndWrite()); // the same triangle again: nothing visible
    EXPECT_EQ(Runs(m_depth), (std::vector<int32_t>{-8}));
    RequestSpan(m_depth, 0, 0, 8, 498.0f, 1.0f); // 498 .. 505: hidden, hidden, hidden, visible...
    EXPECT_TRUE(m_depth.TestAndWrite());
    EXPECT_EQ(Runs(m_depth), (std::vector<int32_t>{-3, 5}));
    EXPECT_EQ(m_depth.Row(0)[2], 500);
    EXPECT_EQ(m_depth.Row(0)[7], 505);
}

TEST_F(DepthBufferTest, TestOnlyWritesNothingAndTestNoneSeesEverything)
{
    RequestSpan(m_depth, 2, 4, 10, 50.0f, 0.0f);
    EXPECT_TRUE(m_depth.TestOnly());
    EXPECT_EQ(Runs(m_depth), (std::vector<int32_t>{10}));
    EXPECT_EQ(m_depth.Row(2)[4], 0);
    RequestSpan(m_depth, 2, 4, 10, 0.0f, 0.0f);
    m_depth.SetRoutine(SWdepthbuffer::Routine::kTestNone);
    EXPECT_TRUE(m_depth.Test());
    EXPECT_EQ(Runs(m_depth), (std::vector<int32_t>{10}));
    m_depth.SetRoutine(SWdepthbuffer::Routine::kTestAndWrite);
    EXPECT_FALSE(m_depth.Test()); // depth 0 is never nearer than empty
}

TEST_F(DepthBufferTest, SpansOutsideTheRowDrawNothing)
{
    for (const SWdepthbuffer::SpanRequest bad :
         {SWdepthbuffer::SpanRequest{1, 0, 60, 5, 0}, SWdepthbuffer::SpanRequest{1, 0, -1, 2, 0},
          SWdepthbuffer::SpanRequest{1, 0, 0, 2, 4}, SWdepthbuffer::SpanRequest{1, 0, 0, -2, 0}}) {
        m_depth.Span() = bad;
        EXPECT_FALSE(m_depth.TestAndWrite());
        EXPECT_FALSE(m_depth.TestNone());
        EXPECT_TRUE(Runs(m_depth).empty());
    }
}

// A start depth of 2^31 or more saturates instead of wrapping or vanishing, and so does the step.
TEST_F(DepthBufferTest, HugeDepthsSaturateToTheNearestValue)
{
    m_depth.Row(3)[0] = 1 << 30;
    m_depth.Row(3)[1] = std::numeric_limits<int32_t>::max();
    m_depth.SetColumnMask(0); // keep the planted values
    RequestSpan(m_depth, 3, 0, 2, std::ldexp(1.0f, 33), 0.0f);
    EXPECT_TRUE(m_depth.TestAndWrite());
    EXPECT_EQ(Runs(m_depth), (std::vector<int32_t>{1, -1}));
    EXPECT_EQ(m_depth.Row(3)[0], std::numeric_limits<int32_t>::max());

    m_depth.Row(3)[2] = 0;
    m_depth.Row(3)[3] = std::numeric_limits<int32_t>::max() - 1;
    RequestSpan(m_depth, 3, 2, 2, std::ldexp(1.0f, 30), std::ldexp(1.0f, 30) * 1.5f);
    EXPECT_TRUE(m_depth.TestAndWrite());
    EXPECT_EQ(m_depth.Row(3)[3], std::numeric_limits<int32_t>::max()); // 2^30 + 1.5 x 2^30 stops at the top
}

// Every other pixel visible: one run per pixel. The run list must hold a row of 4,096 of them and its end mark.
TEST(DepthBufferWide, AlternatingRowFitsTheRunList)
{
    SWdepthbuffer depth;
    ASSERT_TRUE(depth.SetSize(4096, 1, 7));
    depth.SetColumnMask(~0u);
    depth.Span() = {0.0f, 0.0f, 0, 4096, 0};
    depth.TestAndWrite(); // clears the row
    for (int32_t x = 0; x < 4096; x += 2)
        depth.Row(0)[x] = 100;
    depth.Span() = {50.0f, 0.0f, 0, 4096, 0};
    EXPECT_TRUE(depth.TestAndWrite());
    const std::vector<int32_t> runs = Runs(depth);
    ASSERT_EQ(runs.size(), 4096u);
    EXPECT_EQ(runs.front(), -1);
    EXPECT_EQ(runs.back(), 1);
    EXPECT_EQ(depth.RunList()[4096], 0);
}

TEST(DepthBufferSize, EmptySizesAllocateNothing)
{
    SWdepthbuffer depth;
    EXPECT_TRUE(depth.SetSize(0, 10, 0));
    EXPECT_EQ(depth.Width(), 0);
    EXPECT_EQ(depth.RunList(), nullptr);
    depth.Span() = {1.0f, 0.0f, 0, 0, 0};
    EXPECT_FALSE(depth.TestAndWrite());
    depth.MarkAllRows();
    depth.ClearBlocks(0, ~0u);
}

} // namespace
