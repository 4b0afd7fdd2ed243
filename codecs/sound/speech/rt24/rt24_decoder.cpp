#include "codecs/sound/speech/rt24/rt24_decoder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>
#include <numbers>

#include "codecs/sound/fft.h"
#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/speech_filters.h"

namespace sound {

namespace {

constexpr float kLsfMinSpacing = 45.0f;
constexpr float kLsfCeiling = 3999.0f;
constexpr float kLostPitch = 125.0f;
constexpr float kOutputLimit = 32000.0f;
constexpr int kPostFilterOrder = 6; // 64 points
constexpr int kPostFilterBins = 32;
constexpr int kPeriodOrder = 8; // 256 points
constexpr int kMaxSubFrameSamples = 2 * kRt24FrameSamples;
constexpr float kFixedOne = 16777216.0f;

void InitialLsf(float* lsf)
{
    for (int k = 0; k < kRt24LsfCount; ++k)
        lsf[k] = 300.0f + 400.0f * static_cast<float>(k);
}

// Each frequency at least 45 Hz above the one before it.
void SpreadLsf(float* lsf)
{
    for (int k = 1; k < kRt24LsfCount; ++k)
        lsf[k] = std::max(lsf[k], lsf[k - 1] + kLsfMinSpacing);
}

// 0.5 / sinc^4: undoes the cubic B-spline's roll-off over the period's lines.
float LineGain(int k)
{
    const float x = std::numbers::pi_v<float> * static_cast<float>(k + 1) / static_cast<float>(kRt24PeriodPoints);
    const float sinc = std::sin(x) / x;
    return 0.5f / (sinc * sinc * sinc * sinc);
}

struct SplineWeights {
    float w[64][4];
    SplineWeights()
    {
        for (int j = 0; j < 64; ++j) {
            const float t = static_cast<float>(j) / 64.0f;
            const float t2 = t * t;
            const float t3 = t2 * t;
            w[j][0] = (1.0f - t) * (1.0f - t) * (1.0f - t) / 6.0f;
            w[j][1] = (3.0f * t3 - 6.0f * t2 + 4.0f) / 6.0f;
            w[j][2] = (-3.0f * t3 + 3.0f * t2 + 3.0f * t + 1.0f) / 6.0f;
            w[j][3] = t3 / 6.0f;
        }
    }
};

// Built on first use, so that no other static initialiser can see it empty.
const SplineWeights& Spline()
{
    static const SplineWeights weights;
    return weights;
}

} // namespace

Rt24Decoder::Rt24Decoder()
{
    InitialLsf(loss.backgroundLsf);
    InitialLsf(lpc.previousLsf);
    InitialLsf(previousFrame.lsf);
    previousFrame.pitch = 100.0f;
    synth.previous.pitch = 50.0f;
}

std::unique_ptr<Rt24Decoder> Rt24Decoder::Create(ProbeRegistry& registry)
{
    std::unique_ptr<Rt24Decoder> decoder(new (std::nothrow) Rt24Decoder);
    if (!decoder)
        return nullptr;
    decoder->m_registry = &registry;
    decoder->m_preDecode = RegisterProbe(registry, "pre decode");
    decoder->m_postDecode = RegisterProbe(registry, "post decode");
    if (decoder->m_preDecode == nullptr || decoder->m_postDecode == nullptr ||
        !RegisterHarmonicParams(registry, decoder->params) ||
        RegisterConstant16(registry, kRt24SampleRate, "rate") == nullptr ||
        RegisterConstant16(registry, kRt24FrameSamples, "frame length") == nullptr ||
        RegisterFieldParameter(registry, &decoder->writeFlag, kElementKindBytes, "write flag") == nullptr)
        return nullptr;
    return decoder;
}

void Rt24Decoder::Decode(Rt24Quantiser& quantiser, CodecIO& io)
{
    if (needFrame == 1 && loss.present != 0) {
        BitRing ring = ReadRingOf(io);
        quantiser.indices = UnpackRt24Frame(ring);
    }
    if (skipCounter > 0) {
        --skipCounter;
        writeFlag = 0;
        io.sampleCount = 0;
        return;
    }
    skipCounter = timeScale < 1.0f ? static_cast<uint16_t>(std::floor(1.0f / timeScale) - 1.0f) : 0;
    frameStep = static_cast<float>(skipCounter + 1) * timeScale;
    quantiser.Dequantise(params);
    HandleFrameLoss();
    Synthesise(io.samples);
    if (needFrame == 0 && loss.previousPresent == 0)
        loss.present = 0;
    io.sampleCount = writeFlag != 0 ? kRt24FrameSamples : 0;
}

void Rt24Decoder::HandleFrameLoss()
{
    if (loss.present != 0) {
        if (params.pv == 0.0f) {
            for (int k = 0; k < kRt24LsfCount; ++k)
                loss.backgroundLsf[k] = 0.03f * params.lsf[k] + 0.97f * loss.backgroundLsf[k];
            loss.backgroundEnergy =
                params.resEnergy < loss.backgroundEnergy ? params.resEnergy : loss.backgroundEnergy * 1.01f;
        }
    } else {
        params.resEnergy = loss.backgroundEnergy;
        params.pitch = kLostPitch;
        params.pv = 0.0f;
        const int harmonics = HarmonicCount(kLostPitch);
        const float amplitude = std::sqrt(2.0f * params.resEnergy / static_cast<float>(harmonics));
        for (int k = 0; k < kRt24MaxHarmonics; ++k)
            params.amplitudes[k] = k < harmonics ? amplitude : 0.0f;
        std::copy(loss.backgroundLsf, loss.backgroundLsf + kRt24LsfCount, params.lsf);
        SpreadLsf(params.lsf);
    }
    if (loss.present != 0 && loss.previousPresent == 0)
        loss.fadeCounter = 3;
    if (loss.fadeCounter > 0) {
        --loss.fadeCounter;
        const float gain = static_cast<float>(3 - loss.fadeCounter) / 3.0f;
        for (float& amplitude : params.amplitudes)
            amplitude *= gain;
    }
    loss.previousPresent = loss.present;
    loss.present = 1;
}

void Rt24Decoder::Synthesise(int16_t* pcm)
{
    FireProbe(m_preDecode);
    InterpolateSubFrame();
    SubFrameParams& sub = synth.current;
    const int harmonics = std::min(HarmonicCount(sub.pitch), kRt24MaxHarmonics);
    SmoothUnvoicedLsf();
    float poly[kRt24LpcOrder + 1] = {};
    LsfToPoly(sub.lsf, kRt24LpcOrder, kRt24SamplePeriod, poly);
    FormantPostFilter(poly, sub.pv, sub.pitch, harmonics, sub.amplitudes);

    const int count = synth.samples;
    float buffer[kRt24LpcOrder + kMaxSubFrameSamples] = {};
    GenerateExcitation(buffer + kRt24LpcOrder);
    float samples[kMaxSubFrameSamples] = {};
    SynthesiseLpc(poly, buffer, count, samples);
    WriteSamples(samples, count);
    if (output.completed != 0) {
        std::copy(output.buffers[output.completed - 1], output.buffers[output.completed - 1] + kRt24FrameSamples, pcm);
        writeFlag = 1;
    } else {
        writeFlag = 0;
    }
    synth.previous = sub;
    FireProbe(m_postDecode);
}

void Rt24Decoder::InterpolateSubFrame()
{
    if (synth.remaining == 0) {
        const float step = frameStep;
        const int n = step >= 1.0f ? static_cast<int>(std::ceil(step)) : 1;
        synth.subFrames = static_cast<uint16_t>(n);
        synth.remaining = synth.subFrames;
        const int samples = static_cast<int>(static_cast<float>(kRt24FrameSamples) * step / static_cast<float>(n));
        const int blocks = std::max(1, samples / 60);
        synth.blocks = static_cast<uint16_t>(blocks);
        synth.samples = static_cast<uint16_t>(std::clamp(samples / blocks * blocks, blocks, kMaxSubFrameSamples));
    }
    const SubFrameParams& p = previousFrame;
    const int n = synth.subFrames;
    const int done = n - synth.remaining;
    const bool onsetOrOffset = (p.pv == 0.0f) != (params.pv == 0.0f);
    const float w =
        onsetOrOffset ? (done >= n / 2 ? 1.0f : 0.0f) : static_cast<float>(done + 1) / static_cast<float>(n);
    SubFrameParams& sub = synth.current;
    sub.pitch = p.pitch + (params.pitch - p.pitch) * w;
    sub.energy = p.energy + (params.resEnergy - p.energy) * w;
    const int harmonics = std::min(HarmonicCount(sub.pitch), kRt24MaxHarmonics);
    float before[kRt24MaxHarmonics] = {};
    float after[kRt24MaxHarmonics] = {};
    ResampleHarmonics(p.pitch, sub.pitch, harmonics, p.amplitudes, kRt24MaxHarmonics, before, kRt24MaxHarmonics);
    ResampleHarmonics(params.pitch, sub.pitch, harmonics, params.amplitudes, kRt24MaxHarmonics, after,
                      kRt24MaxHarmonics);
    for (int k = 0; k < kRt24MaxHarmonics; ++k)
        sub.amplitudes[k] = k < harmonics ? before[k] + (after[k] - before[k]) * w : 0.0f;
    for (int k = 0; k < kRt24LsfCount; ++k)
        sub.lsf[k] = p.lsf[k] + (params.lsf[k] - p.lsf[k]) * w;
    SpreadLsf(sub.lsf);
    if (sub.lsf[kRt24LsfCount - 1] > kLsfCeiling)
        sub.lsf[kRt24LsfCount - 1] = kRt24LsfTarget;
    sub.pv = w >= 0.5f ? params.pv : p.pv;

    --synth.remaining;
    needFrame = synth.remaining == 0 ? 1 : 0;
    if (needFrame != 0) {
        previousFrame.pitch = params.pitch;
        previousFrame.pv = params.pv;
        previousFrame.energy = params.resEnergy;
        std::copy(params.amplitudes, params.amplitudes + kRt24MaxHarmonics, previousFrame.amplitudes);
        std::copy(params.lsf, params.lsf + kRt24LsfCount, previousFrame.lsf);
    }
}

void Rt24Decoder::SmoothUnvoicedLsf()
{
    SubFrameParams& sub = synth.current;
    if (sub.pv == 0.0f)
        --synth.unvoicedRun;
    else
        synth.unvoicedRun = 10;
    if (synth.unvoicedRun == 9)
        std::copy(sub.lsf, sub.lsf + kRt24LsfCount, synth.smoothedLsf);
    if (synth.unvoicedRun < 10) {
        for (int k = 0; k < kRt24LsfCount; ++k)
            synth.smoothedLsf[k] = 0.8f * synth.smoothedLsf[k] + 0.2f * sub.lsf[k];
    }
    if (synth.unvoicedRun < 0) {
        synth.unvoicedRun = 0;
        std::copy(synth.smoothedLsf, synth.smoothedLsf + kRt24LsfCount, sub.lsf);
    }
}

void FormantPostFilter(const float* poly, float pv, float pitch, int n, float* amplitudes)
{
    if (n <= 0)
        return;
    for (int k = 1; k <= kRt24LpcOrder; ++k) {
        if (poly[k] == 0.0f)
            return;
    }
    // 64 points of the polynomial need 66 floats for the packed spectrum.
    float spectrum[(1 << kPostFilterOrder) + 2] = {};
    std::copy(poly, poly + kRt24LpcOrder + 1, spectrum);
    const bool transformed = RealFFT(spectrum, kPostFilterOrder, FFT_FORWARD);
    assert(transformed && "the post-filter's buffer holds the packed spectrum");
    (void)transformed;
    float g[kPostFilterBins] = {};
    for (int k = 0; k < kPostFilterBins; ++k)
        g[k] = spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1] + 1e-6f;

    // The envelope through the peaks of 1 / |A|^2.
    int pointBin[kPostFilterBins] = {};
    float pointValue[kPostFilterBins] = {};
    int points = 0;
    pointBin[points] = 0;
    pointValue[points++] = std::sqrt(1.0f / g[0]);
    for (int k = 1; k < kPostFilterBins - 1; ++k) {
        if (g[k] < g[k - 1] && g[k] < g[k + 1]) {
            pointBin[points] = k;
            pointValue[points++] = std::sqrt(1.0f / g[k]);
            ++k;
        }
    }
    pointBin[points] = kPostFilterBins - 1;
    pointValue[points++] = std::sqrt(1.0f / g[kPostFilterBins - 1]);

    float alpha = -0.175f;
    if (pv > 0.25f && pitch <= 53.33f)
        alpha = -0.1f;
    else if (pv > 0.25f && pitch > 80.0f)
        alpha = -0.25f;

    const auto step = static_cast<int64_t>(64.0f / pitch * kFixedOne);
    int segment = 0;
    for (int h = 0; h < n; ++h) {
        const int64_t position = step * (h + 1);
        const float bins = static_cast<float>(position) / kFixedOne;
        while (segment + 1 < points && bins > static_cast<float>(pointBin[segment + 1]))
            ++segment;
        if (segment + 1 >= points)
            break;
        const auto x0 = static_cast<float>(pointBin[segment]);
        const auto x1 = static_cast<float>(pointBin[segment + 1]);
        const float e = pointValue[segment] + (pointValue[segment + 1] - pointValue[segment]) * (bins - x0) / (x1 - x0);
        const int bin = std::min(static_cast<int>(position >> 24), kPostFilterBins - 2);
        const float gain = g[bin] + (g[bin + 1] - g[bin]) * (bins - static_cast<float>(bin));
        const float r = e * e * gain;
        if (r > 1.0f)
            amplitudes[h] *= std::max(PowerF(r, alpha), 0.3f);
    }
}

void Rt24Decoder::GenerateExcitation(float* excitation)
{
    const SubFrameParams& previous = synth.previous;
    const SubFrameParams& current = synth.current;
    const int blocks = synth.blocks;
    const int blockSamples = synth.samples / blocks;
    int crossFade = blockSamples & ~1;
    if ((blockSamples + crossFade) % 2 != 0)
        --crossFade;
    crossFade = std::min(crossFade, blockSamples);
    const bool bothVoiced = previous.pv > 0.0f && current.pv > 0.0f;
    const bool pitchJumps = std::fabs(current.pitch - previous.pitch) / current.pitch >= 0.15f;
    for (int i = 0; i < blocks; ++i) {
        const bool firstHalf = i < blocks / 2;
        const float w = bothVoiced ? static_cast<float>(i + 1) / static_cast<float>(blocks) : (firstHalf ? 0.0f : 1.0f);
        const float pv = firstHalf ? previous.pv : current.pv;
        float pitch = pitchJumps ? (firstHalf ? previous.pitch : current.pitch)
                                 : previous.pitch + (current.pitch - previous.pitch) * w;
        pitch = std::clamp(pitch, 8.0f, 180.0f);

        const int m = std::max(1, static_cast<int>(125.0f / pitch));
        const float finePeriod = static_cast<float>(m) * pitch;
        const int voiced = ScaledHarmonicCount(pitch, pv);
        const int voicedLines = std::min(m * voiced, kRt24MaxHarmonics);
        const int lines = std::min(HarmonicCount(finePeriod), kRt24MaxHarmonics);

        uint8_t phases[kRt24MaxHarmonics] = {};
        if (voiced > 0) {
            const int marked = (voiced / 2 + 1) * m - 1;
            if (marked < voicedLines)
                phases[marked] = 7;
        }
        for (int k = voicedLines; k < lines; ++k)
            phases[k] = static_cast<uint8_t>(MinimalStandardRandom(period.random) & 255u);

        float before[kRt24MaxHarmonics] = {};
        float after[kRt24MaxHarmonics] = {};
        float amplitudes[kRt24MaxHarmonics] = {};
        ResampleHarmonics(previous.pitch, finePeriod, lines, previous.amplitudes, kRt24MaxHarmonics, before,
                          kRt24MaxHarmonics);
        ResampleHarmonics(current.pitch, finePeriod, lines, current.amplitudes, kRt24MaxHarmonics, after,
                          kRt24MaxHarmonics);
        for (int k = 0; k < lines; ++k)
            amplitudes[k] = before[k] + (after[k] - before[k]) * w;
        for (int k = 0; k < voicedLines; ++k) {
            if ((k + 1) % m != 0)
                amplitudes[k] = 0.0f;
        }
        double harmonicPower = 0.0;
        double noisePower = 0.0;
        for (int k = voicedLines; k < lines; ++k) {
            noisePower += static_cast<double>(amplitudes[k]) * amplitudes[k];
            if ((k + 1) % m == 0)
                harmonicPower += static_cast<double>(amplitudes[k]) * amplitudes[k];
        }
        if (noisePower > 0.0) {
            const auto scale = static_cast<float>(std::sqrt(0.5 * harmonicPower / noisePower));
            for (int k = voicedLines; k < lines; ++k)
                amplitudes[k] *= scale;
        }
        SynthesisePeriod(excitation + i * blockSamples, blockSamples, crossFade, pitch, amplitudes, phases, lines);
    }
}

void Rt24Decoder::SynthesisePeriod(float* out, int blockSamples, int crossFade, float pitch, const float* amplitudes,
                                   const uint8_t* phases, int lines)
{
    const int m = std::max(1, static_cast<int>(125.0f / pitch));
    const float finePeriod = static_cast<float>(m) * pitch;
    const int edge = (blockSamples - crossFade) / 2;
    const int half = crossFade + edge;
    float oldPart[kMaxSubFrameSamples] = {};
    float newPart[kMaxSubFrameSamples] = {};
    ResamplePeriod(period.period, half, period.rate, period.readPhase, oldPart);

    float* const spectrum = period.period;
    std::fill(spectrum, spectrum + kRt24PeriodPoints + 2, 0.0f);
    for (int k = 0; k < lines; ++k) {
        const float a = amplitudes[k] * LineGain(k);
        const float angle =
            2.0f * std::numbers::pi_v<float> * static_cast<float>(phases[k]) / static_cast<float>(kRt24PeriodPoints);
        spectrum[2 * (k + 1)] = a * std::sin(angle);
        spectrum[2 * (k + 1) + 1] = -a * std::cos(angle);
    }
    const bool transformed =
        RealInverseFFT(std::span<float>(spectrum, kRt24PeriodPoints + 2), kPeriodOrder, FFT_NO_SCALE);
    assert(transformed && "the period buffer holds the packed spectrum");
    (void)transformed;

    period.rate = static_cast<float>(kRt24PeriodPoints) / finePeriod;
    const float startPhase =
        (static_cast<float>(half - crossFade) / period.previousBlockPitch + period.periodPhase) * pitch / finePeriod;
    period.readPhase = ResamplePeriod(period.period, half, period.rate, startPhase, newPart);
    period.periodPhase += static_cast<float>(blockSamples) / ((pitch + period.previousBlockPitch) / 2.0f);
    period.periodPhase -= std::floor(period.periodPhase);
    period.previousBlockPitch = pitch;

    for (int j = 0; j < edge; ++j)
        out[j] = oldPart[j];
    for (int j = 0; j < crossFade; ++j) {
        const float t = static_cast<float>(j) / static_cast<float>(crossFade);
        out[edge + j] = oldPart[edge + j] * (1.0f - t) + newPart[j] * t;
    }
    for (int j = 0; j < edge; ++j)
        out[edge + crossFade + j] = newPart[crossFade + j];
}

float ResamplePeriod(const float* period, int count, float rate, float startPhase, float* out)
{
    float extended[kRt24PeriodPoints + 4];
    extended[0] = period[kRt24PeriodPoints - 1];
    std::copy(period, period + kRt24PeriodPoints, extended + 1);
    for (int i = 0; i < 3; ++i)
        extended[kRt24PeriodPoints + 1 + i] = period[i];
    constexpr uint32_t kWrap = 0xFFFFFFu; // 256 points in 16.16
    const SplineWeights& spline = Spline();
    const double phase = static_cast<double>(startPhase) - std::floor(static_cast<double>(startPhase));
    uint32_t position = static_cast<uint32_t>(phase * 256.0 * 65536.0) & kWrap;
    const auto step = static_cast<uint32_t>(static_cast<double>(rate) * 65536.0) & kWrap;
    for (int n = 0; n < count; ++n) {
        const uint32_t index = position >> 16;
        const float* const w = spline.w[(position >> 10) & 63u];
        out[n] = w[0] * extended[index] + w[1] * extended[index + 1] + w[2] * extended[index + 2] +
                 w[3] * extended[index + 3];
        position = (position + step) & kWrap;
    }
    return static_cast<float>(static_cast<double>(position) / (256.0 * 65536.0));
}

void Rt24Decoder::SynthesiseLpc(const float* currentPoly, float* buffer, int count, float* out)
{
    std::copy(lpc.memory, lpc.memory + kRt24LpcOrder, buffer);
    const int quarter = static_cast<int>(static_cast<float>(count) * 0.25f);
    const int sizes[5] = {quarter / 2, quarter, quarter, quarter, count - quarter / 2 - 3 * quarter};
    const float* const current = synth.current.lsf;
    int at = 0;
    for (int block = 0; block < 5; ++block) {
        float poly[kRt24LpcOrder + 1] = {};
        if (block == 4) {
            std::copy(currentPoly, currentPoly + kRt24LpcOrder + 1, poly);
        } else {
            float lsf[kRt24LsfCount] = {};
            const float w = 0.25f * static_cast<float>(block);
            for (int k = 0; k < kRt24LsfCount; ++k)
                lsf[k] = lpc.previousLsf[k] + (current[k] - lpc.previousLsf[k]) * w;
            SpreadLsf(lsf);
            LsfToPoly(lsf, kRt24LpcOrder, kRt24SamplePeriod, poly);
        }
        SynthesisFilterStep(buffer + at, sizes[block], poly, kRt24LpcOrder);
        at += sizes[block];
    }
    std::copy(current, current + kRt24LsfCount, lpc.previousLsf);
    // A hostile frame can drive the filter to infinity or not-a-number; such a frame is silence, and the filter
    // starts afresh rather than carry the damage into every frame after it.
    const bool finite =
        std::all_of(buffer + kRt24LpcOrder, buffer + kRt24LpcOrder + count, [](float v) { return std::isfinite(v); });
    if (finite)
        std::copy(buffer + count, buffer + count + kRt24LpcOrder, lpc.memory);
    else
        std::fill(lpc.memory, lpc.memory + kRt24LpcOrder, 0.0f);
    for (int n = 0; n < count; ++n)
        out[n] = finite ? std::clamp(buffer[kRt24LpcOrder + n], -kOutputLimit, kOutputLimit) : 0.0f;
}

void Rt24Decoder::WriteSamples(const float* samples, int count)
{
    output.completed = 0;
    bool switched = false;
    for (int n = 0; n < count; ++n) {
        // Samples after a switch are truncated, not rounded: at most one step apart, and the stored behaviour.
        const float value = switched ? std::trunc(samples[n]) : std::round(samples[n]);
        output.buffers[output.current][output.fill++] =
            std::isfinite(value) ? static_cast<int16_t>(std::clamp(value, -32768.0f, 32767.0f)) : int16_t{0};
        if (output.fill == kRt24FrameSamples) {
            output.completed = static_cast<uint8_t>(output.current + 1);
            output.current ^= 1;
            output.fill = 0;
            switched = true;
        }
    }
}

} // namespace sound
