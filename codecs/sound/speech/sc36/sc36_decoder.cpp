#include "codecs/sound/speech/sc36/sc36_decoder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>
#include <numbers>

#include "codecs/sound/fft.h"
#include "codecs/sound/speech/harmonic_tools.h"

namespace sound {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTwoPi = 2.0f * kPi;
constexpr float kBackgroundRise = 0.014355f; // per decode call
constexpr float kLostPitch = 125.0f;
constexpr float kPostfilterCeiling = 0.2630344f;
constexpr int kCepstrumTerms = 43;
constexpr uint32_t kPeriodMask = (256u << 16) - 1; // the 16.16 read position wraps at one period

float WrapToPi(float x)
{
    return x - kTwoPi * std::nearbyint(x / kTwoPi);
}

// 2^x as (1 + frac x) 2^floor x: the inverse of the fast logarithm of the encoder.
float FastExp2(float x)
{
    x = std::clamp(x, -60.0f, 60.0f);
    const float whole = std::floor(x);
    return std::ldexp(1.0f + (x - whole), static_cast<int>(whole));
}

// The warped spectrum position (0..64) of a frequency in bins of 512 points.
float WarpedPosition(float f)
{
    const float u = f <= 97.0f ? 1.2695313f * f : (-0.0016021729f * f + 1.4023438f) * f + 1.7890625f;
    return std::clamp(u / 4.0f, 0.0f, 64.0f);
}

float Interpolate(const std::array<float, kSc36SpectrumPoints>& values, float position)
{
    const int i = std::min(static_cast<int>(position), kSc36SpectrumPoints - 2);
    const float t = position - static_cast<float>(i);
    return values[static_cast<size_t>(i)] + t * (values[static_cast<size_t>(i + 1)] - values[static_cast<size_t>(i)]);
}

float NoiseLevel(float pitch)
{
    if (pitch > 96.0f)
        return 3.7299f;
    if (pitch > 88.0f)
        return 3.6623f;
    if (pitch > 80.0f)
        return 3.5918f;
    if (pitch > 72.0f)
        return 3.5181f;
    if (pitch > 64.0f)
        return 3.4406f;
    return 3.3586f;
}

int PhaseIndex(float phase)
{
    const int i = static_cast<int>(std::nearbyint(phase * 256.0f / kTwoPi)) % 256;
    return i < 0 ? i + 256 : i;
}

} // namespace

std::unique_ptr<Sc36Decoder> Sc36Decoder::Create(bool enhanced)
{
    std::unique_ptr<Sc36Decoder> decoder;
    try {
        decoder.reset(new Sc36Decoder);
        decoder->m_frameBytes.assign(enhanced ? 64 : 32, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    decoder->m_loss.storedEnvelope = Sc36CodingTables().initialEnvelope;
    if (enhanced) {
        decoder->m_capability = 3;
        decoder->m_currentLayer = 2;
        decoder->m_previousLayer = 2;
    }
    return decoder;
}

uint16_t Sc36Decoder::DecodeCall(const Sc36FrameParams* frame, int16_t* out)
{
    if (m_frameNeeded)
        StartFrame();
    m_current = BookLoss(frame);
    EnvelopeSpectra(m_current, m_currentSpectra);
    m_frameNeeded = false;
    RunBlockSlot();
    RunBlockSlot();
    if (m_accumulator >= m_scale * kSc36FrameSamples)
        FinishFrame();
    // A lost frame stays lost for every call that plays it.
    if (!m_frameNeeded && m_loss.previousPresent == 0)
        m_loss.present = 0;
    if (m_waiting < kSc36FrameSamples)
        return 0;
    for (int i = 0; i < kSc36FrameSamples; ++i) {
        const float v = std::nearbyint(m_output[static_cast<size_t>(i)]);
        out[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
    std::copy(m_output.begin() + kSc36FrameSamples, m_output.begin() + m_waiting, m_output.begin());
    m_waiting -= kSc36FrameSamples;
    return kSc36FrameSamples;
}

void Sc36Decoder::StartFrame()
{
    m_scale = m_requestedScale;
    m_discontinuityLatched = m_discontinuityRequest;
    if (m_discontinuityLatched != 0 || (m_repeatCount > 0 && !m_repeatRequest))
        m_reset = true;
    m_repeatCount = m_repeatRequest ? m_repeatCount + 1 : 0;
    m_discontinuityRequest = 0;
    m_repeatRequest = false;
}

Sc36FrameParams Sc36Decoder::BookLoss(const Sc36FrameParams* frame)
{
    Sc36FrameParams params;
    if (m_loss.present != 0 && frame != nullptr) {
        params = *frame;
        if (params.voicingMid == 0.0f && params.voicingEnd == 0.0f) {
            m_loss.storedEnvelope = params.envelope;
            m_loss.backgroundGain =
                params.gain >= m_loss.backgroundGain ? m_loss.backgroundGain + kBackgroundRise : params.gain;
        }
    } else {
        params.gain = m_loss.backgroundGain;
        params.pitchMid = params.pitchEnd = kLostPitch;
        params.voicingMid = params.voicingEnd = 0.0f;
        params.envelope = m_loss.storedEnvelope;
        m_currentLayer = 1;
    }
    m_loss.previousPresent = m_loss.present;
    m_loss.present = 1;
    return params;
}

// Log2 amplitude and phase of the all-pole envelope on the warped axis, through its cepstrum, then the postfilter.
void Sc36Decoder::EnvelopeSpectra(const Sc36FrameParams& frame, Spectra& out) const
{
    float k[kSc36Coefficients];
    float a[kSc36Coefficients + 1] = {1.0f};
    for (int m = 1; m <= kSc36Coefficients; ++m) {
        k[m - 1] = std::sin(frame.envelope[static_cast<size_t>(m - 1)]);
        float previous[kSc36Coefficients + 1];
        std::copy(a, a + m, previous);
        for (int j = 1; j < m; ++j)
            a[j] = previous[j] - k[m - 1] * previous[m - j];
        a[m] = -k[m - 1];
    }
    const Sc36DerivedTables& derived = Sc36Derived();
    float d[kCepstrumTerms + 1] = {frame.gain};
    for (int n = 1; n <= kCepstrumTerms; ++n) {
        double sum = n <= kSc36Coefficients ? -static_cast<double>(n) * a[n] : 0.0;
        for (int j = 1; j <= std::min(n - 1, kSc36Coefficients); ++j)
            sum -= static_cast<double>(a[j]) * d[n - j];
        d[n] = static_cast<float>(sum);
    }
    float buffer[128 + 2] = {};
    buffer[0] = d[0];
    for (int n = 1; n <= kCepstrumTerms; ++n) {
        const float scaled = d[n] * derived.cepstrumScale[static_cast<size_t>(n)];
        buffer[n] = scaled * 1.6931472f;
        buffer[128 - n] = scaled * 0.30685282f;
    }
    const bool transformed = RealFFT(buffer, 7, FFT_FORWARD);
    assert(transformed && "the envelope transform has its tables from open");
    (void)transformed;
    for (int n = 0; n < kSc36SpectrumPoints; ++n) {
        out.amplitude[static_cast<size_t>(n)] = buffer[2 * n];
        out.phase[static_cast<size_t>(n)] = buffer[2 * n + 1];
    }
    // Postfilter: sharpen the formants against the spectrum's tilt, keeping the peak level.
    const float peak = *std::max_element(out.amplitude.begin(), out.amplitude.begin() + 64);
    double product = 1.0;
    for (int i = 1; i < kSc36Coefficients; ++i)
        product *= 1.0 - static_cast<double>(k[i]) * k[i];
    const float t0 = frame.gain - 0.5f * static_cast<float>(std::log2(std::max(product, 1e-30)));
    float tilt[5];
    for (int m = 0; m < 5; ++m) {
        const float term = 1.0f + k[0] * k[0] - 2.0f * k[0] * std::cos(static_cast<float>(m) * kPi / 4.0f);
        tilt[m] = t0 - 0.5f * std::log2(std::max(term, 1e-12f));
    }
    for (int n = 1; n < 64; ++n) {
        const int m = n / 16;
        const float t = tilt[m] + (tilt[m + 1] - tilt[m]) * static_cast<float>(n % 16) / 16.0f;
        float change = std::clamp((out.amplitude[static_cast<size_t>(n)] - t) / 2.0f, -1.0f, kPostfilterCeiling);
        if (n < 16)
            change *= static_cast<float>(n) / 16.0f;
        out.amplitude[static_cast<size_t>(n)] += change;
    }
    const float shift = peak - *std::max_element(out.amplitude.begin(), out.amplitude.begin() + 64);
    for (int n = 0; n < 64; ++n)
        out.amplitude[static_cast<size_t>(n)] += shift;
}

void Sc36Decoder::RunBlockSlot()
{
    const float span = m_scale * kSc36FrameSamples;
    if (m_accumulator >= span)
        return;
    BlockRequest request;
    request.ratio = m_accumulator / span;
    int set = 2;
    float pitchBefore = m_current.pitchMid;
    float offset = static_cast<float>(m_repeatCount) * kSc36FrameSamples;
    if (request.ratio < 0.25f) {
        set = 0;
        request.set = {m_prevEnd.pitchEnd, m_prevEnd.voicingEnd, m_prevEnd.phaseEnd};
        pitchBefore = m_previousMidPitch;
        offset = m_repeatCount > 0 ? static_cast<float>(m_repeatCount - 1) * kSc36FrameSamples : 0.0f;
    } else if (request.ratio < 0.75f) {
        set = 1;
        request.set = {m_current.pitchMid, m_current.voicingMid, m_current.phaseMid};
        pitchBefore = m_prevEnd.pitchEnd;
    } else {
        request.set = {m_current.pitchEnd, m_current.voicingEnd, m_current.phaseEnd};
    }
    const int uses = ++m_uses[static_cast<size_t>(set)];
    const int usesBefore = set == 0 ? m_previousMidUses : m_uses[static_cast<size_t>(set - 1)];
    float advance = 0.0f;
    if (uses >= 2)
        advance = kSc36BlockSamples;
    else if (usesBefore == 0)
        advance = -kSc36BlockSamples;
    const float phasePitch = advance < 0.0f ? pitchBefore : request.set.pitch;
    request.reset = m_reset;
    m_reset = false;
    // Going from base-only to enhanced frames waits for a quiet moment, where the phase jump is not heard.
    m_effectiveLayer =
        (m_previousLayer == 1 && m_currentLayer == 2 && request.set.voicing > 0.125f) ? 1 : m_currentLayer;
    m_previousLayer = m_effectiveLayer;
    request.enhanced = m_effectiveLayer == 2;
    if (m_currentLayer == 2) {
        m_extraPhase = WrapToPi(m_extraPhase + advance * kTwoPi / phasePitch);
        const float shift = WrapToPi(offset * kTwoPi / phasePitch) + m_extraPhase;
        for (int k = 1; k <= kSc36Harmonics; ++k)
            request.set.phases[static_cast<size_t>(k - 1)] += static_cast<float>(k) * shift;
    }
    SynthesiseBlock(request);
    m_accumulator += kSc36BlockSamples;
}

void Sc36Decoder::FinishFrame()
{
    m_frameNeeded = true;
    m_accumulator -= m_scale * kSc36FrameSamples;
    m_previousSpectra = m_currentSpectra;
    m_previousMidPitch = m_current.pitchMid;
    m_prevEnd = m_current;
    m_previousMidUses = m_uses[1];
    m_uses = {m_uses[2], 0, 0};
}

// The fundamental phase and the phase offset of the block; with coded phases, a straight line fitted through them.
void Sc36Decoder::TrackPhase(const BlockRequest& request, float f0, int harmonics, const float* amplitude, float* phase)
{
    const float predicted = m_phi + (f0 + m_f0Previous) * 0.0061359233f * kSc36BlockSamples;
    if (!request.enhanced) {
        m_phi = WrapToPi(predicted);
        m_f0Previous = f0;
        return;
    }
    const Sc36DerivedTables& derived = Sc36Derived();
    const int n = std::min(harmonics, kSc36Harmonics);
    float e[kSc36Harmonics], w[kSc36Harmonics], c[kSc36Harmonics], s[kSc36Harmonics];
    int fitted = 0;
    for (int i = 0; i < n; ++i) {
        e[i] = request.set.phases[static_cast<size_t>(i)] - phase[i];
        w[i] = FastExp2(amplitude[i] / 4.0f);
        const int index = PhaseIndex(e[i]);
        c[i] = w[i] * derived.cosine[static_cast<size_t>(index)];
        s[i] = w[i] * derived.sine[static_cast<size_t>(index)];
        if (static_cast<float>(i + 1) * f0 <= 192.0f)
            fitted = i + 1;
    }
    float theta[2];
    for (int d = 1; d <= 2; ++d) {
        float re = 0.0f, im = 0.0f;
        for (int i = 0; i + d < fitted; ++i) {
            re += c[i] * c[i + d] + s[i] * s[i + d];
            im += c[i] * s[i + d] - s[i] * c[i + d];
        }
        theta[d - 1] = std::atan2(im, re);
    }
    const float m = std::nearbyint((2.0f * theta[0] - theta[1]) / kTwoPi);
    const float slope = (theta[0] + (kTwoPi * m + theta[1]) / 2.0f) / 2.0f;
    float sumSin = 0.0f, sumCos = 0.0f;
    for (int i = 0; i < fitted; ++i) {
        const float x = e[i] - static_cast<float>(i + 1) * slope;
        sumSin += w[i] * std::sin(x);
        sumCos += w[i] * std::cos(x);
    }
    const float offset = std::atan2(sumSin, sumCos);
    for (int i = 0; i < n; ++i)
        m_residual[static_cast<size_t>(i)] = e[i] - (offset + static_cast<float>(i + 1) * slope);
    if (request.reset) {
        m_kappaPhi = predicted - slope;
        m_kappaPsi = m_psi - offset;
    }
    m_phi = WrapToPi(slope + m_kappaPhi);
    m_psi = offset + m_kappaPsi;
    m_f0Previous = f0;
}

void Sc36Decoder::SynthesiseBlock(const BlockRequest& request)
{
    const Sc36DerivedTables& derived = Sc36Derived();
    const float pitch = std::clamp(request.set.pitch, 8.0f, 160.0f);
    const float f0 = 512.0f / pitch;
    int harmonics = static_cast<int>(pitch / 2.0f);
    if (std::nearbyint(static_cast<float>(harmonics) * f0) >= 256.0f)
        --harmonics;
    harmonics = std::clamp(harmonics, 1, kSc36MaxComponents);
    float cutoff = std::clamp(request.set.voicing, 0.0f, 1.0f) * 256.0f;
    const int coded = request.enhanced ? std::min(harmonics, kSc36Harmonics) : 0;
    if (request.enhanced)
        cutoff = std::max(cutoff, (static_cast<float>(coded) + 0.5f) * f0);
    const int voiced = std::min(harmonics, static_cast<int>(cutoff / f0));
    const int density = cutoff < 256.0f ? std::max(1, kSc36MaxComponents / harmonics) : 1;

    float amplitude[kSc36MaxComponents], phase[kSc36MaxComponents];
    const float noise = 0.5f * std::log2(f0 / static_cast<float>(density)) + NoiseLevel(pitch) - 5.0453186f;
    for (int i = 0; i < harmonics; ++i) {
        const float w = WarpedPosition(static_cast<float>(i + 1) * f0);
        const float aPrev = Interpolate(m_previousSpectra.amplitude, w);
        const float bPrev = Interpolate(m_previousSpectra.phase, w);
        amplitude[i] = aPrev + request.ratio * (Interpolate(m_currentSpectra.amplitude, w) - aPrev);
        phase[i] = bPrev + request.ratio * (Interpolate(m_currentSpectra.phase, w) - bPrev);
        if (i >= voiced)
            amplitude[i] += noise;
    }
    m_residual.fill(0.0f);
    TrackPhase(request, f0, harmonics, amplitude, phase);
    const int dispersionStart = static_cast<int>(0.1875f * pitch);
    const float dispersionBase = 1.0f / kPi + static_cast<float>(std::max(0, coded - dispersionStart)) / (20.0f * kPi);
    for (int i = 0; i < harmonics; ++i) {
        phase[i] += m_psi + static_cast<float>(i + 1) * m_phi;
        if (i < coded)
            phase[i] += m_residual[static_cast<size_t>(i)];
        else if (i % 2 == 0)
            phase[i] += dispersionBase + static_cast<float>(std::max(0, i - dispersionStart)) / (20.0f * kPi);
    }

    // Components: voiced harmonics every density-th slot, unvoiced ones repeated, noise phases from the first
    // unvoiced slot on.
    const int components = harmonics * density;
    float componentAmplitude[kSc36MaxComponents] = {};
    float componentPhase[kSc36MaxComponents] = {};
    for (int i = 0; i < harmonics; ++i) {
        const float a = FastExp2(amplitude[i]);
        if (i < voiced) {
            componentAmplitude[(i + 1) * density - 1] = a;
            componentPhase[(i + 1) * density - 1] = phase[i];
        } else {
            for (int r = 0; r < density; ++r)
                componentAmplitude[i * density + r] = a;
        }
    }
    for (int c = voiced * density; c < components; ++c)
        componentPhase[c] = static_cast<float>(MinimalStandardRandom(m_seed)) * 2.9258362e-9f;
    float sum = 0.0f;
    for (int c = 0; c < components; ++c)
        sum += componentAmplitude[c];
    if (sum > 32767.0f) {
        const float scale = 32767.0f / sum;
        for (int c = 0; c < components; ++c)
            componentAmplitude[c] *= scale;
        sum = 32767.0f;
    }
    m_lastAmplitudeSum = sum;

    float period[256 + 2] = {};
    for (int c = 0; c < components; ++c) {
        const float magnitude = componentAmplitude[c] * derived.componentGain[static_cast<size_t>(c)];
        // The sine table read a quarter cycle on gives the cosine: both parts from one quantised index.
        const int index = PhaseIndex(componentPhase[c] + kPi / 2.0f);
        period[2 * (c + 1)] = magnitude * derived.sine[static_cast<size_t>(index)];
        period[2 * (c + 1) + 1] = -magnitude * derived.cosine[static_cast<size_t>(index)];
    }
    const bool transformed = RealInverseFFT(period, 8, FFT_NO_SCALE);
    assert(transformed && "the period transform has its tables from open");
    (void)transformed;

    const float step = f0 / (2.0f * static_cast<float>(density));
    const uint32_t stepFixed = static_cast<uint32_t>(std::lrint(step * 65536.0f)) & kPeriodMask;
    uint32_t position = static_cast<uint32_t>(-static_cast<int64_t>(kSc36BlockSamples) * stepFixed) & kPeriodMask;
    float block[2 * kSc36BlockSamples];
    for (float& sample : block) {
        const uint32_t n = position >> 16;
        const auto& w = derived.interpolation[(position >> 10) & 63];
        sample = w[0] * period[(n + 255) & 255] + w[1] * period[n] + w[2] * period[(n + 1) & 255] +
                 w[3] * period[(n + 2) & 255];
        position = (position + stepFixed) & kPeriodMask;
    }
    assert(m_waiting + kSc36BlockSamples <= kSc36OutputCapacity && "a call adds at most two blocks");
    if (m_waiting + kSc36BlockSamples > kSc36OutputCapacity)
        return;
    for (int n = 0; n < kSc36BlockSamples; ++n) {
        const float t = static_cast<float>(n) / kSc36BlockSamples;
        m_output[static_cast<size_t>(m_waiting + n)] = m_tail[static_cast<size_t>(n)] * (1.0f - t) + block[n] * t;
        m_tail[static_cast<size_t>(n)] = block[kSc36BlockSamples + n];
    }
    m_waiting += kSc36BlockSamples;
}

} // namespace sound
