#include "codecs/sound/speech/harmonic_tools.h"

#include <cmath>

namespace sound {

namespace {

constexpr double kFixedOne = 16777216.0; // 8.24 fixed point
constexpr float kHarmonicShare = 0.5f * 0.99609375f;

float AmplitudeAt(const float* amplitudes, int available, int64_t i)
{
    return i >= 0 && i < available ? amplitudes[i] : 0.0f;
}

} // namespace

Peak PeakSearch(const int32_t* values, int n)
{
    Peak largest{0, values[0]};
    Peak smallest{0, values[0]};
    bool allNegative = values[0] < 0;
    for (int i = 1; i < n; ++i) {
        if (values[i] > largest.value)
            largest = {i, values[i]};
        if (values[i] < smallest.value)
            smallest = {i, values[i]};
        allNegative = allNegative && values[i] < 0;
    }
    return allNegative ? smallest : largest;
}

float ParabolicPeak(float before, float centre, float after, float& outPeak)
{
    const float a = (before + after) / 2.0f - centre;
    const float b = (after - before) / 2.0f;
    const float offset = a == 0.0f ? 0.0f : -b / (2.0f * a);
    outPeak = (a * offset + b) * offset + centre;
    return offset;
}

void ResampleHarmonics(float oldPitch, float newPitch, int count, const float* amplitudes, int available, float* out,
                       int capacity)
{
    if (count > capacity)
        count = capacity;
    if (count < 0)
        count = 0;
    if (oldPitch == newPitch) {
        for (int k = 0; k < count; ++k)
            out[k] = AmplitudeAt(amplitudes, available, k);
    } else {
        const auto step = static_cast<int64_t>(static_cast<double>(oldPitch) / newPitch * kFixedOne);
        for (int k = 0; k < count; ++k) {
            const int64_t position = step * (k + 1);
            const int64_t whole = position >> 24;
            const float fraction = static_cast<float>(position & 0xFFFFFF) / static_cast<float>(kFixedOne);
            if (position <= (int64_t{1} << 24)) {
                out[k] = static_cast<float>(position / kFixedOne) * AmplitudeAt(amplitudes, available, 0);
            } else {
                const float below = AmplitudeAt(amplitudes, available, whole - 1);
                const float above = AmplitudeAt(amplitudes, available, whole);
                out[k] = below + (above - below) * fraction;
            }
        }
    }
    for (int k = count; k < capacity; ++k)
        out[k] = 0.0f;
}

float PowerF(float x, float y)
{
    return std::exp2(y * std::log2(x));
}

int HarmonicCount(float pitch)
{
    return static_cast<int>(std::floor(pitch * kHarmonicShare));
}

int ScaledHarmonicCount(float pitch, float factor)
{
    return static_cast<int>(std::floor(static_cast<float>(HarmonicCount(pitch)) * factor + 0.5f));
}

float RatioAtMostOne(float a, float b)
{
    const float ratio = a / b;
    return ratio > 1.0f ? 1.0f : ratio;
}

uint32_t MinimalStandardRandom(uint32_t& state)
{
    // 16807 x state stays below 2^46: the 64-bit product gives the same value as the 16-bit-halves form.
    state = static_cast<uint32_t>((uint64_t{16807} * state) % 2147483647u);
    return state;
}

} // namespace sound
