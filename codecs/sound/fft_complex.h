#pragma once
// One complex point of the transform layer's interleaved data (real at 2k, imaginary at 2k + 1), and the few
// operations the kernels and the real-spectrum split and join need. Each product is written out in one fixed order,
// so encoder and decoder round alike wherever they run it.
#include <cstddef>

namespace sound {

struct Complex {
    float re;
    float im;
};

inline Complex LoadComplex(const float* data, size_t point)
{
    return {data[2 * point], data[2 * point + 1]};
}

inline void StoreComplex(float* data, size_t point, Complex value)
{
    data[2 * point] = value.re;
    data[2 * point + 1] = value.im;
}

inline Complex Times(Complex a, Complex b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline Complex Conj(Complex a)
{
    return {a.re, -a.im};
}
inline Complex Plus(Complex a, Complex b)
{
    return {a.re + b.re, a.im + b.im};
}
inline Complex Minus(Complex a, Complex b)
{
    return {a.re - b.re, a.im - b.im};
}

} // namespace sound
