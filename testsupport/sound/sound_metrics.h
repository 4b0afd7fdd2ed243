#pragma once
// Objective measures of a decoded sound against its reference, for tests, tools and benchmarks. Samples are
// 16-bit, channels interleaved; both sounds have the same channel count and rate. Levels are in dB.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace soundtest {

inline constexpr double kSegmentMs = 20.0;
inline constexpr double kSegmentFloorDb = -10.0;
inline constexpr double kSegmentCeilingDb = 35.0;
inline constexpr int kMaxCompareRate = 1'000'000; // the wave files' own limit; frames of ms stay a few MB
inline constexpr int kMaxCompareChannels = 64;

// The delay of test against ref in frames (positive: test is late), the peak of their cross-correlation within
// +-maxLagFrames, computed on the channels' sum through an FFT. Lags that leave no frame in common are never
// tried, so a huge maxLagFrames costs no more than the signals' length.
int FindLag(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int maxLagFrames);

struct AlignedPair {
    std::span<const int16_t> ref;
    std::span<const int16_t> test; // same length as ref: the frames both hold once test is moved back by the lag
};
AlignedPair Align(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int lagFrames);

// 10 log10(sum ref^2 / sum (ref - test)^2) over equal-length spans; +infinity when they are equal.
double Snr(std::span<const int16_t> ref, std::span<const int16_t> test);

// The mean over 20 ms segments of each segment's SNR, clamped to -10..35 dB. A segment without error counts 35.
double SegmentalSnr(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate);

// Root-mean-square difference of the log power spectra over the bins from lowHz to highHz, averaged over Hann
// frames of about 32 ms (half overlapping) on the channels' sum; frames where ref lies 60 dB below full scale
// are skipped as silence. 0 when no frame counts, also for a rate below 1 or a frame longer than the sounds.
double LogSpectralDistance(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate,
                           double lowHz, double highHz);

// Energy of each frame of frameMs on the channels' sum, in dB relative to full scale (-120 for silence).
std::vector<double> FrameEnergyDb(std::span<const int16_t> samples, int channels, int sampleRate, double frameMs);

// A simple autocorrelation pitch tracker on the channels' sum: one value per 10 ms hop, the fundamental in Hz
// between minHz and maxHz, or 0 where the frame is quiet or not periodic enough.
std::vector<double> TrackF0(std::span<const int16_t> samples, int channels, int sampleRate, double minHz, double maxHz);

// Everything `vortan-codec sound compare` prints, measured after aligning test to ref.
struct SoundComparison {
    size_t refFrames = 0;
    size_t testFrames = 0;
    int lagFrames = 0;
    double snrDb = 0.0;
    double segmentalSnrDb = 0.0;
    double logSpectralDistanceDb = 0.0; // over 50 Hz up to 0.45 x rate (the coded band)
    std::string error;                  // why nothing was measured (the levels are then 0); empty when measured
};

// Refuses, with the error set, a rate outside 1..kMaxCompareRate, channels outside 1..kMaxCompareChannels, and
// sounds that have no frame in common once aligned: nothing compared is no measure, not an infinite SNR.
SoundComparison CompareSounds(std::span<const int16_t> ref, std::span<const int16_t> test, int channels, int sampleRate,
                              int maxLagFrames);

} // namespace soundtest
