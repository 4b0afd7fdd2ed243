#include "codecs/sound/speech/linear_prediction.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace sound {

namespace {

constexpr float kReflectionLimit = 0.9999f;
constexpr float kSilentEnergy = 1e-37f;
constexpr int kNewtonIterations = 15;
constexpr double kNewtonStep = 1e-6;
constexpr double kRootResidual = 0.01;
constexpr int kHalfOrderMax = kMaxLpcOrder / 2;

// A polynomial in x = 2 cos w, coefficient j of x^j, leading coefficient 1.
struct XPolynomial {
    double c[kHalfOrderMax + 1] = {};
    int degree = 0;

    double ValueAt(double x) const
    {
        double v = c[degree];
        for (int j = degree - 1; j >= 0; --j)
            v = v * x + c[j];
        return v;
    }
    double SlopeAt(double x) const
    {
        double v = degree * c[degree];
        for (int j = degree - 1; j >= 1; --j)
            v = v * x + j * c[j];
        return v;
    }
    void Deflate(double root)
    {
        double carry = c[degree];
        for (int j = degree - 1; j >= 0; --j) {
            const double next = c[j] + carry * root;
            c[j] = carry;
            carry = next;
        }
        --degree;
    }
};

// The symmetric (sign +1) or antisymmetric (-1) half of the polynomial with its trivial root removed, as a
// series in x = 2 cos w: T_m + h0 T_(m-1) + ... + h(m-2) T_1 + h(m-1), with T_0 = 2, T_1 = x.
XPolynomial HalfPolynomial(const float* a, int order, float sign)
{
    const int m = order / 2;
    float h[kHalfOrderMax] = {};
    float previous = 1.0f;
    for (int i = 0; i < m; ++i) {
        h[i] = a[1 + i] + sign * a[order - i] - sign * previous;
        previous = h[i];
    }
    // Chebyshev-like series T_k(x) = x T_(k-1) - T_(k-2).
    double t[kHalfOrderMax + 1][kHalfOrderMax + 1] = {};
    t[0][0] = 2.0;
    t[1][1] = 1.0;
    for (int k = 2; k <= m; ++k) {
        for (int j = 0; j <= k; ++j)
            t[k][j] = (j > 0 ? t[k - 1][j - 1] : 0.0) - t[k - 2][j];
    }
    XPolynomial result;
    result.degree = m;
    for (int j = 0; j <= m; ++j)
        result.c[j] = t[m][j];
    for (int i = 0; i + 1 < m; ++i) {
        for (int j = 0; j <= m - 1 - i; ++j)
            result.c[j] += h[i] * t[m - 1 - i][j];
    }
    result.c[0] += h[m - 1];
    return result;
}

// Newton from start toward the largest root below it; false when it stalls or misses.
bool NewtonRoot(const XPolynomial& f, double start, double& outRoot)
{
    double x = start;
    for (int i = 0; i < kNewtonIterations; ++i) {
        const double slope = f.SlopeAt(x);
        if (slope == 0.0)
            return false;
        const double step = f.ValueAt(x) / slope;
        x -= step;
        if (std::fabs(step) < kNewtonStep)
            break;
    }
    if (!(std::fabs(f.ValueAt(x)) < kRootResidual))
        return false;
    outRoot = x;
    return true;
}

// The three real roots of z^3 + a2 z^2 + a1 z + a0, by the trigonometric form; false when two are complex.
bool RealCubicRoots(double a2, double a1, double a0, double out[3])
{
    const double p = a1 - a2 * a2 / 3.0;
    const double q = 2.0 * a2 * a2 * a2 / 27.0 - a2 * a1 / 3.0 + a0;
    const double shift = -a2 / 3.0;
    const double scale = std::max({1.0, std::fabs(a2), std::fabs(a1), std::fabs(a0)});
    if (p >= -1e-12 * scale * scale) {
        // A triple root or none real apart from one: only the first is a quartic of real roots.
        if (std::fabs(q) > 1e-9 * scale * scale * scale)
            return false;
        out[0] = out[1] = out[2] = shift;
        return true;
    }
    const double radius = 2.0 * std::sqrt(-p / 3.0);
    const double argument = std::clamp(3.0 * q / (p * radius), -1.0, 1.0);
    if (27.0 * q * q + 4.0 * p * p * p > 1e-9 * scale * scale * scale * scale * scale * scale)
        return false;
    const double angle = std::acos(argument) / 3.0;
    for (int k = 0; k < 3; ++k)
        out[k] = shift + radius * std::cos(angle - 2.0 * std::numbers::pi * k / 3.0);
    return true;
}

// The four roots of a monic quartic (c[0..4], c[4] = 1) in descending order, by Ferrari's resolvent; false when
// they are not all real. Double precision: the closed form cancels heavily near close roots.
bool QuarticRoots(const XPolynomial& f, double out[4])
{
    const double b = f.c[3];
    const double c = f.c[2];
    const double d = f.c[1];
    const double e = f.c[0];
    const double p = c - 3.0 * b * b / 8.0;
    const double q = d - b * c / 2.0 + b * b * b / 8.0;
    const double r = e - b * d / 4.0 + b * b * c / 16.0 - 3.0 * b * b * b * b / 256.0;
    double z[3];
    if (!RealCubicRoots(2.0 * p, p * p - 4.0 * r, -q * q, z))
        return false;
    std::sort(z, z + 3, [](double x, double y) { return x > y; });
    for (double& root : z) {
        if (root < -1e-7)
            return false;
        root = std::max(root, 0.0);
    }
    const double s1 = std::sqrt(z[0]);
    const double s2 = std::sqrt(z[1]);
    const double s3 = s1 * s2 > 1e-300 ? -q / (s1 * s2) : std::sqrt(z[2]);
    const double y[4] = {(s1 + s2 + s3) / 2.0, (s1 - s2 - s3) / 2.0, (-s1 + s2 - s3) / 2.0, (-s1 - s2 + s3) / 2.0};
    for (int i = 0; i < 4; ++i) {
        double x = y[i] - b / 4.0;
        // Two polishing steps remove what the closed form lost.
        for (int k = 0; k < 2; ++k) {
            const double slope = f.SlopeAt(x);
            if (slope != 0.0)
                x -= f.ValueAt(x) / slope;
        }
        if (!(std::fabs(f.ValueAt(x)) < kRootResidual))
            return false;
        out[i] = x;
    }
    std::sort(out, out + 4, [](double x, double y) { return x > y; });
    return true;
}

// The 2 cos w of every frequency, the symmetric half's first, largest first; false unless they alternate downward
// strictly inside -2 .. 2.
bool FindRoots(const float* a, int order, double* outX)
{
    const int m = order / 2;
    XPolynomial halves[2] = {HalfPolynomial(a, order, 1.0f), HalfPolynomial(a, order, -1.0f)};
    const bool quartic = order >= 8 && order <= 14;
    const int newtonRoots = quartic ? m - 4 : m - 1;
    double roots[2][kHalfOrderMax] = {};
    double start = 2.0;
    for (int i = 0; i < newtonRoots; ++i) {
        for (int half = 0; half < 2; ++half) {
            double root = 0.0;
            if (!NewtonRoot(halves[half], start, root))
                return false;
            roots[half][i] = root;
            halves[half].Deflate(root);
            start = root;
        }
    }
    for (int half = 0; half < 2; ++half) {
        if (quartic) {
            if (!QuarticRoots(halves[half], &roots[half][newtonRoots]))
                return false;
        } else {
            roots[half][newtonRoots] = -halves[half].c[0]; // the linear remainder x + c0
        }
    }
    for (int i = 0; i < m; ++i) {
        outX[2 * i] = roots[0][i];
        outX[2 * i + 1] = roots[1][i];
    }
    if (!(outX[0] < 2.0) || !(outX[order - 1] > -2.0))
        return false;
    for (int k = 1; k < order; ++k) {
        if (!(outX[k] < outX[k - 1]))
            return false;
    }
    return true;
}

} // namespace

double DotProduct(const float* x, const float* y, int n)
{
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * static_cast<double>(y[i]);
    return sum;
}

void Autocorrelation(int count, const float* x, int length, float* out)
{
    for (int k = 0; k < count; ++k)
        out[k] = k < length ? static_cast<float>(DotProduct(x, x + k, length - k)) : 0.0f;
}

void LevinsonDurbin(const float* r, int order, float* outPoly, float* outReflection, float& outError)
{
    assert(order >= 0 && order <= kMaxLpcOrder && "prediction orders stop at kMaxLpcOrder");
    float previous[kMaxLpcOrder + 1] = {};
    outPoly[0] = 1.0f;
    for (int i = 1; i <= order; ++i)
        outPoly[i] = 0.0f;
    float error = r[0] == 0.0f ? kSilentEnergy : r[0];
    for (int i = 1; i <= order; ++i) {
        double acc = r[i];
        for (int j = 1; j < i; ++j)
            acc += static_cast<double>(outPoly[j]) * r[i - j];
        const float k = std::clamp(static_cast<float>(-acc / error), -kReflectionLimit, kReflectionLimit);
        if (outReflection != nullptr)
            outReflection[i - 1] = k;
        for (int j = 0; j < i; ++j)
            previous[j] = outPoly[j];
        for (int j = 1; j < i; ++j)
            outPoly[j] = previous[j] + k * previous[i - j];
        outPoly[i] = k;
        error *= 1.0f - k * k;
    }
    outError = error;
}

void BandwidthExpand(const float* a, float* out, int order, float gamma)
{
    float factor = 1.0f;
    for (int k = 0; k <= order; ++k) {
        out[k] = a[k] * factor;
        factor *= gamma;
    }
}

void ScaleVector(const float* in, int count, float factor, float* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = in[i] * factor;
}

int PolyToLsf(const float* a, int order, float rate, float* outLsf)
{
    assert(order > 0 && order % 2 == 0 && order <= kMaxLpcOrder && "line spectral pairs need an even order");
    double x[kMaxLpcOrder] = {};
    if (!FindRoots(a, order, x)) {
        // The even grid over the whole rate would reach above half of it; every consumer wants ascending values
        // below half the rate.
        EvenGrid(outLsf, order, rate / 2.0f);
        return 1;
    }
    for (int k = 0; k < order; ++k)
        outLsf[k] = static_cast<float>(std::acos(x[k] / 2.0) / (2.0 * std::numbers::pi) * rate);
    return 0;
}

void LsfToPoly(const float* lsf, int order, float samplePeriod, float* outPoly)
{
    assert(order > 0 && order % 2 == 0 && order <= kMaxLpcOrder && "line spectral pairs need an even order");
    // The two halves as products of 1 - 2 cos w z^-1 + z^-2, even-indexed frequencies in the symmetric one.
    double halves[2][kMaxLpcOrder + 2] = {};
    for (int half = 0; half < 2; ++half) {
        double* poly = halves[half];
        poly[0] = 1.0;
        int degree = 0;
        for (int i = half; i < order; i += 2) {
            const double c = -2.0 * std::cos(2.0 * std::numbers::pi * lsf[i] * samplePeriod);
            for (int j = degree + 2; j >= 2; --j)
                poly[j] += c * poly[j - 1] + poly[j - 2];
            poly[1] += c * poly[0];
            degree += 2;
        }
        // Times 1 + z^-1 (symmetric) or 1 - z^-1 (antisymmetric).
        const double sign = half == 0 ? 1.0 : -1.0;
        for (int j = degree + 1; j >= 1; --j)
            poly[j] += sign * poly[j - 1];
    }
    outPoly[0] = 1.0f;
    for (int k = 1; k <= order; ++k)
        outPoly[k] = static_cast<float>(0.5 * (halves[0][k] + halves[1][k]));
}

void EvenGrid(float* out, int n, float range)
{
    for (int k = 0; k < n; ++k)
        out[k] = (static_cast<float>(k) + 0.5f) * range / static_cast<float>(n);
}

} // namespace sound
