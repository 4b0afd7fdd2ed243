// The shared support routines: scratch stack, window-code succession, envelope splits, companding, the
// coefficient selection of the bandwidth step and the periodic placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace {

TEST(TonalwaveScratch, PushesMoveTheTopByWholeEightsPlusEight)
{
    sound::ScratchStack stack(8192);
    const size_t before = stack.UsedBytes();
    for (const auto& [push, moves] : {std::pair<size_t, size_t>{1400, 1408}, {1401, 1408}, {1399, 1400}}) {
        SCOPED_TRACE(push);
        void* frame = stack.Push(push);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(frame) % 8, 0u);
        EXPECT_EQ(stack.UsedBytes() - before, moves);
        stack.Pop(push);
        EXPECT_EQ(stack.UsedBytes(), before);
    }
    EXPECT_EQ(stack.HighWaterBytes(), 1408u);
}

TEST(TonalwaveScratch, FramesPopWhatTheyTookAndZeroIt)
{
    sound::ScratchStack stack(4096);
    {
        sound::ScratchFrame outer(stack);
        float* a = outer.Take<float>(100);
        ASSERT_NE(a, nullptr);
        std::fill_n(a, 100, 3.0f);
        {
            sound::ScratchFrame inner(stack);
            ASSERT_NE(inner.Take<double>(10), nullptr);
        }
        EXPECT_EQ(stack.UsedBytes(), sound::ScratchStack::StepOf(400));
    }
    EXPECT_EQ(stack.UsedBytes(), 0u);
    sound::ScratchFrame again(stack);
    const float* b = again.Take<float>(100);
    EXPECT_TRUE(std::all_of(b, b + 100, [](float v) { return v == 0.0f; }));
}

#ifndef NDEBUG
TEST(TonalwaveScratchDeathTest, OverflowExplainsItself)
{
    EXPECT_DEATH(
        {
            sound::ScratchStack stack(64);
            stack.Push(100);
        },
        "scratch stack is smaller");
}
#endif

// The right slope each code ends with and the left slope it starts with: 0 long, 1 medium, 2 short.
constexpr int kLeftSlope[9] = {0, 0, 2, 2, 2, 1, 0, 1, 1};
constexpr int kRightSlope[9] = {0, 2, 2, 0, 1, 0, 1, 2, 1};

TEST(TonalwaveWindowCodes, SuccessionTableAndSlopes)
{
    for (int previous = 0; previous <= 8; ++previous) {
        for (int inputs = 0; inputs < 16; ++inputs) {
            const bool t = (inputs & 1) != 0;
            const bool w = (inputs & 2) != 0;
            const bool tPrev = (inputs & 4) != 0;
            const bool wPrev = (inputs & 8) != 0;
            sound::WindowCodeState state{previous, tPrev, wPrev};
            const int code = sound::NextWindowCode(t, w, state);
            int expected = previous;
            switch (previous) {
            case 0:
            case 3:
            case 5:
                expected = t ? 1 : w ? 6 : 0;
                break;
            case 1:
            case 7:
                expected = 2;
                break;
            case 2:
                expected = (t || tPrev) ? 2 : w ? 4 : 3;
                break;
            case 4:
            case 6:
                expected = t ? 7 : 8;
                break;
            case 8:
                expected = t ? 7 : (!w && !wPrev) ? 5 : 8;
                break;
            }
            SCOPED_TRACE(testing::Message() << "p=" << previous << " inputs=" << inputs);
            EXPECT_EQ(code, expected);
            EXPECT_EQ(kLeftSlope[code], kRightSlope[previous]);
            EXPECT_EQ(state.previousCode, code);
            EXPECT_EQ(state.previousTransient, t);
            EXPECT_EQ(state.previousMedium, w);
        }
    }
}

TEST(TonalwaveWindowCodes, OtherCodesStay)
{
    sound::WindowCodeState state{12, false, false};
    EXPECT_EQ(sound::NextWindowCode(true, true, state), 12);
}

TEST(TonalwaveSplits, BoundariesOfTheEnvelopeSplits)
{
    EXPECT_EQ(sound::SplitBoundaries(3, 16), (std::vector<int>{0, 4, 11, 16}));
    EXPECT_EQ(sound::SplitBoundaries(3, 12), (std::vector<int>{0, 3, 8, 12}));
    EXPECT_EQ(sound::SplitBoundaries(4, 20), (std::vector<int>{0, 4, 9, 14, 20}));
    EXPECT_EQ(sound::SplitBoundaries(2, 16), (std::vector<int>{0, 7, 16}));
    EXPECT_TRUE(sound::SplitBoundaries(5, 20).empty());
}

TEST(TonalwaveCompanding, ExpandInvertsCompress)
{
    for (const float largest : {255.0f, 31.0f, 25000.0f, 13000.0f}) {
        for (int i = -40; i <= 40; ++i) {
            const float x = largest * static_cast<float>(i) / 40.0f;
            const float back = sound::Expand(sound::Compress(x, largest, 100.0f), largest, 100.0f);
            EXPECT_NEAR(back, x, 1e-5f * largest + 1e-6f) << largest << " " << x;
        }
    }
    EXPECT_EQ(sound::Expand(1000.0f, 255.0f, 100.0f), 255.0f); // clamped to the largest
    EXPECT_EQ(sound::Compress(0.0f, 255.0f, 100.0f), 0.0f);
}

TEST(TonalwaveCompanding, InterpolationWeightsPairUp)
{
    const auto& w = sound::InterpolationWeights();
    for (const int span : {2, 4, 8, 16}) {
        const int offset = sound::InterpolationWeightOffset(span);
        for (int k = 1; k < span; ++k) {
            EXPECT_FLOAT_EQ(w[static_cast<size_t>(offset + 2 * (k - 1))], static_cast<float>(k) / span);
            EXPECT_FLOAT_EQ(w[static_cast<size_t>(offset + 2 * (k - 1) + 1)], 1.0f - static_cast<float>(k) / span);
        }
    }
}

// The ordered tree of the selection, built and walked as described: the reference the fast selection must match.
std::vector<float> KeepLargestByTree(std::vector<float> block, int keep)
{
    const int length = static_cast<int>(block.size());
    struct Node {
        int index;
        int smaller = -1;
        int larger = -1;
        int smallerCount = 0;
    };
    std::vector<Node> nodes;
    auto insert = [&](int index) {
        nodes.push_back({index});
        const int added = static_cast<int>(nodes.size()) - 1;
        if (added == 0)
            return;
        int at = 0;
        const float value = std::fabs(block[static_cast<size_t>(index)]);
        while (true) {
            Node& node = nodes[static_cast<size_t>(at)];
            if (value > std::fabs(block[static_cast<size_t>(node.index)])) {
                if (node.larger < 0) {
                    node.larger = added;
                    return;
                }
                at = node.larger;
            } else {
                ++node.smallerCount;
                if (node.smaller < 0) {
                    node.smaller = added;
                    return;
                }
                at = node.smaller;
            }
        }
    };
    insert(0);
    for (int i = length - 1; i >= 2; --i)
        insert(i);
    std::function<void(int)> zeroAll = [&](int at) {
        if (at < 0)
            return;
        block[static_cast<size_t>(nodes[static_cast<size_t>(at)].index)] = 0.0f;
        zeroAll(nodes[static_cast<size_t>(at)].smaller);
        zeroAll(nodes[static_cast<size_t>(at)].larger);
    };
    int toZero = length - keep;
    int at = 0;
    while (toZero > 0 && at >= 0) {
        const Node& node = nodes[static_cast<size_t>(at)];
        if (node.smallerCount < toZero) {
            block[static_cast<size_t>(node.index)] = 0.0f;
            zeroAll(node.smaller);
            toZero -= node.smallerCount + 1;
            at = node.larger;
        } else {
            at = node.smaller;
        }
    }
    return block;
}

TEST(TonalwaveKeepLargest, MatchesTheTreeOnRandomAndEqualBlocks)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::uniform_int_distribution<int> level(-3, 3);
    for (int trial = 0; trial < 300; ++trial) {
        const int length = trial % 3 == 0 ? 64 : trial % 3 == 1 ? 96 : 256;
        std::vector<float> block(static_cast<size_t>(length));
        for (float& v : block)
            v = trial % 4 == 0 ? 5.0f : trial % 4 == 1 ? static_cast<float>(level(random)) : value(random);
        const int keep = 1 + static_cast<int>(random() % static_cast<unsigned>(length - 1));
        SCOPED_TRACE(testing::Message() << "trial " << trial << " L=" << length << " K=" << keep);
        const std::vector<float> expected = KeepLargestByTree(block, keep);
        std::vector<float> fast = block;
        std::vector<uint16_t> work(static_cast<size_t>(length));
        sound::KeepLargest(fast, keep, work);
        ASSERT_EQ(fast, expected);
        EXPECT_EQ(fast[1], block[1]); // coefficient 1 never takes part
        const auto kept = std::count_if(fast.begin(), fast.end(), [](float v) { return v != 0.0f; });
        const auto nonzero = std::count_if(block.begin(), block.end(), [](float v) { return v != 0.0f; });
        EXPECT_LE(kept, keep);
        if (nonzero == length) {
            EXPECT_EQ(kept, keep); // exactly K stay, coefficient 1 among them
        }
    }
}

TEST(TonalwaveKeepLargest, EqualMagnitudesKeepTheHigherIndicesAndCoefficientZero)
{
    std::vector<float> block(10, -2.0f);
    std::vector<uint16_t> work(10);
    sound::KeepLargest(block, 4, work);
    // Coefficient 0 counts as the largest of its magnitude, then 9, 8; coefficient 1 stays outside the selection.
    EXPECT_EQ(block, (std::vector<float>{-2, -2, 0, 0, 0, 0, 0, 0, -2, -2}));
}

sound::PeriodicPlacement PlacementAt(float rateKhz, int r, int t, int n, int kbps)
{
    return sound::PeriodicPlacement{rateKhz, r, (1 << t) - 1, n, 1, kbps};
}

TEST(TonalwavePeriodic, HandWorkedEightKilohertzCase)
{
    // N 512, R 20, T 8, index 128: lo 12.8, hi 76.8, f = q(128/255 x 64 + 12.8) = 44.925; c = 2:
    // w = trunc(2 x 20 x 44.925 / 512) = 3. One value at 0, then harmonics around 45, 90, 135 ...
    const sound::PeriodicPlacement placement = PlacementAt(8.0f, 20, 8, 512, 8);
    const sound::PeriodicHarmonics h = sound::HarmonicsOf(128, placement);
    EXPECT_NEAR(h.fundamental, 44.925f, 1e-4f);
    EXPECT_EQ(h.width, 3);
    std::vector<float> values(20);
    std::iota(values.begin(), values.end(), 1.0f);
    std::vector<float> out(512, -1.0f);
    const int32_t index = 128;
    sound::PlacePeriodic({&index, 1}, values, out, placement);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[44], 2.0f);
    EXPECT_EQ(out[45], 3.0f);
    EXPECT_EQ(out[46], 4.0f);
    EXPECT_EQ(out[89], 5.0f); // centre trunc(89.85 + 0.5) = 90
    EXPECT_EQ(out[91], 7.0f);
    // 1 + 6 x 3 = 19 values by the sixth harmonic; the seventh, centred on 314, takes the last one and stops.
    EXPECT_EQ(out[313], 20.0f);
    EXPECT_EQ(out[314], 0.0f);
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](float v) { return v != 0.0f; }), 20);
}

TEST(TonalwavePeriodic, ElevenAndTwentyTwoKilohertzWidths)
{
    // 11.025 kHz, N 512, R 30, T 9, index 511 (600 Hz): f = q(6 x 0.2 x 512 / 11.025) = 55.7275; c = 3:
    // w = trunc(3 x 30 x 55.7275 / 512) = 9.
    const sound::PeriodicHarmonics h11 = sound::HarmonicsOf(511, PlacementAt(11.025f, 30, 9, 512, 10));
    EXPECT_NEAR(h11.fundamental, 55.7275f, 1e-3f);
    EXPECT_EQ(h11.width, 9);
    // 22.05 kHz, N 1024, R 36, index 0 (100 Hz): f = q(204.8 / 22.05) = 9.2875; c = 4: trunc(4 x 36 x 9.2875 /
    // 1024) = 1.
    const sound::PeriodicPlacement at22 = PlacementAt(22.05f, 36, 9, 1024, 24);
    const sound::PeriodicHarmonics h22 = sound::HarmonicsOf(0, at22);
    EXPECT_NEAR(h22.fundamental, 9.2875f, 1e-3f);
    EXPECT_EQ(h22.width, 1);
    std::vector<float> values(36, 1.0f);
    std::vector<float> out(1024, 0.0f);
    const int32_t index = 0;
    sound::PlacePeriodic({&index, 1}, values, out, at22);
    EXPECT_EQ(out[0], 0.0f); // w/2 = 0: nothing below the first harmonic
    EXPECT_EQ(out[9], 1.0f); // trunc(9.2875 + 0.5)
    EXPECT_EQ(out[19], 1.0f);
    EXPECT_EQ(std::count(out.begin(), out.end(), 1.0f), 36);
}

TEST(TonalwavePeriodic, ThirtyTwoKbitBranchWidensByItsArgument)
{
    // At 22 kHz the factor drops to 2 but the width grows by (2/f + 1) and rounds: index 511, f = 55.7275 x 2.
    const sound::PeriodicPlacement plain = PlacementAt(22.05f, 36, 9, 1024, 24);
    const sound::PeriodicPlacement branch = PlacementAt(22.05f, 36, 9, 1024, 32);
    const sound::PeriodicHarmonics a = sound::HarmonicsOf(511, plain);
    const sound::PeriodicHarmonics b = sound::HarmonicsOf(511, branch);
    EXPECT_EQ(a.fundamental, b.fundamental);
    const float f = a.fundamental;
    EXPECT_EQ(a.width, static_cast<int>(4.0f * 36.0f / (1024.0f / f)));
    EXPECT_EQ(b.width, static_cast<int>((2.0f / f + 1.0f) * 2.0f * 36.0f / (1024.0f / f) + 0.5f));
    EXPECT_NE(a.width, b.width);
}

TEST(TonalwavePeriodic, HighFundamentalsStopAtTheBandEdge)
{
    // A long window at the top of the range never writes past N, even when the R values do not all fit.
    const sound::PeriodicPlacement placement = PlacementAt(8.0f, 200, 8, 64, 8);
    std::vector<float> values(200, 1.0f);
    std::vector<float> out(64, 0.0f);
    const int32_t index = 255;
    sound::PlacePeriodic({&index, 1}, values, out, placement);
    EXPECT_GT(std::count(out.begin(), out.end(), 1.0f), 0);
}

} // namespace
