#include "codecs/sound/speech/speech_filters.h"

#include <cassert>
#include <cmath>
#include <new>
#include <numbers>

#include "codecs/sound/fft.h"
#include "codecs/sound/speech/linear_prediction.h"

namespace sound {

namespace {

constexpr float kDenormalGuard = 1e-5f;
constexpr int kBesselTerms = 20;

// I0(x) = 1 + sum over k = 1..20 of ((x/2)^k / k!)^2.
double BesselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k <= kBesselTerms; ++k) {
        term *= (x / 2.0) / k;
        sum += term * term;
    }
    return sum;
}

// Sum of the window's values (power 1) or squares (power 2) over all length points.
double HalfWindowSum(std::span<const float> half, int length, int power)
{
    double sum = 0.0;
    for (int i = 0; i < length / 2; ++i)
        sum += 2.0 * (power == 1 ? half[i] : static_cast<double>(half[i]) * half[i]);
    if (length % 2 != 0)
        sum += power == 1 ? half[length / 2] : static_cast<double>(half[length / 2]) * half[length / 2];
    return sum;
}

float HammingValue(int n, int length)
{
    return 0.54f -
           0.46f * std::cos(2.0f * std::numbers::pi_v<float> * static_cast<float>(n) / static_cast<float>(length - 1));
}

} // namespace

void HighPass(const int16_t* in, float* out, int count, HighPassState& state)
{
    float previousInput = state.previousInput;
    float previousOutput = std::fabs(state.previousOutput) < kDenormalGuard ? 0.0f : state.previousOutput;
    for (int n = 0; n < count; ++n) {
        const auto x = static_cast<float>(in[n]);
        previousOutput = x - previousInput + state.pole * previousOutput;
        previousInput = x;
        out[n] = previousOutput;
    }
    state.previousInput = previousInput;
    state.previousOutput = previousOutput;
}

void IirFilter(const float* in, float* out, int count, const float* coefficients, int order, float* state)
{
    const float* const b = coefficients;
    const float* const a = coefficients + order + 1; // a[0] is a1
    for (int n = 0; n < count; ++n) {
        const float x = in[n];
        const float y = b[0] * x + (order > 0 ? state[0] : 0.0f);
        for (int i = 0; i + 1 < order; ++i)
            state[i] = b[i + 1] * x - a[i] * y + state[i + 1];
        if (order > 0)
            state[order - 1] = b[order] * x - a[order - 1] * y;
        out[n] = y;
    }
}

void SynthesisFilterStep(float* buffer, int count, const float* poly, int order)
{
    float reversed[kMaxLpcOrder] = {};
    for (int k = 0; k < order; ++k)
        reversed[k] = -poly[order - k];
    for (int n = 0; n < count; ++n)
        buffer[n + order] += static_cast<float>(DotProduct(buffer + n, reversed, order));
}

std::vector<float> KaiserHalfWindow(int length, float beta)
{
    if (length < 2)
        return {};
    std::vector<float> half;
    try {
        half.resize(static_cast<size_t>((length + 1) / 2));
    } catch (const std::bad_alloc&) {
        return {};
    }
    const double norm = BesselI0(beta);
    half[0] = static_cast<float>(1.0 / norm);
    for (int n = 1; n < length / 2; ++n) {
        const double t = 2.0 * n / (length - 1) - 1.0;
        half[static_cast<size_t>(n)] = static_cast<float>(BesselI0(beta * std::sqrt(1.0 - t * t)) / norm);
    }
    if (length % 2 != 0)
        half.back() = 1.0f;
    return half;
}

void NormaliseWindowEnergy(std::span<float> half, int length)
{
    const double sum = HalfWindowSum(half, length, 2);
    if (sum > 0.0)
        ScaleVector(half.data(), static_cast<int>(half.size()), static_cast<float>(std::sqrt(length / sum)),
                    half.data());
}

void NormaliseWindowSum(std::span<float> half, int length)
{
    const double sum = HalfWindowSum(half, length, 1);
    if (sum != 0.0)
        ScaleVector(half.data(), static_cast<int>(half.size()), static_cast<float>(1.0 / sum), half.data());
}

void ApplyHalfWindow(const float* in, std::span<const float> half, float* out, int length)
{
    for (int i = 0; i < length / 2; ++i) {
        out[i] = in[i] * half[static_cast<size_t>(i)];
        out[length - 1 - i] = in[length - 1 - i] * half[static_cast<size_t>(i)];
    }
    if (length % 2 != 0)
        out[length / 2] = in[length / 2] * half[static_cast<size_t>(length / 2)];
}

void CosineWindowApply(float* buffer, int length, float a, float b)
{
    if (length < 2) {
        if (length == 1)
            buffer[0] *= a - b;
        return;
    }
    const float step = std::cos(2.0f * std::numbers::pi_v<float> / static_cast<float>(length - 1));
    float before = step; // cos(-step) = cos(step)
    float current = 1.0f;
    for (int n = 0; n < length; ++n) {
        buffer[n] *= a - b * current;
        const float next = 2.0f * step * current - before;
        before = current;
        current = next;
    }
}

void HammingApply(float* buffer, int length)
{
    const float n = static_cast<float>(length);
    CosineWindowApply(buffer, length, 0.54f * 2.0f / n, 0.46f * 2.0f / n);
}

void HammingUnitApply(float* buffer, int length)
{
    const float denominator = 0.54f * static_cast<float>(length) - 0.46f;
    CosineWindowApply(buffer, length, 0.54f / denominator, 0.46f / denominator);
}

void HannScaledApply(float* buffer, int length)
{
    const float n = static_cast<float>(length);
    CosineWindowApply(buffer, length, 1.0f / n, 1.0f / n);
}

void HammingRising(float* out, int length)
{
    for (int n = 0; n < length / 2; ++n)
        out[n] = HammingValue(n, length);
}

void HammingFalling(float* out, int length)
{
    for (int n = (length + 1) / 2; n < length; ++n)
        out[n - (length + 1) / 2] = HammingValue(n, length);
}

void HammingFull(float* out, int length)
{
    for (int n = 0; n < length; ++n)
        out[n] = HammingValue(n, length);
}

bool CentreIntoFft(const float* signal, int length, std::span<float> buffer, int order)
{
    const size_t points = size_t{1} << order;
    if (buffer.size() < points + 2 || static_cast<size_t>(length) > points || length < 0)
        return false;
    const int h = length / 2;
    for (size_t i = 0; i < points; ++i)
        buffer[i] = 0.0f;
    for (int i = h; i < length; ++i)
        buffer[static_cast<size_t>(i - h)] = signal[i];
    for (int i = 0; i < h; ++i)
        buffer[points - static_cast<size_t>(h) + static_cast<size_t>(i)] = signal[i];
    return RealFFT(buffer.first(points + 2), order, FFT_FORWARD);
}

void SplitComplex(const float* interleaved, float* re, float* im, int count)
{
    for (int i = 0; i < count; ++i) {
        re[i] = interleaved[2 * i];
        im[i] = interleaved[2 * i + 1];
    }
}

void PowerSpectrum(const float* re, const float* im, int count, float* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = re[i] * re[i] + im[i] * im[i];
}

void PowerInterleaved(const float* interleaved, int count, float* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = interleaved[2 * i] * interleaved[2 * i] + interleaved[2 * i + 1] * interleaved[2 * i + 1];
}

} // namespace sound
