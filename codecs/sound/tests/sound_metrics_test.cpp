// The measures the sound codecs are judged by must themselves be right: each against a case with a known answer.
#include "testsupport/sound/sound_metrics.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/wave_codec_test_support.h"

using namespace soundtest;

namespace {

std::vector<int16_t> Delayed(const std::vector<int16_t>& samples, int channels, int lagFrames)
{
    std::vector<int16_t> out(samples.size(), 0);
    const auto shift = static_cast<size_t>(std::abs(lagFrames) * channels);
    for (size_t i = 0; i + shift < samples.size(); ++i) {
        if (lagFrames >= 0)
            out[i + shift] = samples[i];
        else
            out[i] = samples[i + shift];
    }
    return out;
}

std::vector<int16_t> Scaled(const std::vector<int16_t>& samples, double factor)
{
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(samples[i] * factor));
    return out;
}

} // namespace

TEST(SoundMetricsAlignment, CrossCorrelationFindsTheDelayEitherWay)
{
    const std::vector<int16_t> stereo = wavetest::Noise(2 * 8000, 4000, 3);
    for (int lag : {0, 1, 37, -250}) {
        SCOPED_TRACE(lag);
        const std::vector<int16_t> late = Delayed(stereo, 2, lag);
        EXPECT_EQ(FindLag(stereo, late, 2, 400), lag);
        const AlignedPair pair = Align(stereo, late, 2, lag);
        EXPECT_EQ(pair.ref.size(), stereo.size() - 2 * static_cast<size_t>(std::abs(lag)));
        EXPECT_EQ(Snr(pair.ref, pair.test), std::numeric_limits<double>::infinity());
    }
}

TEST(SoundMetricsSnr, KnownErrorGivesKnownLevels)
{
    const std::vector<int16_t> tone = wavetest::Tone(8000, 440, 8000, 10000);
    // Half the amplitude as error: 20 log10(2) = 6.02 dB, in every segment alike.
    const std::vector<int16_t> half = Scaled(tone, 0.5);
    EXPECT_NEAR(Snr(tone, half), 6.02, 0.01);
    EXPECT_NEAR(SegmentalSnr(tone, half, 1, 8000), 6.02, 0.05);
    // Segments clamp: no error counts 35 dB, an error far louder than the signal -10 dB.
    EXPECT_EQ(SegmentalSnr(tone, tone, 1, 8000), kSegmentCeilingDb);
    const std::vector<int16_t> quiet = wavetest::Tone(8000, 440, 8000, 500);
    EXPECT_EQ(SegmentalSnr(quiet, Scaled(quiet, -30.0), 1, 8000), kSegmentFloorDb);
}

TEST(SoundMetricsSpectrum, GainShowsAsItsDecibelsAndSilenceIsSkipped)
{
    const std::vector<int16_t> noise = wavetest::Noise(16000, 3000, 8);
    EXPECT_NEAR(LogSpectralDistance(noise, noise, 1, 16000, 50, 7000), 0.0, 1e-9);
    EXPECT_NEAR(LogSpectralDistance(noise, Scaled(noise, 0.5), 1, 16000, 50, 7000), 6.02, 0.1);
    const std::vector<int16_t> silence(16000, 0);
    EXPECT_EQ(LogSpectralDistance(silence, noise, 1, 16000, 50, 7000), 0.0);
}

TEST(SoundMetricsFrames, EnergyAndPitchOfATone)
{
    const std::vector<int16_t> tone = wavetest::Tone(16000, 200, 16000, 32767);
    for (double energy : FrameEnergyDb(tone, 1, 16000, 20))
        EXPECT_NEAR(energy, -3.01, 0.05);
    for (double f0 : TrackF0(tone, 1, 16000, 60, 400))
        EXPECT_NEAR(f0, 200.0, 2.0);
    const std::vector<int16_t> silence(4000, 0);
    for (double energy : FrameEnergyDb(silence, 1, 16000, 20))
        EXPECT_EQ(energy, -120.0);
    for (double f0 : TrackF0(silence, 1, 16000, 60, 400))
        EXPECT_EQ(f0, 0.0);
}

TEST(SoundMetricsCompare, ReportsLengthsLagAndLevelsTogether)
{
    const std::vector<int16_t> speechLike = wavetest::Noise(11025, 3000, 4);
    const std::vector<int16_t> late = Delayed(speechLike, 1, 12);
    const SoundComparison result = CompareSounds(speechLike, Scaled(late, 0.5), 1, 11025, 100);
    EXPECT_EQ(result.refFrames, 11025u);
    EXPECT_EQ(result.testFrames, 11025u);
    EXPECT_EQ(result.lagFrames, 12);
    EXPECT_NEAR(result.snrDb, 6.02, 0.05);
    EXPECT_NEAR(result.logSpectralDistanceDb, 6.02, 0.1);
}
