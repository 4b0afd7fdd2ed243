#pragma once
// The encoder's smooth spectral envelope: a linear predictor of the windowed frame refitted to the square root of
// its envelope, its line-spectral frequencies, their predictive two-stage split quantisation, and the inverse-filter
// power |A|^2 of the quantised frequencies at the transform's coefficient positions.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace sound {

inline constexpr int kLspMaxOrder = 20;
inline constexpr int kLspGridPoints = 512;

class LspAnalysis {
public:
    LspAnalysis(int order, double lagBandwidthHz, double sampleRate); // throws std::bad_alloc

    int Order() const { return m_order; }
    // The refitted, stabilised predictor of count windowed samples: a[0] = 1, a[1..p].
    void AnalysePredictor(std::span<const float> windowed, std::array<double, kLspMaxOrder + 1>& out) const;
    // p ascending frequencies in (0, pi); false, out untouched, when the grid search does not find p roots below pi.
    bool PredictorToLsp(const std::array<double, kLspMaxOrder + 1>& a, std::span<float> out) const;
    // k pi / (p + 1): the frequencies of the all-zero predictor.
    void EvenLsp(std::span<float> out) const;

private:
    double EvaluateCosinePolynomial(const double* coefficients, int k) const;

    int m_order = 0;
    std::array<double, kLspMaxOrder + 1> m_lagWindow = {};
    std::vector<double> m_grid; // cos(2 pi k / 512)
};

// The quantiser's tables, rows kTonalwaveLspStride floats wide, shared with the decoder.
struct LspCodebook {
    const float* stage1 = nullptr;    // rows1 rows
    const float* stage2 = nullptr;    // rows2 rows
    const float* predictor = nullptr; // two rows
    int rows1 = 0;
    int rows2 = 0;
    int order = 0;
    std::span<const int> splitBounds; // splits + 1
};

struct LspChoice {
    std::array<int32_t, 2 + 4> indices = {};        // set, first stage, second stage per split
    std::array<float, kLspMaxOrder> quantised = {}; // what the decoder rebuilds
    std::array<float, kLspMaxOrder> memory = {};    // the decoder's new prediction memory
};

// Weights of the quantiser's error per frequency.
void LspWeights(std::span<const float> lsp, std::span<const int> splitBounds, std::span<float> out);

// The winner over both predictor sets and the four best first-stage rows; predicted is false in a stream's first
// frame. memory holds the channel's last memory.
LspChoice QuantiseLsp(const LspCodebook& book, std::span<const float> lsp, std::span<const float> memory,
                      bool predicted);

// |A|^2 up to a constant at coefficient j of a block: (1 - x) B^2 + (1 + x) A^2 with x = cosines[j], A over the
// even frequencies, B over the odd: the inverse of the decoder's envelope, evaluated at every coefficient.
void LspInversePower(std::span<const float> lsp, std::span<const float> cosines, std::span<float> out);

} // namespace sound
