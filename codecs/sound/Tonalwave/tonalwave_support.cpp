#include "codecs/sound/Tonalwave/tonalwave_support.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace sound {

ScratchStack::ScratchStack(size_t bytes) : m_block(std::make_unique<uint8_t[]>(bytes + 16)), m_size(bytes)
{
    const auto base = reinterpret_cast<uintptr_t>(m_block.get());
    m_start = (base & ~uintptr_t{7}) + 8;
    m_top = m_start;
    m_end = base + bytes + 8;
    m_highWater = m_top;
}

void* ScratchStack::Push(size_t bytes)
{
    const size_t step = StepOf(bytes);
    if (step > m_end - m_top) {
        assert(false && "the scratch stack is smaller than this codec's deepest frame step: size it from the "
                        "high-water marks");
        return nullptr;
    }
    void* frame = reinterpret_cast<void*>(m_top);
    m_top += step;
    m_highWater = std::max(m_highWater, m_top);
    return frame;
}

void ScratchStack::Pop(size_t bytes)
{
    const size_t step = StepOf(bytes);
    assert(m_top - m_start >= step && "a pop matches a push");
    m_top -= step;
}

ScratchFrame::~ScratchFrame()
{
    while (m_pushCount > 0)
        m_stack.Pop(m_pushed[--m_pushCount]);
}

void* ScratchFrame::TakeBytes(size_t bytes)
{
    if (m_failed)
        return nullptr;
    assert(m_pushCount < kMaxPushes && "a frame step takes a handful of arrays");
    void* memory = m_pushCount < kMaxPushes ? m_stack.Push(bytes) : nullptr;
    if (memory == nullptr) {
        m_failed = true;
        return nullptr;
    }
    m_pushed[m_pushCount++] = bytes;
    std::memset(memory, 0, bytes);
    return memory;
}

int NextWindowCode(bool transient, bool medium, WindowCodeState& state)
{
    const int previous = state.previousCode;
    int code = previous;
    switch (previous) {
    case 0:
    case 3:
    case 5: // a long frame ending in the long slope
        code = transient ? 1 : medium ? 6 : 0;
        break;
    case 1:
    case 7: // ending in the short slope
        code = 2;
        break;
    case 2:
        code = transient || state.previousTransient ? 2 : medium ? 4 : 3;
        break;
    case 4:
    case 6: // ending in the medium slope
        code = transient ? 7 : 8;
        break;
    case 8:
        code = transient ? 7 : !medium && !state.previousMedium ? 5 : 8;
        break;
    default:
        break;
    }
    state.previousCode = code;
    state.previousTransient = transient;
    state.previousMedium = medium;
    return code;
}

std::vector<int> SplitBoundaries(int splits, int order)
{
    switch (splits) {
    case 2:
        return {0, order / 2 - 1, order};
    case 3: {
        const int third = order / 3;
        return {0, third - 1, order - third, order};
    }
    case 4:
        return {0, order / 4 - 1, order / 2 - 1, order / 2 + order / 4 - 1, order};
    default:
        return {};
    }
}

const std::array<float, 52>& InterpolationWeights()
{
    static const std::array<float, 52> weights = [] {
        std::array<float, 52> w = {};
        size_t at = 0;
        for (const int span : {8, 16, 2, 4}) {
            for (int k = 1; k < span; ++k) {
                w[at++] = static_cast<float>(k) / static_cast<float>(span);
                w[at++] = 1.0f - static_cast<float>(k) / static_cast<float>(span);
            }
        }
        return w;
    }();
    return weights;
}

int InterpolationWeightOffset(int span)
{
    switch (span) {
    case 8:
        return 0;
    case 16:
        return 14;
    case 2:
        return 44;
    case 4:
        return 46;
    default:
        assert(false && "the envelope interpolates spans of 2, 4, 8 and 16 coefficients");
        return 0;
    }
}

void KeepLspSpacing(float* frequencies, int order)
{
    constexpr float kLspSpacing = 0.0001f;
    for (int i = 1; i < order; ++i) {
        const float gap = frequencies[i] - frequencies[i - 1];
        if (gap < kLspSpacing) {
            const float half = 0.5f * (kLspSpacing - gap);
            frequencies[i - 1] -= half;
            frequencies[i] += half;
        }
    }
}

void CombineLsp(const float* r, const float* rho, const float* previous, int order, float* omega)
{
    for (int k = 0; k < order; ++k)
        omega[k] = (1.0f - rho[k]) * r[k] + rho[k] * previous[k];
    KeepLspSpacing(omega, order);
}

float Compress(float x, float largest, float mu)
{
    const float clamped = std::clamp(x, -largest, largest);
    const float magnitude = largest * std::log(1.0f + mu * std::fabs(clamped) / largest) / std::log(1.0f + mu);
    return clamped < 0.0f ? -magnitude : magnitude;
}

float Expand(float y, float largest, float mu)
{
    const float clamped = std::clamp(y, -largest, largest);
    const float magnitude = largest * (std::pow(1.0f + mu, std::fabs(clamped) / largest) - 1.0f) / mu;
    return clamped < 0.0f ? -magnitude : magnitude;
}

void ConvertCodebook(std::span<const int16_t> stored, bool scaled, std::span<float> out)
{
    assert(out.size() >= stored.size() && "a converted table is as long as its stored form");
    const float factor = scaled ? kCodebookScale : 1.0f;
    for (size_t i = 0; i < stored.size(); ++i)
        out[i] = static_cast<float>(stored[i]) * factor;
}

void CodebookEnergies(std::span<const float> codebook, std::span<float> out)
{
    assert(out.size() >= codebook.size() && "one energy per element");
    for (size_t i = 0; i < codebook.size(); ++i)
        out[i] = 0.25f * codebook[i] * codebook[i];
}

void KeepLargest(std::span<float> block, int keep, std::span<uint16_t> work)
{
    const int length = static_cast<int>(block.size());
    assert(static_cast<int>(work.size()) >= length && "one work entry per coefficient");
    // The selection's order: magnitude, then insertion order (coefficient 0 first, then L-1 down to 2), a later
    // insertion counting as smaller. Zeroing the L - K smallest of that order is what walking the ordered tree of
    // insertions does, without its quadratic cost on blocks of equal magnitudes.
    int count = 0;
    work[static_cast<size_t>(count++)] = 0;
    for (int i = length - 1; i >= 2; --i)
        work[static_cast<size_t>(count++)] = static_cast<uint16_t>(i);
    const int zeroCount = std::min(length - keep, count);
    if (zeroCount <= 0)
        return;
    const auto rank = [](uint16_t index) { return index == 0 ? 0 : 0x10000 - index; };
    const auto smaller = [&](uint16_t a, uint16_t b) {
        const float ma = std::fabs(block[a]);
        const float mb = std::fabs(block[b]);
        return ma < mb || (ma == mb && rank(a) > rank(b));
    };
    uint16_t* const first = work.data();
    std::nth_element(first, first + (zeroCount - 1), first + count, smaller);
    for (int i = 0; i < zeroCount; ++i)
        block[work[static_cast<size_t>(i)]] = 0.0f;
}

namespace {

float RoundToStep(float x)
{
    return std::trunc(400.0f * x + 0.5f) * 0.0025f;
}

float WidthFactor(float rateKhz, int bitRateKbps)
{
    if (rateKhz < 9.0f)
        return 2.0f;
    if (rateKhz < 17.0f)
        return 3.0f;
    if (rateKhz < 23.0f)
        return bitRateKbps == 32 ? 2.0f : 4.0f;
    if (rateKhz >= 44.0f)
        return 8.0f;
    return 4.0f;
}

} // namespace

PeriodicHarmonics HarmonicsOf(int periodIndex, const PeriodicPlacement& placement)
{
    const auto n = static_cast<float>(placement.frameSamples);
    const float lowest = RoundToStep(0.2f * n / placement.rateKhz);         // 100 Hz in coefficients
    const float highest = RoundToStep(6.0f * 0.2f * n / placement.rateKhz); // 600 Hz
    const float share = static_cast<float>(periodIndex) / static_cast<float>(placement.largestIndex);
    PeriodicHarmonics h;
    h.fundamental = RoundToStep(share * (highest - lowest) + lowest);
    const float c = WidthFactor(placement.rateKhz, placement.bitRateKbps);
    const auto r = static_cast<float>(placement.valuesPerChannel);
    const float spacing = n / h.fundamental;
    const bool widened = placement.rateKhz >= 17.0f && placement.rateKhz < 23.0f && placement.bitRateKbps == 32;
    h.width = widened ? static_cast<int>((2.0f / h.fundamental + 1.0f) * c * r / spacing + 0.5f)
                      : static_cast<int>(c * r / spacing);
    // A window narrower than one coefficient would place nothing and never finish; one coefficient is the least.
    h.width = std::max(h.width, 1);
    return h;
}

void PeriodicPositions(int periodIndex, const PeriodicPlacement& placement, std::span<int> out)
{
    const int n = placement.frameSamples;
    const int r = placement.valuesPerChannel;
    std::fill_n(out.begin(), r, -1);
    const PeriodicHarmonics h = HarmonicsOf(periodIndex, placement);
    const int half = h.width / 2;
    int placed = 0;
    for (int k = 0; k < half && placed < r; ++k)
        out[static_cast<size_t>(placed++)] = k;
    for (int harmonic = 1; placed < r; ++harmonic) {
        const int centre = static_cast<int>(static_cast<float>(harmonic) * h.fundamental + 0.5f);
        const int from = centre - half;
        if (from >= n)
            break;
        for (int k = from; k <= centre + (h.width - 1) / 2 && placed < r; ++k)
            out[static_cast<size_t>(placed++)] = k >= 0 && k < n ? k : -1;
    }
}

void PlacePeriodic(std::span<const int32_t> periodIndex, std::span<const float> values, std::span<float> out,
                   const PeriodicPlacement& placement)
{
    const int n = placement.frameSamples;
    const int r = placement.valuesPerChannel;
    for (int c = 0; c < placement.channels; ++c) {
        float* const spectrum = out.data() + static_cast<size_t>(c) * static_cast<size_t>(n);
        std::fill(spectrum, spectrum + n, 0.0f);
        const float* const source = values.data() + static_cast<size_t>(c) * static_cast<size_t>(r);
        const PeriodicHarmonics h = HarmonicsOf(periodIndex[static_cast<size_t>(c)], placement);
        const int half = h.width / 2;
        int placed = 0;
        for (int k = 0; k < half && placed < r; ++k)
            spectrum[k] = source[placed++];
        // Harmonics above the frame's band have nowhere to go; so placement also stops at the band's end.
        for (int harmonic = 1; placed < r; ++harmonic) {
            const int centre = static_cast<int>(static_cast<float>(harmonic) * h.fundamental + 0.5f);
            const int from = centre - half;
            if (from >= n)
                break;
            for (int k = from; k <= centre + (h.width - 1) / 2 && placed < r; ++k) {
                const float value = source[placed++];
                if (k >= 0 && k < n)
                    spectrum[k] = value;
            }
        }
    }
}

} // namespace sound
