#include "codecs/sound/Tonalwave/tonalwave_layout.h"

#include <cassert>

#include "codecs/sound/Tonalwave/tonalwave_frame.h"

namespace sound {

namespace {

enum class Rotation {
    kNone,
    kLinear, // (j + i) mod n
    kSquare, // (j j + i) mod n
};

// Element j of vector i takes position p of the interleaved order. Rows below the last full one are rotated so
// that neighbouring coefficients fall into different vectors; the last row, which only the longer vectors reach,
// stays in place. Bounding the rotation by the row rather than by each vector's own last element keeps the map a
// permutation when the vectors differ in length.
int PositionOf(int vector, int element, int count, int fullRows, Rotation rotation)
{
    if (rotation == Rotation::kNone || element >= fullRows)
        return element * count + vector;
    const int shift = rotation == Rotation::kLinear ? element : element * element;
    return (shift + vector) % count + element * count;
}

TonalwaveVectorSet BuildVectorSet(int elements, int bits, int count, Rotation rotation,
                                  int (*coefficientOf)(int p, const void* context), const void* context)
{
    TonalwaveVectorSet set;
    const std::vector<int> widths = SplitEven(bits, count);
    const std::vector<int> lengths = SplitEven(elements, count);
    set.widths.assign(widths.begin(), widths.end());
    set.start.resize(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i)
        set.start[static_cast<size_t>(i) + 1] =
            static_cast<uint16_t>(set.start[static_cast<size_t>(i)] + lengths[static_cast<size_t>(i)]);
    const int fullRows = count > 0 ? lengths[0] - 1 : 0;
    set.coefficientOf.resize(static_cast<size_t>(elements));
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < lengths[static_cast<size_t>(i)]; ++j) {
            const int p = PositionOf(i, j, count, fullRows, rotation);
            set.coefficientOf[set.start[static_cast<size_t>(i)] + static_cast<size_t>(j)] =
                static_cast<uint16_t>(coefficientOf(p, context));
        }
    }
    return set;
}

struct ChannelMap {
    int channels;
    int length; // coefficients per channel, or per block
    int blocks; // blocks per channel
};

// Position p names channel p mod C and index p div C: long frames and the periodic component.
int ChannelCoefficient(int p, const void* context)
{
    const auto& map = *static_cast<const ChannelMap*>(context);
    return (p % map.channels) * map.length + p / map.channels;
}

// Position p names block p mod (C B), counted channel by channel, and index p div (C B) within it.
int BlockCoefficient(int p, const void* context)
{
    const auto& map = *static_cast<const ChannelMap*>(context);
    const int blocks = map.channels * map.blocks;
    return (p % blocks) * map.length + p / blocks;
}

} // namespace

std::vector<int> SplitEven(int total, int parts)
{
    std::vector<int> sizes;
    if (parts <= 0)
        return sizes;
    sizes.reserve(static_cast<size_t>(parts));
    int rest = total;
    for (int left = parts; left > 0; --left) {
        const int size = (rest + left - 1) / left;
        sizes.push_back(size);
        rest -= size;
    }
    return sizes;
}

size_t MainVectorBytes(const TonalwaveLayout& layout)
{
    size_t bytes = 0;
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        const TonalwaveVectorSet& set = layout.vectors[k];
        bytes += set.widths.capacity() + 2 * (set.start.capacity() + set.coefficientOf.capacity()) +
                 layout.fieldWidths[k].capacity();
    }
    return bytes;
}

TonalwaveKind KindOfWindowCode(int windowCode)
{
    switch (windowCode) {
    case 4:
    case 7:
    case 8:
        return TonalwaveKind::kMedium;
    case 0:
    case 1:
    case 3:
    case 5:
    case 6:
        return TonalwaveKind::kLong;
    default:
        return TonalwaveKind::kShort;
    }
}

TonalwaveLayout BuildLayout(const TonalwaveConfiguration& config)
{
    TonalwaveLayout layout;
    layout.config = config;
    const int padBits = config.padWidths[0] + config.padWidths[1];
    layout.sizes = SizesOf(config.set, config.channels, padBits);
    const TonalwaveSizes& s = layout.sizes;
    const TonalwaveParameterSet& p = ParametersOf(config.set);
    const int c = s.channels;
    const int all = c * s.frameSamples;

    const ChannelMap longMap{c, s.frameSamples, 1};
    const Rotation longRotation = c == 2 && s.vectorCount[0] % 2 == 0 ? Rotation::kLinear : Rotation::kNone;
    layout.vectors[0] =
        BuildVectorSet(all, s.vectorBits[0], s.vectorCount[0], longRotation, ChannelCoefficient, &longMap);
    for (int k = 1; k < kTonalwaveKinds; ++k) {
        const ChannelMap blockMap{c, s.blockLength[static_cast<size_t>(k)], s.blockCount[static_cast<size_t>(k)]};
        const Rotation rotation = s.vectorCount[static_cast<size_t>(k)] % 2 == 0 ? Rotation::kSquare : Rotation::kNone;
        layout.vectors[static_cast<size_t>(k)] =
            BuildVectorSet(all, s.vectorBits[static_cast<size_t>(k)], s.vectorCount[static_cast<size_t>(k)], rotation,
                           BlockCoefficient, &blockMap);
    }
    const ChannelMap periodicMap{c, p.periodicLength, 1};
    const Rotation periodicRotation = c == 2 && s.periodicVectorCount % 2 == 0 ? Rotation::kSquare : Rotation::kNone;
    layout.periodic = BuildVectorSet(c * p.periodicLength, c * p.periodicBits, s.periodicVectorCount, periodicRotation,
                                     ChannelCoefficient, &periodicMap);
    FillFieldWidths(layout);
    return layout;
}

PeriodicPlacement PlacementOf(const TonalwaveLayout& layout, int frameSamples, int channels)
{
    const TonalwaveParameterSet& p = ParametersOf(layout.config.set);
    PeriodicPlacement placement;
    placement.rateKhz = static_cast<float>(layout.config.sampleRate) / 1000.0f;
    placement.valuesPerChannel = p.periodicLength;
    placement.largestIndex = (1 << p.periodBits) - 1;
    placement.frameSamples = frameSamples;
    placement.channels = channels;
    placement.bitRateKbps = layout.config.bitRateKbps;
    return placement;
}

} // namespace sound
