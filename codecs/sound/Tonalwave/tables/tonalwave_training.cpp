#include "codecs/sound/Tonalwave/tables/tonalwave_training.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <thread>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"
#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/Tonalwave/tonalwave_support.h"

namespace sound {

namespace {

constexpr double kStoredScale = 2048.0;
constexpr double kPi = 3.14159265358979323846;
// First-stage rows keep at least this spacing (stored units, about 0.01 rad): the decoder's rows must ascend.
constexpr int kLeastLspSpacing = 20;
constexpr double kLargestPredictor = 0.95;
// Sounds are coded in runs of this many, each run into its own sums, and the runs' sums are added in corpus order:
// the thread count decides only which runs code at the same time, never the order of an addition.
constexpr size_t kRunLength = 4;
// The three main pairs (by kind) and the periodic pair.
constexpr size_t kPairBooks = kTonalwaveKinds + 1;
constexpr size_t kPeriodicBook = kTonalwaveKinds;

// Where a conjugate pair's two codebooks lie in the stored tables, and how their values scale.
struct PairPlace {
    size_t offsetA = 0;
    size_t offsetB = 0;
    size_t rowLength = 0;
    double scale = 1.0; // stored units per coded unit
};

// Sums for one conjugate pair with the rows fixed as the encoder chose them, for the alternating least-squares
// step: per row and element the signed weighted targets and the weights of each codebook, and per pair of rows the
// signed weights the two codebooks share.
struct PairSums {
    std::vector<double> targetA, weightA, targetB, weightB; // 64 rows of rowLength
    std::vector<double> shared;                             // 64 x 64 rows of rowLength, A's row major

    void Resize(size_t rowLength)
    {
        const size_t rows = static_cast<size_t>(kConjugateRows) * rowLength;
        for (std::vector<double>* v : {&targetA, &weightA, &targetB, &weightB})
            v->assign(rows, 0.0);
        shared.assign(static_cast<size_t>(kConjugateRows) * rows, 0.0);
    }
    void Add(const PairSums& other)
    {
        const auto add = [](std::vector<double>& to, const std::vector<double>& from) {
            for (size_t i = 0; i < to.size(); ++i)
                to[i] += from[i];
        };
        add(targetA, other.targetA);
        add(weightA, other.weightA);
        add(targetB, other.targetB);
        add(weightB, other.weightB);
        add(shared, other.shared);
    }
};

// Weighted sums per stored value, and the error of the pass that gathered them.
class Accumulator : public TonalwaveTrainingSink {
public:
    Accumulator(TonalwaveSet set, std::span<const int16_t> tables)
        : m_shape(ShapeOf(set)), m_tables(tables), m_sum(tables.size(), 0.0), m_weight(tables.size(), 0.0)
    {
        const TonalwaveParameterSet& p = ParametersOf(set);
        m_splitBounds = SplitBoundaries(p.lspSplits, p.lspOrder);
        for (size_t k = 0; k < kTonalwaveKinds; ++k) {
            const int rows = static_cast<int>(m_shape.bandSize[k]) > 0 ? RowsOf(set, k) : 1;
            m_bandRowLength[k] = m_shape.bandSize[k] / static_cast<size_t>(rows);
            m_pairs[k] = {m_shape.mainOffset[k], m_shape.mainOffset[k] + m_shape.mainSize[k],
                          m_shape.mainSize[k] / static_cast<size_t>(kConjugateRows), 1.0};
        }
        const size_t periodicHalf = m_shape.periodicSize / 2;
        m_pairs[kPeriodicBook] = {m_shape.periodicOffset, m_shape.periodicOffset + periodicHalf,
                                  periodicHalf / static_cast<size_t>(kConjugateRows), kStoredScale};
        for (size_t book = 0; book < kPairBooks; ++book)
            m_pairSums[book].Resize(m_pairs[book].rowLength);
    }

    void OnLsp(std::span<const float> target, std::span<const float> weights, const LspChoice& choice,
               std::span<const float> lsp, std::span<const float> memory, bool predicted) override
    {
        LspObservation seen;
        std::copy(target.begin(), target.end(), seen.target.begin());
        std::copy(weights.begin(), weights.end(), seen.lspWeights.begin());
        std::copy(lsp.begin(), lsp.end(), seen.lsp.begin());
        std::copy(memory.begin(), memory.end(), seen.memory.begin());
        seen.predicted = predicted;
        seen.indices = choice.indices;
        const auto order = static_cast<size_t>(m_shape.lspOrder);
        // The error of the frequencies themselves: l - ((1 - rho) r + rho q) = (1 - rho) (t - r), so a stage row's
        // target t weighs (1 - rho)^2 as much as its frequency does.
        double error = 0.0;
        for (size_t s = 0; s + 1 < m_splitBounds.size(); ++s) {
            for (auto i = static_cast<size_t>(m_splitBounds[s]); i < static_cast<size_t>(m_splitBounds[s + 1]); ++i) {
                const double den = 1.0 - (predicted ? Predictor(m_tables, seen.indices[0], i, order) : 0.0);
                seen.weights[i] = static_cast<float>(weights[i] * den * den);
                const double diff = target[i] - Stage1(m_tables, seen, i, order) - Stage2(m_tables, seen, s, i, order);
                error += seen.weights[i] * diff * diff;
            }
        }
        m_lsp.push_back(seen);
        m_pass.lspError += error;
        ++m_pass.lspFrames;
    }

    void OnBandSplit(TonalwaveKind kind, int row, std::span<const float> residual,
                     std::span<const float> weights) override
    {
        const auto k = static_cast<size_t>(kind);
        const size_t at = m_shape.bandOffset[k] + static_cast<size_t>(row) * m_bandRowLength[k];
        double error = 0.0;
        for (size_t j = 0; j < residual.size(); ++j) {
            const double w = weights[j];
            m_sum[at + j] += w * residual[j];
            m_weight[at + j] += w;
            const double diff = residual[j] - m_tables[at + j] / kStoredScale;
            error += w * diff * diff;
        }
        m_pass.bandError += error;
        ++m_pass.bandVectors;
    }

    // The reconstruction is 0.5 (sA A + sB B) against x = target / W2 with weights W2.
    void OnConjugateVector(TonalwaveKind kind, bool periodic, const ConjugateChoice& choice,
                           std::span<const float> weightedTarget, std::span<const float> weight2) override
    {
        const size_t book = periodic ? kPeriodicBook : static_cast<size_t>(kind);
        const PairPlace& place = m_pairs[book];
        PairSums& sums = m_pairSums[book];
        const size_t rowA = static_cast<size_t>(choice.indexA) % kConjugateRows;
        const size_t rowB = static_cast<size_t>(choice.indexB) % kConjugateRows;
        const double signA = choice.indexA >= kConjugateRows ? -1.0 : 1.0;
        const double signB = choice.indexB >= kConjugateRows ? -1.0 : 1.0;
        const size_t length = std::min(weightedTarget.size(), place.rowLength);
        const size_t atA = rowA * place.rowLength;
        const size_t atB = rowB * place.rowLength;
        const size_t atShared = (rowA * kConjugateRows + rowB) * place.rowLength;
        double error = 0.0;
        for (size_t j = 0; j < length; ++j) {
            const double w = weight2[j];
            if (!(w > 0.0))
                continue;
            const double t = weightedTarget[j];
            const double a = m_tables[place.offsetA + atA + j] / place.scale;
            const double b = m_tables[place.offsetB + atB + j] / place.scale;
            const double diff = t / w - 0.5 * (signA * a + signB * b);
            error += w * diff * diff;
            sums.targetA[atA + j] += 2.0 * signA * t;
            sums.weightA[atA + j] += w;
            sums.targetB[atB + j] += 2.0 * signB * t;
            sums.weightB[atB + j] += w;
            sums.shared[atShared + j] += signA * signB * w;
        }
        if (periodic) {
            m_pass.periodicError += error;
            ++m_pass.periodicVectors;
        } else {
            m_pass.mainError += error;
            ++m_pass.mainVectors;
        }
    }

    // The sums and observations of the sounds after this accumulator's.
    void Add(const Accumulator& later)
    {
        for (size_t i = 0; i < m_sum.size(); ++i) {
            m_sum[i] += later.m_sum[i];
            m_weight[i] += later.m_weight[i];
        }
        m_lsp.insert(m_lsp.end(), later.m_lsp.begin(), later.m_lsp.end());
        for (size_t book = 0; book < kPairBooks; ++book)
            m_pairSums[book].Add(later.m_pairSums[book]);
        m_pass.lspError += later.m_pass.lspError;
        m_pass.bandError += later.m_pass.bandError;
        m_pass.mainError += later.m_pass.mainError;
        m_pass.periodicError += later.m_pass.periodicError;
        m_pass.lspFrames += later.m_pass.lspFrames;
        m_pass.bandVectors += later.m_pass.bandVectors;
        m_pass.mainVectors += later.m_pass.mainVectors;
        m_pass.periodicVectors += later.m_pass.periodicVectors;
    }

    TonalwaveTrainingPass Result() const
    {
        TonalwaveTrainingPass pass = m_pass;
        const auto mean = [](double& error, size_t count) {
            if (count > 0)
                error /= static_cast<double>(count);
        };
        mean(pass.lspError, pass.lspFrames);
        mean(pass.bandError, pass.bandVectors);
        mean(pass.mainError, pass.mainVectors);
        mean(pass.periodicError, pass.periodicVectors);
        return pass;
    }

    // The centroids; a value no target reached keeps its old one.
    std::vector<int16_t> Updated()
    {
        std::vector<int16_t> out(m_tables.begin(), m_tables.end());
        const auto move = [&](size_t from, size_t count) {
            for (size_t i = from; i < from + count; ++i) {
                if (m_weight[i] > 0.0) {
                    const double value = std::round(m_sum[i] / m_weight[i] * kStoredScale);
                    out[i] = static_cast<int16_t>(std::clamp(value, -32767.0, 32767.0));
                }
            }
        };
        for (size_t k = 0; k < kTonalwaveKinds; ++k)
            move(m_shape.bandOffset[k], m_shape.bandSize[k]);
        const auto order = static_cast<size_t>(m_shape.lspOrder);
        // The first stage against the old second, then the second against the new first: each step is the
        // weighted centroid for the other stage as it then stands, so neither undoes the other.
        std::fill(m_sum.begin(), m_sum.end(), 0.0);
        std::fill(m_weight.begin(), m_weight.end(), 0.0);
        for (const LspObservation& seen : m_lsp)
            for (size_t s = 0; s + 1 < m_splitBounds.size(); ++s)
                for (auto i = static_cast<size_t>(m_splitBounds[s]); i < static_cast<size_t>(m_splitBounds[s + 1]);
                     ++i) {
                    const size_t at = m_shape.lspOffset + static_cast<size_t>(seen.indices[1]) * order + i;
                    m_sum[at] += seen.weights[i] * (seen.target[i] - Stage2(out, seen, s, i, order));
                    m_weight[at] += seen.weights[i];
                }
        move(m_shape.lspOffset, static_cast<size_t>(m_shape.lspStage1Rows) * order);
        KeepFirstStageOrder(out);
        const size_t second = m_shape.lspOffset + static_cast<size_t>(m_shape.lspStage1Rows) * order;
        for (const LspObservation& seen : m_lsp)
            for (size_t s = 0; s + 1 < m_splitBounds.size(); ++s)
                for (auto i = static_cast<size_t>(m_splitBounds[s]); i < static_cast<size_t>(m_splitBounds[s + 1]);
                     ++i) {
                    const size_t at = second + static_cast<size_t>(seen.indices[2 + s]) * order + i;
                    m_sum[at] += seen.weights[i] * (seen.target[i] - Stage1(out, seen, i, order));
                    m_weight[at] += seen.weights[i];
                }
        move(second, static_cast<size_t>(m_shape.lspStage2Rows) * order);
        UpdatePredictors(out);
        for (size_t book = 0; book < kPairBooks; ++book)
            UpdatePair(m_pairs[book], m_pairSums[book], out);
        return out;
    }

private:
    struct LspObservation {
        std::array<float, kLspMaxOrder> target = {};
        std::array<float, kLspMaxOrder> weights = {};    // of the targets
        std::array<float, kLspMaxOrder> lspWeights = {}; // of the frequencies
        std::array<float, kLspMaxOrder> lsp = {};
        std::array<float, kLspMaxOrder> memory = {};
        std::array<int32_t, 2 + 4> indices = {};
        bool predicted = false;
    };

    // Each predicted frame stays with the set the encoder chose for it; each set's coefficient i is then the
    // weighted least-squares fit of l - r = rho (q - r) over its frames, r being the stages' sum as they now stand
    // (the reconstruction is (1 - rho) r + rho q), clamped to [0, 0.95].
    void UpdatePredictors(std::vector<int16_t>& out) const
    {
        const auto order = static_cast<size_t>(m_shape.lspOrder);
        const size_t rows =
            m_shape.lspOffset + static_cast<size_t>(m_shape.lspStage1Rows + m_shape.lspStage2Rows) * order;
        std::vector<double> product(2 * order, 0.0);
        std::vector<double> energy(2 * order, 0.0);
        for (const LspObservation& seen : m_lsp) {
            if (!seen.predicted)
                continue;
            const auto set = static_cast<size_t>(seen.indices[0] & 1);
            for (size_t s = 0; s + 1 < m_splitBounds.size(); ++s)
                for (auto i = static_cast<size_t>(m_splitBounds[s]); i < static_cast<size_t>(m_splitBounds[s + 1]);
                     ++i) {
                    const double r = Stage1(out, seen, i, order) + Stage2(out, seen, s, i, order);
                    const double b = seen.memory[i] - r;
                    product[set * order + i] += seen.lspWeights[i] * (seen.lsp[i] - r) * b;
                    energy[set * order + i] += seen.lspWeights[i] * b * b;
                }
        }
        for (size_t k = 0; k < 2 * order; ++k) {
            if (!(energy[k] > 0.0))
                continue;
            const double rho = std::clamp(product[k] / energy[k], 0.0, kLargestPredictor);
            out[rows + k] = static_cast<int16_t>(
                std::min(std::round(rho * kStoredScale), std::floor(kLargestPredictor * kStoredScale)));
        }
    }

    // Alternating weighted least squares for the chosen rows and signs: A against the old B, then B against the
    // new A as stored (rounded), so that B absorbs what A's rounding left.
    static void UpdatePair(const PairPlace& place, const PairSums& sums, std::vector<int16_t>& out)
    {
        const size_t n = place.rowLength;
        const auto rows = static_cast<size_t>(kConjugateRows);
        const auto store = [&](double value) {
            return static_cast<int16_t>(std::clamp(std::round(value * place.scale), -32767.0, 32767.0));
        };
        for (size_t a = 0; a < rows; ++a)
            for (size_t j = 0; j < n; ++j) {
                const double w = sums.weightA[a * n + j];
                if (!(w > 0.0))
                    continue;
                double other = 0.0;
                for (size_t b = 0; b < rows; ++b)
                    other += sums.shared[(a * rows + b) * n + j] * (out[place.offsetB + b * n + j] / place.scale);
                out[place.offsetA + a * n + j] = store((sums.targetA[a * n + j] - other) / w);
            }
        for (size_t b = 0; b < rows; ++b)
            for (size_t j = 0; j < n; ++j) {
                const double w = sums.weightB[b * n + j];
                if (!(w > 0.0))
                    continue;
                double other = 0.0;
                for (size_t a = 0; a < rows; ++a)
                    other += sums.shared[(a * rows + b) * n + j] * (out[place.offsetA + a * n + j] / place.scale);
                out[place.offsetB + b * n + j] = store((sums.targetB[b * n + j] - other) / w);
            }
    }

    double Predictor(std::span<const int16_t> tables, int32_t set, size_t i, size_t order) const
    {
        const size_t rows =
            m_shape.lspOffset + static_cast<size_t>(m_shape.lspStage1Rows + m_shape.lspStage2Rows) * order;
        return tables[rows + static_cast<size_t>(set & 1) * order + i] / kStoredScale;
    }

    double Stage1(std::span<const int16_t> tables, const LspObservation& seen, size_t i, size_t order) const
    {
        return tables[m_shape.lspOffset + static_cast<size_t>(seen.indices[1]) * order + i] / kStoredScale;
    }

    double Stage2(std::span<const int16_t> tables, const LspObservation& seen, size_t split, size_t i,
                  size_t order) const
    {
        const size_t second = m_shape.lspOffset + static_cast<size_t>(m_shape.lspStage1Rows) * order;
        return tables[second + static_cast<size_t>(seen.indices[2 + split]) * order + i] / kStoredScale;
    }

    void KeepFirstStageOrder(std::vector<int16_t>& out) const
    {
        const auto order = static_cast<size_t>(m_shape.lspOrder);
        // First-stage rows ascend strictly inside (0, pi), with room between neighbours.
        const auto top = static_cast<int>(kPi * kStoredScale) - kLeastLspSpacing;
        for (int row = 0; row < m_shape.lspStage1Rows; ++row) {
            int16_t* const line = out.data() + m_shape.lspOffset + static_cast<size_t>(row) * order;
            int least = kLeastLspSpacing;
            for (size_t i = 0; i < order; ++i) {
                line[i] = static_cast<int16_t>(std::max<int>(line[i], least));
                least = line[i] + kLeastLspSpacing;
            }
            int most = top;
            for (size_t i = order; i-- > 0;) {
                line[i] = static_cast<int16_t>(std::min<int>(line[i], most));
                most = line[i] - kLeastLspSpacing;
            }
        }
    }

    static int RowsOf(TonalwaveSet set, size_t k)
    {
        const TonalwaveParameterSet& p = ParametersOf(set);
        return 1 << (k == 0 ? p.bandBitsLong : k == 1 ? p.bandBitsMedium : p.bandBitsShort);
    }

    TonalwaveTableShape m_shape;
    std::span<const int16_t> m_tables;
    std::vector<double> m_sum; // the band-scale sums, then the stages' in turn
    std::vector<double> m_weight;
    std::vector<LspObservation> m_lsp;
    std::array<size_t, kTonalwaveKinds> m_bandRowLength = {};
    std::array<PairPlace, kPairBooks> m_pairs = {};
    std::array<PairSums, kPairBooks> m_pairSums;
    std::vector<int> m_splitBounds;
    TonalwaveTrainingPass m_pass;
};

// Codes one sound with tables through the accumulator: a fresh encoder, the last frame padded with zeros and two
// frames of zeros after it, as the frame driver closes a file.
bool CodeSound(const TonalwaveConfiguration& config, const std::vector<int16_t>& sound, Accumulator& accumulator,
               std::span<const int16_t> tables)
{
    std::unique_ptr<TonalwaveEncoder> encoder = TonalwaveEncoder::Create(config, kTonalwaveEncoderScratchBytes, tables);
    if (!encoder)
        return false;
    encoder->SetTrainingSink(&accumulator);
    std::vector<uint8_t> ring(558);
    const auto n = static_cast<size_t>(encoder->FrameSamples());
    std::vector<int16_t> frame(n);
    const size_t frames = (sound.size() + n - 1) / n + 2;
    for (size_t f = 0; f < frames; ++f) {
        std::fill(frame.begin(), frame.end(), int16_t{0});
        if (f * n < sound.size())
            std::copy_n(sound.begin() + static_cast<ptrdiff_t>(f * n), std::min(n, sound.size() - f * n),
                        frame.begin());
        std::fill(ring.begin(), ring.end(), uint8_t{0});
        RingPosition position;
        if (!encoder->EncodeFrame(frame, ring, position))
            return false;
    }
    return true;
}

// Codes the listed sounds with tables: runs of kRunLength sounds, up to threads runs at a time, their sums added to
// the result in list order. nullopt when a sound cannot be coded.
std::optional<Accumulator> CodeShare(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                     const std::vector<size_t>& share, std::span<const int16_t> tables, int threads)
{
    // An empty span would open the committed tables instead of the ones counted here.
    const std::optional<TonalwaveConfiguration> config = MonoConfigurationOf(set);
    if (!config || tables.size() != ShapeOf(set).total)
        return std::nullopt;
    Accumulator total(set, tables);
    const size_t runs = (share.size() + kRunLength - 1) / kRunLength;
    const auto width = static_cast<size_t>(std::max(threads, 1));
    bool failed = false;
    for (size_t first = 0; first < runs && !failed; first += width) {
        const size_t count = std::min(width, runs - first);
        std::vector<std::optional<Accumulator>> partial(count);
        std::vector<char> ok(count, 0);
        const auto codeRun = [&](size_t slot) {
            partial[slot].emplace(set, tables);
            const size_t from = (first + slot) * kRunLength;
            bool good = true;
            for (size_t i = from; i < std::min(from + kRunLength, share.size()) && good; ++i)
                good = CodeSound(*config, sounds[share[i]], *partial[slot], tables);
            ok[slot] = good ? 1 : 0;
        };
        std::vector<std::thread> workers;
        for (size_t slot = 1; slot < count; ++slot)
            workers.emplace_back(codeRun, slot);
        codeRun(0);
        for (std::thread& worker : workers)
            worker.join();
        for (size_t slot = 0; slot < count; ++slot) {
            failed = failed || ok[slot] == 0;
            if (!failed)
                total.Add(*partial[slot]);
        }
    }
    if (failed)
        return std::nullopt;
    return total;
}

// The sum over the quantisers of each error relative to the start's; a quantiser the start never used counts 0.
double RelativeError(const TonalwaveTrainingPass& pass, const TonalwaveTrainingPass& start)
{
    const auto ratio = [](double error, double base) { return base > 0.0 ? error / base : 0.0; };
    return ratio(pass.lspError, start.lspError) + ratio(pass.bandError, start.bandError) +
           ratio(pass.mainError, start.mainError) + ratio(pass.periodicError, start.periodicError);
}

} // namespace

std::optional<TonalwaveConfiguration> MonoConfigurationOf(TonalwaveSet set)
{
    for (const uint32_t code : {0x18080u, 0x18060u, 0x11110u, 0x12224u}) {
        const std::optional<TonalwaveConfiguration> config = DecodeConfigurationCode(code);
        if (config && config->set == set && config->channels == 1 && HasStoredTables(set))
            return config;
    }
    return std::nullopt;
}

TonalwaveTrainingPass MeasureTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                             std::span<const int16_t> tables)
{
    std::vector<size_t> all(sounds.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    const std::optional<Accumulator> accumulator = CodeShare(set, sounds, all, tables, 1);
    return accumulator ? accumulator->Result() : TonalwaveTrainingPass{};
}

TonalwaveTrainingResult TrainTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                             std::span<const int16_t> start, const TonalwaveTrainingOptions& options)
{
    std::vector<size_t> training;
    std::vector<size_t> validation;
    for (size_t i = 0; i < sounds.size(); ++i) {
        const bool held = options.validationEvery > 0 && i % static_cast<size_t>(options.validationEvery) ==
                                                             static_cast<size_t>(options.validationEvery) - 1;
        (held ? validation : training).push_back(i);
    }
    TonalwaveTrainingResult result;
    result.tables.assign(start.begin(), start.end());
    std::vector<int16_t> tables = result.tables;
    double best = 0.0;
    for (int pass = 0; pass <= options.passes; ++pass) {
        std::optional<Accumulator> learned = CodeShare(set, sounds, training, tables, options.threads);
        if (!learned)
            break;
        TonalwaveTrainingRound round;
        round.training = learned->Result();
        round.validation = round.training;
        if (!validation.empty()) {
            const std::optional<Accumulator> checked = CodeShare(set, sounds, validation, tables, options.threads);
            if (!checked)
                break;
            round.validation = checked->Result();
        }
        const TonalwaveTrainingPass& base = result.rounds.empty() ? round.validation : result.rounds[0].validation;
        round.score = RelativeError(round.validation, base);
        result.rounds.push_back(round);
        if (result.rounds.size() == 1 || round.score < best) {
            best = round.score;
            result.kept = result.rounds.size() - 1;
            result.tables = tables;
        }
        if (pass < options.passes)
            tables = learned->Updated();
    }
    return result;
}

std::vector<int16_t> TonalwaveRoundTripWithTables(TonalwaveSet set, std::span<const int16_t> samples,
                                                  std::span<const int16_t> tables)
{
    const std::optional<TonalwaveConfiguration> config = MonoConfigurationOf(set);
    if (!config || tables.size() != ShapeOf(set).total)
        return {};
    std::unique_ptr<TonalwaveEncoder> encoder =
        TonalwaveEncoder::Create(*config, kTonalwaveEncoderScratchBytes, tables);
    std::unique_ptr<TonalwaveDecoder> decoder =
        TonalwaveDecoder::Create(*config, kTonalwaveDecoderScratchBytes, tables);
    if (!encoder || !decoder)
        return {};
    const auto n = static_cast<size_t>(encoder->FrameSamples());
    const size_t frames = (samples.size() + n - 1) / n + 2;
    std::vector<int16_t> frame(n);
    std::vector<float> decoded(n);
    std::vector<uint8_t> ring(558);
    std::vector<int16_t> out;
    out.reserve(frames * n);
    for (size_t f = 0; f < frames; ++f) {
        std::fill(frame.begin(), frame.end(), int16_t{0});
        if (f * n < samples.size())
            std::copy_n(samples.begin() + static_cast<ptrdiff_t>(f * n), std::min(n, samples.size() - f * n),
                        frame.begin());
        std::fill(ring.begin(), ring.end(), uint8_t{0});
        RingPosition written;
        if (!encoder->EncodeFrame(frame, ring, written))
            return {};
        RingPosition read;
        TonalwaveFrameRecord record;
        ReadFrame(ring, read, decoder->Layout(), record);
        if (!decoder->DecodeFrame(record, decoded))
            return {};
        for (const float value : decoded)
            out.push_back(value == value ? static_cast<int16_t>(std::lround(std::clamp(value, -32767.0f, 32767.0f)))
                                         : int16_t{0});
    }
    return out;
}

std::string TrainedTablesSource(TonalwaveSet set, std::span<const int16_t> values, const std::string& command,
                                const std::string& provenance)
{
    std::string text = BootstrapTablesSource(set, values, command);
    // The bootstrap text's second and third lines describe drawn tables; these were trained.
    const size_t second = text.find('\n') + 1;
    const size_t body = text.find("#include");
    std::string header = "// wrote this file: do not edit. Every codebook of the ";
    header += NameOf(set);
    header += " set trained on the sound corpus.\n";
    size_t from = 0;
    while (from < provenance.size()) {
        size_t end = provenance.find('\n', from);
        if (end == std::string::npos)
            end = provenance.size();
        header += "// " + provenance.substr(from, end - from) + "\n";
        from = end + 1;
    }
    return text.substr(0, second) + header + text.substr(body);
}

} // namespace sound
