// The encoder's spectral shaping of one frame, in the order the frame call runs it: the LPC envelope, the bandwidth
// limit, the periodic component of long frames, the band-scale envelope, the gains, the perceptual weights and the
// conjugate search of the normalised coefficients with its closed-loop gains.
#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"

namespace sound {

namespace {

constexpr float kBandPredictionWeight[kTonalwaveKinds] = {0.28f, 0.35f, 0.4f}; // long, medium, short
constexpr float kLeastBandValue = 0.1f;
constexpr float kCutInversePower = 100000.0f;
constexpr float kPeriodicGainLargest = 25000.0f;
constexpr float kPeriodicGainMu = 200.0f;
constexpr int kMainCandidates = 16;
constexpr int kMaxBands = 64;
constexpr size_t kGainStride = 1 + kTonalwaveMaxBlocks;

const float* ColumnsOrNull(const std::vector<float>& columns)
{
    return columns.empty() ? nullptr : columns.data();
}

int Log2Of(int value)
{
    int order = 0;
    while ((1 << order) < value)
        ++order;
    return order;
}

} // namespace

void TonalwaveEncoder::AnalyseEnvelope(FrameArrays& arrays)
{
    const int n = m_frameSamples;
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const int order = m_lpc->Order();
    const WindowShape shape = ShapeOfCode(kind == TonalwaveKind::kLong ? m_record.windowCode : 0);
    const LspCodebook book{m_lspStage1.data(),
                           m_lspStage2.data(),
                           m_lspPredictor.data(),
                           static_cast<int>(m_lspStage1.size() / 20),
                           static_cast<int>(m_lspStage2.size() / 20),
                           order,
                           m_splitBounds};
    float* const samples = arrays.work;
    float* const windowed = arrays.work + 2 * n;
    for (int c = 0; c < m_channels; ++c) {
        ChannelState& state = m_channelState[static_cast<size_t>(c)];
        Gather(c, -n, 2 * n, samples);
        WindowSamples(samples, shape, windowed);
        std::array<double, kLspMaxOrder + 1> a = {};
        m_lpc->AnalysePredictor(std::span<const float>(windowed, 2 * static_cast<size_t>(n)), a);
        float lsp[kLspMaxOrder] = {};
        // A predictor whose frequencies the grid search cannot resolve keeps the channel's last ones.
        if (!m_lpc->PredictorToLsp(a, std::span<float>(lsp, static_cast<size_t>(order))))
            std::copy_n(state.lastLsp.begin(), order, lsp);
        std::copy_n(lsp, order, state.lastLsp.begin());
        if (c == 0)
            m_lspFrames = std::min(m_lspFrames + 1, 1);
        const LspChoice choice =
            QuantiseLsp(book, std::span<const float>(lsp, static_cast<size_t>(order)),
                        std::span<const float>(state.lspMemory).first(static_cast<size_t>(order)), m_lspFrames >= 1);
        const int splits = static_cast<int>(m_splitBounds.size()) - 1;
        if (m_sink != nullptr) {
            // The chosen set's target, as the quantiser formed it from the memory before this frame.
            const float* const rho = m_lspPredictor.data() + static_cast<size_t>(choice.indices[0]) * 20;
            const bool predicted = m_lspFrames >= 1;
            float target[kLspMaxOrder] = {};
            float weights[kLspMaxOrder] = {};
            for (int i = 0; i < order; ++i) {
                const float r = predicted ? rho[i] : 0.0f;
                target[i] = (lsp[i] - r * state.lspMemory[static_cast<size_t>(i)]) / (1.0f - r);
            }
            LspWeights(std::span<const float>(lsp, static_cast<size_t>(order)), m_splitBounds,
                       std::span<float>(weights, static_cast<size_t>(order)));
            m_sink->OnLsp(std::span<const float>(target, static_cast<size_t>(order)),
                          std::span<const float>(weights, static_cast<size_t>(order)), choice,
                          std::span<const float>(lsp, static_cast<size_t>(order)),
                          std::span<const float>(state.lspMemory).first(static_cast<size_t>(order)), predicted);
        }
        for (int i = 0; i < 2 + splits; ++i)
            m_record.envelopeIndex[c][i] = choice.indices[static_cast<size_t>(i)];
        state.lspMemory = choice.memory;
        state.quantisedLsp = choice.quantised;
        float* const power = arrays.inversePower + static_cast<size_t>(c) * static_cast<size_t>(n);
        LspInversePower(std::span<const float>(choice.quantised).first(static_cast<size_t>(order)), m_cosines[k],
                        std::span<float>(power, static_cast<size_t>(length)));
        state.inversePower.assign(power, power + length);
        for (int b = 1; b < blocks; ++b)
            std::copy_n(power, length, power + b * length);
    }
}

void TonalwaveEncoder::LimitBandwidth(FrameArrays& arrays)
{
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_channels * m_layout.sizes.blockCount[k];
    const int limit = m_quarterBandCut ? 3 * length / 4 : length;
    const bool narrow = kind != TonalwaveKind::kShort && m_record.bandwidthCode == 1;
    for (int block = 0; block < blocks; ++block) {
        const size_t from = static_cast<size_t>(block) * static_cast<size_t>(length);
        float* const x = arrays.spectrum + from;
        float* const power = arrays.inversePower + from;
        std::fill(x + limit, x + length, 0.0f);
        std::fill(power + limit, power + length, kCutInversePower);
        if (narrow)
            KeepLargest(std::span<float>(x, static_cast<size_t>(limit)), static_cast<int>(0.7f * limit),
                        std::span<uint16_t>(arrays.selection, static_cast<size_t>(length)));
        for (int j = 0; j < length; ++j) {
            arrays.envelope[from + static_cast<size_t>(j)] = 1.0f / power[j];
            arrays.flat[from + static_cast<size_t>(j)] = x[j] * power[j];
        }
    }
    const size_t all = static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples);
    std::fill_n(arrays.periodic, all, 0.0f);
}

PeriodicPlacement TonalwaveEncoder::Placement() const
{
    return PlacementOf(m_layout, m_frameSamples, m_channels);
}

void TonalwaveEncoder::TabulatePeriodicPositions()
{
    // Frames hold at most 2048 coefficients, so an index fits 16 bits.
    const PeriodicPlacement placement = Placement();
    const int r = placement.valuesPerChannel;
    std::vector<int> row(static_cast<size_t>(r));
    m_periodicPositions.resize(static_cast<size_t>(placement.largestIndex + 1) * static_cast<size_t>(r));
    for (int index = 0; index <= placement.largestIndex; ++index) {
        PeriodicPositions(index, placement, row);
        std::copy(row.begin(), row.end(), m_periodicPositions.begin() + static_cast<ptrdiff_t>(index) * r);
    }
}

// The fundamental whose harmonic windows hold the most of the flattened energy, its windows' values coded as a
// short vector per channel, and the rebuilt component taken out of the flattened spectrum.
void TonalwaveEncoder::AnalysePeriodic(FrameArrays& arrays)
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const int n = m_frameSamples;
    const int r = p.periodicLength;
    const int indices = 1 << p.periodBits;
    const int levels = 1 << p.periodicGainBits;
    const float step = kPeriodicGainLargest / static_cast<float>(levels - 1);
    const PeriodicPlacement placement = Placement();

    ScratchFrame scratch(m_scratch);
    const size_t values = static_cast<size_t>(m_channels) * static_cast<size_t>(r);
    float* const score = scratch.Take<float>(static_cast<size_t>(n));
    int* const position = scratch.Take<int>(values);
    float* const target = scratch.Take<float>(values);
    float* const weight2 = scratch.Take<float>(values);
    float* const shape = scratch.Take<float>(values);
    float* const gathered = scratch.Take<float>(4 * static_cast<size_t>(kConjugateRows));
    if (scratch.Failed())
        return;
    float channelGain[kTonalwaveMaxChannels] = {};
    for (int c = 0; c < m_channels; ++c) {
        const size_t base = static_cast<size_t>(c) * static_cast<size_t>(n);
        for (int j = 0; j < n; ++j) {
            const float f = arrays.flat[base + static_cast<size_t>(j)];
            score[j] = f * f * std::pow(arrays.inversePower[base + static_cast<size_t>(j)] + 0.001f, -0.1f);
        }
        float best = -1e30f;
        int bestIndex = 0;
        // Four period indices at a time: their sums are independent, so they add side by side, each still in
        // position order; the greatest is then taken in index order, the first of equals kept.
        constexpr int kTogether = 4;
        for (int first = 0; first < indices; first += kTogether) {
            const int together = std::min(kTogether, indices - first);
            const int16_t* tabulated[kTogether];
            for (int q = 0; q < kTogether; ++q)
                tabulated[q] = m_periodicPositions.data() +
                               static_cast<size_t>(first + std::min(q, together - 1)) * static_cast<size_t>(r);
            float sum[kTogether] = {};
            for (int i = 0; i < r; ++i)
                for (int q = 0; q < kTogether; ++q)
                    sum[q] += tabulated[q][i] >= 0 ? score[tabulated[q][i]] : 0.0f;
            for (int q = 0; q < together; ++q) {
                if (sum[q] > best) {
                    best = sum[q];
                    bestIndex = first + q;
                }
            }
        }
        m_record.periodIndex[c] = bestIndex;
        int* const at = position + static_cast<size_t>(c) * static_cast<size_t>(r);
        PeriodicPositions(bestIndex, placement, std::span<int>(at, static_cast<size_t>(r)));
        float energy = 0.0f;
        for (int i = 0; i < r; ++i) {
            const float f = at[i] >= 0 ? arrays.flat[base + static_cast<size_t>(at[i])] : 0.0f;
            energy += f * f;
        }
        const float g = std::sqrt((energy + 0.001f) / static_cast<float>(r));
        const int index = std::clamp(
            static_cast<int>(std::max(Compress(g, kPeriodicGainLargest, kPeriodicGainMu), 0.0f) / step), 0, levels - 1);
        const float gain = Expand((static_cast<float>(index) + 0.5f) * step, kPeriodicGainLargest, kPeriodicGainMu);
        channelGain[c] = gain;
        for (int i = 0; i < r; ++i) {
            const size_t v = static_cast<size_t>(c) * static_cast<size_t>(r) + static_cast<size_t>(i);
            const bool inside = at[i] >= 0;
            const float a = inside ? arrays.inversePower[base + static_cast<size_t>(at[i])] : 1.0f;
            const float x = inside ? arrays.spectrum[base + static_cast<size_t>(at[i])] / (gain + 1e-5f) : 0.0f;
            const float e2 = 1.0f / a; // |A|^-2
            target[v] = gain * gain * e2 * a * x;
            weight2[v] = gain * gain * e2;
        }
    }
    // The channels' values form one array coded by interleaved vectors with the conjugate search.
    const TonalwaveVectorSet& vectors = m_layout.periodic;
    const ConjugatePair books{m_periodicBook[0].data(),
                              m_periodicBook[1].data(),
                              m_periodicEnergy[0].data(),
                              m_periodicEnergy[1].data(),
                              m_layout.sizes.periodicRowLength,
                              ColumnsOrNull(m_periodicColumns[0]),
                              ColumnsOrNull(m_periodicColumns[1]),
                              ColumnsOrNull(m_periodicEnergyColumns[0]),
                              ColumnsOrNull(m_periodicEnergyColumns[1])};
    const ConjugateSearch search{m_periodicCandidates, 4.0f};
    float correlation[kTonalwaveMaxChannels] = {};
    float energy[kTonalwaveMaxChannels] = {};
    float* const vt = gathered;
    float* const vw = gathered + kConjugateRows;
    float* const vy = gathered + 2 * kConjugateRows;
    for (int i = 0; i < vectors.Count(); ++i) {
        const int start = vectors.start[static_cast<size_t>(i)];
        const int length = vectors.LengthOf(i);
        for (int j = 0; j < length; ++j) {
            const int v = vectors.coefficientOf[static_cast<size_t>(start + j)];
            vt[j] = target[v];
            vw[j] = weight2[v];
        }
        const ConjugateChoice choice =
            SearchConjugatePair(vt, vw, length, vectors.widths[static_cast<size_t>(i)], books, search, vy);
        m_record.periodicVqA[static_cast<size_t>(i)] = choice.indexA;
        m_record.periodicVqB[static_cast<size_t>(i)] = choice.indexB;
        if (m_sink != nullptr)
            m_sink->OnConjugateVector(TonalwaveKind::kLong, true, choice,
                                      std::span<const float>(vt, static_cast<size_t>(length)),
                                      std::span<const float>(vw, static_cast<size_t>(length)));
        for (int j = 0; j < length; ++j) {
            const int v = vectors.coefficientOf[static_cast<size_t>(start + j)];
            shape[v] = vy[j];
            const int c = v / r;
            correlation[c] += vt[j] * vy[j];
            energy[c] += vy[j] * vw[j] * vy[j];
        }
    }
    // Closed-loop gain: the open-loop index or the one below it, whichever leaves the smaller error.
    for (int c = 0; c < m_channels; ++c) {
        const float c2 = channelGain[c] * correlation[c];
        const float g = c2 / (energy[c] + 1e-10f);
        int index = std::clamp(
            static_cast<int>(std::max(Compress(g, kPeriodicGainLargest, kPeriodicGainMu), 0.0f) / step), 0, levels - 1);
        float v = Expand((static_cast<float>(index) + 0.5f) * step, kPeriodicGainLargest, kPeriodicGainMu);
        if (index > 0) {
            const float below =
                Expand((static_cast<float>(index - 1) + 0.5f) * step, kPeriodicGainLargest, kPeriodicGainMu);
            if ((energy[c] * below - 2.0f * c2) * below < (energy[c] * v - 2.0f * c2) * v) {
                --index;
                v = below;
            }
        }
        m_record.periodicGainIndex[c] = index;
        channelGain[c] = v;
    }
    PlacePeriodic(std::span<const int32_t>(m_record.periodIndex, static_cast<size_t>(m_channels)),
                  std::span<const float>(shape, values),
                  std::span<float>(arrays.periodic, static_cast<size_t>(m_channels * n)), placement);
    for (int c = 0; c < m_channels; ++c) {
        const size_t base = static_cast<size_t>(c) * static_cast<size_t>(n);
        for (int j = 0; j < n; ++j) {
            arrays.periodic[base + static_cast<size_t>(j)] *= channelGain[c];
            arrays.flat[base + static_cast<size_t>(j)] -= arrays.periodic[base + static_cast<size_t>(j)];
        }
    }
}

bool TonalwaveEncoder::PredictsBlock(int block) const
{
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    if (kind == TonalwaveKind::kLong)
        return m_record.windowCode != 3 && m_record.windowCode != 5;
    if (block > 0)
        return true;
    return m_previousWindowCode == (kind == TonalwaveKind::kMedium ? 8 : 2);
}

void TonalwaveEncoder::BandScaleEnvelope(FrameArrays& arrays)
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const int n = m_frameSamples;
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const BandEdges edges = m_bandEdges[k];
    const int bands = edges.count;
    const int splits = kind == TonalwaveKind::kLong     ? p.bandIndicesLong
                       : kind == TonalwaveKind::kMedium ? p.bandIndicesMedium
                                                        : p.bandIndicesShort;
    const int rows = 1 << (kind == TonalwaveKind::kLong     ? p.bandBitsLong
                           : kind == TonalwaveKind::kMedium ? p.bandBitsMedium
                                                            : p.bandBitsShort);
    const int rowLength = m_bandRowLength[k];
    const float* const book = m_bandBook[k].data();
    for (int c = 0; c < m_channels; ++c) {
        const size_t base = static_cast<size_t>(c) * static_cast<size_t>(n);
        float scale = 1.0f;
        if (kind != TonalwaveKind::kLong) {
            float sum = 0.0f;
            for (int j = 0; j < n; ++j)
                sum += arrays.flat[base + static_cast<size_t>(j)] * arrays.flat[base + static_cast<size_t>(j)];
            scale = 1.0f / std::sqrt((sum + 0.001f) / static_cast<float>(n));
        }
        std::vector<float>& memory = m_channelState[static_cast<size_t>(c)].bandMemory[k];
        for (int b = 0; b < blocks; ++b) {
            const size_t from = base + static_cast<size_t>(b) * static_cast<size_t>(length);
            float e[kMaxBands] = {};
            float weight[kMaxBands] = {};
            float total = kind == TonalwaveKind::kShort ? 1e-15f : 0.0f;
            int start = 0;
            for (int band = 0; band < bands; ++band) {
                const int end = std::min<int>(edges.edges[band], length);
                float energy = 0.0f;
                float envelope = 0.0f;
                for (int j = start; j < end; ++j) {
                    const float f = arrays.flat[from + static_cast<size_t>(j)] * scale;
                    energy += f * f;
                    envelope += arrays.envelope[from + static_cast<size_t>(j)];
                }
                e[band] = std::sqrt(energy / static_cast<float>(std::max(end - start, 1))) + 0.1f;
                weight[band] = envelope;
                total += e[band];
                start = end;
            }
            for (int band = 0; band < bands; ++band) {
                weight[band] *= total;
                e[band] = e[band] * (static_cast<float>(bands) / total) - 1.0f;
                weight[band] = kind == TonalwaveKind::kLong ? std::pow(weight[band], 0.4f) : std::sqrt(weight[band]);
            }
            const float beta = kBandPredictionWeight[k];
            const int trials = PredictsBlock(b) ? 2 : 1;
            int chosen[2][kTonalwaveMaxBandIndices] = {};
            double error[2] = {};
            for (int t = 0; t < trials; ++t) {
                const float bt = t == 0 ? 0.0f : beta;
                double sum = 0.0;
                for (int split = 0; split < splits; ++split) {
                    double least = 0.0;
                    for (int row = 0; row < rows; ++row) {
                        const float* const entry = book + static_cast<size_t>(row) * static_cast<size_t>(rowLength);
                        double err = 0.0;
                        for (int j = 0; j < rowLength; ++j) {
                            const int band = split + j * splits;
                            const float residual = (e[band] - bt * memory[static_cast<size_t>(band)]) / (1.0f - bt);
                            const double diff = residual - entry[j];
                            err += weight[band] * diff * diff;
                        }
                        if (row == 0 || err < least) {
                            least = err;
                            chosen[t][split] = row;
                        }
                    }
                    sum += least;
                }
                error[t] = sum * (1.0 - bt) * (1.0 - bt);
            }
            const int winner = trials == 2 && !(std::trunc(error[0]) < std::trunc(error[1])) ? 1 : 0;
            const float predicted = winner == 1 ? beta : 0.0f;
            m_record.bandScalePredFlag[c][b] = winner;
            if (m_sink != nullptr) {
                float residual[kMaxBands] = {};
                float scaled[kMaxBands] = {};
                for (int split = 0; split < splits; ++split) {
                    for (int j = 0; j < rowLength; ++j) {
                        const int band = split + j * splits;
                        residual[j] = (e[band] - predicted * memory[static_cast<size_t>(band)]) / (1.0f - predicted);
                        scaled[j] = weight[band] * (1.0f - predicted) * (1.0f - predicted);
                    }
                    m_sink->OnBandSplit(kind, chosen[winner][split],
                                        std::span<const float>(residual, static_cast<size_t>(rowLength)),
                                        std::span<const float>(scaled, static_cast<size_t>(rowLength)));
                }
            }
            for (int split = 0; split < splits; ++split)
                m_record.bandScaleIndex[c][b][split] = chosen[winner][split];
            start = 0;
            for (int band = 0; band < bands; ++band) {
                const int split = band % splits;
                const float current = book[static_cast<size_t>(chosen[winner][split]) * static_cast<size_t>(rowLength) +
                                           static_cast<size_t>(band / splits)];
                // As the decoder rebuilds it, so that both memories stay equal.
                const float value =
                    std::max((1.0f - predicted) * current + predicted * memory[static_cast<size_t>(band)] + 1.0f,
                             kLeastBandValue);
                memory[static_cast<size_t>(band)] = current;
                const int end = std::min<int>(edges.edges[band], length);
                std::fill(arrays.bands + from + start, arrays.bands + from + end, value);
                start = end;
            }
            std::fill(arrays.bands + from + start, arrays.bands + from + length, 1.0f);
        }
    }
}

void TonalwaveEncoder::NormaliseGains(FrameArrays& arrays)
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const int n = m_frameSamples;
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const int frameLevels = 1 << p.frameGainBits;
    const int blockLevels = 1 << p.blockGainBits;
    const float frameMax = static_cast<float>(p.frameGainMax);
    const float frameStep = frameMax / static_cast<float>(frameLevels - 1);
    const float blockStep = p.blockGainMax / static_cast<float>(blockLevels - 1);
    for (int c = 0; c < m_channels; ++c) {
        const size_t base = static_cast<size_t>(c) * static_cast<size_t>(n);
        float* const gains = arrays.gains + static_cast<size_t>(c) * kGainStride;
        float* const x = arrays.target + base;
        for (int j = 0; j < n; ++j)
            x[j] = arrays.flat[base + static_cast<size_t>(j)] / arrays.bands[base + static_cast<size_t>(j)];
        if (kind == TonalwaveKind::kLong) {
            float energy = 0.0f;
            for (int j = 0; j < n; ++j)
                energy += x[j] * x[j];
            const QuantisedGain g =
                QuantiseGain(std::sqrt(energy / static_cast<float>(n)), frameMax, p.gainMu, frameStep, frameLevels);
            m_record.gainIndex[c][0] = g.index;
            gains[0] = g.value;
            for (int j = 0; j < n; ++j)
                x[j] *= g.inverse;
            continue;
        }
        float q[kTonalwaveMaxBlocks] = {};
        float sum = 0.1f;
        for (int b = 0; b < blocks; ++b) {
            float energy = 0.1f;
            for (int j = 0; j < length; ++j)
                energy += x[b * length + j] * x[b * length + j];
            q[b] = energy / static_cast<float>(length);
            sum += q[b];
        }
        const QuantisedGain frameGain =
            QuantiseGain(std::sqrt(sum / static_cast<float>(blocks)), frameMax, p.gainMu, frameStep, frameLevels);
        m_record.gainIndex[c][0] = frameGain.index;
        gains[0] = frameGain.value;
        for (int b = 0; b < blocks; ++b) {
            const QuantisedGain blockGain =
                QuantiseGain(frameGain.inverse * std::sqrt(q[b]), p.blockGainMax, p.gainMu, blockStep, blockLevels);
            m_record.gainIndex[c][1 + b] = blockGain.index;
            gains[1 + b] = blockGain.value;
            for (int j = 0; j < length; ++j)
                x[b * length + j] *= frameGain.inverse * blockGain.inverse;
        }
    }
}

void TonalwaveEncoder::ComputeWeights(FrameArrays& arrays)
{
    const int n = m_frameSamples;
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const bool fine = m_analysis.fineStructureFlag != 0;
    for (int c = 0; c < m_channels; ++c) {
        const size_t base = static_cast<size_t>(c) * static_cast<size_t>(n);
        float* const gains = arrays.gains + static_cast<size_t>(c) * kGainStride;
        if (kind == TonalwaveKind::kLong) {
            const float a = fine ? 0.6f : 0.5f;
            const float b = fine ? 0.72f : 0.6f;
            // The band scale holds one value through each band, so its power is taken once a run of equal values.
            uint32_t bandBits = 0;
            float bandPower = 0.0f;
            for (int j = 0; j < n; ++j) {
                const size_t at = base + static_cast<size_t>(j);
                const float t = arrays.spectrum[at] * arrays.envelope[at];
                const float d = t - arrays.periodic[at];
                const float r = std::min(1.0f, (d * d + 10.001f) / (t * t + 10.001f));
                const uint32_t bits = std::bit_cast<uint32_t>(arrays.bands[at]);
                if (j == 0 || bits != bandBits) {
                    bandBits = bits;
                    bandPower = std::pow(arrays.bands[at], b);
                }
                arrays.weights[at] = std::pow(arrays.envelope[at], a) * bandPower * (gains[0] + 0.1f) * r;
            }
            continue;
        }
        const bool isShort = kind == TonalwaveKind::kShort;
        const float u = isShort && fine ? 0.72f : 0.6f;
        const float v = isShort && fine ? 0.35f : 0.5f;
        for (int b = 0; b < blocks; ++b) {
            const float blockFactor = std::pow(gains[1 + b], v) * gains[0];
            for (int j = 0; j < length; ++j) {
                const size_t at = base + static_cast<size_t>(b * length + j);
                arrays.weights[at] = std::pow(arrays.envelope[at] * arrays.bands[at], u) * blockFactor;
            }
        }
        // From here on one gain per block: the frame's times the block's.
        for (int b = 0; b < blocks; ++b)
            gains[1 + b] *= gains[0];
    }
}

void TonalwaveEncoder::QuantiseCoefficients(FrameArrays& arrays)
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const TonalwaveKind kind = KindOfWindowCode(m_record.windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const int shift = Log2Of(length);
    const size_t all = static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples);
    for (size_t i = 0; i < all; ++i) {
        const float w2 = arrays.weights[i] * arrays.weights[i];
        arrays.weights[i] = w2;
        arrays.target[i] *= w2;
    }
    const TonalwaveVectorSet& vectors = m_layout.vectors[k];
    const ConjugatePair books{m_main[k][0].data(),
                              m_main[k][1].data(),
                              m_mainEnergy[k][0].data(),
                              m_mainEnergy[k][1].data(),
                              m_layout.sizes.rowLength[k],
                              ColumnsOrNull(m_mainColumns[k][0]),
                              ColumnsOrNull(m_mainColumns[k][1]),
                              ColumnsOrNull(m_mainEnergyColumns[k][0]),
                              ColumnsOrNull(m_mainEnergyColumns[k][1])};
    const ConjugateSearch search{kMainCandidates, 1.0f};
    float correlation[kTonalwaveMaxChannels * kTonalwaveMaxBlocks] = {};
    float energy[kTonalwaveMaxChannels * kTonalwaveMaxBlocks] = {};
    float* const vt = arrays.work;
    float* const vw = arrays.work + kConjugateRows;
    float* const vy = arrays.work + 2 * kConjugateRows;
    for (int i = 0; i < vectors.Count(); ++i) {
        const int start = vectors.start[static_cast<size_t>(i)];
        const int count = vectors.LengthOf(i);
        for (int j = 0; j < count; ++j) {
            const int at = vectors.coefficientOf[static_cast<size_t>(start + j)];
            vt[j] = arrays.target[at];
            vw[j] = arrays.weights[at];
        }
        const ConjugateChoice choice =
            SearchConjugatePair(vt, vw, count, vectors.widths[static_cast<size_t>(i)], books, search, vy);
        m_record.vqIndexA[static_cast<size_t>(i)] = choice.indexA;
        m_record.vqIndexB[static_cast<size_t>(i)] = choice.indexB;
        if (m_sink != nullptr)
            m_sink->OnConjugateVector(kind, false, choice, std::span<const float>(vt, static_cast<size_t>(count)),
                                      std::span<const float>(vw, static_cast<size_t>(count)));
        for (int j = 0; j < count; ++j) {
            const int accumulator = vectors.coefficientOf[static_cast<size_t>(start + j)] >> shift;
            correlation[accumulator] += vt[j] * vy[j];
            energy[accumulator] += vy[j] * vw[j] * vy[j];
        }
    }
    const int frameLevels = 1 << p.frameGainBits;
    const int blockLevels = 1 << p.blockGainBits;
    const float frameMax = static_cast<float>(p.frameGainMax);
    const float frameStep = frameMax / static_cast<float>(frameLevels - 1);
    const float blockStep = p.blockGainMax / static_cast<float>(blockLevels - 1);
    for (int c = 0; c < m_channels; ++c) {
        const float* const gains = arrays.gains + static_cast<size_t>(c) * kGainStride;
        if (kind == TonalwaveKind::kLong) {
            const float c2 = gains[0] * correlation[c];
            const float g = c2 / (energy[c] + 1e-10f);
            m_record.gainIndex[c][0] =
                RefineGain(1024.0f * g, c2, energy[c], frameMax, p.gainMu, frameStep, frameLevels);
            continue;
        }
        const float frameGain =
            Expand((static_cast<float>(m_record.gainIndex[c][0]) + 0.5f) * frameStep, frameMax, p.gainMu);
        const float inverse = 1024.0f / (frameGain + 0.1f);
        for (int b = 0; b < blocks; ++b) {
            const int accumulator = c * blocks + b;
            const float c2 = gains[1 + b] * correlation[accumulator];
            const float g = c2 / (energy[accumulator] + 1e-10f);
            m_record.gainIndex[c][1 + b] =
                RefineGain(1024.0f * inverse * g, c2, frameGain / 1024.0f * energy[accumulator], p.blockGainMax,
                           p.gainMu, blockStep, blockLevels);
        }
    }
}

} // namespace sound
