#pragma once
// Shared by the own wave codec's tests: whole-stream encode and decode, and deterministic test signals.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "codecs/sound/wave_codec/wave_decoder.h"
#include "codecs/sound/wave_codec/wave_encoder.h"

namespace wavetest {

// The whole stream of the samples, fed in pieces of feedSamples.
inline std::vector<uint8_t> EncodeStream(std::span<const int16_t> samples, uint32_t mode, uint32_t quality,
                                         size_t feedSamples = 10000)
{
    sound::WaveEncoder encoder;
    std::vector<uint8_t> stream;
    if (encoder.Init(mode, quality) != sound::kWaveOk)
        return stream;
    for (size_t at = 0; at < samples.size(); at += feedSamples) {
        const size_t take = std::min(feedSamples, samples.size() - at);
        if (encoder.Feed(samples.subspan(at, take)) != sound::kWaveOk)
            return {};
        stream.insert(stream.end(), encoder.Output().begin(), encoder.Output().end());
    }
    if (encoder.Finish() != sound::kWaveFinished)
        return {};
    stream.insert(stream.end(), encoder.Output().begin(), encoder.Output().end());
    return stream;
}

struct Decoded {
    std::vector<int16_t> samples;
    int lastResult = sound::kWaveOk;
    size_t feedsToFinish = 0; // the number of the feed that first returned 17 (0: none did)
};

inline Decoded DecodeStream(std::span<const uint8_t> stream, size_t feedBytes = 8192)
{
    sound::WaveDecoder decoder;
    Decoded decoded;
    size_t feeds = 0;
    for (size_t at = 0; at < stream.size(); at += feedBytes) {
        const size_t take = std::min(feedBytes, stream.size() - at);
        decoded.lastResult = decoder.Feed(stream.subspan(at, take));
        ++feeds;
        decoded.samples.insert(decoded.samples.end(), decoder.Output().begin(), decoder.Output().end());
        if (decoded.lastResult == sound::kWaveFinished && decoded.feedsToFinish == 0)
            decoded.feedsToFinish = feeds;
        if (decoded.lastResult != sound::kWaveOk)
            break;
    }
    return decoded;
}

inline std::vector<int16_t> Tone(size_t count, double frequency, double rate, double amplitude)
{
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * frequency * i / rate)));
    return out;
}

inline std::vector<int16_t> Noise(size_t count, double amplitude, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> gauss(0.0, amplitude);
    std::vector<int16_t> out(count);
    for (int16_t& v : out)
        v = static_cast<int16_t>(std::clamp(std::lround(gauss(generator)), -32768L, 32767L));
    return out;
}

} // namespace wavetest
