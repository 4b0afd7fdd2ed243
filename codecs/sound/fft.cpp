#include "codecs/sound/fft.h"

#include <memory>

#include "codecs/sound/fft_complex.h"
#include "codecs/sound/fft_kernels.h"
#include "codecs/sound/fft_tables.h"

namespace sound {
namespace {

bool ShouldScale(uint32_t flags)
{
    return (flags & FFT_SCALE) != 0 && (flags & FFT_NO_SCALE) == 0;
}

bool OrderInRange(int order)
{
    return order >= 0 && order <= kMaxTransformOrder;
}

// The complex transform of 2^order points on tables already fetched.
void RunComplex(float* data, const TwiddleTable& twiddles, const BitReversalTable* bitReversal, uint32_t flags)
{
    const bool forward = (flags & FFT_FORWARD) != 0;
    const bool inputReversed = (flags & FFT_INPUT_BITREV) != 0;
    const bool outputReversed = (flags & FFT_OUTPUT_BITREV) != 0;
    if (twiddles.order <= kLargestSplitRadixOrder) {
        if (inputReversed && bitReversal != nullptr)
            BitReversePermute(data, *bitReversal);
        SplitRadixKernel(data, twiddles, forward);
        if (!outputReversed && bitReversal != nullptr)
            BitReversePermute(data, *bitReversal);
        return;
    }
    if (!inputReversed)
        BitReversePermute(data, *bitReversal);
    LargeKernel(data, twiddles, forward);
    if (outputReversed)
        BitReversePermute(data, *bitReversal);
}

// Orders up to 1 need no permutation: the table is only fetched when a permutation can move something.
bool NeedsPermutation(int order, uint32_t flags)
{
    if (order < 2)
        return false;
    if (order > kLargestSplitRadixOrder)
        return true;
    return (flags & FFT_INPUT_BITREV) != 0 || (flags & FFT_OUTPUT_BITREV) == 0;
}

// A natural-order complex transform of 2^order points with the direction of the flags; false without tables.
bool ComplexInPlace(float* data, int order, uint32_t flags)
{
    const std::shared_ptr<const TwiddleTable> twiddles = TwiddleTableOf(order);
    if (!twiddles)
        return false;
    std::shared_ptr<const BitReversalTable> bitReversal;
    if (NeedsPermutation(order, flags)) {
        bitReversal = BitReversalTableOf(order);
        if (!bitReversal)
            return false;
    }
    RunComplex(data, *twiddles, bitReversal.get(), flags);
    return true;
}

// Splits the half-size transform Z of 2M real samples into bins 0 .. M of their forward spectrum:
// X[k] = Z[k] A + conj(Z[M-k]) B with A = (1 - i W^k) / 2 = (b, -a), B = (1 + i W^k) / 2 = (1 - b, a), where
// (a, b) is the table's (0.5 cos t, 0.5 - 0.5 sin t); and X[M-k] is the conjugate of conj(Z[M-k]) A + Z[k] B.
void SplitRealSpectrum(float* data, size_t m, const float* split)
{
    const Complex z0 = LoadComplex(data, 0);
    for (size_t k = 1; k <= m / 2; ++k) {
        const float a = split[2 * (k - 1)];
        const float b = split[2 * (k - 1) + 1];
        const Complex weightA = {b, -a};
        const Complex weightB = {1.0f - b, a};
        const Complex zk = LoadComplex(data, k);
        const Complex zmk = LoadComplex(data, m - k);
        StoreComplex(data, k, Plus(Times(zk, weightA), Times(Conj(zmk), weightB)));
        if (k != m - k)
            StoreComplex(data, m - k, Conj(Plus(Times(Conj(zmk), weightA), Times(zk, weightB))));
    }
    StoreComplex(data, 0, {z0.re + z0.im, 0.0f});
    StoreComplex(data, m, {z0.re - z0.im, 0.0f});
}

// The inverse of the split, doubled: 2 Z[k] = (X[k] + conj X[M-k]) + i e^(+2 pi i k / N) (X[k] - conj X[M-k]).
// `sign` is -1 when the spectrum is read conjugated (the direction bit set).
void JoinRealSpectrum(float* data, size_t m, const float* join, float sign)
{
    const float x0 = data[0];
    const float xm = data[2 * m];
    for (size_t k = 1; k < (m + 1) / 2; ++k) {
        const Complex e = {join[2 * k], -join[2 * k + 1]}; // e^(+2 pi i k / N)
        const Complex xk = {data[2 * k], sign * data[2 * k + 1]};
        const Complex xmk = {data[2 * (m - k)], sign * data[2 * (m - k) + 1]};
        const Complex sum = Plus(xk, Conj(xmk));
        const Complex diff = Minus(xk, Conj(xmk));
        const Complex turned = Times({-e.im, e.re}, diff); // i e times diff
        StoreComplex(data, k, Plus(sum, turned));
        // For M - k the turn is i e^(+2 pi i (M-k) / N) = -i conj(e) and the roles of the two bins swap.
        const Complex sumMirror = Conj(sum);
        const Complex diffMirror = {-diff.re, diff.im};
        const Complex turnedMirror = Times({-e.im, -e.re}, diffMirror);
        StoreComplex(data, m - k, Plus(sumMirror, turnedMirror));
    }
    if (m >= 2) {
        const size_t h = m / 2;
        StoreComplex(data, h, {2.0f * data[2 * h], -2.0f * sign * data[2 * h + 1]});
    }
    StoreComplex(data, 0, {x0 + xm, x0 - xm});
}

// What both real transforms check before touching the data: the order, room for n samples and the Nyquist pair,
// and the half-length twiddles. True with no twiddles for order 0, which leaves the data as it is.
bool PrepareRealTransform(std::span<const float> data, int order, std::shared_ptr<const TwiddleTable>& outTwiddles)
{
    outTwiddles.reset();
    if (!OrderInRange(order) || order == 0)
        return OrderInRange(order);
    if (data.size() < (size_t{1} << order) + 2)
        return false;
    outTwiddles = TwiddleTableOf(order - 1);
    return outTwiddles != nullptr;
}

} // namespace

bool ComplexFFT(std::span<float> data, int order, uint32_t flags)
{
    if (!OrderInRange(order) || data.size() < (size_t{2} << order))
        return false;
    if (order == 0)
        return true;
    if (!ComplexInPlace(data.data(), order, flags))
        return false;
    if (ShouldScale(flags))
        ScaleFloats(1.0f / static_cast<float>(size_t{1} << order), data.data(), size_t{2} << order);
    return true;
}

bool RealFFT(std::span<float> data, int order, uint32_t flags)
{
    std::shared_ptr<const TwiddleTable> twiddles;
    if (!PrepareRealTransform(data, order, twiddles))
        return false;
    if (!twiddles)
        return true; // order 0: nothing to transform
    const size_t n = size_t{1} << order;
    const size_t m = n / 2;
    if ((flags & FFT_INIT_ONLY) != 0)
        return true;
    if (!ComplexInPlace(data.data(), order - 1, FFT_FORWARD))
        return false;
    SplitRealSpectrum(data.data(), m, twiddles->SplitTwiddles());
    if ((flags & FFT_FORWARD) == 0) {
        for (size_t k = 0; k <= m; ++k)
            data[2 * k + 1] = -data[2 * k + 1];
    }
    if (ShouldScale(flags))
        ScaleFloats(1.0f / static_cast<float>(n), data.data(), n + 2);
    return true;
}

bool RealInverseFFT(std::span<float> data, int order, uint32_t flags)
{
    std::shared_ptr<const TwiddleTable> twiddles;
    if (!PrepareRealTransform(data, order, twiddles))
        return false;
    if (!twiddles)
        return true; // order 0: nothing to transform
    const size_t n = size_t{1} << order;
    const size_t m = n / 2;
    // Fetch the permutation table before touching the data so that a refusal leaves the spectrum intact.
    if (NeedsPermutation(order - 1, 0) && !BitReversalTableOf(order - 1))
        return false;
    const float sign = (flags & FFT_FORWARD) != 0 ? -1.0f : 1.0f;
    JoinRealSpectrum(data.data(), m, twiddles->JoinTwiddles(), sign);
    if (!ComplexInPlace(data.data(), order - 1, 0))
        return false;
    if (ShouldScale(flags))
        ScaleFloats(1.0f / static_cast<float>(n), data.data(), n);
    return true;
}

void ScaleFloats(float factor, float* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        data[i] *= factor;
}

uint32_t ProcessorClass()
{
    return 0;
}

} // namespace sound
