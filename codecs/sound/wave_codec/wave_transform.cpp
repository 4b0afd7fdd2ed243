#include "codecs/sound/wave_codec/wave_transform.h"

#include <cmath>

namespace sound {

bool WaveTransform::IsAcceptedSize(uint32_t n)
{
    return n >= 2 && n <= kLargestSize && (n & (n - 1)) == 0;
}

bool WaveTransform::SetSize(uint32_t n)
{
    if (!IsAcceptedSize(n))
        return false;
    if (n == m_size)
        return true;
    const uint32_t half = n / 2;
    m_basis.assign(static_cast<size_t>(n) * half, 0.0f);
    const double scale = std::sqrt(2.0) / std::sqrt(static_cast<double>(n));
    for (uint32_t k = 0; k < n; ++k) {
        for (uint32_t i = 0; i < half; ++i) {
            const double angle = M_PI * k * (2.0 * i + 1.0) / (2.0 * n);
            m_basis[static_cast<size_t>(k) * half + i] = static_cast<float>(std::cos(angle) * scale);
        }
    }
    m_size = n;
    return true;
}

void WaveTransform::Forward(std::span<const float> x, std::span<float> out) const
{
    const uint32_t n = m_size;
    const uint32_t half = n / 2;
    float sums[kLargestSize / 2];
    float differences[kLargestSize / 2];
    for (uint32_t i = 0; i < half; ++i) {
        sums[i] = x[i] + x[n - 1 - i];
        differences[i] = x[i] - x[n - 1 - i];
    }
    for (uint32_t k = 0; k < n; ++k) {
        const float* row = &m_basis[static_cast<size_t>(k) * half];
        const float* mirrored = (k % 2 == 0) ? sums : differences;
        float sum = 0.0f;
        for (uint32_t i = 0; i < half; ++i)
            sum += row[i] * mirrored[i];
        out[k] = k == 0 ? 0.5f * sum : sum;
    }
}

void WaveTransform::Inverse(std::span<const float> coefficients, std::span<float> out) const
{
    const uint32_t n = m_size;
    const uint32_t half = n / 2;
    float even[kLargestSize / 2] = {};
    float odd[kLargestSize / 2] = {};
    for (uint32_t k = 0; k < n; ++k) {
        const float* row = &m_basis[static_cast<size_t>(k) * half];
        const float c = coefficients[k];
        float* partial = (k % 2 == 0) ? even : odd;
        for (uint32_t i = 0; i < half; ++i)
            partial[i] += c * row[i];
    }
    for (uint32_t i = 0; i < half; ++i) {
        out[i] = even[i] + odd[i];
        out[n - 1 - i] = even[i] - odd[i];
    }
}

} // namespace sound
