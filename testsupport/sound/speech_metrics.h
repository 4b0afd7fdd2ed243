#pragma once
// Measures of decoded speech against its reference for parametric codecs, whose waveforms need not match: the
// sounds are aligned by their energy contours, then pitch, voicing, energy and spectra are compared frame by frame.
// Mono 16-bit samples; levels in dB relative to full scale.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace soundtest {

inline constexpr double kSpeechMinF0Hz = 60.0;
inline constexpr double kSpeechMaxF0Hz = 400.0;

// The delay of test against ref in samples (positive: test is late) that best correlates their 1 ms energy
// contours (in dB) within +-maxLagSamples.
int FindEnergyLag(std::span<const int16_t> ref, std::span<const int16_t> test, int sampleRate, int maxLagSamples);

struct SpeechComparison {
    int lagSamples = 0;
    size_t voicedFrames = 0;          // 10 ms frames voiced in the reference (TrackF0's voicing)
    double f0RmsErrorHz = 0.0;        // over the frames voiced in both; the shortest strong period of each frame
    double f0RmsErrorPercent = 0.0;   // the same, each error relative to the reference's F0
    double voicingDisagreement = 0.0; // share of the reference's voiced frames that the test calls unvoiced
    double energyCorrelation = 0.0;   // of the 20 ms frame energies in dB, frames of the reference above -60 dBFS
    double meanEnergyErrorDb = 0.0;   // mean |test - ref| of those energies over frames above -50 dBFS
    double voicedLogSpectralDistanceDb = 0.0; // 32 ms frames centred on voiced frames, 50 Hz .. 0.45 x rate
    std::string error;                        // why nothing was measured; empty when measured
};

// Refuses, with the error set, a rate outside 1..1,000,000 Hz or sounds without a voiced frame in common.
SpeechComparison CompareSpeech(std::span<const int16_t> ref, std::span<const int16_t> test, int sampleRate,
                               int maxLagSamples);

} // namespace soundtest
