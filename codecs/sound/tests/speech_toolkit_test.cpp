#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/sample_history.h"
#include "codecs/sound/speech/speech_filters.h"

using namespace sound;

namespace {

// A stable order-10 polynomial from random reflection coefficients below 0.9 in magnitude.
std::vector<float> StablePolynomial(std::mt19937& random)
{
    std::uniform_real_distribution<float> k(-0.9f, 0.9f);
    std::vector<float> a(11, 0.0f);
    a[0] = 1.0f;
    for (int i = 1; i <= 10; ++i) {
        const float ki = k(random);
        std::vector<float> previous = a;
        for (int j = 1; j < i; ++j)
            a[static_cast<size_t>(j)] = previous[static_cast<size_t>(j)] + ki * previous[static_cast<size_t>(i - j)];
        a[static_cast<size_t>(i)] = ki;
    }
    return a;
}

void ExpectAscendingBelow(const float* lsf, int n, float top)
{
    EXPECT_GT(lsf[0], 0.0f);
    for (int k = 1; k < n; ++k)
        EXPECT_GT(lsf[k], lsf[k - 1]) << k;
    EXPECT_LT(lsf[n - 1], top);
}

} // namespace

TEST(SpeechLinearPrediction, SilenceGivesTheTrivialPolynomial)
{
    const float r[11] = {};
    float a[11];
    float k[10];
    float error = -1.0f;
    LevinsonDurbin(r, 10, a, k, error);
    EXPECT_EQ(a[0], 1.0f);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a[i + 1], 0.0f);
        EXPECT_EQ(k[i], 0.0f);
    }
    EXPECT_TRUE(std::isfinite(error));
    EXPECT_GE(error, 0.0f);
}

TEST(SpeechLinearPrediction, ReflectionBeyondOneIsLimited)
{
    const float r[2] = {1.0f, -1.2f};
    float a[2];
    float k[1];
    float error = 0.0f;
    LevinsonDurbin(r, 1, a, k, error);
    EXPECT_FLOAT_EQ(k[0], 0.9999f);
    EXPECT_FLOAT_EQ(a[1], 0.9999f);
    EXPECT_GT(error, 0.0f);
}

TEST(SpeechLinearPrediction, RecursionPredictsAnAutoregressiveSignal)
{
    // x[n] = 1.6 x[n-1] - 0.8 x[n-2] + noise: the order-2 polynomial is 1, -1.6, 0.8.
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> x(20000, 0.0f);
    for (size_t n = 2; n < x.size(); ++n)
        x[n] = 1.6f * x[n - 1] - 0.8f * x[n - 2] + noise(random);
    float r[3];
    Autocorrelation(3, x.data(), static_cast<int>(x.size()), r);
    float a[3];
    float error = 0.0f;
    LevinsonDurbin(r, 2, a, nullptr, error);
    EXPECT_NEAR(a[1], -1.6f, 0.02f);
    EXPECT_NEAR(a[2], 0.8f, 0.02f);
    EXPECT_NEAR(error / static_cast<float>(x.size()), 1.0f, 0.05f);
    float expanded[3];
    BandwidthExpand(a, expanded, 2, 0.5f);
    EXPECT_FLOAT_EQ(expanded[2], a[2] * 0.25f);
}

TEST(SpeechLsf, TrivialPolynomialGivesTenAscendingFrequencies)
{
    float a[11] = {1.0f};
    float lsf[10];
    EXPECT_EQ(PolyToLsf(a, 10, 8000.0f, lsf), 0);
    ExpectAscendingBelow(lsf, 10, 4000.0f);
    // A[z] = 1 puts the frequencies evenly at k / 11 of half the rate.
    for (int k = 0; k < 10; ++k)
        EXPECT_NEAR(lsf[k], 4000.0f * static_cast<float>(k + 1) / 11.0f, 0.5f) << k;
}

TEST(SpeechLsf, RandomStablePolynomialsRoundTrip)
{
    std::mt19937 random(11);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        const std::vector<float> a = StablePolynomial(random);
        float lsf[10];
        ASSERT_EQ(PolyToLsf(a.data(), 10, 8000.0f, lsf), 0);
        ExpectAscendingBelow(lsf, 10, 4000.0f);
        float back[11];
        LsfToPoly(lsf, 10, 1.0f / 8000.0f, back);
        EXPECT_EQ(back[0], 1.0f);
        for (int k = 1; k <= 10; ++k)
            EXPECT_NEAR(back[k], a[static_cast<size_t>(k)], 2e-3f) << k;
    }
}

TEST(SpeechLsf, FailureFallsBackToAscendingValuesBelowHalfTheRate)
{
    // Roots outside the unit circle: no ordered frequencies exist.
    float a[11] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 3.0f};
    float lsf[10];
    EXPECT_EQ(PolyToLsf(a, 10, 8000.0f, lsf), 1);
    ExpectAscendingBelow(lsf, 10, 4000.0f);
    EXPECT_FLOAT_EQ(lsf[0], 200.0f);
    EXPECT_FLOAT_EQ(lsf[9], 3800.0f);
    float grid[4];
    EvenGrid(grid, 4, 100.0f);
    EXPECT_FLOAT_EQ(grid[0], 12.5f);
    EXPECT_FLOAT_EQ(grid[3], 87.5f);
}

TEST(SpeechFilters, HighPassRemovesDcAndForgetsDenormals)
{
    std::vector<int16_t> in(4000, 1000);
    std::vector<float> out(in.size());
    HighPassState state;
    HighPass(in.data(), out.data(), static_cast<int>(in.size()), state);
    EXPECT_FLOAT_EQ(out[0], 1000.0f);
    EXPECT_LT(std::fabs(out.back()), 1e-3f);
    state.previousOutput = 1e-6f;
    state.previousInput = 0.0f;
    const int16_t zero[1] = {0};
    float y = 1.0f;
    HighPass(zero, &y, 1, state);
    EXPECT_EQ(y, 0.0f);
}

TEST(SpeechFilters, IirFilterMatchesTheDifferenceEquation)
{
    // y[n] = 0.5 x[n] + 0.25 x[n-1] + 0.9 y[n-1]
    const float coefficients[3] = {0.5f, 0.25f, -0.9f};
    float state[1] = {};
    const float x[5] = {1.0f, 0.0f, 0.0f, 2.0f, 0.0f};
    float y[5];
    IirFilter(x, y, 5, coefficients, 1, state);
    float expected = 0.0f;
    float previousX = 0.0f;
    for (int n = 0; n < 5; ++n) {
        expected = 0.5f * x[n] + 0.25f * previousX + 0.9f * expected;
        previousX = x[n];
        EXPECT_NEAR(y[n], expected, 1e-6f) << n;
    }
    const float gain[1] = {3.0f};
    float scaled;
    IirFilter(x, &scaled, 1, gain, 0, nullptr);
    EXPECT_EQ(scaled, 3.0f);
}

TEST(SpeechFilters, SynthesisUndoesThePredictionError)
{
    const float a[3] = {1.0f, -1.2f, 0.5f};
    std::vector<float> x(50);
    for (size_t n = 0; n < x.size(); ++n)
        x[n] = std::sin(0.3f * static_cast<float>(n)) * 100.0f;
    std::vector<float> buffer(2 + x.size(), 0.0f);
    for (size_t n = 0; n < x.size(); ++n)
        buffer[2 + n] = x[n] + (n >= 1 ? a[1] * x[n - 1] : 0.0f) + (n >= 2 ? a[2] * x[n - 2] : 0.0f);
    SynthesisFilterStep(buffer.data(), static_cast<int>(x.size()), a, 2);
    for (size_t n = 0; n < x.size(); ++n)
        EXPECT_NEAR(buffer[2 + n], x[n], 1e-3f) << n;
}

TEST(SpeechWindows, KaiserHalfWindowOf221Points)
{
    const std::vector<float> half = KaiserHalfWindow(221, 6.0f);
    ASSERT_EQ(half.size(), 111u);
    EXPECT_EQ(half.back(), 1.0f);
    EXPECT_NEAR(half[0], 1.0f / 67.2344f, 1e-4f); // 1 / I0(6)
    for (size_t i = 1; i < half.size(); ++i)
        EXPECT_GT(half[i], half[i - 1]);
    std::vector<float> energy = half;
    NormaliseWindowEnergy(energy, 221);
    double squares = energy.back() * energy.back();
    for (size_t i = 0; i + 1 < energy.size(); ++i)
        squares += 2.0 * energy[i] * energy[i];
    EXPECT_NEAR(squares, 221.0, 1e-3);
    std::vector<float> sum = half;
    NormaliseWindowSum(sum, 221);
    double total = sum.back();
    for (size_t i = 0; i + 1 < sum.size(); ++i)
        total += 2.0 * sum[i];
    EXPECT_NEAR(total, 1.0, 1e-6);
    EXPECT_TRUE(KaiserHalfWindow(1, 6.0f).empty());
}

TEST(SpeechWindows, HalfWindowIsAppliedSymmetrically)
{
    const std::vector<float> half = {0.5f, 1.0f, 2.0f};
    const float in[5] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    float out[5];
    ApplyHalfWindow(in, half, out, 5);
    EXPECT_EQ(out[0], 0.5f);
    EXPECT_EQ(out[4], 0.5f);
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(out[3], 1.0f);
    EXPECT_EQ(out[2], 2.0f);
}

TEST(SpeechWindows, CosineRecurrenceMatchesDirectCosines)
{
    std::vector<float> buffer(180, 1.0f);
    CosineWindowApply(buffer.data(), 180, 0.54f, 0.46f);
    std::vector<float> full(180);
    HammingFull(full.data(), 180);
    for (size_t n = 0; n < buffer.size(); ++n)
        EXPECT_NEAR(buffer[n], full[n], 2e-4f) << n; // the recurrence drifts a little in single precision
    EXPECT_NEAR(buffer.front(), 0.08f, 1e-5f);
    EXPECT_NEAR(buffer.back(), 0.08f, 2e-5f);
    float rising[135];
    float falling[45];
    HammingRising(rising, 270);
    HammingFalling(falling, 90);
    EXPECT_NEAR(rising[0], 0.08f, 1e-6f);
    EXPECT_GT(rising[134], 0.99f);
    EXPECT_GT(falling[0], 0.99f);
    EXPECT_NEAR(falling[44], 0.08f, 1e-5f);
    std::vector<float> unit(64, 1.0f);
    HammingUnitApply(unit.data(), 64);
    double sum = 0.0;
    for (const float v : unit)
        sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-4);
}

TEST(SpeechSpectrum, CentredFrameHasItsCentreAtTimeZero)
{
    // An impulse at the frame's centre becomes a flat, real spectrum.
    std::vector<float> frame(221, 0.0f);
    frame[110] = 1.0f;
    std::vector<float> buffer(514, 99.0f);
    ASSERT_TRUE(CentreIntoFft(frame.data(), 221, buffer, 9));
    float re[256];
    float im[256];
    SplitComplex(buffer.data(), re, im, 256);
    float power[256];
    PowerSpectrum(re, im, 256, power);
    float interleavedPower[256];
    PowerInterleaved(buffer.data(), 256, interleavedPower);
    for (int k = 0; k < 256; ++k) {
        EXPECT_NEAR(re[k], 1.0f, 1e-5f) << k;
        EXPECT_NEAR(im[k], 0.0f, 1e-5f) << k;
        EXPECT_EQ(power[k], interleavedPower[k]);
    }
    // A buffer of N points, not N + 2, is refused and left alone.
    std::vector<float> tooShort(512, 7.0f);
    EXPECT_FALSE(CentreIntoFft(frame.data(), 221, tooShort, 9));
    EXPECT_EQ(tooShort[0], 7.0f);
}

TEST(SpeechHistory, ReadAcrossTheWrapIsInTimeOrder)
{
    std::unique_ptr<SampleHistory> history = SampleHistory::Create(10);
    ASSERT_NE(history, nullptr);
    std::vector<float> samples(14);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(i);
    history->Write(0, 7, samples.data());
    history->Write(0, 7, samples.data() + 7); // wraps: the newest is 13 at index 3
    EXPECT_EQ(history->Position(), 4);
    float out[6];
    history->Read(3, 6, out); // starts 3 + 3 = 6 behind the position: 8 .. 13, across the wrap
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], static_cast<float>(8 + i)) << i;
    EXPECT_EQ(WrapIndex(-3, 1, 10), 8);
    EXPECT_EQ(WrapIndex(12, 9, 10), 1);
    EXPECT_EQ(SampleHistory::Create(0), nullptr);
}

TEST(SpeechSearch, PeaksAndParabolas)
{
    const int32_t negative[3] = {-5, -2, -9};
    const Peak low = PeakSearch(negative, 3);
    EXPECT_EQ(low.index, 2);
    EXPECT_EQ(low.value, -9);
    const int32_t mixed[4] = {-5, 7, 7, 0};
    const Peak high = PeakSearch(mixed, 4);
    EXPECT_EQ(high.index, 1);
    EXPECT_EQ(high.value, 7);

    float peak = 0.0f;
    EXPECT_EQ(ParabolicPeak(3.0f, 3.0f, 3.0f, peak), 0.0f);
    EXPECT_EQ(peak, 3.0f);
    // y = -(x - 0.25)^2 + 1 at -1, 0, 1.
    EXPECT_NEAR(ParabolicPeak(1.0f - 1.5625f, 1.0f - 0.0625f, 1.0f - 0.5625f, peak), 0.25f, 1e-6f);
    EXPECT_NEAR(peak, 1.0f, 1e-6f);
}

TEST(SpeechSearch, HarmonicsMoveToANewPitch)
{
    const float amplitudes[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float out[6];
    ResampleHarmonics(50.0f, 50.0f, 4, amplitudes, 4, out, 6);
    EXPECT_EQ(out[3], 4.0f);
    EXPECT_EQ(out[4], 0.0f);
    // Half the pitch period: harmonic k lands at 2k on the old grid... and the doubled period at k / 2.
    ResampleHarmonics(50.0f, 100.0f, 6, amplitudes, 4, out, 6);
    EXPECT_NEAR(out[0], 0.5f, 1e-6f); // position 0.5: half of the first amplitude
    EXPECT_NEAR(out[1], 1.0f, 1e-6f);
    EXPECT_NEAR(out[2], 1.5f, 1e-6f);
    EXPECT_NEAR(out[5], 3.0f, 1e-6f);
    ResampleHarmonics(100.0f, 50.0f, 3, amplitudes, 4, out, 6);
    EXPECT_NEAR(out[0], 2.0f, 1e-6f);
    EXPECT_NEAR(out[1], 4.0f, 1e-6f);
    EXPECT_EQ(out[2], 0.0f); // beyond the amplitudes there are none
}

TEST(SpeechSearch, CountsPowersAndRatios)
{
    EXPECT_EQ(HarmonicCount(125.0f), 62);
    EXPECT_EQ(HarmonicCount(16.0f), 7);
    EXPECT_EQ(ScaledHarmonicCount(125.0f, 0.5f), 31);
    EXPECT_EQ(ScaledHarmonicCount(125.0f, 0.0f), 0);
    EXPECT_NEAR(PowerF(8.0f, 1.0f / 3.0f), 2.0f, 1e-6f);
    EXPECT_EQ(RatioAtMostOne(3.0f, 2.0f), 1.0f);
    EXPECT_EQ(RatioAtMostOne(1.0f, 4.0f), 0.25f);
}

TEST(SpeechRandom, MinimalStandardSequence)
{
    uint32_t state = 1;
    EXPECT_EQ(MinimalStandardRandom(state), 16807u);
    for (int i = 2; i < 10000; ++i)
        MinimalStandardRandom(state);
    EXPECT_EQ(MinimalStandardRandom(state), 1043618065u);
}
