#include "render/software/gouraud_stage_mmx.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
bool g_portable = false;
#else
bool g_portable = true;
#endif

// The channel's 16.16 value at the span start and its step, in 32 bits: the products of 15-bit weights and deltas
// of at most 255 x 128 stay within 31 bits, and so does their sum.
void SpanStart(const SWgouraudstageMMX::Setup& setup, const SWspan& span, int32_t value[4], int32_t step[4])
{
    const int32_t s = WeightS(span.weights);
    const int32_t t = WeightT(span.weights);
    const int32_t ds = WeightS(span.steps);
    const int32_t dt = WeightT(span.steps);
    for (int channel = 0; channel < 4; ++channel) {
        value[channel] = (setup.start[channel] << 9) + ((setup.d1[channel] * s + setup.d2[channel] * t) >> 6);
        step[channel] = (setup.d1[channel] * ds + setup.d2[channel] * dt) >> 6;
    }
}

} // namespace

void SWgouraudstageMMX::UsePortableLanes(bool portable)
{
#if defined(__SSE2__)
    g_portable = portable;
#else
    (void)portable;
#endif
}

SWspanstage::SpanRoutine SWgouraudstageMMX::SelectRoutines(SetupRoutine& outSetup)
{
    outSetup = SetUp;
    return g_portable ? SpansPortable : Spans;
}

void SWgouraudstageMMX::SetUp(SWspanstage& stage, const uint32_t* const vertices[3])
{
    SWgouraudstageMMX& self = static_cast<SWgouraudstageMMX&>(stage);
    const int word = 4 + (stage.Bound().registers[0] & 7);
    const uint32_t c0 = vertices[0][word];
    const uint32_t c1 = vertices[1][word];
    const uint32_t c2 = vertices[2][word];
    Setup& setup = self.m_setup;
    setup.isFlat = c0 == c1 && c1 == c2;
    setup.flatColour = c0;
    for (int channel = 0; channel < 4; ++channel) {
        const int shift = 8 * channel;
        const int32_t v0 = static_cast<int32_t>(c0 >> shift & 0xFF);
        setup.start[channel] = v0 << 7 | 64;
        setup.d1[channel] = (static_cast<int32_t>(c1 >> shift & 0xFF) - v0) * 128;
        setup.d2[channel] = (static_cast<int32_t>(c2 >> shift & 0xFF) - v0) * 128;
        setup.deltaPairs[2 * channel] = static_cast<int16_t>(setup.d1[channel]);
        setup.deltaPairs[2 * channel + 1] = static_cast<int16_t>(setup.d2[channel]);
    }
}

const SWspan* SWgouraudstageMMX::SpansPortable(SWspanstage& stage, const SWspan* spans)
{
    const SWgouraudstageMMX& self = static_cast<const SWgouraudstageMMX&>(stage);
    const Setup& setup = self.m_setup;
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = self.Operand(0, span.pixels, offset);
        if (setup.isFlat) {
            std::fill_n(out, span.count, setup.flatColour);
            return;
        }
        int32_t value[4];
        int32_t step[4];
        SpanStart(setup, span, value, step);
        for (int32_t i = 0; i < span.count; ++i) {
            uint32_t pixel = 0;
            for (int channel = 0; channel < 4; ++channel) {
                const int32_t level = std::clamp(value[channel] >> 16, 0, 255);
                pixel |= static_cast<uint32_t>(level) << (8 * channel);
                // The lanes wrap as the register's do.
                value[channel] =
                    static_cast<int32_t>(static_cast<uint32_t>(value[channel]) + static_cast<uint32_t>(step[channel]));
            }
            out[i] = pixel;
        }
    });
}

const SWspan* SWgouraudstageMMX::Spans(SWspanstage& stage, const SWspan* spans)
{
#if defined(__SSE2__)
    const SWgouraudstageMMX& self = static_cast<const SWgouraudstageMMX&>(stage);
    const Setup& setup = self.m_setup;
    // SpanStart's numbers, all channels at once: each delta and weight fits 16 bits, and d1 s + d2 t fits 31.
    const __m128i deltas = _mm_loadu_si128(reinterpret_cast<const __m128i*>(setup.deltaPairs));
    const __m128i base = _mm_slli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(setup.start)), 9);
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = self.Operand(0, span.pixels, offset);
        if (setup.isFlat) {
            std::fill_n(out, span.count, setup.flatColour);
            return;
        }
        const __m128i weights = _mm_set1_epi32(static_cast<int32_t>(span.weights));
        __m128i value = _mm_add_epi32(base, _mm_srai_epi32(_mm_madd_epi16(deltas, weights), 6));
        const __m128i step =
            _mm_srai_epi32(_mm_madd_epi16(deltas, _mm_set1_epi32(static_cast<int32_t>(span.steps))), 6);
        // Four pixels a round from four values a step apart; the lanes wrap as the single value's do, so every
        // pixel is the one the pixel-by-pixel loop gives.
        const __m128i step2 = _mm_add_epi32(step, step);
        const __m128i step4 = _mm_add_epi32(step2, step2);
        __m128i v0 = value;
        __m128i v1 = _mm_add_epi32(value, step);
        __m128i v2 = _mm_add_epi32(value, step2);
        __m128i v3 = _mm_add_epi32(v1, step2);
        int32_t i = 0;
        for (; i + 4 <= span.count; i += 4) {
            const __m128i low = _mm_packs_epi32(_mm_srai_epi32(v0, 16), _mm_srai_epi32(v1, 16));
            const __m128i high = _mm_packs_epi32(_mm_srai_epi32(v2, 16), _mm_srai_epi32(v3, 16));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
            v0 = _mm_add_epi32(v0, step4);
            v1 = _mm_add_epi32(v1, step4);
            v2 = _mm_add_epi32(v2, step4);
            v3 = _mm_add_epi32(v3, step4);
        }
        value = v0;
        for (; i < span.count; ++i) {
            // Arithmetic shift, then both packs saturate: below 0 gives 0, above 255 gives 255.
            const __m128i level = _mm_srai_epi32(value, 16);
            const __m128i words = _mm_packs_epi32(level, level);
            out[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
            value = _mm_add_epi32(value, step);
        }
    });
#else
    return SpansPortable(stage, spans);
#endif
}
