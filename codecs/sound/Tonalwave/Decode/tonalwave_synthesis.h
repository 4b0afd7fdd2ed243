#pragma once
// The synthesis side of the Tonalwave transform: the inverse modified discrete cosine transform and the sine-slope
// windows of the nine window codes with their overlap-add.
#include <span>
#include <vector>

namespace sound {

// y[n] = sqrt(2/L) sum over k < L of X[k] cos((pi/L)(n + 0.5 + L/2)(k + 0.5)), n < 2L, computed as a DCT-IV through
// one complex transform of L/2 points.
class InverseMdct {
public:
    explicit InverseMdct(int length); // a power of two from 4 up; throws std::bad_alloc

    int Length() const { return m_length; }
    // out holds 2L floats, work L floats; both apart from coefficients. False only when the transform layer
    // refuses, which our sizes never make it do.
    bool Run(const float* coefficients, float* out, float* work) const;

private:
    int m_length = 0;
    int m_order = 0;           // of the L/2-point complex transform
    std::vector<float> m_pre;  // exp(-i pi m / L), m < L/2
    std::vector<float> m_post; // sqrt(2/L) exp(-i pi (p + 1/4) / L), p < L/2
};

// A block's window: zeros, the rising left slope and ones over the first L samples; ones, the falling right slope
// and zeros over the second L. A slope of length a sits in the middle of its half.
struct WindowShape {
    int length = 0;
    const float* left = nullptr; // rising, leftLength values
    int leftLength = 0;
    const float* right = nullptr; // rising; read backwards
    int rightLength = 0;
};

// dest[n] += y[n] w[n] for the 2L samples of the block.
void AddWindowed(const float* y, const WindowShape& shape, float* dest);

// sin((n + 0.5) pi / period) for n < length: the rising slope of a window.
std::vector<float> SineSlope(int length, double period);

// The slopes of a frame's windows, both directions alike: long over the frame's N samples, medium over M, short
// over S, of which a short window uses the first S/2. The windows' lengths follow from theirs.
struct WindowSlopes {
    std::span<const float> longSlope;
    std::span<const float> medium;
    std::span<const float> shortSlope;
};
// The shape of a block of window code 0 to 8; another code reads as 0.
WindowShape ShapeOfWindowCode(int code, const WindowSlopes& slopes);

} // namespace sound
