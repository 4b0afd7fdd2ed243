#include "codecs/sound/Tonalwave/Decode/tonalwave_synthesis.h"

#include <cassert>
#include <cmath>
#include <span>

#include "codecs/sound/fft.h"

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

InverseMdct::InverseMdct(int length)
    : m_length(length), m_order(TransformOrderOf(length / 2)), m_pre(static_cast<size_t>(length)),
      m_post(static_cast<size_t>(length))
{
    assert(length >= 4 && (length & (length - 1)) == 0 && "a block length is a power of two");
    const double scale = std::sqrt(2.0 / length);
    for (int m = 0; m < length / 2; ++m) {
        const double pre = kPi * m / length;
        m_pre[2 * static_cast<size_t>(m)] = static_cast<float>(std::cos(pre));
        m_pre[2 * static_cast<size_t>(m) + 1] = static_cast<float>(-std::sin(pre));
        const double post = kPi * (m + 0.25) / length;
        m_post[2 * static_cast<size_t>(m)] = static_cast<float>(scale * std::cos(post));
        m_post[2 * static_cast<size_t>(m) + 1] = static_cast<float>(-scale * std::sin(post));
    }
}

// With t[m] = X[2m] + i X[L-1-2m], W[p] = sum over m of t[m] exp(-i (pi/L)(2m + 1/2)(2p + 1/2)) gives the DCT-IV
// u[2p] = Re W[p] and u[L-1-2p] = -Im W[p]; the exponent splits into a pre-rotation, an L/2-point forward transform
// and a post-rotation. The 2L outputs are u unfolded with the transform's symmetries.
bool InverseMdct::Run(const float* coefficients, float* out, float* work) const
{
    const int length = m_length;
    const int half = length / 2;
    for (int m = 0; m < half; ++m) {
        const float re = coefficients[2 * m];
        const float im = coefficients[length - 1 - 2 * m];
        const float c = m_pre[2 * static_cast<size_t>(m)];
        const float s = m_pre[2 * static_cast<size_t>(m) + 1];
        work[2 * m] = re * c - im * s;
        work[2 * m + 1] = re * s + im * c;
    }
    if (!ComplexFFT(std::span<float>(work, static_cast<size_t>(length)), m_order, FFT_FORWARD | FFT_NO_SCALE))
        return false;
    // u is gathered in the second half of out, then moved to work, from which the 2L outputs unfold:
    // y[n] = u[n + L/2] below L/2, -u[3L/2 - 1 - n] below 3L/2, -u[n - 3L/2] above.
    float* const u = out + length;
    for (int p = 0; p < half; ++p) {
        const float re = work[2 * p];
        const float im = work[2 * p + 1];
        const float c = m_post[2 * static_cast<size_t>(p)];
        const float s = m_post[2 * static_cast<size_t>(p) + 1];
        u[2 * p] = re * c - im * s;
        u[length - 1 - 2 * p] = -(re * s + im * c);
    }
    for (int n = 0; n < length; ++n)
        work[n] = u[n];
    for (int n = 0; n < half; ++n)
        out[n] = work[n + half];
    for (int n = half; n < 3 * half; ++n)
        out[n] = -work[3 * half - 1 - n];
    for (int n = 3 * half; n < 2 * length; ++n)
        out[n] = -work[n - 3 * half];
    return true;
}

void AddWindowed(const float* y, const WindowShape& shape, float* dest)
{
    const int length = shape.length;
    const int riseStart = (length - shape.leftLength) / 2;
    for (int n = riseStart; n < length; ++n) {
        const int k = n - riseStart;
        dest[n] += k < shape.leftLength ? y[n] * shape.left[k] : y[n];
    }
    const int fallStart = (length - shape.rightLength) / 2;
    for (int n = 0; n < fallStart + shape.rightLength; ++n) {
        const int k = n - fallStart;
        dest[length + n] += k < 0 ? y[length + n] : y[length + n] * shape.right[shape.rightLength - 1 - k];
    }
}

std::vector<float> SineSlope(int length, double period)
{
    std::vector<float> slope(static_cast<size_t>(length));
    for (int n = 0; n < length; ++n)
        slope[static_cast<size_t>(n)] = static_cast<float>(std::sin((n + 0.5) * kPi / period));
    return slope;
}

WindowShape ShapeOfWindowCode(int code, const WindowSlopes& slopes)
{
    const float* const longSlope = slopes.longSlope.data();
    const float* const medium = slopes.medium.data();
    const float* const shortSlope = slopes.shortSlope.data();
    const auto n = static_cast<int>(slopes.longSlope.size());
    const auto m = static_cast<int>(slopes.medium.size());
    const auto shortLength = static_cast<int>(slopes.shortSlope.size());
    const int s = shortLength / 2;
    switch (code) {
    case 1:
        return {n, longSlope, n, shortSlope, s};
    case 2:
        return {shortLength, shortSlope, s, shortSlope, s};
    case 3:
        return {n, shortSlope, s, longSlope, n};
    case 4:
        return {m, shortSlope, s, medium, m};
    case 5:
        return {n, medium, m, longSlope, n};
    case 6:
        return {n, longSlope, n, medium, m};
    case 7:
        return {m, medium, m, shortSlope, s};
    case 8:
        return {m, medium, m, medium, m};
    default:
        return {n, longSlope, n, longSlope, n};
    }
}

} // namespace sound
