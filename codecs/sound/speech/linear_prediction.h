#pragma once
// Linear prediction and line spectral frequencies for the speech codecs. Single precision on the caller's
// arrays, except that sums of products accumulate in double; nothing here allocates.
//
// A prediction polynomial a[0..p] has a[0] = 1 and filters the prediction error: e[n] = sum a[k] x[n-k].
#include <cstdint>

namespace sound {

inline constexpr int kMaxLpcOrder = 20;

double DotProduct(const float* x, const float* y, int n);
// out[k] = sum over the length - k overlapping samples of x[i] x[i + k], k = 0 .. count - 1.
void Autocorrelation(int count, const float* x, int length, float* out);
// The recursion on r[0..order]; reflection coefficients limited to +-0.9999 and an r[0] of 0 taken as 1e-37, so
// silence gives a[0] = 1, the rest 0. outError is the final prediction error energy. outReflection may be null.
void LevinsonDurbin(const float* r, int order, float* outPoly, float* outReflection, float& outError);
void BandwidthExpand(const float* a, float* out, int order, float gamma); // out[k] = a[k] gamma^k
void ScaleVector(const float* in, int count, float factor, float* out);

// Ten (an even order up to kMaxLpcOrder) ascending frequencies in Hz below rate / 2. 0 when found; 1 when the
// roots could not be found in order, and the frequencies are then the even grid (k + 0.5) (rate / 2) / order.
int PolyToLsf(const float* a, int order, float rate, float* outLsf);
// The polynomial a[0..order] of the frequencies (Hz) at the sample period (s).
void LsfToPoly(const float* lsf, int order, float samplePeriod, float* outPoly);
void EvenGrid(float* out, int n, float range); // out[k] = (k + 0.5) range / n

} // namespace sound
