#include "testsupport/sound/spectrum_fft.h"

#include <cmath>
#include <utility>

namespace soundtest {

size_t NextPowerOfTwo(size_t n)
{
    size_t p = 1;
    while (p < n)
        p *= 2;
    return p;
}

void TransformInPlace(std::vector<std::complex<double>>& data, bool inverse)
{
    const size_t n = data.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    const double sign = inverse ? 1.0 : -1.0;
    for (size_t span = 2; span <= n; span *= 2) {
        const std::complex<double> step = std::polar(1.0, sign * 2.0 * M_PI / static_cast<double>(span));
        for (size_t start = 0; start < n; start += span) {
            std::complex<double> w = 1.0;
            for (size_t j = 0; j < span / 2; ++j) {
                const std::complex<double> t = w * data[start + j + span / 2];
                data[start + j + span / 2] = data[start + j] - t;
                data[start + j] += t;
                w *= step;
            }
        }
    }
}

} // namespace soundtest
