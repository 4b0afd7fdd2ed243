#pragma once
// The transform layer every transform codec of the sound family shares: complex and real fast Fourier transforms
// of power-of-two sizes, given by their order (log2 of the size), on 32-bit floats in place.
//
// Complex data is interleaved (real, imaginary), 2N floats for N points. A packed real spectrum of N samples holds
// the N/2 + 1 bins 0 .. N/2, bin k at floats 2k and 2k+1, so it takes N + 2 FLOATS, NOT N: a real transform
// refuses a buffer shorter than that instead of writing past it.
#include <cstddef>
#include <cstdint>
#include <span>

namespace sound {

// Flag bits of every transform; they combine.
inline constexpr uint32_t FFT_FORWARD = 1;        // kernel exp(-2 pi i n k / N); clear: exp(+2 pi i n k / N)
inline constexpr uint32_t FFT_SCALE = 2;          // multiply the result by 1/N, unless FFT_NO_SCALE is set
inline constexpr uint32_t FFT_INIT_ONLY = 4;      // RealFFT only: build the order's tables, leave the data
inline constexpr uint32_t FFT_NO_SCALE = 8;       // never scale; wins over FFT_SCALE
inline constexpr uint32_t FFT_NATURAL_ORDER = 16; // ComplexFFT: natural input and output (also when 16/32/64 absent)
inline constexpr uint32_t FFT_INPUT_BITREV = 32;  // ComplexFFT: the input is in bit-reversed order
inline constexpr uint32_t FFT_OUTPUT_BITREV = 64; // ComplexFFT: leave the output in bit-reversed order

// Each transform returns false, leaving the data untouched, when the order is outside 0..kMaxTransformOrder, the
// span is too short, or its tables cannot be allocated. Order 0 is a transform of one point: true, no change.

bool ComplexFFT(std::span<float> data, int order, uint32_t flags); // 2N floats, N = 2^order points

// N = 2^order real samples in data[0..N) become the packed spectrum in data[0..N+2); the imaginary parts of bins
// 0 and N/2 are written as 0. With the direction bit clear the result is the conjugate spectrum.
bool RealFFT(std::span<float> data, int order, uint32_t flags);

// The packed spectrum in data[0..N+2) becomes N real samples in data[0..N): with the direction bit clear,
// x[n] = sum over k < N of X[k] exp(+2 pi i n k / N) with X[N-k] = conj X[k]; with it set, the same with
// exp(-2 pi i n k / N). FFT_SCALE after RealFFT(FFT_FORWARD) gives the input back.
bool RealInverseFFT(std::span<float> data, int order, uint32_t flags);

void ScaleFloats(float factor, float* data, size_t count);

// The order of the smallest power of two not below points (1 -> 0, 256 -> 8, 300 -> 9), as the transforms take it.
inline int TransformOrderOf(int points)
{
    int order = 0;
    while ((1 << order) < points)
        ++order;
    return order;
}

// 386, 486 or 586 for those processor types, else 0. This platform does not report the old types, so the answer
// is always 0, which selects the floating-point set-ups of the codecs that ask.
uint32_t ProcessorClass();

} // namespace sound
