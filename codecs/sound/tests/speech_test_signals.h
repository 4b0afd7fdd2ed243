#pragma once
// Test signals shared by the speech codec suites.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace speechtest {

// A sustained vowel: a pulse train at f0 through formant resonators at 700, 1220 and 2600 Hz.
inline std::vector<int16_t> Vowel(double f0, double seconds)
{
    const double rate = 8000.0;
    const auto count = static_cast<size_t>(seconds * rate);
    std::vector<double> x(count, 0.0);
    double phase = 0.0;
    for (double& v : x) {
        phase += f0 / rate;
        if (phase >= 1.0) {
            phase -= 1.0;
            v = 1.0;
        }
    }
    const double formants[3][2] = {{700.0, 80.0}, {1220.0, 90.0}, {2600.0, 120.0}};
    for (const auto& formant : formants) {
        const double r = std::exp(-std::numbers::pi * formant[1] / rate);
        const double c = 2.0 * r * std::cos(2.0 * std::numbers::pi * formant[0] / rate);
        double y1 = 0.0;
        double y2 = 0.0;
        for (double& v : x) {
            const double y = v + c * y1 - r * r * y2;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    double peak = 0.0;
    for (const double v : x)
        peak = std::max(peak, std::fabs(v));
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>(x[i] / peak * 12000.0);
    return samples;
}

} // namespace speechtest
