#pragma once
// What the Tonalwave tests share: random frames of any kind written by the field-list writer, and streams of them in
// the stored slot layout.
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/Tonalwave/tonalwave_layout.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"
#include "codecs/sound/tests/frame_loop_test_support.h"

namespace tonalwavetest {

inline sound::TonalwaveLayout LayoutOf(uint32_t code)
{
    return sound::BuildLayout(*sound::DecodeConfigurationCode(code));
}

inline sound::TonalwaveLayout LayoutOf(sound::TonalwaveModel model)
{
    return LayoutOf(sound::ConfigurationCodeOf(model));
}

inline int WindowCodeOf(sound::TonalwaveKind kind, std::mt19937& random)
{
    static constexpr int kLong[] = {0, 1, 3, 5, 6};
    static constexpr int kMedium[] = {4, 7, 8};
    switch (kind) {
    case sound::TonalwaveKind::kLong:
        return kLong[random() % 5];
    case sound::TonalwaveKind::kMedium:
        return kMedium[random() % 3];
    default:
        return 2;
    }
}

// A field list of random values within each field's width, the given window code first and the pad fields zero.
inline sound::TonalwaveFieldList RandomFieldList(const sound::TonalwaveLayout& layout, int windowCode,
                                                 std::mt19937& random)
{
    const auto kind = static_cast<size_t>(sound::KindOfWindowCode(windowCode));
    const std::vector<uint8_t>& widths = layout.fieldWidths[kind];
    sound::TonalwaveFieldList list;
    list.count = static_cast<int>(widths.size());
    for (size_t i = 0; i < widths.size(); ++i)
        list.values[i] = static_cast<uint16_t>(random() & ((1u << widths[i]) - 1u));
    list.values[0] = static_cast<uint16_t>(windowCode);
    const int pads = (layout.config.padWidths[0] != 0) + (layout.config.padWidths[1] != 0);
    for (int i = 0; i < pads; ++i)
        list.values[widths.size() - 1 - static_cast<size_t>(i)] = 0;
    return list;
}

// A random frame of the kind, as the reader sees it.
inline sound::TonalwaveFrameRecord RandomRecord(const sound::TonalwaveLayout& layout, int windowCode,
                                                std::mt19937& random)
{
    const sound::TonalwaveFieldList list = RandomFieldList(layout, windowCode, random);
    std::vector<uint8_t> ring(600, 0);
    sound::RingPosition at;
    sound::WriteFieldList(ring, at, list.View(), layout);
    sound::RingPosition from;
    sound::TonalwaveFrameRecord record;
    sound::ReadFrame(ring, from, layout, record);
    return record;
}

// Stored data of the model: the header, then one slot per window code, each a random frame of that code (15: a
// lost frame).
inline std::vector<uint8_t> RandomStoredStream(sound::TonalwaveModel model, std::span<const int> windowCodes,
                                               std::mt19937& random)
{
    const sound::TonalwaveLayout layout = LayoutOf(model);
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    std::vector<uint8_t> stored = sound::TonalwaveStoredHeader(static_cast<uint16_t>(info.channels), info.sampleRate);
    for (const int code : windowCodes) {
        std::array<uint8_t, sound::kTonalwaveStoredSlotBytes> slot = {};
        sound::RingPosition at;
        if (code == sound::kTonalwaveLostWindowCode) {
            sound::WriteBits(slot, at, 15, 4);
        } else {
            const sound::TonalwaveFieldList list = RandomFieldList(layout, code, random);
            sound::WriteFieldList(slot, at, list.View(), layout);
        }
        stored.insert(stored.end(), slot.begin(), slot.end());
    }
    return stored;
}

inline constexpr sound::TonalwaveModel kAllModels[] = {sound::TonalwaveModel::kAcs48, sound::TonalwaveModel::kAc24,
                                                       sound::TonalwaveModel::kAcs20, sound::TonalwaveModel::kAc10,
                                                       sound::TonalwaveModel::kAc8};

} // namespace tonalwavetest
