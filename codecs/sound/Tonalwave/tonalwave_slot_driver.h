#pragma once
// An interim frame driver for tools, tests, benchmarks and fuzzing: stored Tonalwave data (u16 bits per sample,
// u16 channels, u32 sample rate, then one 558-byte slot per frame, each holding its frame from bit 0) decoded slot
// by slot into interleaved samples. The wave-file frame loops take its place.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "platform/base/endian.h"

namespace sound {

inline constexpr size_t kTonalwaveSlotBytes = 558;
inline constexpr size_t kTonalwaveStoredHeaderBytes = 8;

struct TonalwaveStoredHeader {
    uint16_t bitsPerSample = 16;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
};

struct TonalwaveDecodedSound {
    std::vector<int16_t> samples; // interleaved
    int channels = 0;
    int sampleRate = 0;
    size_t frames = 0;
    std::string error; // empty when decoded
};

// Marks the frame lost: its window code, the slot's first 4 bits, becomes 15.
inline void MarkSlotLost(std::span<uint8_t> slot)
{
    slot[0] = static_cast<uint8_t>((slot[0] & 0xF0) | 0x0F);
}

inline std::vector<uint8_t> StoredHeaderBytes(const TonalwaveStoredHeader& header)
{
    std::vector<uint8_t> bytes(kTonalwaveStoredHeaderBytes);
    pf::storeU16le(&bytes[0], header.bitsPerSample);
    pf::storeU16le(&bytes[2], header.channels);
    pf::storeU32le(&bytes[4], header.sampleRate);
    return bytes;
}

// Decodes every slot; a last slot cut short is filled up with zeros, as the stored data's reader does. lost lists
// frame indices to decode as lost. The header must name the model's channel count.
inline TonalwaveDecodedSound DecodeTonalwaveSlots(TonalwaveModel model, std::span<const uint8_t> stored,
                                                  std::span<const size_t> lost = {})
{
    TonalwaveDecodedSound sound;
    if (stored.size() < kTonalwaveStoredHeaderBytes) {
        sound.error = "shorter than its 8-byte header";
        return sound;
    }
    const TonalwaveDescriptor& row = DescriptorOf(model);
    CodecInfo info;
    row.getInfo(&info);
    const uint16_t channels = pf::loadU16le(&stored[2]);
    if (channels != info.channels) {
        sound.error = "the header names " + std::to_string(channels) + " channels, the model has " +
                      std::to_string(info.channels);
        return sound;
    }
    sound.channels = info.channels;
    sound.sampleRate = static_cast<int>(pf::loadU32le(&stored[4]));
    std::unique_ptr<CodecHandle> decoder;
    if (row.openDecoder(&decoder) != kCodecOk) {
        sound.error = "the decoder cannot be opened";
        return sound;
    }
    const std::span<const uint8_t> slots = stored.subspan(kTonalwaveStoredHeaderBytes);
    sound.frames = (slots.size() + kTonalwaveSlotBytes - 1) / kTonalwaveSlotBytes;
    const size_t frameValues = static_cast<size_t>(info.channels) * info.frameSamples;
    sound.samples.resize(sound.frames * frameValues);
    std::array<uint8_t, kTonalwaveSlotBytes> slot = {};
    for (size_t frame = 0; frame < sound.frames; ++frame) {
        const std::span<const uint8_t> bytes = slots.subspan(frame * kTonalwaveSlotBytes);
        const size_t take = std::min(bytes.size(), kTonalwaveSlotBytes);
        std::copy_n(bytes.begin(), take, slot.begin());
        std::fill(slot.begin() + static_cast<ptrdiff_t>(take), slot.end(), uint8_t{0});
        if (std::find(lost.begin(), lost.end(), frame) != lost.end())
            MarkSlotLost(slot);
        CodecIO io;
        io.coded = slot.data();
        io.codedSize = static_cast<uint16_t>(kTonalwaveSlotBytes);
        io.samples = sound.samples.data() + frame * frameValues;
        const CodecResult result = row.decode(decoder.get(), &io);
        if (result != kCodecOk) {
            sound.error = "frame " + std::to_string(frame) + " failed with " + std::to_string(result);
            break;
        }
    }
    row.closeDecoder(&decoder);
    return sound;
}

} // namespace sound
