#pragma once
// What a Tonalwave codec builds once at open from its configuration: the field width lists of the three frame
// kinds, the bit widths of every vector, and the mapping of vector elements to transform coefficients.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_parameters.h"
#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace sound {

inline constexpr int kMaxFrameFields = 700;

struct TonalwaveVectorSet {
    std::vector<uint8_t> widths;         // bits of each vector: ceil(w/2) for its first index, floor(w/2) its second
    std::vector<uint16_t> start;         // element index of each vector's first element; one more entry: the total
    std::vector<uint16_t> coefficientOf; // element -> coefficient: channel c block b index k at (c B + b) L + k
    int Count() const { return static_cast<int>(widths.size()); }
    int LengthOf(int vector) const { return start[vector + 1] - start[vector]; }
};

struct TonalwaveLayout {
    TonalwaveConfiguration config;
    TonalwaveSizes sizes;
    std::array<TonalwaveVectorSet, kTonalwaveKinds> vectors;       // main vectors of each kind
    TonalwaveVectorSet periodic;                                   // coefficientOf: channel c index k at c R + k
    std::array<std::vector<uint8_t>, kTonalwaveKinds> fieldWidths; // the kind's field list, window code first
    std::array<int, kTonalwaveKinds> fieldBits = {};               // their total: the frame's bits
    bool HasBandwidthCode(TonalwaveKind kind) const
    {
        return kind != TonalwaveKind::kShort && config.set != TonalwaveSet::k8k6;
    }
};

// Builds every list and map; std::bad_alloc escapes to the open that catches it.
TonalwaveLayout BuildLayout(const TonalwaveConfiguration& config);

// The heap bytes of the main vector sets and the field lists, as the codecs' memory figures count them.
size_t MainVectorBytes(const TonalwaveLayout& layout);

// Where a frame's periodic values go, as the encoder and the decoder both place them.
PeriodicPlacement PlacementOf(const TonalwaveLayout& layout, int frameSamples, int channels);

// A total split over parts, larger parts first: part i gets ceil(rest / parts left).
std::vector<int> SplitEven(int total, int parts);

TonalwaveKind KindOfWindowCode(int windowCode); // 4, 7, 8 medium; 2 and 9..14 short; the others long

} // namespace sound
