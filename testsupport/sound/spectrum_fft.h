#pragma once
// A plain radix-2 complex FFT in double precision for the sound metrics. The metrics must not depend on the
// transform layer they help to test, so they carry their own.
#include <complex>
#include <vector>

namespace soundtest {

// In place; data.size() must be a power of two. inverse: kernel exp(+2 pi i n k / N), unscaled.
void TransformInPlace(std::vector<std::complex<double>>& data, bool inverse);

size_t NextPowerOfTwo(size_t n); // the smallest power of two not below n (1 for 0)

} // namespace soundtest
