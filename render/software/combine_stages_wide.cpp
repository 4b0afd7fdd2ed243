#include "render/software/combine_stages_wide.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/format_record.h"
#include "render/software/combine_stages.h"

namespace {

uint32_t Constant(const SWspanstage& stage, uint8_t index)
{
    const SWtexturestages* format = stage.Bound().format;
    return format != nullptr && index < kTextureStageCount ? format->constants[index] : 0;
}

#if defined(__SSE2__)
const __m128i kZero = _mm_setzero_si128();

__m128i Load(const uint32_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Per channel (b x c >> 8) + d over the low and high pixel pairs, saturated, alpha cleared.
__m128i MultiplyAdd4(__m128i b, __m128i c, __m128i d)
{
    const __m128i low =
        _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(b, kZero), _mm_unpacklo_epi8(c, kZero)), 8),
                      _mm_unpacklo_epi8(d, kZero));
    const __m128i high =
        _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(b, kZero), _mm_unpackhi_epi8(c, kZero)), 8),
                      _mm_unpackhi_epi8(d, kZero));
    return _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
}

__m128i Blend4(__m128i b, __m128i c, __m128i d, int full)
{
    const __m128i keep32 = _mm_sub_epi32(_mm_set1_epi32(full), _mm_srli_epi32(b, 24)); // 1..256
    const __m128i keep16 = _mm_packs_epi32(keep32, keep32);
    const __m128i pairs = _mm_unpacklo_epi16(keep16, keep16);
    const __m128i keepLow = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i keepHigh = _mm_unpackhi_epi32(pairs, pairs);
    const __m128i low = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(c, kZero), keepLow), 8),
                                      _mm_unpacklo_epi8(d, kZero));
    const __m128i high = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(c, kZero), keepHigh), 8),
                                       _mm_unpackhi_epi8(d, kZero));
    return _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
}

__m128i AlphaProduct4(__m128i b, __m128i c)
{
    return _mm_slli_epi32(_mm_mullo_epi16(_mm_srli_epi32(b, 24), _mm_srli_epi32(c, 24)), 16);
}

// The signed dot product of the pixel pairs' colour channels: 32-bit sums in lanes 0 and 2.
__m128i DotPairs(__m128i b, __m128i c, bool high)
{
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i noAlpha = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i wb = _mm_sub_epi16(high ? _mm_unpackhi_epi8(b, kZero) : _mm_unpacklo_epi8(b, kZero), bias);
    const __m128i wc = _mm_sub_epi16(high ? _mm_unpackhi_epi8(c, kZero) : _mm_unpacklo_epi8(c, kZero), bias);
    const __m128i products = _mm_madd_epi16(_mm_and_si128(wb, noAlpha), wc);
    return _mm_add_epi32(products, _mm_shuffle_epi32(products, _MM_SHUFFLE(2, 3, 0, 1)));
}

__m128i Dot34(__m128i b, __m128i c)
{
    const __m128i low = DotPairs(b, c, false);
    const __m128i high = DotPairs(b, c, true);
    // Lanes 0 and 2 of each: pixels 0, 1 and 2, 3.
    __m128i sums = _mm_unpacklo_epi64(_mm_shuffle_epi32(low, _MM_SHUFFLE(3, 1, 2, 0)),
                                      _mm_shuffle_epi32(high, _MM_SHUFFLE(3, 1, 2, 0)));
    sums = _mm_srai_epi32(sums, 6);
    sums = _mm_andnot_si128(_mm_cmpgt_epi32(kZero, sums), sums); // a sum not positive gives 0 after the shift too
    const __m128i over = _mm_cmpgt_epi32(sums, _mm_set1_epi32(255));
    sums = _mm_or_si128(_mm_andnot_si128(over, sums), _mm_and_si128(over, _mm_set1_epi32(255)));
    sums = _mm_or_si128(sums, _mm_slli_epi32(sums, 8));
    return _mm_or_si128(sums, _mm_slli_epi32(sums, 16));
}
#endif

// out[i] = form of (b[i], c[i], d[i]), four pixels at a time with wide, the last ones with the plain form.
template <typename Wide, typename Plain>
const SWspan* WideRuns(const SWspanstage& stage, const SWspan* spans, [[maybe_unused]] Wide wide, Plain plain)
{
    return ForEachRunInPass(spans, [&](uint32_t* pixels, int32_t count, int32_t offset) {
        const SWoperand* operands = stage.Bound().operands;
        auto at = [&](int slot) { return operands[slot].isFrameBuffer ? pixels : operands[slot].row + offset; };
        uint32_t* const out = at(0);
        const uint32_t* const b = at(1);
        const uint32_t* const c = at(2);
        const uint32_t* const d = at(3);
        int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), wide(Load(b + i), Load(c + i), Load(d + i)));
#endif
        for (; i < count; ++i)
            out[i] = plain(b[i], c[i], d[i]);
    });
}

const SWspan* AddSpans(SWspanstage& stage, const SWspan* spans)
{
    return WideRuns(
        stage, spans,
        [](auto b, auto c, auto) {
#if defined(__SSE2__)
            return _mm_adds_epu8(b, c);
#else
            return b;
#endif
        },
        [](uint32_t b, uint32_t c, uint32_t) { return plainstage::Add(b, c); });
}

#if defined(__SSE2__)
#define VORTAN_WIDE(expression) [&](__m128i b, __m128i c, __m128i d) { return expression; }
#else
#define VORTAN_WIDE(expression) 0
#endif

const SWspan* Dot3Spans(SWspanstage& stage, const SWspan* spans)
{
    return WideRuns(stage, spans, VORTAN_WIDE(((void)d, Dot34(b, c))),
                    [](uint32_t b, uint32_t c, uint32_t) { return plainstage::Dot3(b, c); });
}

const SWspan* MultiplyAddSpans(SWspanstage& stage, const SWspan* spans)
{
    return WideRuns(stage, spans, VORTAN_WIDE(MultiplyAdd4(b, c, d)), plainstage::MultiplyAdd);
}

const SWspan* BlendSpans(SWspanstage& stage, const SWspan* spans)
{
    return WideRuns(stage, spans, VORTAN_WIDE(Blend4(b, c, d, 256)),
                    [](uint32_t b, uint32_t c, uint32_t d) { return plainstage::Blend(b, c, d, 256); });
}

const SWspan* ScaleAddSpans(SWspanstage& stage, const SWspan* spans)
{
    const uint32_t k = Constant(stage, stage.Bound().registers[3]);
#if defined(__SSE2__)
    const __m128i wideK = _mm_set1_epi32(static_cast<int>(k));
#endif
    return WideRuns(stage, spans, VORTAN_WIDE(((void)d, MultiplyAdd4(b, wideK, c))),
                    [k](uint32_t b, uint32_t c, uint32_t) { return plainstage::ScaleAdd(b, k, c); });
}

const SWspan* AlphaProductSpans(SWspanstage& stage, const SWspan* spans)
{
    return WideRuns(stage, spans, VORTAN_WIDE(((void)d, AlphaProduct4(b, c))),
                    [](uint32_t b, uint32_t c, uint32_t) { return plainstage::AlphaProduct(b, c); });
}

#undef VORTAN_WIDE

} // namespace

SWspanstage::SpanRoutine SWaddstageWide::SelectRoutines(SetupRoutine&)
{
    return AddSpans;
}

SWspanstage::SpanRoutine SWdot3stageWide::SelectRoutines(SetupRoutine&)
{
    return Dot3Spans;
}

SWspanstage::SpanRoutine SWmultiplyaddstageWide::SelectRoutines(SetupRoutine&)
{
    return MultiplyAddSpans;
}

SWspanstage::SpanRoutine SWblendstageWide::SelectRoutines(SetupRoutine&)
{
    return BlendSpans;
}

SWspanstage::SpanRoutine SWscaleaddstageWide::SelectRoutines(SetupRoutine&)
{
    return ScaleAddSpans;
}

SWspanstage::SpanRoutine SWalphaproductstageWide::SelectRoutines(SetupRoutine&)
{
    return AlphaProductSpans;
}
