#include "render/software/gouraud_stage.h"

#include <algorithm>

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
