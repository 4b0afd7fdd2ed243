#include "testsupport/sound/sound_metrics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <string>

#include "testsupport/sound/spectrum_fft.h"

namespace soundtest {
namespace {

constexpr double kFullScale = 32768.0;
constexpr double kSilenceDb = -120.0;
constexpr double kLsdFrameMs = 32.0;
constexpr double kLsdSilenceDb = -60.0;
constexpr double kF0HopMs = 10.0;
constexpr double kF0WindowMs = 40.0;
constexpr double kF0QuietDb = -50.0;
constexpr double kF0Periodicity = 0.5;

using Complex = std::complex<double>;

// The channels of each frame summed to one value.
std::vector<double> MixDown(std::span<const int16_t> samples, int channels)
{
    const auto c = static_cast<size_t>(std::max(channels, 1));
    std::vector<double> mixed(samples.size() / c, 0.0);
    for (size_t f = 0; f < mixed.size(); ++f) {
        for (size_t ch = 0; ch < c; ++ch)
            mixed[f] += samples[f * c + ch];
    }
    return mixed;
}

double SegmentSnr(std::span<const int16_t> ref, std::span<const int16_t> test)
{
    double signal = 0.0;
    double noise = 0.0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const double r = ref[i];
        signal += r * r;
        noise += (r - test[i]) * (r - test[i]);
    }
    if (noise == 0.0)
        return kSegmentCeilingDb;
    if (signal == 0.0)
        return kSegmentFloorDb;
    return std::clamp(10.0 * std::log10(signal / noise), kSegmentFloorDb, kSegmentCeilingDb);
}

std::vector<double> HannWindow(size_t n)
{
    std::vector<double> window(n);
    for (size_t i = 0; i < n; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n));
    return window;
}

std::vector<double> PowerSpectrum(const std::vector<double>& mixed, size_t start, const std::vector<double>& window)
{
    std::vector<Complex> frame(window.size());
    for (size_t i = 0; i < window.size(); ++i)
        frame[i] = mixed[start + i] * window[i];
    TransformInPlace(frame, false);
    std::vector<double> power(window.size() / 2 + 1);
    for (size_t k = 0; k < power.size(); ++k)
        power[k] = std::norm(frame[k]);
    return power;
}

double EnergyDb(const std::vector<double>& mixed, size_t start, size_t length, int channels)
{
    double energy = 0.0;
    for (size_t i = start; i < start + length; ++i)
        energy += mixed[i] * mixed[i];
    const double full = kFullScale * kFullScale * channels * channels * static_cast<double>(length);
    return energy > 0.0 ? 10.0 * std::log10(energy / full) : kSilenceDb;
}

// The lag in [minLag, maxLag] whose normalised autocorrelation peaks; 0 when no peak reaches the periodicity.
size_t BestPeriod(const std::vector<double>& mixed, size_t start, size_t length, size_t minLag, size_t maxLag)
{
    size_t best = 0;
    double bestScore = kF0Periodicity;
    for (size_t lag = minLag; lag <= maxLag && lag < length; ++lag) {
        double cross = 0.0;
        double a = 0.0;
        double b = 0.0;
        for (size_t i = start; i + lag < start + length; ++i) {
            cross += mixed[i] * mixed[i + lag];
            a += mixed[i] * mixed[i];
            b += mixed[i + lag] * mixed[i + lag];
        }
        const double score = (a > 0.0 && b > 0.0) ? cross / std::sqrt(a * b) : 0.0;
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

} // namespace

int FindLag(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int maxLagFrames)
{
    const std::vector<double> a = MixDown(ref, channels);
    const std::vector<double> b = MixDown(test, channels);
    if (a.empty() || b.empty())
        return 0;
    const size_t n = NextPowerOfTwo(a.size() + b.size());
    std::vector<Complex> fa(n);
    std::vector<Complex> fb(n);
    std::copy(a.begin(), a.end(), fa.begin());
    std::copy(b.begin(), b.end(), fb.begin());
    TransformInPlace(fa, false);
    TransformInPlace(fb, false);
    for (size_t k = 0; k < n; ++k)
        fa[k] = std::conj(fa[k]) * fb[k];
    TransformInPlace(fa, true); // entry l (mod n): sum over i of a[i] b[i + l]
    // Entry l holds a sum only for -|a| < l < |b|; n >= |a| + |b| keeps those lags from meeting modulo n.
    const long earliest = -std::min<long>(std::max(maxLagFrames, 0), static_cast<long>(a.size()) - 1);
    const long latest = std::min<long>(std::max(maxLagFrames, 0), static_cast<long>(b.size()) - 1);
    long best = 0;
    double bestValue = -std::numeric_limits<double>::infinity();
    for (long lag = earliest; lag <= latest; ++lag) {
        const size_t index = static_cast<size_t>(
            (static_cast<long>(lag) % static_cast<long>(n) + static_cast<long>(n)) % static_cast<long>(n));
        if (fa[index].real() > bestValue) {
            bestValue = fa[index].real();
            best = lag;
        }
    }
    return static_cast<int>(best);
}

AlignedPair Align(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int lagFrames)
{
    const auto c = static_cast<size_t>(std::max(channels, 1));
    const size_t refShift = lagFrames < 0 ? static_cast<size_t>(-lagFrames) * c : 0;
    const size_t testShift = lagFrames > 0 ? static_cast<size_t>(lagFrames) * c : 0;
    if (refShift >= ref.size() || testShift >= test.size())
        return {};
    const size_t length = std::min(ref.size() - refShift, test.size() - testShift) / c * c;
    return {ref.subspan(refShift, length), test.subspan(testShift, length)};
}

double Snr(std::span<const int16_t> ref, std::span<const int16_t> test)
{
    double signal = 0.0;
    double noise = 0.0;
    for (size_t i = 0; i < std::min(ref.size(), test.size()); ++i) {
        const double r = ref[i];
        signal += r * r;
        noise += (r - test[i]) * (r - test[i]);
    }
    if (noise == 0.0)
        return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(signal / noise);
}

double SegmentalSnr(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate)
{
    const auto c = static_cast<size_t>(std::max(channels, 1));
    const size_t segment = std::max<size_t>(1, static_cast<size_t>(sampleRate * kSegmentMs / 1000.0)) * c;
    const size_t length = std::min(ref.size(), test.size());
    double sum = 0.0;
    size_t segments = 0;
    for (size_t start = 0; start + segment <= length; start += segment) {
        sum += SegmentSnr(ref.subspan(start, segment), test.subspan(start, segment));
        ++segments;
    }
    return segments == 0 ? 0.0 : sum / static_cast<double>(segments);
}

double LogSpectralDistance(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate,
                           double lowHz, double highHz)
{
    if (sampleRate < 1)
        return 0.0;
    const std::vector<double> a = MixDown(ref, channels);
    const std::vector<double> b = MixDown(test, channels);
    // At least two points, so that the half-frame step moves on; no window for a frame the sounds cannot fill.
    const size_t frame = std::max<size_t>(2, NextPowerOfTwo(static_cast<size_t>(sampleRate * kLsdFrameMs / 1000.0)));
    if (frame > std::min(a.size(), b.size()))
        return 0.0;
    const std::vector<double> window = HannWindow(frame);
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(frame);
    const auto firstBin = static_cast<size_t>(std::ceil(lowHz / binHz));
    const size_t lastBin = std::min(frame / 2, static_cast<size_t>(std::floor(highHz / binHz)));
    // A floor well below the quietest frame that counts keeps log(0) out of empty bins.
    const double floor =
        std::pow(10.0, kLsdSilenceDb / 10.0) * kFullScale * kFullScale * static_cast<double>(frame) * 1e-4;
    double total = 0.0;
    size_t frames = 0;
    const size_t length = std::min(a.size(), b.size());
    for (size_t start = 0; start + frame <= length && firstBin <= lastBin; start += frame / 2) {
        if (EnergyDb(a, start, frame, channels) < kLsdSilenceDb)
            continue;
        const std::vector<double> pa = PowerSpectrum(a, start, window);
        const std::vector<double> pb = PowerSpectrum(b, start, window);
        double squares = 0.0;
        for (size_t k = firstBin; k <= lastBin; ++k) {
            const double d = 10.0 * std::log10((pa[k] + floor) / (pb[k] + floor));
            squares += d * d;
        }
        total += std::sqrt(squares / static_cast<double>(lastBin - firstBin + 1));
        ++frames;
    }
    return frames == 0 ? 0.0 : total / static_cast<double>(frames);
}

std::vector<double> FrameEnergyDb(std::span<const int16_t> samples, int channels, int sampleRate, double frameMs)
{
    const std::vector<double> mixed = MixDown(samples, channels);
    const size_t frame = std::max<size_t>(1, static_cast<size_t>(sampleRate * frameMs / 1000.0));
    std::vector<double> energies;
    for (size_t start = 0; start + frame <= mixed.size(); start += frame)
        energies.push_back(EnergyDb(mixed, start, frame, channels));
    return energies;
}

std::vector<double> TrackF0(std::span<const int16_t> samples, int channels, int sampleRate, double minHz, double maxHz)
{
    const std::vector<double> mixed = MixDown(samples, channels);
    const size_t hop = std::max<size_t>(1, static_cast<size_t>(sampleRate * kF0HopMs / 1000.0));
    const size_t window = static_cast<size_t>(sampleRate * kF0WindowMs / 1000.0);
    const auto minLag = static_cast<size_t>(std::max(1.0, std::floor(sampleRate / maxHz)));
    const auto maxLag = static_cast<size_t>(std::ceil(sampleRate / minHz));
    std::vector<double> f0;
    for (size_t start = 0; start + window <= mixed.size(); start += hop) {
        if (EnergyDb(mixed, start, window, channels) < kF0QuietDb) {
            f0.push_back(0.0);
            continue;
        }
        const size_t period = BestPeriod(mixed, start, window, minLag, maxLag);
        f0.push_back(period == 0 ? 0.0 : static_cast<double>(sampleRate) / static_cast<double>(period));
    }
    return f0;
}

SoundComparison CompareSounds(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate,
                              int maxLagFrames)
{
    SoundComparison result;
    if (sampleRate < 1 || sampleRate > kMaxCompareRate) {
        result.error = "sample rate " + std::to_string(sampleRate) + " Hz is outside 1.." +
                       std::to_string(kMaxCompareRate) + " Hz";
        return result;
    }
    if (channels < 1 || channels > kMaxCompareChannels) {
        result.error = std::to_string(channels) + " channels: not 1.." + std::to_string(kMaxCompareChannels);
        return result;
    }
    const auto c = static_cast<size_t>(channels);
    result.refFrames = ref.size() / c;
    result.testFrames = test.size() / c;
    result.lagFrames = FindLag(ref, test, channels, maxLagFrames);
    const AlignedPair pair = Align(ref, test, channels, result.lagFrames);
    if (pair.ref.empty()) {
        result.error = "no frames to compare";
        return result;
    }
    result.snrDb = Snr(pair.ref, pair.test);
    result.segmentalSnrDb = SegmentalSnr(pair.ref, pair.test, channels, sampleRate);
    result.logSpectralDistanceDb =
        LogSpectralDistance(pair.ref, pair.test, channels, sampleRate, 50.0, 0.45 * sampleRate);
    return result;
}

} // namespace soundtest
