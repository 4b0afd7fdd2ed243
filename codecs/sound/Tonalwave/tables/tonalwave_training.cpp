#include "codecs/sound/Tonalwave/tables/tonalwave_training.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

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

// Weighted sums per stored value, and the error of the pass that gathered them.
class Accumulator : public TonalwaveTrainingSink {
public:
    Accumulator(TonalwaveSet set, std::span<const int16_t> tables)
        : m_shape(ShapeOf(set)), m_tables(tables), m_sum(tables.size(), 0.0), m_weight(tables.size(), 0.0)
    {
        for (size_t k = 0; k < kTonalwaveKinds; ++k) {
            const int rows = static_cast<int>(m_shape.bandSize[k]) > 0 ? RowsOf(set, k) : 1;
            m_bandRowLength[k] = m_shape.bandSize[k] / static_cast<size_t>(rows);
        }
    }

    void OnLsp(std::span<const float> target, std::span<const float> weights, const LspChoice& choice) override
    {
        LspObservation seen;
        std::copy(target.begin(), target.end(), seen.target.begin());
        std::copy(weights.begin(), weights.end(), seen.weights.begin());
        seen.indices = choice.indices;
        const auto order = static_cast<size_t>(m_shape.lspOrder);
        double error = 0.0;
        for (size_t s = 0; s + 1 < m_splitBounds.size(); ++s) {
            for (auto i = static_cast<size_t>(m_splitBounds[s]); i < static_cast<size_t>(m_splitBounds[s + 1]); ++i) {
                const double diff = target[i] - Stage1(m_tables, seen, i, order) - Stage2(m_tables, seen, s, i, order);
                error += weights[i] * diff * diff;
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

    void SetSplitBounds(std::vector<int> bounds) { m_splitBounds = std::move(bounds); }

    TonalwaveTrainingPass Result() const
    {
        TonalwaveTrainingPass pass = m_pass;
        if (pass.lspFrames > 0)
            pass.lspError /= static_cast<double>(pass.lspFrames);
        if (pass.bandVectors > 0)
            pass.bandError /= static_cast<double>(pass.bandVectors);
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
        return out;
    }

private:
    struct LspObservation {
        std::array<float, kLspMaxOrder> target = {};
        std::array<float, kLspMaxOrder> weights = {};
        std::array<int32_t, 2 + 4> indices = {};
    };

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
    std::vector<int> m_splitBounds;
    TonalwaveTrainingPass m_pass;
};

// Codes every sound with tables through the accumulator: a fresh encoder per sound, the last frame padded with
// zeros and two frames of zeros after it, as the frame driver closes a file.
bool CodePass(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds, Accumulator& accumulator,
              std::span<const int16_t> tables)
{
    // An empty span would open the committed tables instead of the ones counted here.
    const std::optional<TonalwaveConfiguration> config = MonoConfigurationOf(set);
    if (!config || tables.size() != ShapeOf(set).total)
        return false;
    std::vector<uint8_t> ring(558);
    for (const std::vector<int16_t>& sound : sounds) {
        std::unique_ptr<TonalwaveEncoder> encoder =
            TonalwaveEncoder::Create(*config, kTonalwaveEncoderScratchBytes, tables);
        if (!encoder)
            return false;
        encoder->SetTrainingSink(&accumulator);
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
    }
    return true;
}

std::vector<int> SplitBoundsOf(TonalwaveSet set)
{
    const TonalwaveParameterSet& p = ParametersOf(set);
    return SplitBoundaries(p.lspSplits, p.lspOrder);
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
    Accumulator accumulator(set, tables);
    accumulator.SetSplitBounds(SplitBoundsOf(set));
    CodePass(set, sounds, accumulator, tables);
    return accumulator.Result();
}

std::vector<int16_t> TrainTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                          std::span<const int16_t> start, int passes,
                                          std::vector<TonalwaveTrainingPass>& outPasses)
{
    std::vector<int16_t> tables(start.begin(), start.end());
    for (int pass = 0; pass < passes; ++pass) {
        Accumulator accumulator(set, tables);
        accumulator.SetSplitBounds(SplitBoundsOf(set));
        if (!CodePass(set, sounds, accumulator, tables))
            break;
        outPasses.push_back(accumulator.Result());
        tables = accumulator.Updated();
    }
    outPasses.push_back(MeasureTonalwaveTables(set, sounds, tables));
    return tables;
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
    std::string header = "// wrote this file: do not edit. Envelope codebooks of the ";
    header += NameOf(set);
    header += " set trained on synthesised speech;\n// the other codebooks are the bootstrap draws.\n";
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
