#pragma once
// Whole sounds in memory through the frame loops, for the codec tests: samples in, stored bytes out, and back. Each
// function is a thin hold of the loop's source and sink; the loops themselves do the work.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_stream.h"
#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "codecs/sound/wave_frame_stream.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace looptest {

using sound::CodecResult;

// The loop's answer as one codec result: kCodecOk when it ran and every frame was taken.
inline CodecResult ResultOf(const sound::FrameLoopResult& result)
{
    if (!result.done)
        return result.codecResult != sound::kCodecOk ? result.codecResult : sound::kCodecBadHandle;
    return result.damagedFrames == 0 && !result.sinkFailed ? sound::kCodecOk : sound::kCodecBadFrame;
}

// ---- RT24 ------------------------------------------------------------------------------------------------------

inline constexpr int kRt24TrailingFrames = sound::kRt24FlushFrames;

struct Rt24Encoded {
    CodecResult result = sound::kCodecOk;
    std::vector<uint8_t> frames;
    size_t frameCount = 0;
};
inline Rt24Encoded Rt24EncodeSamples(std::span<const int16_t> samples)
{
    const std::vector<uint8_t> bytes = sound::SampleBytes(samples);
    sound::MemoryFrameSource source(bytes);
    sound::VectorFrameSink sink;
    const sound::FrameLoopResult result = sound::Rt24EncodeStream(sound::SchemeIdOf("7491"), source, sink);
    return {ResultOf(result), std::move(sink.bytes), result.frames};
}

struct Rt24Decoded {
    CodecResult result = sound::kCodecOk;
    std::vector<int16_t> samples;
    size_t frameCount = 0; // frames taken from the stream, lost ones included
};
inline Rt24Decoded Rt24DecodeFrames(std::span<const uint8_t> frames, const sound::Rt24DecodeOptions& options)
{
    sound::MemoryFrameSource source(frames);
    sound::VectorFrameSink sink;
    const sound::FrameLoopResult result = sound::Rt24DecodeStream(sound::SchemeIdOf("7491"), source, sink, options);
    return {ResultOf(result), sink.Samples(), result.frames};
}

// ---- SC36 ------------------------------------------------------------------------------------------------------

struct Sc36Encoded {
    CodecResult result = sound::kCodecOk;
    std::vector<uint8_t> frames;
    size_t frameCount = 0;
};
inline Sc36Encoded Sc36EncodeSamples(std::span<const int16_t> samples, sound::Sc36StreamVariant variant)
{
    const std::vector<uint8_t> bytes = sound::SampleBytes(samples);
    sound::MemoryFrameSource source(bytes);
    sound::VectorFrameSink sink;
    const sound::FrameLoopResult result =
        sound::Sc36EncodeStream(sound::SchemeIdOf("7490"), source, sink, static_cast<uint8_t>(variant));
    return {ResultOf(result), std::move(sink.bytes), result.frames};
}

struct Sc36Decoded {
    CodecResult result = sound::kCodecOk;
    std::vector<int16_t> samples;
    size_t frameCount = 0;
};
inline Sc36Decoded Sc36DecodeFrames(std::span<const uint8_t> frames, sound::Sc36StreamVariant variant,
                                    const sound::Sc36DecodeOptions& options)
{
    sound::MemoryFrameSource source(frames);
    sound::VectorFrameSink sink;
    const sound::FrameLoopResult result =
        sound::Sc36DecodeStream(sound::SchemeIdOf("7490"), source, sink, static_cast<uint8_t>(variant), options);
    return {ResultOf(result), sink.Samples(), result.frames};
}

// ---- Tonalwave -------------------------------------------------------------------------------------------------

struct TonalwaveDecodedSound {
    std::vector<int16_t> samples; // interleaved
    int channels = 0;
    int sampleRate = 0;
    size_t frames = 0;
    std::string error; // empty when decoded
};

// Stored data (the 8-byte head, then slots) decoded by the model's loop; the head must name the model's channels.
inline TonalwaveDecodedSound DecodeTonalwaveSlots(sound::TonalwaveModel model, std::span<const uint8_t> stored,
                                                  std::span<const size_t> lost = {})
{
    TonalwaveDecodedSound sound;
    if (stored.size() < sound::kTonalwaveStoredHeaderBytes) {
        sound.error = "shorter than its 8-byte header";
        return sound;
    }
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    const uint16_t channels = pf::loadU16le(&stored[2]);
    if (channels != info.channels) {
        sound.error = "the header names " + std::to_string(channels) + " channels, the model has " +
                      std::to_string(info.channels);
        return sound;
    }
    sound.channels = info.channels;
    sound.sampleRate = static_cast<int>(pf::loadU32le(&stored[4]));
    sound::MemoryFrameSource source(stored.subspan(sound::kTonalwaveStoredHeaderBytes));
    sound::VectorFrameSink sink;
    sound::TonalwaveDecodeOptions options;
    options.lostFrames.assign(lost.begin(), lost.end());
    const sound::FrameLoopResult result =
        sound::TonalwaveDecodeStream(sound::SchemeIdOfTonalwaveModel(model), source, sink, options);
    sound.frames = result.frames;
    sound.samples = sink.Samples();
    if (ResultOf(result) != sound::kCodecOk)
        sound.error =
            std::to_string(result.damagedFrames) + " frames failed, codec result " + std::to_string(result.codecResult);
    return sound;
}

struct TonalwaveEncodedSound {
    std::vector<uint8_t> stored; // head, then one slot per frame
    size_t frames = 0;
    std::string error; // empty when coded
};

// Samples of the model's rate and channels coded by the model's loop into stored data.
inline TonalwaveEncodedSound EncodeTonalwaveSamples(sound::TonalwaveModel model, std::span<const int16_t> samples,
                                                    int channels, int sampleRate, uint32_t configurationCode = 0)
{
    TonalwaveEncodedSound sound;
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    if (channels != info.channels || sampleRate != info.sampleRate) {
        sound.error = std::string(sound::NameOf(model)) + " codes " + std::to_string(info.sampleRate) + " Hz with " +
                      std::to_string(info.channels) + " channels, not " + std::to_string(sampleRate) + " Hz with " +
                      std::to_string(channels);
        return sound;
    }
    const std::vector<uint8_t> bytes = sound::SampleBytes(samples);
    sound::MemoryFrameSource source(bytes);
    sound::VectorFrameSink sink;
    sound::TonalwaveEncodeOptions options;
    options.configurationCode = configurationCode;
    const sound::FrameLoopResult result =
        sound::TonalwaveEncodeStream(sound::SchemeIdOfTonalwaveModel(model), source, sink, options);
    sound.frames = result.frames;
    sound.stored = sound::TonalwaveStoredHeader(static_cast<uint16_t>(info.channels), info.sampleRate);
    sound.stored.insert(sound.stored.end(), sink.bytes.begin(), sink.bytes.end());
    if (ResultOf(result) != sound::kCodecOk)
        sound.error =
            std::to_string(result.damagedFrames) + " frames failed, codec result " + std::to_string(result.codecResult);
    return sound;
}

// Samples of a wave file: 8-bit ones widened as 257 b - 32768, a last partial frame of samples dropped.
struct WaveSamples {
    std::vector<int16_t> samples; // interleaved
    int channels = 0;
    int sampleRate = 0;
    std::string error; // empty when read
};
inline WaveSamples ReadWaveSamples(std::vector<uint8_t> file)
{
    WaveSamples sound;
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
        for (const uint8_t b : bytes)
            sound.samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            sound.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    sound.samples.resize(sound.samples.size() / static_cast<size_t>(sound.channels) *
                         static_cast<size_t>(sound.channels));
    return sound;
}

} // namespace looptest
