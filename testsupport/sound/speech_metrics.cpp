#include "testsupport/sound/speech_metrics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "testsupport/sound/sound_metrics.h"
#include "testsupport/sound/spectrum_fft.h"

namespace soundtest {
namespace {

constexpr double kContourMs = 1.0;
constexpr double kContourFloorDb = -80.0;
constexpr double kEnergyFrameMs = 20.0;
constexpr double kCountedDb = -60.0;
constexpr double kLoudDb = -50.0;
constexpr double kF0HopMs = 10.0;
constexpr double kF0WindowMs = 40.0;
constexpr double kSpectrumFrameMs = 32.0;
constexpr double kFullScale = 32768.0;
constexpr size_t kMinContourOverlap = 50;
constexpr double kOctaveShare = 0.85;

// The fundamental of the frame at start: TrackF0 takes the best-correlated lag, which for a period that is not a
// whole number of samples is as often its double or triple. The shortest lag whose peak comes near the best one,
// refined between samples, is the period.
double RefinedF0(std::span<const int16_t> samples, size_t start, size_t length, int sampleRate)
{
    const auto minLag = static_cast<size_t>(std::max(2.0, std::floor(sampleRate / kSpeechMaxF0Hz)));
    const auto maxLag = static_cast<size_t>(std::ceil(sampleRate / kSpeechMinF0Hz));
    if (start + length > samples.size() || maxLag + 2 >= length)
        return 0.0;
    std::vector<double> score(maxLag + 2, 0.0);
    for (size_t lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double cross = 0.0, a = 0.0, b = 0.0;
        for (size_t i = start; i + lag < start + length; ++i) {
            const double x = samples[i];
            const double y = samples[i + lag];
            cross += x * y;
            a += x * x;
            b += y * y;
        }
        score[lag] = a > 0.0 && b > 0.0 ? cross / std::sqrt(a * b) : 0.0;
    }
    const double best = *std::max_element(score.begin() + static_cast<ptrdiff_t>(minLag),
                                          score.begin() + static_cast<ptrdiff_t>(maxLag) + 1);
    for (size_t lag = minLag; lag <= maxLag; ++lag) {
        if (score[lag] >= kOctaveShare * best && score[lag] >= score[lag - 1] && score[lag] >= score[lag + 1]) {
            const double a = (score[lag - 1] + score[lag + 1]) / 2.0 - score[lag];
            const double b = (score[lag + 1] - score[lag - 1]) / 2.0;
            const double offset = a < 0.0 ? std::clamp(-b / (2.0 * a), -0.5, 0.5) : 0.0;
            return sampleRate / (static_cast<double>(lag) + offset);
        }
    }
    return 0.0;
}

// TrackF0's voicing (0: unvoiced) with each voiced frame's fundamental refined.
std::vector<double> SpeechF0(std::span<const int16_t> samples, int sampleRate)
{
    std::vector<double> f0 = TrackF0(samples, 1, sampleRate, kSpeechMinF0Hz, kSpeechMaxF0Hz);
    const auto hop = static_cast<size_t>(sampleRate * kF0HopMs / 1000.0);
    const auto window = static_cast<size_t>(sampleRate * kF0WindowMs / 1000.0);
    for (size_t i = 0; i < f0.size(); ++i) {
        if (f0[i] > 0.0)
            f0[i] = RefinedF0(samples, i * hop, window, sampleRate);
    }
    return f0;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, ptrdiff_t lag, size_t& outCount)
{
    double sa = 0.0, sb = 0.0, saa = 0.0, sbb = 0.0, sab = 0.0;
    outCount = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const ptrdiff_t j = static_cast<ptrdiff_t>(i) + lag;
        if (j < 0 || j >= static_cast<ptrdiff_t>(b.size()))
            continue;
        const double x = a[i];
        const double y = b[static_cast<size_t>(j)];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
        ++outCount;
    }
    if (outCount == 0)
        return 0.0;
    const double n = static_cast<double>(outCount);
    const double va = saa - sa * sa / n;
    const double vb = sbb - sb * sb / n;
    return va > 0.0 && vb > 0.0 ? (sab - sa * sb / n) / std::sqrt(va * vb) : 0.0;
}

std::vector<double> FlooredContour(std::span<const int16_t> samples, int sampleRate, double frameMs, double floorDb)
{
    std::vector<double> contour = FrameEnergyDb(samples, 1, sampleRate, frameMs);
    for (double& db : contour)
        db = std::max(db, floorDb);
    return contour;
}

// Log power spectrum (dB) of a Hann-windowed frame at start; bins 0..n/2.
std::vector<double> LogSpectrum(std::span<const int16_t> samples, size_t start, size_t n)
{
    std::vector<std::complex<double>> frame(n);
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n));
        frame[i] = start + i < samples.size() ? samples[start + i] * w : 0.0;
    }
    TransformInPlace(frame, false);
    // A floor 60 dB below full scale keeps empty bins from dominating.
    const double floor = kFullScale * kFullScale * static_cast<double>(n) * 1e-10;
    std::vector<double> db(n / 2 + 1);
    for (size_t k = 0; k < db.size(); ++k)
        db[k] = 10.0 * std::log10(std::norm(frame[k]) + floor);
    return db;
}

void CompareEnergies(std::span<const int16_t> ref, std::span<const int16_t> test, int sampleRate, SpeechComparison& out)
{
    const std::vector<double> a = FrameEnergyDb(ref, 1, sampleRate, kEnergyFrameMs);
    const std::vector<double> b = FrameEnergyDb(test, 1, sampleRate, kEnergyFrameMs);
    std::vector<double> counted;
    std::vector<double> matched;
    double errors = 0.0;
    size_t loud = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] < kCountedDb)
            continue;
        counted.push_back(a[i]);
        matched.push_back(std::max(b[i], kContourFloorDb));
        if (a[i] >= kLoudDb) {
            errors += std::fabs(b[i] - a[i]);
            ++loud;
        }
    }
    size_t count = 0;
    out.energyCorrelation = Correlation(counted, matched, 0, count);
    out.meanEnergyErrorDb = loud == 0 ? 0.0 : errors / static_cast<double>(loud);
}

} // namespace

int FindEnergyLag(std::span<const int16_t> ref, std::span<const int16_t> test, int sampleRate, int maxLagSamples)
{
    const std::vector<double> a = FlooredContour(ref, sampleRate, kContourMs, kContourFloorDb);
    const std::vector<double> b = FlooredContour(test, sampleRate, kContourMs, kContourFloorDb);
    const double frame = std::max(1.0, sampleRate * kContourMs / 1000.0);
    const auto maxLag = static_cast<ptrdiff_t>(std::max(0, maxLagSamples) / frame);
    ptrdiff_t best = 0;
    double bestScore = -2.0;
    for (ptrdiff_t lag = -maxLag; lag <= maxLag; ++lag) {
        size_t overlap = 0;
        const double score = Correlation(a, b, lag, overlap);
        if (overlap >= std::min(kMinContourOverlap, std::min(a.size(), b.size())) && score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return static_cast<int>(static_cast<double>(best) * frame);
}

SpeechComparison CompareSpeech(std::span<const int16_t> ref, std::span<const int16_t> test, int sampleRate,
                               int maxLagSamples)
{
    SpeechComparison result;
    if (sampleRate < 1 || sampleRate > kMaxCompareRate) {
        result.error = "sample rate " + std::to_string(sampleRate) + " Hz is outside 1.." +
                       std::to_string(kMaxCompareRate) + " Hz";
        return result;
    }
    result.lagSamples = FindEnergyLag(ref, test, sampleRate, maxLagSamples);
    const AlignedPair pair = Align(ref, test, 1, result.lagSamples);
    const std::vector<double> refF0 = SpeechF0(pair.ref, sampleRate);
    const std::vector<double> testF0 = SpeechF0(pair.test, sampleRate);
    double squares = 0.0;
    double relative = 0.0;
    size_t both = 0;
    size_t missed = 0;
    std::vector<size_t> voiced;
    for (size_t i = 0; i < std::min(refF0.size(), testF0.size()); ++i) {
        if (refF0[i] <= 0.0)
            continue;
        voiced.push_back(i);
        if (testF0[i] <= 0.0) {
            ++missed;
            continue;
        }
        const double d = testF0[i] - refF0[i];
        squares += d * d;
        relative += (d / refF0[i]) * (d / refF0[i]);
        ++both;
    }
    result.voicedFrames = voiced.size();
    if (voiced.empty() || both == 0) {
        result.error = voiced.empty() ? "the reference has no voiced frame" : "no frame is voiced in both";
        return result;
    }
    result.f0RmsErrorHz = std::sqrt(squares / static_cast<double>(both));
    result.f0RmsErrorPercent = 100.0 * std::sqrt(relative / static_cast<double>(both));
    result.voicingDisagreement = static_cast<double>(missed) / static_cast<double>(voiced.size());
    CompareEnergies(pair.ref, pair.test, sampleRate, result);

    const size_t n = NextPowerOfTwo(static_cast<size_t>(sampleRate * kSpectrumFrameMs / 1000.0));
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(n);
    const auto firstBin = static_cast<size_t>(std::ceil(50.0 / binHz));
    const auto lastBin = std::min(n / 2, static_cast<size_t>(std::floor(0.45 * sampleRate / binHz)));
    const auto hop = static_cast<size_t>(sampleRate * kF0HopMs / 1000.0);
    const auto centre = static_cast<size_t>(sampleRate * kF0WindowMs / 2000.0);
    double total = 0.0;
    size_t frames = 0;
    for (const size_t i : voiced) {
        const size_t middle = i * hop + centre;
        if (middle < n / 2 || middle + n / 2 > pair.ref.size() || firstBin > lastBin)
            continue;
        const std::vector<double> a = LogSpectrum(pair.ref, middle - n / 2, n);
        const std::vector<double> b = LogSpectrum(pair.test, middle - n / 2, n);
        double sum = 0.0;
        for (size_t k = firstBin; k <= lastBin; ++k)
            sum += (a[k] - b[k]) * (a[k] - b[k]);
        total += std::sqrt(sum / static_cast<double>(lastBin - firstBin + 1));
        ++frames;
    }
    result.voicedLogSpectralDistanceDb = frames == 0 ? 0.0 : total / static_cast<double>(frames);
    return result;
}

} // namespace soundtest
