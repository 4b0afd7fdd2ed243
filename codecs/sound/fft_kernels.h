#pragma once
// The butterfly kernels behind the transform layer. Data is interleaved complex, 2N floats for N = 2^order points.
#include <cstddef>
#include <cstdint>

namespace sound {

struct TwiddleTable;
struct BitReversalTable;

inline constexpr int kLargestSplitRadixOrder = 10; // above this the cache-blocked kernel takes over

// Orders 1 .. 10: decimation in frequency, natural-order input, bit-reversed output.
void SplitRadixKernel(float* data, const TwiddleTable& twiddles, bool forward);

// Orders 11 and up: decimation in time, bit-reversed input, natural-order output. The first ten stages run block
// by block over 1024 points (8 KB) so that each block stays in the data cache.
void LargeKernel(float* data, const TwiddleTable& twiddles, bool forward);

// Swaps every point with its bit-reversed partner; the permutation is its own inverse.
void BitReversePermute(float* data, const BitReversalTable& table);

} // namespace sound
