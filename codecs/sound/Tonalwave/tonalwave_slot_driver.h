#pragma once
// An interim frame driver for tools, tests, benchmarks and fuzzing: stored Tonalwave data (u16 bits per sample,
// u16 channels, u32 sample rate, then one 558-byte slot per frame, each holding its frame from bit 0) coded from
// interleaved samples and decoded slot by slot back into them. The wave-file frame loops take its place.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

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

// Samples of a wave file: 8-bit ones widened as 257 b - 32768, a last partial frame of samples dropped.
struct TonalwaveSourceSound {
    std::vector<int16_t> samples; // interleaved
    int channels = 0;
    int sampleRate = 0;
    std::string error; // empty when read
};

inline TonalwaveSourceSound ReadWaveSamples(std::vector<uint8_t> file)
{
    TonalwaveSourceSound sound;
    pf::WaveError waveError = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::fromBytes(std::move(file), &waveError);
    if (!reader) {
        sound.error = pf::describeWaveError(waveError);
        return sound;
    }
    const pf::WaveFormat& format = reader->format();
    if ((format.bits != 8 && format.bits != 16) || format.channels == 0) {
        sound.error = "not an 8- or 16-bit wave file";
        return sound;
    }
    sound.channels = format.channels;
    sound.sampleRate = static_cast<int>(format.rate);
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    if (format.bits == 8) {
        sound.samples.reserve(bytes.size());
        for (const uint8_t b : bytes)
            sound.samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        sound.samples.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            sound.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    sound.samples.resize(sound.samples.size() / static_cast<size_t>(sound.channels) *
                         static_cast<size_t>(sound.channels));
    return sound;
}

struct TonalwaveEncodedSound {
    std::vector<uint8_t> stored; // header, then one slot per frame
    size_t frames = 0;
    std::string error; // empty when coded
};

inline constexpr size_t kTonalwaveFlushFrames = 2; // the codec's delay: frames of zeros after the last input

// Codes the samples frame by frame into slots cleared first, the last frame filled up with zeros, then the two
// frames of zeros that bring the codec's delayed output to the end. Refuses a rate or channel count the model does
// not take. configurationCode, when not 0, opens that configuration instead of the model's own (same channels);
// trace, when given, sees the encoder after every frame.
using TonalwaveTrace = std::function<void(size_t frame, const TonalwaveEncoder& encoder)>;
inline TonalwaveEncodedSound EncodeTonalwaveSamples(TonalwaveModel model, std::span<const int16_t> samples,
                                                    int channels, int sampleRate, uint32_t configurationCode = 0,
                                                    const TonalwaveTrace& trace = {})
{
    TonalwaveEncodedSound sound;
    const TonalwaveDescriptor& row = DescriptorOf(model);
    CodecInfo info;
    row.getInfo(&info);
    if (channels != info.channels || sampleRate != info.sampleRate) {
        sound.error = std::string(NameOf(model)) + " codes " + std::to_string(info.sampleRate) + " Hz with " +
                      std::to_string(info.channels) + (info.channels == 1 ? " channel" : " channels") + ", not " +
                      std::to_string(sampleRate) + " Hz with " + std::to_string(channels);
        return sound;
    }
    std::unique_ptr<CodecHandle> encoder;
    const CodecResult opened =
        configurationCode != 0 ? OpenTonalwaveEncoder(configurationCode, &encoder) : row.openEncoder(&encoder);
    if (opened != kCodecOk) {
        sound.error = "the encoder cannot be opened";
        return sound;
    }
    const size_t frameValues = static_cast<size_t>(info.channels) * info.frameSamples;
    const size_t inputFrames = (samples.size() + frameValues - 1) / frameValues;
    sound.frames = inputFrames + kTonalwaveFlushFrames;
    sound.stored = StoredHeaderBytes({16, info.channels, info.sampleRate});
    sound.stored.resize(kTonalwaveStoredHeaderBytes + sound.frames * kTonalwaveSlotBytes, 0);
    std::vector<int16_t> frame(frameValues);
    for (size_t f = 0; f < sound.frames; ++f) {
        const size_t from = std::min(f * frameValues, samples.size());
        const size_t take = std::min(frameValues, samples.size() - from);
        std::copy_n(samples.begin() + static_cast<ptrdiff_t>(from), take, frame.begin());
        std::fill(frame.begin() + static_cast<ptrdiff_t>(take), frame.end(), int16_t{0});
        CodecIO io;
        io.samples = frame.data();
        io.coded = sound.stored.data() + kTonalwaveStoredHeaderBytes + f * kTonalwaveSlotBytes;
        io.codedSize = static_cast<uint16_t>(kTonalwaveSlotBytes);
        const CodecResult result = row.encode(encoder.get(), &io);
        if (result != kCodecOk) {
            sound.error = "frame " + std::to_string(f) + " failed with " + std::to_string(result);
            break;
        }
        if (trace)
            trace(f, static_cast<const TonalwaveEncoder&>(*encoder->state));
    }
    row.closeEncoder(&encoder);
    return sound;
}

} // namespace sound
