#pragma once
// Small numeric helpers of the harmonic speech models: peak search and refinement, moving harmonic amplitudes to
// another pitch, harmonic counts, a power function and the minimal standard random generator.
#include <cstdint>

namespace sound {

struct Peak {
    int index = 0;
    int32_t value = 0;
};
// The largest value, the first of equals; when every value is negative, the smallest one instead. n >= 1.
Peak PeakSearch(const int32_t* values, int n);

// The offset (-b / 2a, 0 when a is 0) of the parabola through three equally spaced values, and its peak.
float ParabolicPeak(float before, float centre, float after, float& outPeak);

// Harmonic k (1-based) of newPitch sits at k old/new on the old harmonic grid; amplitudes are interpolated there
// (from 0 below the first harmonic). count outputs, then zeros up to capacity. Harmonics past the input's
// `available` values read as 0.
void ResampleHarmonics(float oldPitch, float newPitch, int count, const float* amplitudes, int available, float* out,
                       int capacity);

float PowerF(float x, float y); // 2^(y log2 x)
int HarmonicCount(float pitch); // floor(pitch x 0.5 x 0.99609375)
int ScaledHarmonicCount(float pitch, float factor);
float RatioAtMostOne(float a, float b);

// state = 16807 state mod (2^31 - 1); the new state. Seed 1 gives 16807 first.
uint32_t MinimalStandardRandom(uint32_t& state);

} // namespace sound
