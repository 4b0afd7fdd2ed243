#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <new>

#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/fft.h"

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kBandPredictionWeight[kTonalwaveKinds] = {0.28f, 0.35f, 0.4f}; // long, medium, short
constexpr float kLeastBandValue = 0.1f;
constexpr float kEnvelopeCeilingAfterLoss = 500.0f;
constexpr float kPeakRatio = 1.95f;
constexpr float kPeriodicGainLargest = 25000.0f;
constexpr float kPeriodicGainMu = 200.0f;
constexpr int kMaxBands = 64;

// The concealment window's length by sampling rate.
int ConcealLengthOf(int sampleRate)
{
    if (sampleRate <= 8000)
        return 261;
    if (sampleRate <= 11025)
        return 361;
    if (sampleRate <= 16000)
        return 523;
    if (sampleRate <= 22050)
        return 721;
    return 1435;
}

// Zeros, the slope in the middle of the frame's span, then ones: the rise of a frame that starts with that slope.
std::vector<float> TransitionWindow(int frameSamples, const float* slope, int slopeLength)
{
    std::vector<float> window(static_cast<size_t>(frameSamples), 1.0f);
    const int zeros = (frameSamples - slopeLength) / 2;
    std::fill_n(window.begin(), zeros, 0.0f);
    std::copy_n(slope, slopeLength, window.begin() + zeros);
    return window;
}

// A value that is not finite never reaches the overlap tail, where it would silence every later frame.
float Finite(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

float SignOfHalf(int32_t index)
{
    return (index & 64) != 0 ? -0.5f : 0.5f;
}

} // namespace

std::unique_ptr<TonalwaveDecoder> TonalwaveDecoder::Create(const TonalwaveConfiguration& config, size_t scratchBytes,
                                                           std::span<const int16_t> tables)
{
    const std::span<const int16_t> stored = TablesToOpen(config.set, tables);
    if (stored.empty())
        return nullptr;
    return std::make_unique<TonalwaveDecoder>(config, scratchBytes, stored);
}

TonalwaveDecoder::TonalwaveDecoder(const TonalwaveConfiguration& config, size_t scratchBytes,
                                   std::span<const int16_t> tables)
    : m_layout(BuildLayout(config)), m_scratch(scratchBytes)
{
    const TonalwaveSizes& s = m_layout.sizes;
    m_channels = s.channels;
    m_frameSamples = s.frameSamples;
    m_mediumLength = s.mediumLength;
    m_shortLength = s.shortLength;
    m_frameOrder = TransformOrderOf(m_frameSamples);
    m_quarterBandCut = config.set == TonalwaveSet::k8k6;

    TonalwaveCodebooks books = ConvertCodebooks(config.set, tables);
    m_main = std::move(books.main);
    m_bandBook = std::move(books.band);
    m_bandEdges = books.bandEdges;
    m_bandRowLength = books.bandRowLength;
    m_periodicBook = std::move(books.periodic);
    m_lspStage1 = std::move(books.lspStage1);
    m_lspStage2 = std::move(books.lspStage2);
    m_lspPredictor = std::move(books.lspPredictor);
    m_splitBounds = std::move(books.splitBounds);

    m_longSlope = SineSlope(m_frameSamples, 2.0 * m_frameSamples);
    m_mediumSlope = SineSlope(m_mediumLength, 2.0 * m_mediumLength);
    m_shortSlope = SineSlope(m_shortLength, m_shortLength);
    m_transitionMedium = TransitionWindow(m_frameSamples, m_mediumSlope.data(), m_mediumLength);
    m_transitionShort = TransitionWindow(m_frameSamples, m_shortSlope.data(), m_shortLength / 2);
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        const int length = s.blockLength[k];
        m_imdct[k] = std::make_unique<InverseMdct>(length);
        m_envelopeCos[k].resize(static_cast<size_t>(length));
        for (int j = 0; j < length; ++j)
            m_envelopeCos[k][static_cast<size_t>(j)] = static_cast<float>(std::cos((j + 0.5) * kPi / length));
    }
    m_concealLength = ConcealLengthOf(config.sampleRate);
    m_concealWindow.resize(static_cast<size_t>(m_concealLength));
    for (int n = 1; n <= m_concealLength; ++n)
        m_concealWindow[static_cast<size_t>(n - 1)] =
            static_cast<float>((1.0 - std::cos(2.0 * kPi * n / (m_concealLength + 1))) / 2.0);

    m_coefficients.assign(static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples), 0.0f);
    m_channelState.resize(static_cast<size_t>(m_channels));
    for (ChannelState& channel : m_channelState) {
        channel.tail.assign(static_cast<size_t>(m_frameSamples), 0.0f);
        channel.lastOutput.assign(static_cast<size_t>(m_frameSamples), 0.0f);
        channel.envelope.assign(static_cast<size_t>(m_frameSamples), 1.0f);
        for (std::vector<float>& memory : channel.bandMemory)
            memory.assign(kMaxBands, kLeastBandValue);
    }

    // The transform layer builds an order's tables on first use; building them now keeps the first frame free of
    // allocations.
    std::vector<float> warm(static_cast<size_t>(m_frameSamples) + 2, 0.0f);
    bool warmed = RealFFT(warm, m_frameOrder, FFT_FORWARD | FFT_INIT_ONLY);
    for (size_t k = 0; k < kTonalwaveKinds; ++k)
        warmed = warmed && ComplexFFT(std::span<float>(warm).first(static_cast<size_t>(s.blockLength[k])),
                                      TransformOrderOf(s.blockLength[k] / 2), FFT_FORWARD | FFT_NO_SCALE);
    if (!warmed) // the transform layer could not build its tables: as any failed allocation of open
        throw std::bad_alloc();
}

std::span<const float> TonalwaveDecoder::Tail(int channel) const
{
    return m_channelState[static_cast<size_t>(channel)].tail;
}

std::span<const float> TonalwaveDecoder::Envelope(int channel) const
{
    return m_channelState[static_cast<size_t>(channel)].envelope;
}

std::span<const float> TonalwaveDecoder::Frequencies(int channel) const
{
    const auto order = static_cast<size_t>(ParametersOf(m_layout.config.set).lspOrder);
    return std::span<const float>(m_channelState[static_cast<size_t>(channel)].lastFrequencies).first(order);
}

size_t TonalwaveDecoder::MemoryBytes() const
{
    size_t floats = m_coefficients.capacity() + m_periodicBook.capacity() + m_lspStage1.capacity() +
                    m_lspStage2.capacity() + m_lspPredictor.capacity() + m_longSlope.capacity() +
                    m_mediumSlope.capacity() + m_shortSlope.capacity() + m_transitionMedium.capacity() +
                    m_transitionShort.capacity() + m_concealWindow.capacity();
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        floats += m_main[k][0].capacity() + m_main[k][1].capacity() + m_bandBook[k].capacity() +
                  m_envelopeCos[k].capacity() + 4 * static_cast<size_t>(m_imdct[k]->Length());
    }
    for (const ChannelState& channel : m_channelState) {
        floats += channel.tail.capacity() + channel.lastOutput.capacity() + channel.envelope.capacity();
        for (const std::vector<float>& memory : channel.bandMemory)
            floats += memory.capacity();
    }
    const size_t bytes = sizeof(*this) + floats * sizeof(float) + m_scratch.SizeBytes();
    return bytes + MainVectorBytes(m_layout);
}

bool TonalwaveDecoder::DecodeFrame(const TonalwaveFrameRecord& frame, std::span<float> out)
{
    assert(out.size() >= static_cast<size_t>(m_channels * m_frameSamples) && "C x N output floats");
    bool done = false;
    if (frame.windowCode == kTonalwaveLostWindowCode) {
        if (m_lostFrames < INT_MAX)
            ++m_lostFrames;
        if (m_lostFrames == 1)
            done = ConcealFirstLostFrame(out);
        else {
            ConcealLaterLostFrame(out);
            done = true;
        }
        if (m_concealedFrames < INT_MAX)
            ++m_concealedFrames;
    } else {
        const int lostBefore = m_lostFrames;
        m_lostFrames = 0;
        // Codes 9 to 14 describe no frame of their own and are read as short frames.
        const int code = frame.windowCode >= 0 && frame.windowCode <= 8 ? frame.windowCode : 2;
        done = DecodeGoodFrame(frame, code, lostBefore, out);
        if (lostBefore > 0)
            m_concealedFrames = 0;
        m_lastWindowCode = code;
    }
    if (!done)
        std::fill_n(out.begin(), m_channels * m_frameSamples, 0.0f);
    return done;
}

bool TonalwaveDecoder::DecodeGoodFrame(const TonalwaveFrameRecord& frame, int windowCode, int lostBefore,
                                       std::span<float> out)
{
    const TonalwaveKind kind = KindOfWindowCode(windowCode);
    const auto k = static_cast<size_t>(kind);
    const size_t all = static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    ScratchFrame scratch(m_scratch);
    float* const coefficients = scratch.Take<float>(all);
    float* const fine = scratch.Take<float>(all);
    float* const bands = scratch.Take<float>(all);
    float* const periodic = scratch.Take<float>(all);
    float* const periodicValues = scratch.Take<float>(static_cast<size_t>(m_channels) * 256);
    float* const envelope = scratch.Take<float>(static_cast<size_t>(m_channels) * static_cast<size_t>(length));
    float* const gains = scratch.Take<float>(static_cast<size_t>(m_channels * blocks));
    uint16_t* const selection = scratch.Take<uint16_t>(static_cast<size_t>(length));
    if (scratch.Failed())
        return false;

    DequantizeMain(frame, kind, fine);
    if (kind == TonalwaveKind::kLong)
        DequantizePeriodic(frame, periodicValues, periodic);
    ApplyBandScale(frame, kind, bands);
    BlockGains(frame, kind, gains);
    for (int c = 0; c < m_channels; ++c)
        SmoothEnvelope(frame, c, kind, lostBefore, envelope + static_cast<size_t>(c) * static_cast<size_t>(length));
    for (int block = 0; block < m_channels * blocks; ++block) {
        const float gain = gains[block];
        const float* const shape = envelope + static_cast<size_t>(block / blocks) * static_cast<size_t>(length);
        for (int j = 0; j < length; ++j) {
            const size_t at = static_cast<size_t>(block) * static_cast<size_t>(length) + static_cast<size_t>(j);
            coefficients[at] = Finite((gain * fine[at] * bands[at] + periodic[at]) * shape[j]);
        }
    }
    LimitBandwidth(frame, kind, coefficients, selection);
    std::copy_n(coefficients, all, m_coefficients.begin());
    if (lostBefore > 0)
        FoldTailsAfterLoss(windowCode);
    return Synthesize(coefficients, windowCode, out);
}

void TonalwaveDecoder::DequantizeMain(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* fine) const
{
    const auto k = static_cast<size_t>(kind);
    const TonalwaveVectorSet& vectors = m_layout.vectors[k];
    const auto rowLength = static_cast<size_t>(m_layout.sizes.rowLength[k]);
    for (int i = 0; i < vectors.Count(); ++i) {
        const int32_t a = frame.vqIndexA[static_cast<size_t>(i)];
        const int32_t b = frame.vqIndexB[static_cast<size_t>(i)];
        const float* const rowA = m_main[k][0].data() + static_cast<size_t>(a & 63) * rowLength;
        const float* const rowB = m_main[k][1].data() + static_cast<size_t>(b & 63) * rowLength;
        const float signA = SignOfHalf(a);
        const float signB = SignOfHalf(b);
        const int start = vectors.start[static_cast<size_t>(i)];
        for (int j = 0; j < vectors.LengthOf(i); ++j)
            fine[vectors.coefficientOf[static_cast<size_t>(start + j)]] = signA * rowA[j] + signB * rowB[j];
    }
}

void TonalwaveDecoder::DequantizePeriodic(const TonalwaveFrameRecord& frame, float* values, float* spectrum) const
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const TonalwaveVectorSet& vectors = m_layout.periodic;
    const auto rowLength = static_cast<size_t>(m_layout.sizes.periodicRowLength);
    for (int i = 0; i < vectors.Count(); ++i) {
        const int32_t a = frame.periodicVqA[static_cast<size_t>(i)];
        const int32_t b = frame.periodicVqB[static_cast<size_t>(i)];
        const float* const rowA = m_periodicBook.data() + static_cast<size_t>(a & 63) * rowLength;
        const float* const rowB = m_periodicBook.data() + static_cast<size_t>(64 + (b & 63)) * rowLength;
        const int start = vectors.start[static_cast<size_t>(i)];
        for (int j = 0; j < vectors.LengthOf(i); ++j)
            values[vectors.coefficientOf[static_cast<size_t>(start + j)]] =
                SignOfHalf(a) * rowA[j] + SignOfHalf(b) * rowB[j];
    }
    const PeriodicPlacement placement = PlacementOf(m_layout, m_frameSamples, m_channels);
    PlacePeriodic(std::span<const int32_t>(frame.periodIndex, static_cast<size_t>(m_channels)),
                  std::span<const float>(values, static_cast<size_t>(m_channels * p.periodicLength)),
                  std::span<float>(spectrum, static_cast<size_t>(m_channels * m_frameSamples)), placement);
    const float levels = static_cast<float>((1 << p.periodicGainBits) - 1);
    for (int c = 0; c < m_channels; ++c) {
        const float index = static_cast<float>(frame.periodicGainIndex[c]) + 0.5f;
        const float gain = Expand(index * kPeriodicGainLargest / levels, kPeriodicGainLargest, kPeriodicGainMu);
        float* const channel = spectrum + static_cast<size_t>(c) * static_cast<size_t>(m_frameSamples);
        for (int j = 0; j < m_frameSamples; ++j)
            channel[j] *= gain;
    }
}

void TonalwaveDecoder::ApplyBandScale(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* bands)
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const auto k = static_cast<size_t>(kind);
    const int splits = kind == TonalwaveKind::kLong     ? p.bandIndicesLong
                       : kind == TonalwaveKind::kMedium ? p.bandIndicesMedium
                                                        : p.bandIndicesShort;
    const BandEdges edges = m_bandEdges[k];
    const int rowLength = m_bandRowLength[k];
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const float weight = kBandPredictionWeight[k];
    const int rows = 1 << (kind == TonalwaveKind::kLong     ? p.bandBitsLong
                           : kind == TonalwaveKind::kMedium ? p.bandBitsMedium
                                                            : p.bandBitsShort);
    float current[kMaxBands] = {};
    for (int c = 0; c < m_channels; ++c) {
        std::vector<float>& memory = m_channelState[static_cast<size_t>(c)].bandMemory[k];
        for (int b = 0; b < blocks; ++b) {
            // The splits interleave: element j of split s is band s + j E.
            for (int split = 0; split < splits; ++split) {
                const int index = frame.bandScaleIndex[c][b][split] & (rows - 1);
                const float* const row =
                    m_bandBook[k].data() + static_cast<size_t>(index) * static_cast<size_t>(rowLength);
                for (int j = 0; j < rowLength; ++j)
                    current[split + j * splits] = row[j];
            }
            const float predicted = (frame.bandScalePredFlag[c][b] & 1) != 0 ? weight : 0.0f;
            float* const out = bands + static_cast<size_t>(c * blocks + b) * static_cast<size_t>(length);
            int from = 0;
            for (int band = 0; band < edges.count; ++band) {
                const size_t at = static_cast<size_t>(band);
                const float value =
                    std::max((1.0f - predicted) * current[band] + predicted * memory[at] + 1.0f, kLeastBandValue);
                memory[at] = current[band]; // the memory holds what was decoded, not the predicted value
                const int to = std::min<int>(edges.edges[band], length);
                std::fill(out + from, out + to, value);
                from = to;
            }
        }
    }
}

void TonalwaveDecoder::BlockGains(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* gains) const
{
    const TonalwaveParameterSet& p = ParametersOf(m_layout.config.set);
    const auto frameLevels = static_cast<float>((1 << p.frameGainBits) - 1);
    const auto blockLevels = static_cast<float>((1 << p.blockGainBits) - 1);
    const float frameStep = static_cast<float>(p.frameGainMax) / frameLevels;
    const float blockStep = p.blockGainMax / blockLevels;
    const int blocks = m_layout.sizes.blockCount[static_cast<size_t>(kind)];
    for (int c = 0; c < m_channels; ++c) {
        const float frameGain =
            Expand(static_cast<float>(frame.gainIndex[c][0]) + 0.5f, frameLevels, p.gainMu) * frameStep;
        if (kind == TonalwaveKind::kLong) {
            gains[c] = frameGain / 1024.0f;
            continue;
        }
        for (int b = 0; b < blocks; ++b) {
            const float blockGain =
                Expand(static_cast<float>(frame.gainIndex[c][1 + b]) + 0.5f, blockLevels, p.gainMu) * blockStep;
            gains[c * blocks + b] = frameGain * blockGain / 1048576.0f;
        }
    }
}

void TonalwaveDecoder::SmoothEnvelope(const TonalwaveFrameRecord& frame, int channel, TonalwaveKind kind,
                                      int lostBefore, float* envelope)
{
    const int order = ParametersOf(m_layout.config.set).lspOrder;
    ChannelState& state = m_channelState[static_cast<size_t>(channel)];
    const int32_t* const indices = frame.envelopeIndex[channel];
    float r[kTonalwaveLspStride] = {};
    const size_t firstRows = m_lspStage1.size() / kTonalwaveLspStride;
    const size_t secondRows = m_lspStage2.size() / kTonalwaveLspStride;
    const float* const first =
        m_lspStage1.data() + (static_cast<size_t>(indices[1]) & (firstRows - 1)) * kTonalwaveLspStride;
    for (size_t split = 0; split + 1 < m_splitBounds.size(); ++split) {
        const float* const second =
            m_lspStage2.data() + (static_cast<size_t>(indices[2 + split]) & (secondRows - 1)) * kTonalwaveLspStride;
        for (int k = m_splitBounds[split]; k < m_splitBounds[split + 1]; ++k)
            r[k] = first[k] + second[k];
    }
    KeepLspSpacing(r, order);
    if (channel == 0)
        m_lspFrames = std::min(m_lspFrames + 1, 1);
    float omega[kTonalwaveLspStride] = {};
    float rho[kTonalwaveLspStride] = {};
    float previous[kTonalwaveLspStride] = {};
    const float* const predictor = m_lspPredictor.data() + static_cast<size_t>(indices[0] & 1) * kTonalwaveLspStride;
    for (int k = 0; k < order && m_lspFrames >= 1; ++k) {
        rho[k] = predictor[k];
        previous[k] = state.lspMemory[static_cast<size_t>(k)];
        if (lostBefore > 0) {
            // The memory of the lost frames is unknown: a weaker prediction, from the memory that would have given
            // the last decoded frequencies.
            rho[k] /= static_cast<float>(lostBefore);
            previous[k] = (state.lastFrequencies[static_cast<size_t>(k)] - rho[k] * previous[k]) / (1.0f - rho[k]);
        }
    }
    CombineLsp(r, rho, previous, order, omega);
    for (int k = 0; k < order; ++k) {
        state.lspMemory[static_cast<size_t>(k)] = r[k];
        state.lastFrequencies[static_cast<size_t>(k)] = omega[k];
    }
    const int length = m_layout.sizes.blockLength[static_cast<size_t>(kind)];
    EvaluateEnvelope(kind, std::span<const float>(omega, static_cast<size_t>(order)),
                     std::span<float>(envelope, static_cast<size_t>(length)));
    if (kind == TonalwaveKind::kLong && lostBefore > 0 &&
        std::any_of(envelope, envelope + length, [](float v) { return !(v <= kEnvelopeCeilingAfterLoss); }))
        std::fill_n(envelope, length, 1.0f);
    std::copy_n(envelope, length, state.envelope.begin());
}

void TonalwaveDecoder::EvaluateEnvelope(TonalwaveKind kind, std::span<const float> frequencies,
                                        std::span<float> out) const
{
    float twoCos[kTonalwaveLspStride] = {};
    for (size_t k = 0; k < frequencies.size() && k < kTonalwaveLspStride; ++k)
        twoCos[k] = 2.0f * std::cos(frequencies[k]);
    const int length = m_layout.sizes.blockLength[static_cast<size_t>(kind)];
    assert(out.size() >= static_cast<size_t>(length) && "one value per coefficient of the block");
    if (kind == TonalwaveKind::kShort) {
        for (int j = 0; j < length; ++j)
            out[static_cast<size_t>(j)] = EnvelopeAt(kind, j, twoCos);
    } else {
        EvaluateSparse(kind, twoCos, out.data());
    }
}

// 1 / ((1 - x) B^2 + (1 + x) A^2), x = cos((j + 0.5) pi / L), A over the even frequencies, B over the odd.
float TonalwaveDecoder::EnvelopeAt(TonalwaveKind kind, int j, const float* twoCos) const
{
    const int order = ParametersOf(m_layout.config.set).lspOrder;
    const float x = m_envelopeCos[static_cast<size_t>(kind)][static_cast<size_t>(j)];
    float a = 1.0f;
    float b = 1.0f;
    for (int k = 0; k < order; k += 2) {
        a *= 2.0f * x - twoCos[k];
        b *= 2.0f * x - twoCos[k + 1];
    }
    return 1.0f / ((1.0f - x) * b * b + (1.0f + x) * a * a);
}

// Direct values on a coarse grid (every low step below L/2, every high step above), linear between them; a span
// whose far end stands out as a peak gets one more direct value in its middle.
void TonalwaveDecoder::EvaluateSparse(TonalwaveKind kind, const float* twoCos, float* envelope) const
{
    const int length = m_layout.sizes.blockLength[static_cast<size_t>(kind)];
    const int low = kind == TonalwaveKind::kLong ? 8 : 2;
    const int high = 2 * low;
    const int half = length / 2;
    const std::array<float, 52>& weights = InterpolationWeights();
    auto fill = [&](int from, int to) {
        const int span = to - from;
        if (span < 2)
            return;
        const int offset = InterpolationWeightOffset(span);
        for (int k = 1; k < span; ++k) {
            const float w = weights[static_cast<size_t>(offset + 2 * (k - 1))];
            envelope[from + k] = (1.0f - w) * envelope[from] + w * envelope[to];
        }
    };
    auto stands = [&](int a, int mid, int b) {
        return envelope[a] + envelope[b] < kPeakRatio * envelope[mid] && envelope[a] > envelope[b];
    };
    for (int j = 0; j < half; j += low)
        envelope[j] = EnvelopeAt(kind, j, twoCos);
    for (int j = half; j <= length - high; j += high)
        envelope[j] = EnvelopeAt(kind, j, twoCos);
    auto span = [&](int from, int step, bool tested) {
        if (tested && stands(from, from + step, from + 2 * step)) {
            const int mid = from + step / 2;
            envelope[mid] = EnvelopeAt(kind, mid, twoCos);
            fill(from, mid);
            fill(mid, from + step);
        } else {
            fill(from, from + step);
        }
    };
    for (int from = 0; from < half; from += low)
        span(from, low, from + 2 * low <= half && from + low < half);
    for (int from = half; from + high < length; from += high)
        span(from, high, from + 2 * high < length);
    std::fill(envelope + length - high + 1, envelope + length, envelope[length - high]);
}

void TonalwaveDecoder::LimitBandwidth(const TonalwaveFrameRecord& frame, TonalwaveKind kind, float* coefficients,
                                      uint16_t* work) const
{
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_channels * m_layout.sizes.blockCount[k];
    const int coded = m_quarterBandCut ? 3 * length / 4 : length;
    const int code = kind == TonalwaveKind::kShort ? 0 : frame.bandwidthCode & 3;
    for (int block = 0; block < blocks; ++block) {
        float* const values = coefficients + static_cast<size_t>(block) * static_cast<size_t>(length);
        std::fill(values + coded, values + length, 0.0f);
        if (code != 0) // keeps 70, 50 or 30 per cent of the coded band
            KeepLargest(std::span<float>(values, static_cast<size_t>(coded)), coded * (9 - 2 * code) / 10,
                        std::span<uint16_t>(work, static_cast<size_t>(length)));
    }
}

WindowShape TonalwaveDecoder::ShapeOfCode(int windowCode) const
{
    return ShapeOfWindowCode(windowCode, {m_longSlope, m_mediumSlope, m_shortSlope});
}

bool TonalwaveDecoder::SynthesizeCoefficients(std::span<const float> coefficients, int windowCode, std::span<float> out)
{
    if (coefficients.size() < static_cast<size_t>(m_channels * m_frameSamples) ||
        out.size() < static_cast<size_t>(m_channels * m_frameSamples))
        return false;
    m_lastWindowCode = windowCode;
    return Synthesize(coefficients.data(), windowCode, out);
}

// Overlap-add of the frame's blocks on top of the tail: the first N samples are the output, the next N the new
// tail. Medium and short blocks sit centred in the frame's 2N samples, (N - L)/2 from its start.
bool TonalwaveDecoder::Synthesize(const float* coefficients, int windowCode, std::span<float> out)
{
    const int n = m_frameSamples;
    const TonalwaveKind kind = KindOfWindowCode(windowCode);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    const int offset = (n - length) / 2;
    ScratchFrame scratch(m_scratch);
    float* const work = scratch.Take<float>(2 * static_cast<size_t>(n));
    float* const y = scratch.Take<float>(2 * static_cast<size_t>(length));
    float* const transform = scratch.Take<float>(static_cast<size_t>(length));
    if (scratch.Failed())
        return false;
    for (int c = 0; c < m_channels; ++c) {
        ChannelState& state = m_channelState[static_cast<size_t>(c)];
        std::copy(state.tail.begin(), state.tail.end(), work);
        std::fill(work + n, work + 2 * n, 0.0f);
        for (int b = 0; b < blocks; ++b) {
            int blockCode = windowCode;
            if (kind == TonalwaveKind::kMedium)
                blockCode = (b == 0 && windowCode == 4) ? 4 : (b == blocks - 1 && windowCode == 7) ? 7 : 8;
            else if (kind == TonalwaveKind::kShort)
                blockCode = 2;
            const float* const block = coefficients + static_cast<size_t>(c) * static_cast<size_t>(n) +
                                       static_cast<size_t>(b) * static_cast<size_t>(length);
            const bool ran = m_imdct[k]->Run(block, y, transform);
            assert(ran && "the transform layer takes every block length of an open decoder");
            if (!ran)
                return false;
            AddWindowed(y, ShapeOfCode(blockCode), work + offset + b * length);
        }
        float* const channelOut = out.data() + static_cast<size_t>(c) * static_cast<size_t>(n);
        for (int j = 0; j < n; ++j) {
            channelOut[j] = Finite(work[j]);
            state.tail[static_cast<size_t>(j)] = Finite(work[n + j]);
        }
        std::copy_n(channelOut, n, state.lastOutput.begin());
    }
    return true;
}

// The rising window of a frame that starts with the window code's left slope, spread over N samples.
const float* TonalwaveDecoder::RisingWindowBefore(int windowCode) const
{
    switch (windowCode) {
    case 2:
    case 3:
    case 4:
        return m_transitionShort.data();
    case 5:
    case 7:
    case 8:
        return m_transitionMedium.data();
    default:
        return m_longSlope.data();
    }
}

// The rising window that matches the right slope a frame of the window code ends with.
const float* TonalwaveDecoder::RisingWindowAfter(int windowCode) const
{
    switch (windowCode) {
    case 1:
    case 2:
    case 7:
        return m_transitionShort.data();
    case 4:
    case 6:
    case 8:
        return m_transitionMedium.data();
    default:
        return m_longSlope.data();
    }
}

// After concealment the tail is no windowed overlap of a transform: shape it as one, folded the way the new
// frame's rising half expects, so that the overlap-add joins them.
void TonalwaveDecoder::FoldTailsAfterLoss(int windowCode)
{
    const int n = m_frameSamples;
    const float* const rise = RisingWindowBefore(windowCode);
    for (ChannelState& state : m_channelState) {
        float* const tail = state.tail.data();
        for (int j = 0; j < n; ++j)
            tail[j] *= rise[n - 1 - j];
        for (int j = 0; j < n / 2; ++j) {
            const float sum = tail[j] + tail[n - 1 - j];
            tail[j] = sum;
            tail[n - 1 - j] = sum;
        }
        for (int j = 0; j < n; ++j)
            tail[j] *= rise[n - 1 - j];
    }
}

// The first lost frame continues the signal from the strongest partials of the last output and tail.
bool TonalwaveDecoder::ConcealFirstLostFrame(std::span<float> out)
{
    const int n = m_frameSamples;
    const int h = m_concealLength / 2;
    const int bins = n / 2 + 1;
    ScratchFrame scratch(m_scratch);
    // The forward real transform writes N + 2 floats: the packed spectrum's last bin.
    float* const spectrum = scratch.Take<float>(static_cast<size_t>(n) + 2);
    float* const segment = scratch.Take<float>(static_cast<size_t>(m_concealLength));
    float* const shaped = scratch.Take<float>(static_cast<size_t>(n));
    uint8_t* const peaks = scratch.Take<uint8_t>(static_cast<size_t>(bins));
    if (scratch.Failed())
        return false;
    const std::span<float> packed(spectrum, static_cast<size_t>(n) + 2);
    float scale = 0.0f;
    const float* const rise = RisingWindowAfter(m_lastWindowCode);
    for (int c = 0; c < m_channels; ++c) {
        ChannelState& state = m_channelState[static_cast<size_t>(c)];
        for (int i = 0; i < h; ++i)
            segment[i] = state.lastOutput[static_cast<size_t>(n - h + i)];
        for (int i = 0; i <= h; ++i)
            segment[h + i] = state.tail[static_cast<size_t>(i)];
        for (int i = 0; i < m_concealLength; ++i)
            segment[i] *= m_concealWindow[static_cast<size_t>(i)];
        std::fill(packed.begin(), packed.end(), 0.0f);
        std::copy(segment + h, segment + 2 * h + 1, spectrum);
        std::copy(segment, segment + h, spectrum + n - h);
        const bool forward = RealFFT(packed, m_frameOrder, FFT_FORWARD);
        assert(forward && "the spectrum buffer holds N + 2 floats");
        if (c == 0) {
            int count = 0;
            for (int k = 0; k < bins; ++k) {
                auto power = [&](int bin) {
                    return spectrum[2 * bin] * spectrum[2 * bin] + spectrum[2 * bin + 1] * spectrum[2 * bin + 1];
                };
                const int below = k == 0 ? 1 : k - 1;
                const int above = k == bins - 1 ? bins - 2 : k + 1;
                peaks[k] = power(k) >= power(below) && power(k) >= power(above) ? 1 : 0;
                count += peaks[k];
            }
            scale = count > 0 ? 0.25f / static_cast<float>(count) : 0.0f;
        }
        for (int k = 0; k < bins; ++k) {
            if (peaks[k] == 0) {
                spectrum[2 * k] = 0.0f;
                spectrum[2 * k + 1] = 0.0f;
            }
        }
        const bool inverse = RealInverseFFT(packed, m_frameOrder, FFT_NO_SCALE);
        assert(inverse && "the spectrum buffer holds N + 2 floats");
        if (!forward || !inverse)
            return false;
        for (int j = 0; j < n; ++j) {
            spectrum[j] = Finite(spectrum[j] * scale); // y
            shaped[j] = spectrum[j] * rise[j];
        }
        for (int j = 0; j < n / 2; ++j) {
            const float folded = shaped[j] - shaped[n - 1 - j];
            shaped[j] = folded;
            shaped[n - 1 - j] = -folded;
        }
        float* const channelOut = out.data() + static_cast<size_t>(c) * static_cast<size_t>(n);
        for (int j = 0; j < n; ++j) {
            channelOut[j] = Finite(shaped[j] * rise[j] + state.tail[static_cast<size_t>(j)]);
            state.tail[static_cast<size_t>(j)] = spectrum[j];
        }
        std::copy_n(channelOut, n, state.lastOutput.begin());
    }
    return true;
}

// Later lost frames: the extrapolated tail twice more, then faded out, then silence.
void TonalwaveDecoder::ConcealLaterLostFrame(std::span<float> out)
{
    const int n = m_frameSamples;
    for (int c = 0; c < m_channels; ++c) {
        ChannelState& state = m_channelState[static_cast<size_t>(c)];
        float* const channelOut = out.data() + static_cast<size_t>(c) * static_cast<size_t>(n);
        if (m_lostFrames <= 3) {
            std::copy(state.tail.begin(), state.tail.end(), channelOut);
        } else if (m_lostFrames == 4) {
            for (int j = 0; j < n; ++j)
                channelOut[j] = state.tail[static_cast<size_t>(j)] * m_longSlope[static_cast<size_t>(n - 1 - j)];
            std::fill(state.tail.begin(), state.tail.end(), 0.0f);
        } else {
            std::fill_n(channelOut, n, 0.0f);
        }
        std::copy_n(channelOut, n, state.lastOutput.begin());
    }
}

} // namespace sound
