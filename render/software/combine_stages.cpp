#include "render/software/combine_stages.h"

#include <algorithm>

#include "render/format_record.h"

namespace plainstage {

uint32_t Add(uint32_t b, uint32_t c)
{
    // Low seven bits of every byte add without crossing bytes; the top bits decide the carry out of each byte.
    const uint32_t low = (b & 0x7F7F7F7Fu) + (c & 0x7F7F7F7Fu);
    const uint32_t top = (b | c) & 0x80808080u;
    const uint32_t both = b & c & 0x80808080u;
    const uint32_t carry = both | (top & low); // the byte passed 255
    const uint32_t sum = low ^ top;
    // 0xFF in every byte that carried: bit 7 of the byte moved to bit 8, less bit 0; the top byte's bit 8 is the
    // word's bit 32, gone, which leaves the same 0xFF there in 32-bit arithmetic.
    const uint32_t overflow = (carry << 1) - (carry >> 7);
    return sum | overflow;
}

uint32_t Dot3(uint32_t b, uint32_t c)
{
    int32_t sum = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        sum += (static_cast<int32_t>(b >> shift & 0xFF) - 128) * (static_cast<int32_t>(c >> shift & 0xFF) - 128);
    if (sum <= 0)
        return 0;
    // Vectors encoded about 128 reach 256 when facing each other and up to 768 at the corners: a light as bright
    // as it gets stays white instead of wrapping into the next byte.
    const uint32_t n = static_cast<uint32_t>(std::min(sum >> 6, 255));
    return n * 0x01010101u;
}

uint32_t MultiplyAdd(uint32_t b, uint32_t c, uint32_t d)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t value = ((b >> shift & 0xFF) * (c >> shift & 0xFF) >> 8) + (d >> shift & 0xFF);
        out |= std::min(value, 255u) << shift;
    }
    return out;
}

uint32_t Modulate(uint32_t b, uint32_t c)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((b >> shift & 0xFF) * (c >> shift & 0xFF) >> 8) << shift;
    return out;
}

uint32_t Blend(uint32_t b, uint32_t c, uint32_t d, uint32_t full)
{
    const uint32_t keep = full - (b >> 24);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t value = ((c >> shift & 0xFF) * keep >> 8) + (d >> shift & 0xFF);
        out |= std::min(value, 255u) << shift;
    }
    return out;
}

uint32_t ScaleAdd(uint32_t b, uint32_t k, uint32_t c)
{
    return MultiplyAdd(b, k, c);
}

uint32_t AlphaProduct(uint32_t b, uint32_t c)
{
    return ((b >> 24) * (c >> 24)) << 16;
}

} // namespace plainstage

namespace {

// out[i] = form(b[i], c[i], d[i]) over every run of the pass.
template <typename Form> const SWspan* CombineRuns(const SWspanstage& stage, const SWspan* spans, Form form)
{
    return ForEachRunInPass(spans, [&](uint32_t* pixels, int32_t count, int32_t offset) {
        const SWoperand* operands = stage.Bound().operands;
        auto at = [&](int slot) { return operands[slot].isFrameBuffer ? pixels : operands[slot].row + offset; };
        uint32_t* const out = at(0);
        const uint32_t* const b = at(1);
        const uint32_t* const c = at(2);
        const uint32_t* const d = at(3);
        for (int32_t i = 0; i < count; ++i)
            out[i] = form(b[i], c[i], d[i]);
    });
}

// Material constant n of the stage's format record; 0 for an index past the record's eight.
uint32_t Constant(const SWspanstage& stage, uint8_t index)
{
    const SWtexturestages* format = stage.Bound().format;
    return format != nullptr && index < kTextureStageCount ? format->constants[index] : 0;
}

const SWspan* AddSpans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans, [](uint32_t b, uint32_t c, uint32_t) { return plainstage::Add(b, c); });
}

const SWspan* Dot3Spans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans, [](uint32_t b, uint32_t c, uint32_t) { return plainstage::Dot3(b, c); });
}

const SWspan* MultiplyAddSpans(SWspanstage& stage, const SWspan* spans)
{
    // Through a lambda rather than the function's address, so that the loop has the form inline.
    return CombineRuns(stage, spans,
                       [](uint32_t b, uint32_t c, uint32_t d) { return plainstage::MultiplyAdd(b, c, d); });
}

const SWspan* ModulateSpans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans, [](uint32_t b, uint32_t c, uint32_t) { return plainstage::Modulate(b, c); });
}

const SWspan* BlendSpans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans,
                       [](uint32_t b, uint32_t c, uint32_t d) { return plainstage::Blend(b, c, d, 256); });
}

const SWspan* Blend255Spans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans,
                       [](uint32_t b, uint32_t c, uint32_t d) { return plainstage::Blend(b, c, d, 255); });
}

const SWspan* ConstantSpans(SWspanstage& stage, const SWspan* spans)
{
    const uint32_t value = Constant(stage, stage.Bound().registers[1]);
    return ForEachRunInPass(spans, [&](uint32_t* pixels, int32_t count, int32_t offset) {
        const SWoperand& out = stage.Bound().operands[0];
        std::fill_n(out.isFrameBuffer ? pixels : out.row + offset, count, value);
    });
}

const SWspan* ScaleAddSpans(SWspanstage& stage, const SWspan* spans)
{
    const uint32_t k = Constant(stage, stage.Bound().registers[3]);
    return CombineRuns(stage, spans, [k](uint32_t b, uint32_t c, uint32_t) { return plainstage::ScaleAdd(b, k, c); });
}

const SWspan* AlphaProductSpans(SWspanstage& stage, const SWspan* spans)
{
    return CombineRuns(stage, spans, [](uint32_t b, uint32_t c, uint32_t) { return plainstage::AlphaProduct(b, c); });
}

} // namespace

SWspanstage::SpanRoutine SWaddstage::SelectRoutines(SetupRoutine&)
{
    return AddSpans;
}

SWspanstage::SpanRoutine SWdot3stage::SelectRoutines(SetupRoutine&)
{
    return Dot3Spans;
}

SWspanstage::SpanRoutine SWmultiplyaddstage::SelectRoutines(SetupRoutine&)
{
    return MultiplyAddSpans;
}

SWspanstage::SpanRoutine SWmodulatestage::SelectRoutines(SetupRoutine&)
{
    return ModulateSpans;
}

SWspanstage::SpanRoutine SWblendstage::SelectRoutines(SetupRoutine&)
{
    return BlendSpans;
}

SWspanstage::SpanRoutine SWblend255stage::SelectRoutines(SetupRoutine&)
{
    return Blend255Spans;
}

SWspanstage::SpanRoutine SWconstantstage::SelectRoutines(SetupRoutine&)
{
    return ConstantSpans;
}

SWspanstage::SpanRoutine SWscaleaddstage::SelectRoutines(SetupRoutine&)
{
    return ScaleAddSpans;
}

SWspanstage::SpanRoutine SWalphaproductstage::SelectRoutines(SetupRoutine&)
{
    return AlphaProductSpans;
}
