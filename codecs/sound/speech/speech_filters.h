#pragma once
// Filters, analysis windows and spectra of the speech codecs, on the caller's single-precision arrays.
// Half windows: a symmetric window of length N is stored as its first (N + 1) / 2 values; the centre value of an
// odd N is the last one stored.
#include <cstdint>
#include <span>
#include <vector>

namespace sound {

struct HighPassState {
    float previousInput = 0.0f;
    float previousOutput = 0.0f;
    float pole = 0.99f;
};

// y[n] = x[n] - x[n-1] + pole y[n-1]; a stored output below 1e-5 in magnitude restarts from 0, so that silence
// never leaves denormals behind.
void HighPass(const int16_t* in, float* out, int count, HighPassState& state);
// Direct form II transposed: coefficients b[0..order] then a[1..order]; y = b.x - a.y; state holds order values.
void IirFilter(const float* in, float* out, int count, const float* coefficients, int order, float* state);
// All-pole synthesis in place: buffer holds `order` samples of history, then count samples of excitation, each of
// which gains -sum a[k] y[n-k] (poly a[0..order], a[0] = 1).
void SynthesisFilterStep(float* buffer, int count, const float* poly, int order);

// Half windows; an empty vector when memory runs out or the length is below 2.
std::vector<float> KaiserHalfWindow(int length, float beta);
void NormaliseWindowEnergy(std::span<float> half, int length); // sum of squares over all points = length
void NormaliseWindowSum(std::span<float> half, int length);    // sum over all points = 1
void ApplyHalfWindow(const float* in, std::span<const float> half, float* out, int length);

// buffer[n] *= a - b cos(2 pi n / (N - 1)), n = 0 .. N-1, the cosines by the Chebyshev recurrence.
void CosineWindowApply(float* buffer, int length, float a, float b);
void HammingApply(float* buffer, int length);     // a = 0.54 * 2 / N, b = 0.46 * 2 / N
void HammingUnitApply(float* buffer, int length); // a, b = 0.54, 0.46 over (0.54 N - 0.46)
void HannScaledApply(float* buffer, int length);  // a = b = 1 / N
void HammingRising(float* out, int length);       // n = 0 .. N/2 - 1
void HammingFalling(float* out, int length);      // n = (N + 1)/2 .. N - 1, written from out[0]
void HammingFull(float* out, int length);

// The second half of signal[0..length) to the start of buffer, the first half to its end, the middle zeroed, then
// the forward real transform of 2^order points in place: the frame's centre sits at time 0. buffer holds
// 2^order + 2 floats for the packed spectrum; false, with buffer untouched, when it is shorter or length
// exceeds 2^order.
bool CentreIntoFft(const float* signal, int length, std::span<float> buffer, int order);
void SplitComplex(const float* interleaved, float* re, float* im, int count);
void PowerSpectrum(const float* re, const float* im, int count, float* out);
void PowerInterleaved(const float* interleaved, int count, float* out);

} // namespace sound
