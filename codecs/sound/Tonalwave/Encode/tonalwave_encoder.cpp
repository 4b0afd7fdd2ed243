#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>

#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"
#include "codecs/sound/fft.h"

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kHalfSqrt2 = 0.70710677f;
constexpr float kLeastBandValue = 0.1f;
constexpr int kMaxBands = 64;

// w[0] = 0.08 and w[k] = 0.54 - 0.46 cos(2 pi (k + 1) / L) above: the detectors' window.
std::vector<float> HammingWindow(int length)
{
    std::vector<float> window(static_cast<size_t>(length));
    window[0] = 0.08f;
    for (int k = 1; k < length; ++k)
        window[static_cast<size_t>(k)] = static_cast<float>(0.54 - 0.46 * std::cos(2.0 * kPi * (k + 1) / length));
    return window;
}

// The lag-window bandwidth of the LPC analysis by sampling rate, in Hz.
double LagBandwidthOf(int sampleRate)
{
    return sampleRate >= 22050 ? 450.0 : 240.0;
}

// The rows of a conjugate book stored by column; left empty (the search then reads the rows) for a book that is not
// 64 rows of rowLength.
void ByColumn(const std::vector<float>& rows, int rowLength, std::vector<float>& columns)
{
    columns.clear();
    if (rowLength <= 0 || rows.size() != static_cast<size_t>(kConjugateRows) * static_cast<size_t>(rowLength))
        return;
    columns.resize(rows.size());
    StoreByColumn(rows.data(), rowLength, columns.data());
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Open and tables

std::unique_ptr<TonalwaveEncoder> TonalwaveEncoder::Create(const TonalwaveConfiguration& config, size_t scratchBytes,
                                                           std::span<const int16_t> tables)
{
    const std::span<const int16_t> stored = TablesToOpen(config.set, tables);
    if (stored.empty())
        return nullptr;
    return std::make_unique<TonalwaveEncoder>(config, scratchBytes, stored);
}

TonalwaveEncoder::TonalwaveEncoder(const TonalwaveConfiguration& config, size_t scratchBytes,
                                   std::span<const int16_t> tables)
    : m_layout(BuildLayout(config)), m_scratch(scratchBytes)
{
    const TonalwaveSizes& s = m_layout.sizes;
    const TonalwaveParameterSet& p = ParametersOf(config.set);
    m_channels = s.channels;
    m_frameSamples = s.frameSamples;
    m_frameOrder = TransformOrderOf(m_frameSamples);
    m_quarterBandCut = config.set == TonalwaveSet::k8k6;
    m_periodicCandidates = config.sampleRate >= 22050 ? 3 : 8;

    TonalwaveCodebooks books = ConvertCodebooks(config.set, tables);
    m_main = std::move(books.main);
    m_bandBook = std::move(books.band);
    m_bandEdges = books.bandEdges;
    m_bandRowLength = books.bandRowLength;
    m_lspStage1 = std::move(books.lspStage1);
    m_lspStage2 = std::move(books.lspStage2);
    m_lspPredictor = std::move(books.lspPredictor);
    m_splitBounds = std::move(books.splitBounds);
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        for (size_t half = 0; half < 2; ++half) {
            m_mainEnergy[k][half].resize(m_main[k][half].size());
            CodebookEnergies(m_main[k][half], m_mainEnergy[k][half]);
            ByColumn(m_main[k][half], s.rowLength[k], m_mainColumns[k][half]);
            ByColumn(m_mainEnergy[k][half], s.rowLength[k], m_mainEnergyColumns[k][half]);
        }
    }
    // The search takes each codebook of the periodic pair on its own.
    const size_t periodicHalf = books.periodic.size() / 2;
    for (size_t half = 0; half < 2; ++half) {
        const auto first = books.periodic.begin() + static_cast<ptrdiff_t>(half * periodicHalf);
        m_periodicBook[half].assign(first, first + static_cast<ptrdiff_t>(periodicHalf));
        m_periodicEnergy[half].resize(periodicHalf);
        CodebookEnergies(m_periodicBook[half], m_periodicEnergy[half]);
        ByColumn(m_periodicBook[half], s.periodicRowLength, m_periodicColumns[half]);
        ByColumn(m_periodicEnergy[half], s.periodicRowLength, m_periodicEnergyColumns[half]);
    }
    TabulatePeriodicPositions();
    m_lpc = std::make_unique<LspAnalysis>(p.lspOrder, LagBandwidthOf(config.sampleRate), config.sampleRate);

    m_longSlope = SineSlope(m_frameSamples, 2.0 * m_frameSamples);
    m_mediumSlope = SineSlope(s.mediumLength, 2.0 * s.mediumLength);
    m_shortSlope = SineSlope(s.shortLength, s.shortLength);
    m_hamming = HammingWindow(2 * m_frameSamples);
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        const int length = s.blockLength[k];
        m_pre[k].resize(static_cast<size_t>(length));
        m_post[k].resize(static_cast<size_t>(length));
        const double scale = std::sqrt(2.0 / length); // with the inverse's, the sine windows overlap-add to 1
        for (int m = 0; m < length / 2; ++m) {
            m_pre[k][2 * static_cast<size_t>(m)] = static_cast<float>(std::cos(kPi * m / length));
            m_pre[k][2 * static_cast<size_t>(m) + 1] = static_cast<float>(-std::sin(kPi * m / length));
            m_post[k][2 * static_cast<size_t>(m)] = static_cast<float>(scale * std::cos(kPi * (m + 0.25) / length));
            m_post[k][2 * static_cast<size_t>(m) + 1] =
                static_cast<float>(-scale * std::sin(kPi * (m + 0.25) / length));
        }
        m_cosines[k].resize(static_cast<size_t>(length));
        for (int j = 0; j < length; ++j)
            m_cosines[k][static_cast<size_t>(j)] = static_cast<float>(std::cos((j + 0.5) * kPi / length));
    }

    // Attack detector parameters by rate (and frame size at 22 kHz).
    if (config.sampleRate <= 8000)
        m_attack = {1.3f, 1.8f, 3.0f, 1.8f, 512, 64, 256, 256};
    else if (config.sampleRate <= 11025)
        m_attack = {1.5f, 2.0f, 4.0f, 1.7f, 512, 64, 256, 512};
    else if (m_frameSamples == 512)
        m_attack = {1.5f, 2.5f, 5.0f, 3.0f, 512, 128, 256, 512};
    else
        m_attack = {1.3f, 1.5f, 3.0f, 2.5f, 1024, 128, 512, 1024};
    m_attackDecay = static_cast<float>(std::exp(-m_attack.hop / (0.08 * config.sampleRate)));
    {
        const double m = std::trunc(0.5 * std::log(0.5) / std::log(std::cos(kPi * 0.02 / 2.0)));
        m_attackLagFactor = static_cast<float>(m / (m + 1.0));
    }
    m_attackWindow = HammingWindow(m_attack.length);

    const size_t all = static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples);
    m_history.assign(3 * all, 0.0f);
    m_spectrum.assign(all, 0.0f);
    m_channelState.resize(static_cast<size_t>(m_channels));
    for (ChannelState& channel : m_channelState) {
        channel.attack.buffer.assign(static_cast<size_t>(m_attack.length) + 1, 0.0f);
        m_lpc->EvenLsp(channel.lastLsp);
        channel.quantisedLsp = channel.lastLsp;
        for (std::vector<float>& memory : channel.bandMemory)
            memory.assign(kMaxBands, kLeastBandValue);
        channel.inversePower.assign(static_cast<size_t>(m_frameSamples), 1.0f);
    }

    // The transform layer builds an order's tables on first use; building them now keeps every frame free of
    // allocations.
    std::vector<float> warm(2 * static_cast<size_t>(m_frameSamples) + 2, 0.0f);
    bool warmed = RealFFT(warm, m_frameOrder + 1, FFT_FORWARD | FFT_INIT_ONLY) &&
                  RealFFT(warm, m_frameOrder, FFT_FORWARD | FFT_INIT_ONLY) &&
                  ComplexFFT(std::span<float>(warm).first(2 * static_cast<size_t>(m_frameSamples)), m_frameOrder,
                             FFT_FORWARD | FFT_NO_SCALE);
    for (size_t k = 0; k < kTonalwaveKinds; ++k)
        warmed = warmed && ComplexFFT(std::span<float>(warm).first(static_cast<size_t>(s.blockLength[k])),
                                      TransformOrderOf(s.blockLength[k] / 2), FFT_FORWARD | FFT_NO_SCALE);
    if (!warmed) // the transform layer could not build its tables: as any failed allocation of open
        throw std::bad_alloc();
}

std::span<const float> TonalwaveEncoder::QuantisedLsp(int channel) const
{
    const auto order = static_cast<size_t>(m_lpc->Order());
    return std::span<const float>(m_channelState[static_cast<size_t>(channel)].quantisedLsp).first(order);
}

std::span<const float> TonalwaveEncoder::InversePower(int channel) const
{
    return m_channelState[static_cast<size_t>(channel)].inversePower;
}

size_t TonalwaveEncoder::MemoryBytes() const
{
    size_t floats = m_lspStage1.capacity() + m_lspStage2.capacity() + m_lspPredictor.capacity() +
                    m_longSlope.capacity() + m_mediumSlope.capacity() + m_shortSlope.capacity() + m_hamming.capacity() +
                    m_attackWindow.capacity() + m_history.capacity() + m_spectrum.capacity();
    for (size_t k = 0; k < kTonalwaveKinds; ++k) {
        floats += m_main[k][0].capacity() + m_main[k][1].capacity() + m_mainEnergy[k][0].capacity() +
                  m_mainEnergy[k][1].capacity() + m_bandBook[k].capacity() + m_pre[k].capacity() +
                  m_post[k].capacity() + m_cosines[k].capacity();
        for (size_t half = 0; half < 2; ++half)
            floats += m_mainColumns[k][half].capacity() + m_mainEnergyColumns[k][half].capacity();
    }
    for (size_t half = 0; half < 2; ++half)
        floats += m_periodicBook[half].capacity() + m_periodicEnergy[half].capacity() +
                  m_periodicColumns[half].capacity() + m_periodicEnergyColumns[half].capacity();
    for (const ChannelState& channel : m_channelState) {
        floats += channel.attack.buffer.capacity() + channel.inversePower.capacity();
        for (const std::vector<float>& memory : channel.bandMemory)
            floats += memory.capacity();
    }
    const size_t bytes = sizeof(*this) + sizeof(LspAnalysis) + kLspGridPoints * sizeof(double) +
                         floats * sizeof(float) + m_periodicPositions.capacity() * sizeof(int16_t) +
                         m_scratch.SizeBytes() + m_channelState.capacity() * sizeof(ChannelState);
    return bytes + MainVectorBytes(m_layout);
}

// ---------------------------------------------------------------------------------------------------------------
// The frame call

bool TonalwaveEncoder::EncodeFrame(std::span<const int16_t> samples, std::span<uint8_t> ring, RingPosition& position)
{
    const size_t all = static_cast<size_t>(m_channels) * static_cast<size_t>(m_frameSamples);
    ConvertInput(samples);
    ScratchFrame scratch(m_scratch);
    FrameArrays arrays{};
    arrays.spectrum = scratch.Take<float>(all);
    arrays.inversePower = scratch.Take<float>(all);
    arrays.envelope = scratch.Take<float>(all);
    arrays.flat = scratch.Take<float>(all);
    arrays.periodic = scratch.Take<float>(all);
    arrays.bands = scratch.Take<float>(all);
    arrays.target = scratch.Take<float>(all);
    arrays.weights = scratch.Take<float>(all);
    arrays.gains = scratch.Take<float>(static_cast<size_t>(m_channels) * (1 + kTonalwaveMaxBlocks));
    arrays.work = scratch.Take<float>(4 * static_cast<size_t>(m_frameSamples) + 4);
    arrays.selection = scratch.Take<uint16_t>(static_cast<size_t>(m_frameSamples));
    if (scratch.Failed())
        return false;

    m_record = TonalwaveFrameRecord{};
    DecideWindow();
    if (!Transform(arrays.spectrum, arrays.work))
        return false;
    std::copy_n(arrays.spectrum, all, m_spectrum.begin());
    AnalyseEnvelope(arrays);
    LimitBandwidth(arrays);
    if (m_record.blockKind == static_cast<int>(TonalwaveKind::kLong))
        AnalysePeriodic(arrays);
    BandScaleEnvelope(arrays);
    NormaliseGains(arrays);
    ComputeWeights(arrays);
    QuantiseCoefficients(arrays);
    m_previousWindowCode = m_record.windowCode;

    std::copy(m_history.begin() + static_cast<ptrdiff_t>(all), m_history.end(), m_history.begin());
    BuildFieldList(m_record, m_layout, m_fields);
    WriteFieldList(ring, position, m_fields.View(), m_layout);
    return true;
}

// Stereo becomes mid and side; the newest block is the last third of the history.
void TonalwaveEncoder::ConvertInput(std::span<const int16_t> samples)
{
    const auto n = static_cast<size_t>(m_frameSamples);
    float* const newest = m_history.data() + 2 * n * static_cast<size_t>(m_channels);
    if (m_channels == 1) {
        for (size_t i = 0; i < n; ++i)
            newest[i] = static_cast<float>(samples[i]);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const auto left = static_cast<float>(samples[2 * i]);
        const auto right = static_cast<float>(samples[2 * i + 1]);
        newest[i] = (left + right) * kHalfSqrt2;
        newest[n + i] = (left - right) * kHalfSqrt2;
    }
}

// count samples of one channel from position from, relative to the start of the block being coded (-N .. 2N).
void TonalwaveEncoder::Gather(int channel, int from, int count, float* out) const
{
    const int n = m_frameSamples;
    const size_t block = static_cast<size_t>(m_channels) * static_cast<size_t>(n);
    for (int i = 0; i < count; ++i) {
        const int at = from + i + n; // 0 .. 3N within the history
        assert(at >= 0 && at < 3 * n && "a run inside the three blocks");
        const size_t index = static_cast<size_t>(at / n) * block +
                             static_cast<size_t>(channel) * static_cast<size_t>(n) + static_cast<size_t>(at % n);
        out[i] = m_history[index];
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Window decision

void TonalwaveEncoder::DecideWindow()
{
    ScratchFrame scratch(m_scratch);
    float* const work = scratch.Take<float>(2 * static_cast<size_t>(m_frameSamples) + 2);
    float* const cepstrum = scratch.Take<float>(static_cast<size_t>(m_frameSamples) + 2);
    int fine = 0;
    if (!scratch.Failed()) {
        ClassifySignal(work, cepstrum);
        fine = m_analysis.fineStructureFlag;
    }
    m_analysis.fineStructureFlag = fine;
    bool transient = false;
    bool medium = false;
    DetectAttacks(transient, medium);
    m_analysis.transient = transient;
    m_analysis.mediumWanted = medium;
    int code = NextWindowCode(transient, medium, m_sequencer);
    if (m_pinnedWindowCode) {
        code = *m_pinnedWindowCode;
        m_sequencer.previousCode = code;
    }
    m_record.windowCode = code;
    m_record.blockKind = static_cast<int>(KindOfWindowCode(code));
    m_record.bandwidthCode = m_bandwidthCode;
    m_analysis.windowCode = code;
}

// The fine-structure flag and the bandwidth code from the cepstrum of each channel's 2N samples.
void TonalwaveEncoder::ClassifySignal(float* work, float* cepstrum)
{
    const int n = m_frameSamples;
    int fine = 0;
    const int stored = m_bandwidthCode;
    int bandwidth = stored;
    for (int c = 0; c < m_channels; ++c) {
        ChannelState& state = m_channelState[static_cast<size_t>(c)];
        Gather(c, -n, 2 * n, work);
        for (int i = 0; i < 2 * n; ++i)
            work[i] *= m_hamming[static_cast<size_t>(i)];
        // A forward real transform writes two floats past its input: the buffers hold them.
        const bool spectrum =
            RealFFT(std::span<float>(work, 2 * static_cast<size_t>(n) + 2), m_frameOrder + 1, FFT_FORWARD);
        assert(spectrum && "the classifier's buffer holds 2N + 2 floats");
        for (int k = 0; k < n; ++k)
            cepstrum[k] = std::log(work[2 * k] * work[2 * k] + work[2 * k + 1] * work[2 * k + 1] + 1e-10f);
        const bool second = RealFFT(std::span<float>(cepstrum, static_cast<size_t>(n) + 2), m_frameOrder, FFT_FORWARD);
        assert(second && "the cepstrum's buffer holds N + 2 floats");
        if (!spectrum || !second)
            continue;
        auto power = [&](int k) {
            return cepstrum[2 * k] * cepstrum[2 * k] + cepstrum[2 * k + 1] * cepstrum[2 * k + 1] + 1e-10f;
        };
        float a = 0.0f;
        for (int k = 10; k < n / 4; ++k)
            a += power(k);
        float b = 0.0f;
        for (int k = 1; k <= 9; ++k)
            b += power(k);
        const float r1 = a / (a + b);
        const float m1 = 0.5f * (r1 + state.previousR1);
        if (m1 > 0.35f || power(1) / power(2) > 5.0f)
            fine = 1;
        float low = 0.0f;
        for (int k = 10; k < 30; ++k)
            low += power(k);
        float wide = 0.0f;
        for (int k = 10; k < 100 && k < n / 2; ++k)
            wide += power(k);
        const float r2 = low / (1e-10f + wide);
        const float m2 = 0.5f * (r2 + state.previousR2);
        if (stored != 1 && m2 > 0.8f)
            bandwidth = 1;
        else if (stored == 1 && m2 < 0.45f)
            bandwidth = 0;
        state.previousR1 = r1;
        state.previousR2 = r2;
    }
    m_analysis.fineStructureFlag = fine;
    m_bandwidthCode = bandwidth;
}

// T (a transient ahead) and W (medium blocks wanted) from the hop energies of the look-ahead, after a first-order
// prediction that keeps steady tones from looking like attacks.
void TonalwaveEncoder::DetectAttacks(bool& transient, bool& medium)
{
    const AttackParameters& p = m_attack;
    const int n = m_frameSamples;
    const int hops = n / p.hop;
    const int start = m_layout.sizes.shortLength / 2 + n / 2;
    const bool fine = m_analysis.fineStructureFlag != 0;
    transient = m_transientCarried;
    medium = false;
    m_transientCarried = false;
    float windowed[2048];
    for (int c = 0; c < m_channels; ++c) {
        AttackState& state = m_channelState[static_cast<size_t>(c)].attack;
        float* const buffer = state.buffer.data();
        const int size = p.length + 1;
        for (int h = 0; h < hops; ++h) {
            std::copy(buffer + p.hop, buffer + size, buffer);
            Gather(c, start + h * p.hop, p.hop, buffer + size - p.hop);
            const float* const x = buffer + 1; // the L samples; buffer[0] is the one before
            for (int i = 0; i < p.length; ++i)
                windowed[i] = x[i] * m_attackWindow[static_cast<size_t>(i)];
            // The energy, the two correlations and the residual are four independent sums; one pass adds them side
            // by side rather than each waiting on its own last addition, every sum still in sample order. The
            // residual filters with the coefficient of the hop before.
            float q = 0.1f;
            double r0 = 0.0;
            double r1 = 0.0;
            float residual = 0.0f;
            const int energyFrom = size - 1 - p.energyLength;
            const int tailFrom = size - p.tail;
            const int span = std::max({p.length, p.energyLength, p.tail});
            for (int i = 0; i < span; ++i) {
                if (i < p.energyLength)
                    q += buffer[energyFrom + i] * buffer[energyFrom + i];
                if (i < p.length) {
                    r0 += static_cast<double>(windowed[i]) * windowed[i];
                    if (i + 1 < p.length)
                        r1 += static_cast<double>(windowed[i]) * windowed[i + 1];
                }
                if (i < p.tail) {
                    const float value = buffer[tailFrom + i - 1] * state.coefficient + buffer[tailFrom + i];
                    residual += value * value;
                }
            }
            q /= static_cast<float>(p.energyLength);
            const float coefficient = -static_cast<float>(r1 / (r0 + 1e-35)) * m_attackLagFactor;
            state.coefficient = coefficient;
            const float e = std::sqrt(residual / std::sqrt(q));
            const float decayed = m_attackDecay * state.envelope1;
            const float envelope = e > decayed ? e : decayed;
            const float predicted = 2.0f * state.envelope1 - state.envelope2;
            if (envelope - predicted * (fine ? p.k4 : p.k1) > 0.0f)
                medium = true;
            const bool fired = envelope - predicted * (fine ? p.k3 : p.k2) > 0.0f;
            if (fired) {
                transient = true;
                medium = false;
                if (h == hops - 1)
                    m_transientCarried = true;
            } else if (!transient && state.raw1 > 1.15f * e && state.raw2 > 1.15f * state.raw1) {
                medium = true;
            }
            state.envelope2 = state.envelope1;
            state.envelope1 = envelope;
            state.raw2 = state.raw1;
            state.raw1 = e;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Forward transform

WindowShape TonalwaveEncoder::ShapeOfCode(int code) const
{
    return ShapeOfWindowCode(code, {m_longSlope, m_mediumSlope, m_shortSlope});
}

void TonalwaveEncoder::WindowSamples(const float* input, const WindowShape& shape, float* out)
{
    const int length = shape.length;
    const int riseStart = (length - shape.leftLength) / 2;
    for (int i = 0; i < length; ++i) {
        const int at = i - riseStart;
        out[i] = at < 0 ? 0.0f : at < shape.leftLength ? input[i] * shape.left[at] : input[i];
    }
    const int fallStart = (length - shape.rightLength) / 2;
    for (int i = 0; i < length; ++i) {
        const int at = i - fallStart;
        out[length + i] = at < 0                   ? input[length + i]
                          : at < shape.rightLength ? input[length + i] * shape.right[shape.rightLength - 1 - at]
                                                   : 0.0f;
    }
}

// The 2L windowed samples folded into a DCT-IV of L points (-c_r - d, a - b_r for quarters a b c d), computed as
// the decoder computes its inverse: one L/2-point complex transform between a pre- and a post-rotation.
void TonalwaveEncoder::ForwardBlock(const float* input, const WindowShape& shape, float* coefficients,
                                    float* work) const
{
    const int length = shape.length;
    const int half = length / 2;
    const size_t k = length == m_frameSamples ? 0 : length == m_layout.sizes.mediumLength ? 1 : 2;
    float* const windowed = work + length; // 2L floats after the transform's L
    WindowSamples(input, shape, windowed);
    // u[n] below L/2: -x[3L/2 - 1 - n] - x[3L/2 + n]; from L/2: x[n - L/2] - x[3L/2 - 1 - n].
    float* const u = coefficients;
    for (int i = 0; i < half; ++i)
        u[i] = -windowed[3 * half - 1 - i] - windowed[3 * half + i];
    for (int i = half; i < length; ++i)
        u[i] = windowed[i - half] - windowed[3 * half - 1 - i];
    const float* const pre = m_pre[k].data();
    const float* const post = m_post[k].data();
    for (int m = 0; m < half; ++m) {
        const float re = u[2 * m];
        const float im = u[length - 1 - 2 * m];
        const float c = pre[2 * m];
        const float s = pre[2 * m + 1];
        work[2 * m] = re * c - im * s;
        work[2 * m + 1] = re * s + im * c;
    }
    const bool ran = ComplexFFT(std::span<float>(work, static_cast<size_t>(length)), TransformOrderOf(half),
                                FFT_FORWARD | FFT_NO_SCALE);
    assert(ran && "the transform layer takes every block length of an open encoder");
    (void)ran;
    for (int p = 0; p < half; ++p) {
        const float re = work[2 * p];
        const float im = work[2 * p + 1];
        const float c = post[2 * p];
        const float s = post[2 * p + 1];
        coefficients[2 * p] = re * c - im * s;
        coefficients[length - 1 - 2 * p] = -(re * s + im * c);
    }
}

bool TonalwaveEncoder::Transform(float* spectrum, float* work)
{
    const int n = m_frameSamples;
    const int code = m_record.windowCode;
    const TonalwaveKind kind = KindOfWindowCode(code);
    const auto k = static_cast<size_t>(kind);
    const int length = m_layout.sizes.blockLength[k];
    const int blocks = m_layout.sizes.blockCount[k];
    ScratchFrame scratch(m_scratch);
    float* const input = scratch.Take<float>(2 * static_cast<size_t>(n));
    float* const transform = scratch.Take<float>(3 * static_cast<size_t>(n));
    if (scratch.Failed())
        return false;
    (void)work;
    for (int c = 0; c < m_channels; ++c) {
        for (int b = 0; b < blocks; ++b) {
            int blockCode = code;
            if (kind == TonalwaveKind::kMedium)
                blockCode = (b == 0 && code == 4) ? 4 : (b == blocks - 1 && code == 7) ? 7 : 8;
            else if (kind == TonalwaveKind::kShort)
                blockCode = 2;
            Gather(c, (n - length) / 2 - n + b * length, 2 * length, input);
            float* const out = spectrum + static_cast<size_t>(c) * static_cast<size_t>(n) +
                               static_cast<size_t>(b) * static_cast<size_t>(length);
            ForwardBlock(input, ShapeOfCode(blockCode), out, transform);
        }
    }
    return true;
}

} // namespace sound
