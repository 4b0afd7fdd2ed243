// The own wave codec on synthetic signals made here: what each kind of sound keeps at each quality.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/wave_codec_test_support.h"
#include "testsupport/sound/sound_metrics.h"

using namespace sound;

namespace {

constexpr double kRate = 22050.0;
constexpr size_t kLength = 40000; // one full block and a partial one

std::vector<int16_t> Vibrato()
{
    std::vector<int16_t> out(kLength);
    double phase = 0.0;
    for (size_t i = 0; i < kLength; ++i) {
        phase += 2 * M_PI * (660.0 + 30.0 * std::sin(2 * M_PI * 5.0 * i / kRate)) / kRate;
        out[i] = static_cast<int16_t>(std::lround(12000 * std::sin(phase)));
    }
    return out;
}

std::vector<int16_t> Chord()
{
    std::vector<int16_t> out(kLength);
    for (size_t i = 0; i < kLength; ++i) {
        double v = 0.0;
        for (double f : {261.63, 329.63, 392.0, 523.25})
            v += 6000 * std::sin(2 * M_PI * f * i / kRate);
        out[i] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

std::vector<int16_t> Sweep()
{
    std::vector<int16_t> out(kLength);
    const double seconds = kLength / kRate;
    for (size_t i = 0; i < kLength; ++i) {
        const double t = i / kRate;
        const double phase = 2 * M_PI * (50.0 * t + (10000.0 - 50.0) * t * t / (2 * seconds));
        out[i] = static_cast<int16_t>(std::lround(15000 * std::sin(phase)));
    }
    return out;
}

std::vector<int16_t> Clicks()
{
    std::vector<int16_t> out(kLength, 0);
    for (size_t i = 100; i < kLength; i += 2205)
        out[i] = (i / 2205) % 2 == 0 ? 30000 : -30000;
    return out;
}

std::vector<int16_t> FullScaleSquare()
{
    std::vector<int16_t> out(kLength);
    for (size_t i = 0; i < kLength; ++i)
        out[i] = (i / 50) % 2 == 0 ? int16_t{32767} : int16_t{-32768};
    return out;
}

struct SignalCase {
    std::string name;
    std::vector<int16_t> samples;
    double floorDb[3]; // SNR at qualities 100, 70, 40: the first measured values less 1 dB
};

} // namespace

TEST(WaveCodecSignals, EachSignalKeepsItsQuality)
{
    const SignalCase cases[] = {
        {"tone", wavetest::Tone(kLength, 997, kRate, 20000), {90.0, 56.6, 39.6}},
        {"vibrato", Vibrato(), {86.3, 61.9, 38.8}},
        {"chord", Chord(), {84.7, 62.8, 40.1}},
        {"sweep", Sweep(), {79.5, 49.3, 36.5}},
        {"noise", wavetest::Noise(kLength, 5000, 17), {83.7, 42.0, 29.5}},
        {"clicks", Clicks(), {80.0, 66.1, 47.5}},
        {"full-scale square", FullScaleSquare(), {97.1, 57.0, 49.3}},
    };
    const uint32_t qualities[3] = {100, 70, 40};
    for (const SignalCase& c : cases) {
        for (int q = 0; q < 3; ++q) {
            SCOPED_TRACE(c.name + " at quality " + std::to_string(qualities[q]));
            const std::vector<uint8_t> stream = wavetest::EncodeStream(c.samples, kWaveSystemMode, qualities[q]);
            const wavetest::Decoded decoded = wavetest::DecodeStream(stream);
            ASSERT_EQ(decoded.lastResult, kWaveFinished);
            ASSERT_EQ(decoded.samples.size(), c.samples.size());
            EXPECT_GE(soundtest::Snr(c.samples, decoded.samples), c.floorDb[q]);
        }
    }
}

TEST(WaveCodecSignals, SilenceStaysExactlySilent)
{
    const std::vector<int16_t> silence(kLength, 0);
    for (uint32_t quality : {0u, 40u, 100u}) {
        const std::vector<uint8_t> stream = wavetest::EncodeStream(silence, kWaveSystemMode, quality);
        EXPECT_EQ(wavetest::DecodeStream(stream).samples, silence) << quality;
        EXPECT_LT(stream.size(), 400u) << quality;
    }
}

TEST(WaveCodecSignals, FeedSizesDoNotChangeTheStream)
{
    const std::vector<int16_t> samples = Chord();
    const std::vector<uint8_t> whole = wavetest::EncodeStream(samples, kWaveSystemMode, 70, samples.size());
    EXPECT_EQ(wavetest::EncodeStream(samples, kWaveSystemMode, 70, 1), whole);
    EXPECT_EQ(wavetest::EncodeStream(samples, kWaveSystemMode, 70, 32768), whole);
    EXPECT_EQ(wavetest::EncodeStream(samples, kWaveSystemMode, 70, 4099), whole);
}

// Encoders and decoders keep all their state, zlib's included, to themselves: streams made on several threads at
// once are the streams made alone.
TEST(WaveCodecSignals, ThreadsCodingAtOnceGiveTheSameStreams)
{
    const std::vector<int16_t> samples = Chord();
    const std::vector<uint8_t> alone = wavetest::EncodeStream(samples, kWaveSystemMode, 70);
    const std::vector<int16_t> decodedAlone = wavetest::DecodeStream(alone).samples;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            const std::vector<uint8_t> stream = wavetest::EncodeStream(samples, kWaveSystemMode, 70);
            if (stream != alone || wavetest::DecodeStream(stream).samples != decodedAlone)
                ++mismatches;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
}
