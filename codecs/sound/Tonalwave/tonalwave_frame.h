#pragma once
// One frame's quantiser indices, shared by the encoder that fills them and the decoder that reads them, and the
// one walk over its fields in stored order that the writer and the reader both follow, so that they are exact
// inverses.
#include <array>
#include <cstdint>
#include <span>

#include "codecs/sound/Tonalwave/tonalwave_bits.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"

namespace sound {

inline constexpr int kTonalwaveMaxChannels = 2;
inline constexpr int kTonalwaveMaxVectors = 320;
inline constexpr int kTonalwaveMaxBlocks = 16;
inline constexpr int kTonalwaveMaxBandIndices = 4;
inline constexpr int kTonalwaveMaxEnvelopeIndices = 23;
inline constexpr int kTonalwaveMaxPeriodicVectors = 16;
inline constexpr int kTonalwaveLostWindowCode = 15;

struct TonalwaveFrameRecord {
    int32_t windowCode = 0; // 0..8; 15 a lost frame
    int32_t blockKind = 0;  // TonalwaveKind
    int32_t bandwidthCode = 0;
    std::array<int32_t, kTonalwaveMaxVectors> vqIndexA = {};
    std::array<int32_t, kTonalwaveMaxVectors> vqIndexB = {};
    int32_t bandScaleIndex[kTonalwaveMaxChannels][kTonalwaveMaxBlocks][kTonalwaveMaxBandIndices] = {};
    int32_t bandScalePredFlag[kTonalwaveMaxChannels][kTonalwaveMaxBlocks] = {};
    int32_t gainIndex[kTonalwaveMaxChannels][1 + kTonalwaveMaxBlocks] = {};          // frame gain, then block gains
    int32_t envelopeIndex[kTonalwaveMaxChannels][kTonalwaveMaxEnvelopeIndices] = {}; // switch, first, seconds
    int32_t periodIndex[kTonalwaveMaxChannels] = {};
    std::array<int32_t, kTonalwaveMaxPeriodicVectors> periodicVqA = {};
    std::array<int32_t, kTonalwaveMaxPeriodicVectors> periodicVqB = {};
    int32_t periodicGainIndex[kTonalwaveMaxChannels] = {};
};

// The record flattened into the frame's field values in stored order, window code first, pad fields as zeros;
// each value is the low 16 bits of its member. Held in place, so that an encoder builds one per frame without
// touching the heap.
struct TonalwaveFieldList {
    std::array<uint16_t, kMaxFrameFields> values = {};
    int count = 0;
    std::span<const uint16_t> View() const { return {values.data(), static_cast<size_t>(count)}; }
};
void BuildFieldList(const TonalwaveFrameRecord& record, const TonalwaveLayout& layout, TonalwaveFieldList& out);

// Writes the list with the widths of the list its first value selects (2 short; 4, 7, 8 medium; else long).
void WriteFieldList(std::span<uint8_t> ring, RingPosition& position, std::span<const uint16_t> list,
                    const TonalwaveLayout& layout);

// The three field width lists and their totals, from the same walk; BuildLayout calls it.
void FillFieldWidths(TonalwaveLayout& layout);

// Reads one frame. A window code of 15 ends the frame after its 4 bits; 9..14 are read as 2 with the short list.
// The pad is read and not kept. The ring must not be empty.
void ReadFrame(std::span<const uint8_t> ring, RingPosition& position, const TonalwaveLayout& layout,
               TonalwaveFrameRecord& out);

} // namespace sound
