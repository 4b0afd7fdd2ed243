#include "render/software/gouraud_stage.h"

#include <algorithm>

namespace {

constexpr int64_t kLevelEnd = int64_t{256} << 16; // a 16.16 channel below this and not below 0 needs no clamp

// The span's first and last values of every channel are levels 0 to 255: those between are too, as each channel
// steps by one amount, so no pixel of the span needs the clamp.
bool WithinChannels(const int64_t value[3], const int64_t step[3], int32_t count)
{
    for (int channel = 0; channel < 3; ++channel) {
        const int64_t last = value[channel] + step[channel] * (count - 1);
        if (value[channel] < 0 || value[channel] >= kLevelEnd || last < 0 || last >= kLevelEnd)
            return false;
    }
    return true;
}

// The inside of a triangle, where the bounds above hold: each pixel from its own index, so that the compiler may
// work several at once. Every value stays within 24 bits, so 32-bit arithmetic is exact.
void InteriorSpan(uint32_t* out, int32_t count, uint32_t alpha, const int64_t value[3], const int64_t step[3])
{
    const auto b = static_cast<int32_t>(value[0]);
    const auto g = static_cast<int32_t>(value[1]);
    const auto r = static_cast<int32_t>(value[2]);
    const auto db = static_cast<int32_t>(step[0]);
    const auto dg = static_cast<int32_t>(step[1]);
    const auto dr = static_cast<int32_t>(step[2]);
    for (int32_t i = 0; i < count; ++i)
        out[i] = alpha | static_cast<uint32_t>((b + i * db) >> 16) | static_cast<uint32_t>((g + i * dg) >> 16) << 8 |
                 static_cast<uint32_t>((r + i * dr) >> 16) << 16;
}

} // namespace

SWspanstage::SpanRoutine SWgouraudstage::SelectRoutines(SetupRoutine& outSetup)
{
    outSetup = SetUp;
    return Spans;
}

void SWgouraudstage::SetUp(SWspanstage& stage, const uint32_t* const vertices[3])
{
    SWgouraudstage& self = static_cast<SWgouraudstage&>(stage);
    const int word = 4 + (stage.Bound().registers[0] & 7);
    const uint32_t c0 = vertices[0][word];
    const uint32_t c1 = vertices[1][word];
    const uint32_t c2 = vertices[2][word];
    Setup& setup = self.m_setup;
    setup.isFlat = c0 == c1 && c1 == c2;
    setup.flatColour = c0;
    setup.alpha = c0 & 0xFF000000u;
    for (int channel = 0; channel < 3; ++channel) {
        const int shift = 8 * channel;
        const int32_t v0 = static_cast<int32_t>(c0 >> shift & 0xFF);
        setup.start[channel] = v0 << 6 | 32;
        setup.d1[channel] = (static_cast<int32_t>(c1 >> shift & 0xFF) - v0) * 64;
        setup.d2[channel] = (static_cast<int32_t>(c2 >> shift & 0xFF) - v0) * 64;
    }
}

const SWspan* SWgouraudstage::Spans(SWspanstage& stage, const SWspan* spans)
{
    const SWgouraudstage& self = static_cast<const SWgouraudstage&>(stage);
    const Setup& setup = self.m_setup;
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = self.Operand(0, span.pixels, offset);
        if (setup.isFlat) {
            std::fill_n(out, span.count, setup.flatColour);
            return;
        }
        const int64_t s = WeightS(span.weights);
        const int64_t t = WeightT(span.weights);
        const int64_t ds = WeightS(span.steps);
        const int64_t dt = WeightT(span.steps);
        int64_t value[3];
        int64_t step[3];
        for (int channel = 0; channel < 3; ++channel) {
            value[channel] =
                (int64_t{setup.start[channel]} << 10) + ((setup.d1[channel] * s + setup.d2[channel] * t) >> 5);
            step[channel] = (setup.d1[channel] * ds + setup.d2[channel] * dt) >> 5;
        }
        if (WithinChannels(value, step, span.count)) {
            InteriorSpan(out, span.count, setup.alpha, value, step);
            return;
        }
        for (int32_t i = 0; i < span.count; ++i) {
            uint32_t pixel = setup.alpha;
            for (int channel = 0; channel < 3; ++channel) {
                // Weights rounded to 1.15 can leave the triangle by a hair at its edges: the channel stops at its
                // ends instead of wrapping to the other one.
                const int64_t level = std::clamp<int64_t>(value[channel] >> 16, 0, 255);
                pixel |= static_cast<uint32_t>(level) << (8 * channel);
                value[channel] += step[channel];
            }
            out[i] = pixel;
        }
    });
}
