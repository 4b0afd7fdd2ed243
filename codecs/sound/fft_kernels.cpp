#include "codecs/sound/fft_kernels.h"

#include <utility>

#include "codecs/sound/fft_complex.h"
#include "codecs/sound/fft_tables.h"

namespace sound {
namespace {

constexpr size_t kCacheBlockPoints = 1024;

// The table holds the forward kernel's twiddles; the other direction uses their conjugates.
template <bool Forward> Complex Twiddle(const float* entry)
{
    return Forward ? Complex{entry[0], entry[1]} : Complex{entry[0], -entry[1]};
}

// One L-shaped butterfly over the points i0, i0 + s, i0 + 2s, i0 + 3s: the sums stay in the first half, the
// differences turned by a quarter and multiplied by w and w^3 go to the two quarters of the second half.
template <bool Forward> void LButterfly(float* data, size_t i0, size_t s, Complex w1, Complex w3, bool plain)
{
    const Complex a = LoadComplex(data, i0);
    const Complex b = LoadComplex(data, i0 + s);
    const Complex c = LoadComplex(data, i0 + 2 * s);
    const Complex d = LoadComplex(data, i0 + 3 * s);
    StoreComplex(data, i0, Plus(a, c));
    StoreComplex(data, i0 + s, Plus(b, d));
    const Complex u = Minus(a, c);
    const Complex v = Minus(b, d);
    const Complex minusTurn = {u.re + v.im, u.im - v.re}; // u - i v
    const Complex plusTurn = {u.re - v.im, u.im + v.re};  // u + i v
    const Complex second = Forward ? minusTurn : plusTurn;
    const Complex third = Forward ? plusTurn : minusTurn;
    StoreComplex(data, i0 + 2 * s, plain ? second : Times(second, w1));
    StoreComplex(data, i0 + 3 * s, plain ? third : Times(third, w3));
}

template <bool Forward> void SplitRadixStages(float* data, const TwiddleTable& twiddles)
{
    const size_t n = twiddles.Points();
    const float* table = twiddles.ComplexTwiddles();
    size_t span = 2 * n;
    for (int stage = 1; stage < twiddles.order; ++stage) {
        span >>= 1;
        const size_t quarter = span >> 2;
        const size_t stride = n / span;
        for (size_t j = 0; j < quarter; ++j) {
            Complex w1 = {1.0f, 0.0f};
            Complex w3 = {1.0f, 0.0f};
            if (j > 0) {
                const float* entry = table + 4 * (j * stride - 1);
                w1 = Twiddle<Forward>(entry);
                w3 = Twiddle<Forward>(entry + 2);
            }
            // The L-shaped blocks that still need this stage start at j, then follow the split-radix pattern.
            size_t start = j;
            size_t step = 2 * span;
            while (start < n - 1) {
                for (size_t i0 = start; i0 < n - 1; i0 += step)
                    LButterfly<Forward>(data, i0, quarter, w1, w3, j == 0);
                start = 2 * step - span + j;
                step *= 4;
            }
        }
    }
}

// The radix-2 pairs the L-shaped recursion leaves over.
void SplitRadixPairs(float* data, size_t n)
{
    size_t start = 0;
    size_t step = 4;
    while (start < n - 1) {
        for (size_t i0 = start; i0 < n; i0 += step) {
            const Complex a = LoadComplex(data, i0);
            const Complex b = LoadComplex(data, i0 + 1);
            StoreComplex(data, i0, Plus(a, b));
            StoreComplex(data, i0 + 1, Minus(a, b));
        }
        start = 2 * step - 2;
        step *= 4;
    }
}

// One decimation-in-time stage over len points: butterflies of span 2 * half, twiddles w^(j * n / (2 half)).
template <bool Forward> void DitStage(float* data, size_t len, size_t half, const float* table, size_t n)
{
    const size_t stride = n / (2 * half);
    for (size_t start = 0; start < len; start += 2 * half) {
        for (size_t j = 0; j < half; ++j) {
            const Complex w = Twiddle<Forward>(table + 2 * j * stride);
            const Complex top = LoadComplex(data, start + j);
            const Complex t = Times(w, LoadComplex(data, start + j + half));
            StoreComplex(data, start + j, Plus(top, t));
            StoreComplex(data, start + j + half, Minus(top, t));
        }
    }
}

template <bool Forward> void LargeStages(float* data, const TwiddleTable& twiddles)
{
    const size_t n = twiddles.Points();
    const float* table = twiddles.ComplexTwiddles();
    for (size_t block = 0; block < n; block += kCacheBlockPoints) {
        for (size_t half = 1; half < kCacheBlockPoints; half *= 2)
            DitStage<Forward>(data + 2 * block, kCacheBlockPoints, half, table, n);
    }
    for (size_t half = kCacheBlockPoints; half < n; half *= 2)
        DitStage<Forward>(data, n, half, table, n);
}

} // namespace

void SplitRadixKernel(float* data, const TwiddleTable& twiddles, bool forward)
{
    if (twiddles.order < 1)
        return;
    if (forward)
        SplitRadixStages<true>(data, twiddles);
    else
        SplitRadixStages<false>(data, twiddles);
    SplitRadixPairs(data, twiddles.Points());
}

void LargeKernel(float* data, const TwiddleTable& twiddles, bool forward)
{
    if (twiddles.order <= kLargestSplitRadixOrder)
        return;
    if (forward)
        LargeStages<true>(data, twiddles);
    else
        LargeStages<false>(data, twiddles);
}

void BitReversePermute(float* data, const BitReversalTable& table)
{
    const size_t n = table.partner.size();
    for (size_t i = 0; i < n; ++i) {
        const size_t partner = table.partner[i];
        if (i < partner) {
            std::swap(data[2 * i], data[2 * partner]);
            std::swap(data[2 * i + 1], data[2 * partner + 1]);
        }
    }
}

} // namespace sound
