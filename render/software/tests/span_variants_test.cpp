#include "render/software/gouraud_stage_mmx.h"

#include "render/software/combine_stages.h"
#include "render/software/combine_stages_wide.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "render/format_record.h"
#include "render/software/gouraud_stage.h"
#include "render/software/span_writer.h"
#include "render/software/tests/span_stage_bench.h"
#include "render/software/texture_stages.h"

#include "engine/resources/image32.h"

namespace {

// Random spans inside the triangle (weights stay in [0, 1) with s + t below 1 along each span), lengths 1 to 32,
// some following each other in the frame so that they merge.
std::vector<SWspan> RandomSpans(std::mt19937& random, std::vector<uint32_t>& frame)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<SWspan> spans;
    size_t at = 1 + random() % 3; // unaligned starts
    for (int k = 0; k < 12; ++k) {
        const int32_t count = 1 + static_cast<int32_t>(random() % 32);
        const double s = unit(random) * 0.5, t = unit(random) * 0.4;
        const double ds = (unit(random) - 0.5) * std::min(s, 0.5 - s) / count;
        const double dt = (unit(random) - 0.5) * std::min(t, 0.4 - t) / count;
        spans.push_back({frame.data() + at, count, SWspanwriter::PackWeights(s, t), SWspanwriter::PackWeights(ds, dt)});
        at += static_cast<size_t>(count) + (random() % 2 == 0 ? 0 : 1 + random() % 5);
    }
    return spans;
}

TEST(SpanVariants, GouraudMMXMatchesPlainInColourAndInterpolatesAlpha)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        const bool toFrame = trial % 2 == 0;
        uint32_t v[3][6] = {};
        for (auto& vertex : v)
            vertex[4] = static_cast<uint32_t>(random());
        if (trial % 10 == 0) // equal colours: written unchanged, alpha included
            v[1][4] = v[2][4] = v[0][4];
        const uint32_t* vertices[3] = {v[0], v[1], v[2]};
        std::vector<uint32_t> frames[3];
        for (auto& frame : frames)
            frame.assign(600, 0x5A5A5A5Au);
        const std::vector<SWspan> spans = RandomSpans(random, frames[0]);
        SpanStageBench benches[3] = {SpanStageBench(toFrame), SpanStageBench(toFrame), SpanStageBench(toFrame)};
        for (int variant = 0; variant < 3; ++variant) {
            std::vector<SWspan> moved = spans;
            for (SWspan& span : moved)
                span.pixels = frames[variant].data() + (span.pixels - frames[0].data());
            if (variant == 0) {
                SWgouraudstage plain;
                benches[0].Run(plain, 16, vertices, moved);
            } else {
                SWgouraudstageMMX::UsePortableLanes(variant == 2);
                SWgouraudstageMMX mmx;
                benches[variant].Run(mmx, 16, vertices, moved);
            }
        }
        SWgouraudstageMMX::UsePortableLanes(false);
        const std::vector<uint32_t>& plain = toFrame ? frames[0] : benches[0].rows[0];
        const std::vector<uint32_t>& mmx = toFrame ? frames[1] : benches[1].rows[0];
        const std::vector<uint32_t>& twin = toFrame ? frames[2] : benches[2].rows[0];
        ASSERT_EQ(mmx, twin) << trial;
        const bool flat = v[0][4] == v[1][4] && v[1][4] == v[2][4];
        for (size_t i = 0; i < plain.size(); ++i) {
            ASSERT_EQ(plain[i] & 0x00FFFFFFu, mmx[i] & 0x00FFFFFFu) << trial << " at " << i;
            if (plain[i] == 0x5A5A5A5Au || plain[i] == 0xDEADBEEFu)
                continue;
            EXPECT_EQ(plain[i] >> 24, v[0][4] >> 24); // the plain variant keeps vertex 0's alpha
            if (flat) {
                EXPECT_EQ(mmx[i], v[0][4]);
            }
        }
    }
}

TEST(SpanVariants, GouraudMMXAlphaFollowsTheWeights)
{
    const uint32_t v[3][6] = {{0, 0, 0, 0, 0x10000000u}, {0, 0, 0, 0, 0xF0FF0000u}, {0, 0, 0, 0, 0x800000FFu}};
    const uint32_t* vertices[3] = {v[0], v[1], v[2]};
    std::vector<uint32_t> frame(8);
    SpanStageBench bench(false);
    SWgouraudstageMMX stage;
    const double s = 0.25, t = 0.5, ds = 0.0625, dt = -0.03125;
    bench.Run(stage, 16, vertices,
              {{frame.data(), 8, SWspanwriter::PackWeights(s, t), SWspanwriter::PackWeights(ds, dt)}});
    for (int i = 0; i < 8; ++i) {
        const double alpha = 0x10 + (0xF0 - 0x10) * (s + i * ds) + (0x80 - 0x10) * (t + i * dt);
        EXPECT_NEAR(static_cast<double>(bench.rows[0][static_cast<size_t>(i)] >> 24), alpha, 1.0) << i;
    }
}

// The combining stages' wide forms against the plain ones on random operands (saturating edges included), over
// random runs of 1 to 256 pixels at unaligned starts, in scratch rows and in the frame buffer, with the output on
// an input as the final blend has it.
TEST(SpanVariants, WideCombinersGiveThePlainPixels)
{
    using Maker = std::function<std::unique_ptr<SWspanstage>()>;
    const std::pair<Maker, Maker> pairs[] = {
        {[] { return std::make_unique<SWaddstage>(); }, [] { return std::make_unique<SWaddstageWide>(); }},
        {[] { return std::make_unique<SWdot3stage>(); }, [] { return std::make_unique<SWdot3stageWide>(); }},
        {[] { return std::make_unique<SWmultiplyaddstage>(); },
         [] { return std::make_unique<SWmultiplyaddstageWide>(); }},
        {[] { return std::make_unique<SWblendstage>(); }, [] { return std::make_unique<SWblendstageWide>(); }},
        {[] { return std::make_unique<SWscaleaddstage>(); }, [] { return std::make_unique<SWscaleaddstageWide>(); }},
        {[] { return std::make_unique<SWalphaproductstage>(); },
         [] { return std::make_unique<SWalphaproductstageWide>(); }},
    };
    std::mt19937 random(9);
    const auto operand = [&random] {
        static constexpr uint32_t kEdges[] = {0, 1, 127, 128, 129, 254, 255};
        uint32_t value = 0;
        for (int c = 0; c < 4; ++c)
            value |= (random() % 2 == 0 ? kEdges[random() % 7] : random() % 256) << (8 * c);
        return value;
    };
    for (const auto& [plainMaker, wideMaker] : pairs) {
        for (int trial = 0; trial < 60; ++trial) {
            const bool toFrame = trial % 3 == 0;
            const bool outOnC = trial % 3 == 1; // the output row is also input c
            std::vector<uint32_t> frame(1200);
            for (uint32_t& p : frame)
                p = operand();
            SpanStageBench benches[2] = {SpanStageBench(toFrame), SpanStageBench(toFrame)};
            for (int r = 1; r < 4; ++r)
                for (uint32_t& p : benches[0].rows[r])
                    p = operand();
            for (uint32_t& p : benches[0].rows[0])
                p = operand();
            benches[1].rows[0] = benches[0].rows[0];
            for (int r = 1; r < 4; ++r)
                benches[1].rows[r] = benches[0].rows[r];
            for (SpanStageBench& bench : benches) {
                bench.format.constants[2] = 0x80FF4010u;
                if (outOnC)
                    bench.operands[2].row = bench.rows[0].data();
            }
            std::vector<SWspan> spans;
            size_t at = 1 + random() % 3;
            int32_t total = 0;
            while (total < 300) {
                const int32_t count = 1 + static_cast<int32_t>(random() % (trial % 4 == 0 ? 256 : 32));
                spans.push_back({frame.data() + at, count, 0, 0});
                at += static_cast<size_t>(count) + (random() % 2 == 0 ? 0 : 1 + random() % 3);
                total += count;
            }
            std::vector<uint32_t> frames[2] = {frame, frame};
            for (int variant = 0; variant < 2; ++variant) {
                std::vector<SWspan> moved = spans;
                for (SWspan& span : moved)
                    span.pixels = frames[variant].data() + (span.pixels - frame.data());
                const std::unique_ptr<SWspanstage> stage = variant == 0 ? plainMaker() : wideMaker();
                SWspanstage::Binding binding;
                binding.operands = benches[variant].operands;
                binding.format = &benches[variant].format;
                binding.registers[3] = 2; // the scale-add's constant
                SWspanstage::SetupRoutine setup = nullptr;
                const SWspanstage::SpanRoutine routine = stage->GetRoutines(binding, setup);
                moved.push_back(SWspan{});
                for (const SWspan* next = moved.data(); next->pixels != nullptr;)
                    next = routine(*stage, next);
            }
            ASSERT_EQ(frames[0], frames[1]) << trial;
            for (int r = 0; r < 4; ++r)
                ASSERT_EQ(benches[0].rows[r], benches[1].rows[r]) << trial << " row " << r;
        }
    }
}

// Nearest sampling in 16.16 against the plain 1/64 texel: the same texel except where the coarser coordinate
// lies across a texel boundary, and then the neighbouring one.
TEST(SpanVariants, NearestMMXDiffersOnlyAtTexelBoundaries)
{
    constexpr uint32_t kWidth = 64, kHeight = 32;
    std::vector<uint32_t> texels(kWidth * kHeight);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = static_cast<uint32_t>(i);
    SWimage32 image("grid", kWidth, kHeight, texels.data());
    std::mt19937 random(13);
    std::uniform_real_distribution<float> coordinate(-2.0f, 3.0f);
    uint32_t pixels = 0, differing = 0;
    for (int trial = 0; trial < 200; ++trial) {
        uint32_t v[3][6] = {};
        for (auto& vertex : v) {
            vertex[4] = std::bit_cast<uint32_t>(coordinate(random));
            vertex[5] = std::bit_cast<uint32_t>(coordinate(random));
        }
        const uint32_t* vertices[3] = {v[0], v[1], v[2]};
        std::vector<uint32_t> frame(600);
        const std::vector<SWspan> spans = RandomSpans(random, frame);
        SpanStageBench benches[2] = {SpanStageBench(false), SpanStageBench(false)};
        for (SpanStageBench& bench : benches) {
            bench.format.layerCount = 1;
            bench.format.images[0] = &image;
            bench.format.vertexStride = 6;
            bench.format.firstFloatWord = 4;
        }
        SWnearesttexturestage plain;
        SWnearesttexturestageMMX mmx;
        benches[0].Run(plain, 8, vertices, spans);
        benches[1].Run(mmx, 8, vertices, spans);
        int32_t total = 0;
        for (const SWspan& span : spans)
            total += span.count;
        for (int32_t i = 0; i < std::min(total, kPassPixels); ++i) {
            const uint32_t a = benches[0].rows[0][static_cast<size_t>(i)];
            const uint32_t b = benches[1].rows[0][static_cast<size_t>(i)];
            ++pixels;
            if (a == b)
                continue;
            ++differing;
            const uint32_t columnStep = ((a % kWidth) - (b % kWidth) + 1) % kWidth;
            const uint32_t rowStep = ((a / kWidth) - (b / kWidth) + 1) % kHeight;
            EXPECT_LE(columnStep, 2u) << trial << " " << a << " " << b;
            EXPECT_LE(rowStep, 2u) << trial << " " << a << " " << b;
        }
    }
    EXPECT_GT(pixels, 20000u);
    EXPECT_LT(differing, pixels / 10);
}

} // namespace
