#include "render/software/texture_stages.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/resources/texture.h"
#include "render/format_record.h"
#include "render/software/float_bits.h"

namespace {

constexpr uint32_t kMostTextureSide = 65536;
constexpr uint32_t kFalloffSide = 32;
constexpr size_t kFalloffBytes = 512;
constexpr int32_t kHalfTexel64 = 32; // the filtered stages sample texel centres: a centre reads its texel alone

using WeightTable = std::array<std::array<uint16_t, 4>, 256>;

constexpr WeightTable MakeBilinearWeights()
{
    WeightTable table{};
    for (uint32_t fu = 0; fu < 16; ++fu) {
        for (uint32_t fv = 0; fv < 16; ++fv) {
            table[fu * 16 + fv] = {static_cast<uint16_t>((16 - fu) * (16 - fv)), static_cast<uint16_t>(fu * (16 - fv)),
                                   static_cast<uint16_t>((16 - fu) * fv), static_cast<uint16_t>(fu * fv)};
        }
    }
    return table;
}

constexpr WeightTable kBilinearWeights = MakeBilinearWeights();

bool IsTextureSide(int32_t side)
{
    return side >= 1 && static_cast<uint32_t>(side) <= kMostTextureSide &&
           std::has_single_bit(static_cast<uint32_t>(side));
}

float VertexWord(const uint32_t* vertex, int word)
{
    return std::bit_cast<float>(vertex[word]);
}

uint32_t Texel(const SWtexturestage::Layer& layer, uint32_t u, uint32_t v)
{
    return layer.texels[((v >> layer.rowShift) & layer.rowMask) | ((u >> 16) & layer.columnMask)];
}

} // namespace

const uint16_t* BilinearWeights(uint32_t fu, uint32_t fv)
{
    return kBilinearWeights[(fu & 15) * 16 + (fv & 15)].data();
}

bool SWtexturestage::FindLayer(const SWtexturestages& format, int layer, bool isFalloff, Layer& out)
{
    out = {};
    if (layer < 0 || layer >= std::min<int>(format.layerCount, kTextureStageCount))
        return false;
    const SWtexture* image = format.images[layer];
    if (image == nullptr || image->GetPixels() == nullptr)
        return false;
    const int32_t width = image->GetWidth();
    const int32_t height = image->GetHeight();
    if (!IsTextureSide(width) || !IsTextureSide(height))
        return false;
    const int set = format.coordinateSets[layer];
    const int word = format.firstFloatWord + 2 * set;
    if (set < 0 || word < 4 || word + 2 > format.vertexStride)
        return false;
    if (isFalloff) {
        if (static_cast<uint32_t>(width) != kFalloffSide || static_cast<uint32_t>(height) != kFalloffSide)
            return false;
        out.falloff = image->GetFalloff();
        if (out.falloff.size() < kFalloffBytes)
            return false;
    }
    const uint32_t widthLog = static_cast<uint32_t>(std::countr_zero(static_cast<uint32_t>(width)));
    out.texels = image->GetPixels();
    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(height);
    out.columnMask = out.width - 1;
    out.rowMask = (out.height - 1) << widthLog;
    out.rowShift = 16 - widthLog;
    out.coordinateWord = word;
    return true;
}

const SWspan* SWtexturestage::ZeroSpans(SWspanstage& stage, const SWspan* spans)
{
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        const SWoperand& out = stage.Bound().operands[0];
        std::fill_n(out.isFrameBuffer ? span.pixels : out.row + offset, span.count, 0u);
    });
}

void SWtexturestage::SetUpCoordinates(const uint32_t* const vertices[3], int32_t offset, float unitsPerTexel)
{
    const int64_t offset64 = offset;
    const float uScale = static_cast<float>(m_layer.width) * unitsPerTexel;
    const float vScale = static_cast<float>(m_layer.height) * unitsPerTexel;
    int64_t u[3];
    int64_t v[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = int64_t{FloatToIntLowBits(VertexWord(vertices[i], m_layer.coordinateWord) * uScale)} - offset64;
        v[i] = int64_t{FloatToIntLowBits(VertexWord(vertices[i], m_layer.coordinateWord + 1) * vScale)} - offset64;
    }
    m_setup = {u[0], v[0], u[1] - u[0], u[2] - u[0], v[1] - v[0], v[2] - v[0]};
}

void SWtexturestage::StartOf(const SWspan& span, uint32_t& u, uint32_t& v, uint32_t& du, uint32_t& dv) const
{
    const int64_t s = WeightS(span.weights);
    const int64_t t = WeightT(span.weights);
    const int64_t ds = WeightS(span.steps);
    const int64_t dt = WeightT(span.steps);
    const Setup& p = m_setup;
    // 64-bit products: a texture repeated many times across one triangle has deltas far past 16 bits. The 16.16
    // results keep their low 32 bits, which is the repeat.
    u = static_cast<uint32_t>(static_cast<uint64_t>(p.u0 * 1024 + ((p.du1 * s + p.du2 * t) >> 5)));
    v = static_cast<uint32_t>(static_cast<uint64_t>(p.v0 * 1024 + ((p.dv1 * s + p.dv2 * t) >> 5)));
    du = static_cast<uint32_t>(static_cast<uint64_t>((p.du1 * ds + p.du2 * dt) >> 5));
    dv = static_cast<uint32_t>(static_cast<uint64_t>((p.dv1 * ds + p.dv2 * dt) >> 5));
}

bool SWtexturestage::FindBoundLayer(bool isFalloff)
{
    const Binding& binding = Bound();
    return binding.format != nullptr && FindLayer(*binding.format, binding.registers[0] & 7, isFalloff, m_layer);
}

void SWtexturestage::SetUpNearest(SWspanstage& stage, const uint32_t* const vertices[3])
{
    static_cast<SWtexturestage&>(stage).SetUpCoordinates(vertices, 0);
}

void SWtexturestage::SetUpFiltered(SWspanstage& stage, const uint32_t* const vertices[3])
{
    static_cast<SWtexturestage&>(stage).SetUpCoordinates(vertices, kHalfTexel64);
}

namespace {

uint32_t* OutputOf(const SWspanstage& stage, const SWspan& span, int32_t offset)
{
    const SWoperand& out = stage.Bound().operands[0];
    return out.isFrameBuffer ? span.pixels : out.row + offset;
}

uint32_t FilteredTexel(const SWtexturestage::Layer& layer, uint32_t u, uint32_t v)
{
    const uint32_t p00 = Texel(layer, u, v);
    const uint32_t p10 = Texel(layer, u + 0x10000u, v);
    const uint32_t p01 = Texel(layer, u, v + 0x10000u);
    const uint32_t p11 = Texel(layer, u + 0x10000u, v + 0x10000u);
    const uint16_t* const w = BilinearWeights(u >> 12 & 15, v >> 12 & 15);
    // Red and blue side by side in one word, green apart: the weights sum to 256, so no channel's sum passes
    // 255 x 256 and none carries into the next; each is its own sum shifted right 8, as channel by channel.
    const uint32_t redBlue = (p00 & 0x00FF00FFu) * w[0] + (p10 & 0x00FF00FFu) * w[1] + (p01 & 0x00FF00FFu) * w[2] +
                             (p11 & 0x00FF00FFu) * w[3];
    const uint32_t green = (p00 & 0x0000FF00u) * w[0] + (p10 & 0x0000FF00u) * w[1] + (p01 & 0x0000FF00u) * w[2] +
                           (p11 & 0x0000FF00u) * w[3];
    return (p00 & 0xFF000000u) | (redBlue >> 8 & 0x00FF00FFu) | (green >> 8 & 0x0000FF00u);
}

} // namespace

template <uint32_t (*Sample)(const SWtexturestage::Layer&, uint32_t, uint32_t)>
const SWspan* SWtexturestage::SampledSpans(SWspanstage& stage, const SWspan* spans)
{
    const SWtexturestage& self = static_cast<const SWtexturestage&>(stage);
    const Layer& layer = self.m_layer;
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = OutputOf(stage, span, offset);
        uint32_t u, v, du, dv;
        self.StartOf(span, u, v, du, dv);
        for (int32_t i = 0; i < span.count; ++i, u += du, v += dv)
            out[i] = Sample(layer, u, v);
    });
}

namespace {

// The falloff image is 32 x 32: its centre at texel 15 in each direction, distances in 1/1024 texel.
uint32_t FalloffTexel(const SWtexturestage::Layer& layer, uint32_t centre, uint32_t uBits, uint32_t vBits)
{
    const int64_t u = static_cast<int32_t>(uBits);
    const int64_t v = static_cast<int32_t>(vBits);
    const int64_t lastU = int64_t{layer.width - 1} << 16;
    const int64_t lastV = int64_t{layer.height - 1} << 16;
    if (u < 0 || v < 0 || u >= lastU || v >= lastV)
        return 0;
    const int64_t dx = (u - (int64_t{15} << 16)) >> 6;
    const int64_t dy = (v - (int64_t{15} << 16)) >> 6;
    const int64_t q = dx * dx + dy * dy + (int64_t{1} << 20);
    if (q >= 0x0FFF8002)
        return 0;
    const uint32_t f = layer.falloff[static_cast<size_t>(q >> 19)];
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((centre >> shift & 0xFF) * f >> 8) << shift;
    return out;
}

} // namespace

const SWspan* SWtexturestage::FalloffSpans(SWspanstage& stage, const SWspan* spans)
{
    const SWtexturestage& self = static_cast<const SWtexturestage&>(stage);
    const Layer& layer = self.m_layer;
    const uint32_t centre = layer.texels[(kFalloffSide / 2 - 1) * layer.width + kFalloffSide / 2 - 1];
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = OutputOf(stage, span, offset);
        uint32_t u, v, du, dv;
        self.StartOf(span, u, v, du, dv);
        for (int32_t i = 0; i < span.count; ++i, u += du, v += dv)
            out[i] = FalloffTexel(layer, centre, u, v);
    });
}

SWspanstage::SpanRoutine SWnearesttexturestage::SelectRoutines(SetupRoutine& outSetup)
{
    if (!FindBoundLayer(false))
        return ZeroSpans;
    outSetup = SetUpNearest;
    return SampledSpans<Texel>;
}

SWspanstage::SpanRoutine SWnearesttexturestageMMX::SelectRoutines(SetupRoutine& outSetup)
{
    if (!FindBoundLayer(false))
        return ZeroSpans;
    outSetup = SetUpFine;
    return FineSpans;
}

void SWnearesttexturestageMMX::SetUpFine(SWspanstage& stage, const uint32_t* const vertices[3])
{
    static_cast<SWnearesttexturestageMMX&>(stage).SetUpCoordinates(vertices, 0, 65536.0f);
}

const SWspan* SWnearesttexturestageMMX::FineSpans(SWspanstage& stage, const SWspan* spans)
{
    const SWnearesttexturestageMMX& self = static_cast<const SWnearesttexturestageMMX&>(stage);
    const Layer& layer = self.m_layer;
    const Setup& p = self.m_setup;
    return ForEachSpanInPass(spans, [&](const SWspan& span, int32_t offset) {
        uint32_t* const out = OutputOf(stage, span, offset);
        const int64_t s = WeightS(span.weights);
        const int64_t t = WeightT(span.weights);
        const int64_t ds = WeightS(span.steps);
        const int64_t dt = WeightT(span.steps);
        // Formed in 64 bits; the low 32 bits are the repeat, as in the plain stage.
        uint32_t u = static_cast<uint32_t>(static_cast<uint64_t>(p.u0 + ((p.du1 * s + p.du2 * t) >> 15)));
        uint32_t v = static_cast<uint32_t>(static_cast<uint64_t>(p.v0 + ((p.dv1 * s + p.dv2 * t) >> 15)));
        const uint32_t du = static_cast<uint32_t>(static_cast<uint64_t>((p.du1 * ds + p.du2 * dt) >> 15));
        const uint32_t dv = static_cast<uint32_t>(static_cast<uint64_t>((p.dv1 * ds + p.dv2 * dt) >> 15));
        for (int32_t i = 0; i < span.count; ++i, u += du, v += dv)
            out[i] = Texel(layer, u, v);
    });
}

SWspanstage::SpanRoutine SWfilteredtexturestage::SelectRoutines(SetupRoutine& outSetup)
{
    if (!FindBoundLayer(false))
        return ZeroSpans;
    outSetup = SetUpFiltered;
    return SampledSpans<FilteredTexel>;
}

SWspanstage::SpanRoutine SWfalloffstage::SelectRoutines(SetupRoutine& outSetup)
{
    if (!FindBoundLayer(true))
        return ZeroSpans;
    outSetup = SetUpFiltered;
    return FalloffSpans;
}
