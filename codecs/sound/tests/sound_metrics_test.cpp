// The measures the sound codecs are judged by must themselves be right: each against a case with a known answer.
#include "testsupport/sound/sound_metrics.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
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

// Formats no sound has are refused before anything is framed: a rate of 0 once made the spectral frames step by
// nothing, a rate near 2^31 made the frames and the lag search gigabytes and billions of steps long.
TEST(SoundMetricsCompare, FormatsItCannotFrameAreRefusedAtOnce)
{
    const std::vector<int16_t> noise = wavetest::Noise(2 * 4000, 3000, 5);
    const struct {
        int channels;
        int rate;
    } cases[] = {{2, 0},    {2, -8000}, {2, kMaxCompareRate + 1},       {2, 0x7FFFFFFF},
                 {0, 8000}, {-1, 8000}, {kMaxCompareChannels + 1, 8000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate << " Hz");
        const SoundComparison result = CompareSounds(noise, noise, c.channels, c.rate, c.rate / 2);
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.snrDb, 0.0);
        EXPECT_EQ(result.logSpectralDistanceDb, 0.0);
    }
    // The measures alone stay finite on such rates too.
    EXPECT_EQ(LogSpectralDistance(noise, noise, 2, 0, 50, 7000), 0.0);
    EXPECT_EQ(LogSpectralDistance(noise, noise, 2, 1, 0, 1), 0.0);
    EXPECT_EQ(LogSpectralDistance(noise, noise, 2, 0x7FFFFFFF, 50, 7000), 0.0); // a frame longer than the sound
}

TEST(SoundMetricsCompare, NothingInCommonIsAnErrorNotAnInfiniteSnr)
{
    const std::vector<int16_t> noise = wavetest::Noise(4000, 3000, 6);
    const std::vector<int16_t> none;
    for (const auto& [ref, test] : {std::pair(noise, none), std::pair(none, noise), std::pair(none, none)}) {
        const SoundComparison result = CompareSounds(ref, test, 1, 8000, 4000);
        EXPECT_EQ(result.error, "no frames to compare");
        EXPECT_FALSE(std::isinf(result.snrDb));
    }
    const SoundComparison measured = CompareSounds(noise, noise, 1, 8000, 4000);
    EXPECT_TRUE(measured.error.empty()) << measured.error;
    EXPECT_TRUE(std::isinf(measured.snrDb)); // equal sounds: infinite, and rightly so
}

// The lag search stops where the sounds stop overlapping, whatever bound the caller gives.
TEST(SoundMetricsAlignment, LagSearchIsBoundedByTheSoundsNotByTheCaller)
{
    const std::vector<int16_t> noise = wavetest::Noise(3000, 4000, 7);
    for (int lag : {0, 40, -40}) {
        SCOPED_TRACE(lag);
        EXPECT_EQ(FindLag(noise, Delayed(noise, 1, lag), 1, std::numeric_limits<int>::max()), lag);
    }
    const std::vector<int16_t> shortTest(noise.begin(), noise.begin() + 50);
    const int lag = FindLag(noise, shortTest, 1, std::numeric_limits<int>::max());
    EXPECT_GT(lag, -3000);
    EXPECT_LT(lag, 50);
    const SoundComparison atTheLimit = CompareSounds(noise, noise, 1, kMaxCompareRate, kMaxCompareRate / 2);
    EXPECT_TRUE(atTheLimit.error.empty()) << atTheLimit.error;
    EXPECT_EQ(atTheLimit.lagFrames, 0);
}
