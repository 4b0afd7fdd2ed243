#pragma once
// The transform object of the own wave codec: a DCT-II of N points and its inverse through a stored basis.
//   X[k] = c_k sqrt(2/N) sum_i x[i] cos(pi k (2i+1) / (2N)),  c_0 = 1/2, c_k = 1 otherwise
//   x[i] = sqrt(2/N) sum_k X[k] cos(pi k (2i+1) / (2N))
// The pair is exact in exact arithmetic; a constant block c gives X[0] = 4 sqrt(2) c for N = 64.
#include <cstdint>
#include <span>
#include <vector>

namespace sound {

class WaveTransform {
public:
    static constexpr uint32_t kSystemSize = 64; // the only size the encoder writes
    static constexpr uint32_t kLargestSize = 1024;

    static bool IsAcceptedSize(uint32_t n); // a power of two from 2 to kLargestSize

    uint32_t Size() const { return m_size; } // 0 until SetSize
    bool SetSize(uint32_t n);                // rebuilds the basis when n changes; false for a refused size

    // Both take and give Size() floats; x and out must not overlap.
    void Forward(std::span<const float> x, std::span<float> out) const;
    void Inverse(std::span<const float> coefficients, std::span<float> out) const;

private:
    // Row k holds cos(pi k (2i+1) / (2N)) sqrt(2) / sqrt(N) for i < N/2; the other half of a row is the same
    // with the sign (-1)^k, so sums and differences of mirrored samples halve the work.
    std::vector<float> m_basis;
    uint32_t m_size = 0;
};

} // namespace sound
