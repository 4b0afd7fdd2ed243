#include "codecs/sound/Tonalwave/Encode/tonalwave_lsp_analysis.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLspStride = 20;
constexpr int kFirstStageCandidates = 4;
constexpr int kLargestScore = 32767;

// Reflection coefficients of a predictor by the step-down recursion; false when one reaches the limit.
bool IsStable(const std::array<double, kLspMaxOrder + 1>& a, int order, double limit)
{
    std::array<double, kLspMaxOrder + 1> current = a;
    std::array<double, kLspMaxOrder + 1> next = {};
    for (int m = order; m >= 1; --m) {
        const double k = current[static_cast<size_t>(m)];
        if (!(std::fabs(k) <= limit))
            return false;
        const double denominator = 1.0 - k * k;
        for (int i = 1; i < m; ++i)
            next[static_cast<size_t>(i)] =
                (current[static_cast<size_t>(i)] - k * current[static_cast<size_t>(m - i)]) / denominator;
        for (int i = 1; i < m; ++i)
            current[static_cast<size_t>(i)] = next[static_cast<size_t>(i)];
    }
    return true;
}

// Levinson-Durbin on normalised autocorrelations; false when a reflection coefficient reaches 0.9999.
bool Levinson(const double* r, int order, std::array<double, kLspMaxOrder + 1>& a)
{
    a.fill(0.0);
    a[0] = 1.0;
    double error = r[0];
    bool stable = true;
    std::array<double, kLspMaxOrder + 1> previous = {};
    for (int m = 1; m <= order; ++m) {
        double sum = r[m];
        for (int i = 1; i < m; ++i)
            sum += a[static_cast<size_t>(i)] * r[m - i];
        const double k = error > 0.0 ? -sum / error : 0.0;
        if (std::fabs(k) >= 0.9999)
            stable = false;
        previous = a;
        for (int i = 1; i < m; ++i)
            a[static_cast<size_t>(i)] = previous[static_cast<size_t>(i)] + k * previous[static_cast<size_t>(m - i)];
        a[static_cast<size_t>(m)] = k;
        error *= 1.0 - k * k;
    }
    return stable;
}

// Solves the normal equations of the refit by Cholesky factorisation; false when the matrix is not positive.
bool SolveNormalEquations(double* matrix, double* rhs, int n)
{
    for (int j = 0; j < n; ++j) {
        double diagonal = matrix[j * n + j];
        for (int k = 0; k < j; ++k)
            diagonal -= matrix[j * n + k] * matrix[j * n + k];
        if (!(diagonal > 0.0))
            return false;
        const double root = std::sqrt(diagonal);
        matrix[j * n + j] = root;
        for (int i = j + 1; i < n; ++i) {
            double value = matrix[i * n + j];
            for (int k = 0; k < j; ++k)
                value -= matrix[i * n + k] * matrix[j * n + k];
            matrix[i * n + j] = value / root;
        }
    }
    for (int i = 0; i < n; ++i) {
        double value = rhs[i];
        for (int k = 0; k < i; ++k)
            value -= matrix[i * n + k] * rhs[k];
        rhs[i] = value / matrix[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double value = rhs[i];
        for (int k = i + 1; k < n; ++k)
            value -= matrix[k * n + i] * rhs[k];
        rhs[i] = value / matrix[i * n + i];
    }
    return true;
}

// The predictor whose cepstrum best matches the halved cepstrum of 1/A: the square root of the envelope.
void RefitToHalfCepstrum(std::array<double, kLspMaxOrder + 1>& a, int order)
{
    const int terms = 2 * order;
    double cepstrum[2 * kLspMaxOrder + 1] = {};
    for (int n = 1; n <= terms; ++n) {
        double value = n <= order ? -n * a[static_cast<size_t>(n)] : 0.0;
        for (int k = 1; k < n && k <= order; ++k)
            value -= a[static_cast<size_t>(k)] * (n - k) * cepstrum[n - k];
        cepstrum[n] = value / n;
    }
    for (int n = 1; n <= terms; ++n)
        cepstrum[n] *= 0.5;
    // Row n of the system: a'_n [n <= p] + sum over k < n, k <= p of a'_k (n - k) / n c_(n-k) = -c_n.
    double rows[2 * kLspMaxOrder][kLspMaxOrder] = {};
    for (int n = 1; n <= terms; ++n) {
        for (int k = 1; k <= order; ++k) {
            double value = k == n ? 1.0 : 0.0;
            if (k < n)
                value += static_cast<double>(n - k) / n * cepstrum[n - k];
            rows[n - 1][k - 1] = value;
        }
    }
    double normal[kLspMaxOrder * kLspMaxOrder] = {};
    double rhs[kLspMaxOrder] = {};
    for (int i = 0; i < order; ++i) {
        for (int j = 0; j < order; ++j) {
            double sum = i == j ? 1e-16 : 0.0;
            for (int n = 0; n < terms; ++n)
                sum += rows[n][i] * rows[n][j];
            normal[i * order + j] = sum;
        }
        double sum = 0.0;
        for (int n = 0; n < terms; ++n)
            sum -= rows[n][i] * cepstrum[n + 1];
        rhs[i] = sum;
    }
    if (!SolveNormalEquations(normal, rhs, order))
        return; // keeps the predictor as it was, which the stability step then checks
    for (int i = 0; i < order; ++i)
        a[static_cast<size_t>(i + 1)] = rhs[i];
}

} // namespace

LspAnalysis::LspAnalysis(int order, double lagBandwidthHz, double sampleRate) : m_order(order), m_grid(kLspGridPoints)
{
    assert(order >= 2 && order <= kLspMaxOrder && order % 2 == 0 && "an even order up to 20");
    m_lagWindow.fill(1.0);
    const double b = lagBandwidthHz / sampleRate;
    if (b > 0.0) {
        const double m = std::trunc(0.5 * std::log(0.5) / std::log(std::cos(kPi * b / 2.0)));
        for (int i = 1; i <= order; ++i)
            m_lagWindow[static_cast<size_t>(i)] = m_lagWindow[static_cast<size_t>(i - 1)] * (m - i + 1) / (m + i);
    }
    for (int k = 0; k < kLspGridPoints; ++k)
        m_grid[static_cast<size_t>(k)] = std::cos(2.0 * kPi * k / kLspGridPoints);
}

void LspAnalysis::AnalysePredictor(std::span<const float> windowed, std::array<double, kLspMaxOrder + 1>& out) const
{
    const int order = m_order;
    double r[kLspMaxOrder + 1] = {};
    const size_t count = windowed.size();
    // Eight lags at a time: their sums are independent, so running them through one pass over the samples keeps eight
    // additions in flight instead of waiting on one. Each sum still adds its products in sample order, the shared
    // pass over the samples all eight reach and then each lag's own tail.
    constexpr int kLags = 8;
    double sums[kLspMaxOrder + kLags] = {};
    for (int first = 0; first <= order; first += kLags) {
        const size_t reach = static_cast<size_t>(first + kLags - 1);
        const size_t shared = count > reach ? count - reach : 0;
        double sum[kLags] = {};
        for (size_t i = 0; i < shared; ++i) {
            const double x = windowed[i];
            for (int q = 0; q < kLags; ++q)
                sum[q] += x * windowed[i + static_cast<size_t>(first + q)];
        }
        for (int q = 0; q < kLags; ++q) {
            const auto lag = static_cast<size_t>(first + q);
            for (size_t i = shared; i + lag < count; ++i)
                sum[q] += static_cast<double>(windowed[i]) * windowed[i + lag];
            sums[first + q] = sum[q];
        }
    }
    const double r0 = sums[0];
    r[0] = 1.0;
    for (int k = 1; k <= order; ++k)
        r[k] = sums[k] / (r0 + 1e-35) * m_lagWindow[static_cast<size_t>(k)];
    if (!Levinson(r, order, out)) {
        for (int k = 1; k <= order; ++k)
            r[k] *= 0.99;
        Levinson(r, order, out);
    }
    RefitToHalfCepstrum(out, order);
    // Each pass pulls every pole inwards by 0.95; the bound only guards against a predictor that is not finite.
    for (int pass = 0; pass < 1000 && !IsStable(out, order, 0.999); ++pass) {
        double factor = 1.0;
        for (int i = 1; i <= order; ++i) {
            factor *= 0.95;
            out[static_cast<size_t>(i)] *= factor;
        }
    }
    if (!IsStable(out, order, 0.999)) {
        out.fill(0.0);
        out[0] = 1.0;
    }
}

double LspAnalysis::EvaluateCosinePolynomial(const double* coefficients, int k) const
{
    const int half = m_order / 2;
    double value = 0.5 * coefficients[half];
    for (int i = 0; i < half; ++i)
        value += coefficients[i] * m_grid[static_cast<size_t>(((half - i) * k) % kLspGridPoints)];
    return value;
}

// The roots of the symmetric and antisymmetric polynomials alternate; the grid search takes them in turn. The
// search ends at pi: two roots of one polynomial inside one grid step cancel their sign changes, and past pi the
// polynomials mirror, so what was missed there is not found later.
bool LspAnalysis::PredictorToLsp(const std::array<double, kLspMaxOrder + 1>& a, std::span<float> out) const
{
    const int order = m_order;
    const int half = order / 2;
    double polynomial[2][kLspMaxOrder / 2 + 1] = {};
    polynomial[0][0] = 1.0;
    polynomial[1][0] = 1.0;
    for (int i = 1; i <= half; ++i) {
        polynomial[0][i] = a[static_cast<size_t>(i)] + a[static_cast<size_t>(order + 1 - i)] - polynomial[0][i - 1];
        polynomial[1][i] = polynomial[1][i - 1] + a[static_cast<size_t>(i)] - a[static_cast<size_t>(order + 1 - i)];
    }
    double roots[kLspMaxOrder] = {};
    int found = 0;
    int which = 0;
    double previous = 100.0;
    for (int k = 0; k <= kLspGridPoints / 2 && found < order;) {
        const double current = EvaluateCosinePolynomial(polynomial[which], k);
        if (previous * current < 0.0) {
            const double root = k - current / (current - previous);
            roots[found++] = std::trunc(512.0 * root);
            which ^= 1;
            // The other polynomial continues from the same step, so a root of it in the same step is not lost.
            previous = k > 0 ? EvaluateCosinePolynomial(polynomial[which], k - 1) : 100.0;
            continue;
        }
        previous = current;
        ++k;
    }
    if (found < order)
        return false;
    for (int i = 0; i + 1 < order; i += 2) {
        if (roots[i] > roots[i + 1])
            roots[i] = roots[i + 1] - 0.5;
    }
    float lsp[kLspMaxOrder] = {};
    for (int i = 0; i < order; ++i) {
        lsp[i] = static_cast<float>(roots[i] * kPi / 131072.0);
        if (!(lsp[i] > 0.0f && lsp[i] < static_cast<float>(kPi)) || (i > 0 && !(lsp[i] > lsp[i - 1])))
            return false;
    }
    std::copy_n(lsp, order, out.begin());
    return true;
}

void LspAnalysis::EvenLsp(std::span<float> out) const
{
    for (int k = 1; k <= m_order; ++k)
        out[static_cast<size_t>(k - 1)] = static_cast<float>(k * kPi / (m_order + 1));
}

void LspWeights(std::span<const float> lsp, std::span<const int> splitBounds, std::span<float> out)
{
    const int p = static_cast<int>(lsp.size());
    const float pi = static_cast<float>(kPi);
    for (int i = 0; i < p; ++i) {
        float d = 0.0f;
        if (i == 0)
            d = lsp[1] - 0.4f * pi / static_cast<float>(p) - 1.0f;
        else if (i == p - 1)
            d = (1.0f - 0.4f / static_cast<float>(p)) * pi - lsp[static_cast<size_t>(p - 2)] - 1.0f;
        else
            d = lsp[static_cast<size_t>(i + 1)] - lsp[static_cast<size_t>(i - 1)] - 1.0f;
        const float below = std::min(d, 0.0f);
        out[static_cast<size_t>(i)] = 1.0f + 10.0f * below * below;
    }
    // Frequencies on either side of an inner split bound are quantised apart: their spacing needs more care.
    for (size_t s = 1; s + 1 < splitBounds.size(); ++s) {
        const auto b = static_cast<size_t>(splitBounds[s]);
        out[b - 1] *= 1.2f;
        out[b] *= 1.2f;
    }
}

LspChoice QuantiseLsp(const LspCodebook& book, std::span<const float> lsp, std::span<const float> memory,
                      bool predicted)
{
    const int p = book.order;
    float weights[kLspMaxOrder] = {};
    LspWeights(lsp, book.splitBounds, weights);
    const int splits = static_cast<int>(book.splitBounds.size()) - 1;
    LspChoice best;
    int bestScore = kLargestScore + 1;
    for (int set = 0; set < 2; ++set) {
        const float* const coefficient = book.predictor + static_cast<size_t>(set) * kLspStride;
        float rho[kLspMaxOrder] = {};
        float previous[kLspMaxOrder] = {};
        float den[kLspMaxOrder] = {};
        float target[kLspMaxOrder] = {};
        for (int i = 0; i < p; ++i) {
            rho[i] = predicted ? coefficient[i] : 0.0f;
            previous[i] = predicted ? memory[static_cast<size_t>(i)] : 0.0f;
            den[i] = 1.0f - rho[i];
            target[i] = (lsp[static_cast<size_t>(i)] - rho[i] * previous[i]) / den[i];
        }
        // The four first-stage rows nearest the target, unweighted, ascending; ties keep the lower row.
        int candidate[kFirstStageCandidates] = {};
        float distance[kFirstStageCandidates] = {};
        int held = 0;
        for (int e = 0; e < book.rows1; ++e) {
            const float* const row = book.stage1 + static_cast<size_t>(e) * kLspStride;
            float d = 0.0f;
            for (int i = 0; i < p; ++i)
                d += row[i] * row[i] - 2.0f * target[i] * row[i];
            if (held == kFirstStageCandidates && !(d < distance[held - 1]))
                continue;
            int at = held < kFirstStageCandidates ? held++ : held - 1;
            while (at > 0 && d < distance[at - 1]) {
                distance[at] = distance[at - 1];
                candidate[at] = candidate[at - 1];
                --at;
            }
            distance[at] = d;
            candidate[at] = e;
        }
        for (int c = 0; c < held; ++c) {
            const float* const first = book.stage1 + static_cast<size_t>(candidate[c]) * kLspStride;
            LspChoice trial;
            trial.indices[0] = set;
            trial.indices[1] = candidate[c];
            float q[kLspMaxOrder] = {};
            for (int s = 0; s < splits; ++s) {
                const int from = book.splitBounds[static_cast<size_t>(s)];
                const int to = book.splitBounds[static_cast<size_t>(s + 1)];
                int chosen = 0;
                float least = 0.0f;
                for (int e = 0; e < book.rows2; ++e) {
                    const float* const second = book.stage2 + static_cast<size_t>(e) * kLspStride;
                    float error = 0.0f;
                    for (int i = from; i < to; ++i) {
                        const float diff = target[i] - (first[i] + second[i]);
                        error += weights[i] * diff * diff;
                    }
                    if (e == 0 || error < least) {
                        least = error;
                        chosen = e;
                    }
                }
                trial.indices[static_cast<size_t>(2 + s)] = chosen;
                const float* const second = book.stage2 + static_cast<size_t>(chosen) * kLspStride;
                for (int i = from; i < to; ++i)
                    q[i] = first[i] + second[i];
            }
            KeepLspSpacing(q, p);
            CombineLsp(q, rho, previous, p, trial.quantised.data());
            double error = 0.0;
            for (int i = 0; i < p; ++i) {
                const double diff = trial.quantised[static_cast<size_t>(i)] - lsp[static_cast<size_t>(i)];
                error += weights[i] * diff * diff;
            }
            const int score = static_cast<int>(std::min(std::trunc(1e6 * error), static_cast<double>(kLargestScore)));
            if (score < bestScore) {
                bestScore = score;
                std::copy_n(q, p, trial.memory.begin());
                best = trial;
            }
        }
    }
    return best;
}

void LspInversePower(std::span<const float> lsp, std::span<const float> cosines, std::span<float> out)
{
    float twoCos[kLspMaxOrder] = {};
    const size_t order = lsp.size();
    for (size_t k = 0; k < order; ++k)
        twoCos[k] = 2.0f * std::cos(lsp[k]);
    for (size_t j = 0; j < cosines.size(); ++j) {
        const float x = cosines[j];
        float a = 1.0f;
        float b = 1.0f;
        for (size_t k = 0; k + 1 < order + 1 && k < order; k += 2) {
            a *= 2.0f * x - twoCos[k];
            b *= 2.0f * x - twoCos[k + 1];
        }
        out[j] = (1.0f - x) * b * b + (1.0f + x) * a * a;
    }
}

} // namespace sound
