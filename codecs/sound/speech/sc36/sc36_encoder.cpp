#include "codecs/sound/speech/sc36/sc36_encoder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>
#include <numbers>

#include "codecs/sound/fft.h"
#include "codecs/sound/fft_tables.h"
#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/sample_history.h"

namespace sound {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTwoPi = 2.0f * kPi;
constexpr int kCentreBack = 145; // the frame's end, as far back as the analysis looks ahead
constexpr int kMidCentreBack = 225;
constexpr int kPitchBins = 102;
constexpr int kMaxPeaks = 100;

struct SpectrumPeak {
    float frequency = 0.0f; // bins of 512 points
    float power = 0.0f;
};

int AdaptiveLength(float pitch)
{
    if (pitch >= 96.0f)
        return 261;
    if (pitch >= 88.0f)
        return 241;
    if (pitch >= 80.0f)
        return 221;
    if (pitch >= 72.0f)
        return 201;
    if (pitch >= 64.0f)
        return 181;
    return 161;
}

// exponent + 2 (mantissa - 1), mantissa in [0.5, 1): the decoder's FastExp2 undoes it.
float FastLog2(float x)
{
    int exponent = 0;
    const float mantissa = std::frexp(std::max(x, 1e-30f), &exponent);
    return static_cast<float>(exponent) + 2.0f * (mantissa - 1.0f);
}

float FastExp2(float x)
{
    x = std::clamp(x, -100.0f, 100.0f);
    const float whole = std::floor(x);
    return std::ldexp(1.0f + (x - whole), static_cast<int>(whole));
}

// The linear bin that warped bin j takes.
int WarpedSource(int j)
{
    if (j <= 86)
        return (17789 - 203 * (87 - j)) / 256;
    const int w = (41600 - 162 * (256 - j)) / 256 + 65;
    return (w * j + 209) / 256 + 29;
}

// sum x[n] x[n + lag] over the segment, and the energies of its first and last length - lag samples.
float NormalisedCorrelation(const float* x, int length, int lag, float* outSum = nullptr)
{
    double c = 0.0, e1 = 0.0, e2 = 0.0;
    for (int n = 0; n + lag < length; ++n) {
        c += static_cast<double>(x[n]) * x[n + lag];
        e1 += static_cast<double>(x[n]) * x[n];
        e2 += static_cast<double>(x[n + lag]) * x[n + lag];
    }
    if (outSum != nullptr)
        *outSum = static_cast<float>(c);
    return static_cast<float>(c / std::sqrt(e1 * e2 + 1e-6));
}

// Comb score of one pitch over the compressed spectrum below the cut-off bin.
float CombScore(float pitch, const float* compressed, int cutoff, const int* peaks, int peakCount, float weight)
{
    const Sc36DerivedTables& derived = Sc36Derived();
    float matched = 0.0f, energy = 0.0f;
    for (int h = 1;; ++h) {
        const int bin = static_cast<int>(std::nearbyint(static_cast<float>(h) * 512.0f / pitch));
        if (bin >= cutoff)
            break;
        float best = 1e-6f;
        for (int p = 0; p < peakCount; ++p) {
            const float n = static_cast<float>(peaks[p]) * pitch / 512.0f;
            if (n < 0.5f || n < static_cast<float>(h) - 0.5f || n >= static_cast<float>(h) + 0.5f)
                continue;
            const int index = static_cast<int>(std::nearbyint(n * 256.0f)) & 255;
            best = std::max(best, (1.0f + derived.cosine[static_cast<size_t>(index)]) * compressed[peaks[p]]);
        }
        matched += best * compressed[bin];
        energy += compressed[bin] * compressed[bin];
    }
    return (0.5f * matched - 0.375f * energy) * weight;
}

} // namespace

std::unique_ptr<Sc36Encoder> Sc36Encoder::Create(ProbeRegistry& registry)
{
    std::unique_ptr<Sc36Encoder> encoder;
    try {
        encoder.reset(new Sc36Encoder);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    encoder->m_history = SampleHistory::Create(kSc36HistorySamples);
    if (!encoder->m_history)
        return nullptr;
    encoder->m_filter.pole = 0.99f;
    if (RegisterFieldParameter(registry, &encoder->m_pv, kElementKindFloat, "pv") == nullptr ||
        RegisterFieldParameter(registry, &encoder->m_energy, kElementKindFloat, "energy") == nullptr)
        return nullptr;
    encoder->m_postEncode = RegisterProbe(registry, "post encode");
    if (encoder->m_postEncode == nullptr)
        return nullptr;
    return encoder;
}

Sc36Encoder::~Sc36Encoder()
{
    FreeTransformTables();
}

void Sc36Encoder::ReadHistory(int centreBack, int length, float* out) const
{
    m_history->Read(centreBack - (length + 1) / 2 + length / 2, length, out);
}

int Sc36Encoder::AnalyseFrame(const int16_t* samples, Sc36FrameParams& out)
{
    if ((m_capability & ((1u << m_currentLayer) - 1)) == 0)
        return 1;
    out = {};
    float filtered[kSc36FrameSamples];
    HighPass(samples, filtered, kSc36FrameSamples, m_filter);
    m_history->Write(0, kSc36FrameSamples, filtered);

    // Energy and the fixed-window spectrum of the frame's end.
    const Sc36DerivedTables& derived = Sc36Derived();
    float block[kSc36AnalysisLength];
    ReadHistory(kCentreBack, kSc36AnalysisLength, block);
    float windowed[kSc36AnalysisLength];
    ApplyHalfWindow(block, derived.analysisHalfWindow, windowed, kSc36AnalysisLength);
    double energy = 0.0;
    for (const float x : windowed)
        energy += static_cast<double>(x) * x;
    m_energy = static_cast<float>(energy * 0.0034364262);
    float spectrum[512 + 2];
    const bool centred = CentreIntoFft(windowed, kSc36AnalysisLength, spectrum, 9);
    assert(centred && "the analysis buffer holds 514 floats");
    (void)centred;
    float pitch = EndPitch(spectrum);

    // The pitch-adaptive spectrum, aligned on the pitch pulse.
    const int length = AdaptiveLength(pitch);
    const int offset = PulseOffset(length);
    float segment[261];
    ReadHistory(kCentreBack + offset, length, segment);
    for (int i = 0; i < length; ++i)
        segment[i] *= 2.0f;
    HammingApply(segment, length);
    float adaptive[512 + 2];
    CentreIntoFft(segment, length, adaptive, 9);
    float re[256], im[256];
    for (int i = 0; i < 256; ++i) {
        re[i] = adaptive[2 * i];
        im[i] = adaptive[2 * i + 1];
    }
    float poly[kSc36Coefficients + 1];
    float voicing = HarmonicAnalysis(re, im, pitch, out, poly);
    const float correlation = EndCorrelation(length, offset, pitch);
    voicing = CorrectVoicing(voicing, correlation, pitch);
    const bool halved = ShouldHalve(poly, out.gain, pitch, voicing);
    if (halved)
        pitch *= 0.5f;
    out.pitchEnd = pitch;
    out.voicingEnd = voicing;
    out.envelope = out.envelopeRaw;
    if (m_currentLayer == 2) {
        const float f0 = 512.0f / pitch;
        for (int k = 1; k <= kSc36Harmonics && static_cast<float>(k) * f0 < 256.0f; ++k) {
            const int bin = std::min(255, static_cast<int>(std::nearbyint(static_cast<float>(k) * f0)));
            float phase =
                std::atan2(im[bin], re[bin]) + static_cast<float>(k) * f0 * static_cast<float>(offset) * 0.012271847f;
            phase -= kTwoPi * std::floor(phase / kTwoPi);
            out.phaseEnd[static_cast<size_t>(k - 1)] = phase < kTwoPi ? phase : 0.0f;
        }
    }
    MidFrame(pitch, voicing, halved, correlation, out);

    // Trackers.
    if (0.8f * pitch < m_referencePitch && m_referencePitch < 1.2f * pitch) {
        m_referencePitch = 0.3f * m_referencePitch + 0.7f * pitch;
        m_referenceScore += 1.0f;
    } else if (voicing >= 0.3f) {
        m_referencePitch = pitch;
        m_referenceScore = voicing;
    } else {
        m_referencePitch = 1000.0f;
        m_referenceScore = 0.0f;
    }
    if (0.9f * out.pitchMid < m_referencePitch && m_referencePitch < 1.1f * out.pitchMid)
        m_referenceScore += 1.0f;
    m_lastPitch = pitch;
    m_pv = voicing;
    m_previousLayer = m_currentLayer;
    FireProbe(m_postEncode);
    return 0;
}

// The end-of-frame pitch: a harmonic comb over the compressed low band, with the tracked pitch preferred when it
// scores nearly as well as the best.
float Sc36Encoder::EndPitch(const float* spectrum)
{
    float power[kPitchBins];
    float largest = 0.0f;
    for (int i = 0; i < kPitchBins; ++i) {
        power[i] = spectrum[2 * i] * spectrum[2 * i] + spectrum[2 * i + 1] * spectrum[2 * i + 1];
        largest = std::max(largest, power[i]);
    }
    if (!(largest > 0.0f))
        return m_trackedPitch;
    double total = 0.0;
    for (int i = 0; i <= 95; ++i)
        total += power[i];
    double fromTop = 0.0;
    int cutoff = 76;
    for (int i = 95; i >= 0; --i) {
        fromTop += power[i];
        if (fromTop >= 0.05 * total) {
            cutoff = std::max(76, i + 2);
            break;
        }
    }
    int peaks[48];
    int peakCount = 0;
    for (int i = 1; i <= 95 && peakCount < 48; ++i)
        if (i < cutoff && power[i] > power[i - 1] && power[i] >= power[i + 1] && power[i] > 0.00065536f * largest)
            peaks[peakCount++] = i;
    float compressed[kPitchBins] = {};
    float bandMax = 0.0f;
    for (int i = 0; i < cutoff; ++i)
        bandMax = std::max(bandMax, power[i]);
    double compressedEnergy = 0.0;
    for (int i = 0; i < cutoff; ++i) {
        compressed[i] = std::pow(std::max(power[i] / bandMax, 1e-6f), 0.125f);
        compressedEnergy += static_cast<double>(compressed[i]) * compressed[i];
    }
    const float weight = static_cast<float>(10.0 / (compressedEnergy + 1e-6));
    const Sc36DerivedTables& derived = Sc36Derived();
    float scores[kSc36PitchCandidates];
    int best = 0;
    int tracked = -1;
    for (int k = 0; k < kSc36PitchCandidates; ++k) {
        const float candidate = derived.candidates[static_cast<size_t>(k)];
        scores[k] = CombScore(candidate, compressed, cutoff, peaks, peakCount, weight);
        if (scores[k] > scores[best])
            best = k;
        if (candidate >= 0.75f * m_trackedPitch && candidate <= 1.333f * m_trackedPitch &&
            (tracked < 0 || scores[k] > scores[tracked]))
            tracked = k;
    }
    // The comb scores sub-multiples of the fundamental nearly as well as the period itself, so shorter periods
    // are walked down from the best: each next entry is the best beyond the falling flank below the last one.
    int chosen = best;
    int last = best;
    for (int entries = 1; entries < 5; ++entries) {
        const float bound = 0.8333333f * derived.candidates[static_cast<size_t>(last)];
        if (bound < 8.0f)
            break;
        int k = last - 1;
        while (k >= 0 && derived.candidates[static_cast<size_t>(k)] > bound)
            --k;
        while (k > 0 && scores[k] < scores[k + 1])
            --k;
        if (k < 0)
            break;
        int next = k;
        for (int i = k - 1; i >= 0; --i)
            if (scores[i] > scores[next])
                next = i;
        if (scores[next] < 0.78f * scores[last])
            break;
        if (scores[next] >= 0.84f * scores[last])
            chosen = next;
        last = next;
    }
    // The tracked pitch wins a near tie, unless it is a multiple of the chosen period: a sub-harmonic scores as
    // well as the fundamental, and a track that once locked onto one would otherwise never leave it.
    if (tracked >= 0 && scores[tracked] >= 0.84f * scores[chosen]) {
        const float ratio =
            derived.candidates[static_cast<size_t>(tracked)] / derived.candidates[static_cast<size_t>(chosen)];
        const bool multiple = ratio >= 1.8f && std::fabs(ratio - std::nearbyint(ratio)) < 0.12f * ratio;
        if (!multiple)
            chosen = tracked;
    }
    float pitch = derived.candidates[static_cast<size_t>(chosen)];
    float score = scores[chosen];
    for (const int neighbour : {chosen - 1, chosen + 1}) {
        if (neighbour < 0 || neighbour >= kSc36PitchCandidates)
            continue;
        const float mid = 0.5f * (derived.candidates[static_cast<size_t>(chosen)] +
                                  derived.candidates[static_cast<size_t>(neighbour)]);
        const float midScore = CombScore(mid, compressed, cutoff, peaks, peakCount, weight);
        if (midScore > score) {
            score = midScore;
            pitch = mid;
        }
    }
    if (chosen == tracked && m_trackedScore > score)
        score = 0.5f * (score + m_trackedScore);
    m_trackedPitch = pitch;
    m_trackedScore = score;
    return pitch;
}

int Sc36Encoder::PulseOffset(int length)
{
    float s[161];
    ReadHistory(kCentreBack, 161, s);
    float a = m_pulse.x[static_cast<size_t>(m_pulse.index)];
    float b = m_pulse.y[static_cast<size_t>(m_pulse.index)];
    float bestQ = 1.0f, bestV = 0.16f;
    int best = 0;
    const int lastBest = m_pulse.best;
    for (int j = 0; j <= 158; j += 2) {
        m_pulse.index = (m_pulse.index + 1) % 4;
        const float t = 0.031005859375f * s[j];
        a = t * s[j] + 0.968994140625f * a;
        b = t * s[j + 1] + 0.968994140625f * b;
        const float v = std::fabs(b * m_pulse.s1 - a * m_pulse.s2);
        const float q = m_pulse.s1 * a;
        const size_t i = static_cast<size_t>(m_pulse.index);
        m_pulse.s1 += a - m_pulse.x[i];
        m_pulse.s2 += b - m_pulse.y[i];
        m_pulse.x[i] = a;
        m_pulse.y[i] = b;
        if (j >= lastBest - 150 && v * bestQ > q * bestV) {
            bestQ = q;
            bestV = v;
            best = j;
        }
    }
    m_pulse.best = best;
    const float h = static_cast<float>(kCentreBack - length / 2);
    if (best <= 80)
        return std::max(-40, -static_cast<int>(std::nearbyint(static_cast<float>(best) * h * 0.0125f)));
    return std::min(40, static_cast<int>(std::nearbyint(static_cast<float>(160 - best) * h * 0.0125f)));
}

float Sc36Encoder::HarmonicAnalysis(const float* re, const float* im, float& pitch, Sc36FrameParams& out,
                                    float* outPoly)
{
    float power[256];
    for (int i = 0; i < 256; ++i)
        power[i] = re[i] * re[i] + im[i] * im[i];
    SpectrumPeak peaks[kMaxPeaks];
    int peakCount = 0;
    for (int i = 1; i <= 254 && peakCount < kMaxPeaks; ++i) {
        if (power[i] >= power[i - 1] && power[i] > power[i + 1]) {
            float height = power[i];
            const float shift = ParabolicPeak(power[i - 1], power[i], power[i + 1], height);
            peaks[peakCount++] = {static_cast<float>(i) + std::clamp(shift, -1.0f, 1.0f), std::max(height, power[i])};
            ++i;
        }
    }
    if (peakCount < 4) {
        peakCount = 0;
        for (int b = 7; b <= 252; b += 7)
            peaks[peakCount++] = {static_cast<float>(b), power[b]};
    }

    // Harmonic sampling and the held power envelope.
    const float f0 = 512.0f / pitch;
    float harmonicPower[kMaxPeaks], harmonicFrequency[kMaxPeaks];
    int harmonics = 0;
    float lower = 0.5f * f0;
    while (harmonics < kMaxPeaks && lower < 256.0f - 0.5f * f0) {
        const float upper = std::min(256.0f, lower + f0);
        int found = -1;
        for (int p = 0; p < peakCount; ++p)
            if (peaks[p].frequency >= lower && peaks[p].frequency < upper &&
                (found < 0 || peaks[p].power > peaks[found].power))
                found = p;
        float f = 0.5f * (lower + upper);
        float level = power[std::min(255, static_cast<int>(f))] + 1e-6f;
        if (found >= 0) {
            f = peaks[found].frequency;
            level = peaks[found].power;
        }
        harmonicPower[harmonics] = level;
        harmonicFrequency[harmonics] = f;
        ++harmonics;
        lower = f + 0.5f * f0;
    }
    float envelope[256];
    int bin = 0;
    const int firstEdge = static_cast<int>(0.5f * (harmonicFrequency[0] + 0.0f));
    for (; bin < std::min(firstEdge, 256); ++bin)
        envelope[bin] = harmonicPower[0] * 0.96593633f; // 2^-0.05
    for (int h = 0; h < harmonics && bin < 256; ++h) {
        const float edge =
            h + 1 < harmonics ? 0.5f * (harmonicFrequency[h] + harmonicFrequency[h + 1]) : harmonicFrequency[h] + f0;
        for (; bin < std::min(256, static_cast<int>(edge)); ++bin)
            envelope[bin] = harmonicPower[h];
    }
    for (; bin < 256; ++bin)
        envelope[bin] = bin > 0 ? 0.999f * envelope[bin - 1] : harmonicPower[0];

    // Voicing: how well pairs of peaks below the voicing band agree with the pitch.
    const Sc36DerivedTables& derived = Sc36Derived();
    const int band = std::max(5, static_cast<int>(0.16796875f * pitch));
    const float top = std::min(160.0f, (static_cast<float>(band) + 0.125f) * f0);
    float amplitude[kMaxPeaks], frequency[kMaxPeaks];
    int used = 0;
    float peakMax = 0.0f, envelopeMax = 0.0f;
    for (int p = 0; p < peakCount; ++p)
        if (peaks[p].frequency < top) {
            amplitude[used] = peaks[p].power;
            frequency[used] = peaks[p].frequency;
            peakMax = std::max(peakMax, peaks[p].power);
            ++used;
        }
    for (int i = 0; i <= std::min(255, static_cast<int>(top) + 1); ++i)
        envelopeMax = std::max(envelopeMax, envelope[i]);
    float match = 0.0f;
    if (used > 0) {
        const float norm = std::max({peakMax, envelopeMax, 1e-30f});
        for (int p = 0; p < used; ++p) {
            const float a = std::pow(amplitude[p] / norm, 0.25f);
            const float e = std::pow(envelope[std::min(255, static_cast<int>(frequency[p]))] / norm, 0.25f);
            amplitude[p] = a < e && e > 0.0f ? a * std::pow(a / e, 4.0f) : a;
        }
        float product[kMaxPeaks], difference[kMaxPeaks];
        int pairs = 0;
        double productSum = 0.0;
        for (int p = 0; p < used && pairs < kMaxPeaks; ++p)
            for (int q = p; q < std::min(used, p + 3) && pairs < kMaxPeaks; ++q) {
                const float prod = amplitude[p] * amplitude[q];
                if (used >= 10 && prod <= 0.05f)
                    continue;
                product[pairs] = prod;
                difference[pairs] = frequency[q] - frequency[p];
                productSum += prod;
                ++pairs;
            }
        const auto comb = [&](float p) {
            float sum = 0.0f;
            for (int i = 0; i < pairs; ++i) {
                const int index = static_cast<int>(std::nearbyint(p * difference[i] / 2.0f)) & 255;
                sum += product[i] * derived.cosine[static_cast<size_t>(index)];
            }
            return sum;
        };
        const float spacing = pitch * 0.034587f;
        float bestPitch = pitch;
        float bestMatch = -INFINITY;
        for (int pass = 0; pass < 2; ++pass) {
            const float step = pass == 0 ? 0.375f * spacing : 0.125f * spacing;
            const float centre = bestPitch;
            for (int s = -2; s <= 2; ++s) {
                const float p = std::clamp(centre + static_cast<float>(s) * step, 8.0f, 160.0f);
                const float value = comb(p);
                if (value > bestMatch) {
                    bestMatch = value;
                    bestPitch = p;
                }
            }
        }
        pitch = bestPitch;
        match = static_cast<float>(bestMatch / (productSum + 1e-10));
    }
    const float m = std::clamp(match, 1e-6f, 0.999999f);
    const float db = -10.0f * std::log10(1.0f - m);
    const float threshold = 4.5f - 0.5f * m_lastVoicingThreshold;
    float voicing = 0.0f;
    if (db >= 13.0f)
        voicing = 1.0f;
    else if (db >= threshold)
        voicing = (db - threshold) / (13.0f - threshold);
    m_lastVoicingThreshold = voicing;

    // The envelope on the warped axis, its autocorrelation and the order-12 all-pole model.
    const float g0 = 512.0f / pitch;
    float logEnvelope[256];
    int lastPoint = 0;
    float lastValue = FastLog2(envelope[0]);
    logEnvelope[0] = lastValue;
    for (int k = 1; k <= 80; ++k) {
        const int point = k < 80 ? static_cast<int>(std::nearbyint(static_cast<float>(k) * g0)) : 255;
        const int at = std::min(point, 255);
        if (at <= lastPoint)
            continue;
        const float value = FastLog2(envelope[at]);
        for (int i = lastPoint + 1; i <= at; ++i)
            logEnvelope[i] = lastValue + (value - lastValue) * static_cast<float>(i - lastPoint) /
                                             static_cast<float>(at - lastPoint);
        lastPoint = at;
        lastValue = value;
        if (at == 255)
            break;
    }
    if (lastPoint < 255) {
        const float value = FastLog2(envelope[255]);
        for (int i = lastPoint + 1; i <= 255; ++i)
            logEnvelope[i] = lastValue + (value - lastValue) * static_cast<float>(i - lastPoint) /
                                             static_cast<float>(255 - lastPoint);
    }
    float warped[130] = {};
    for (int j = 0; j < 64; ++j)
        warped[2 * j] = FastExp2(logEnvelope[std::clamp(WarpedSource(4 * j), 0, 255)]);
    warped[128] = FastExp2(logEnvelope[254]);
    const bool transformed = RealInverseFFT(warped, 7, FFT_SCALE);
    assert(transformed && "the autocorrelation buffer holds 130 floats");
    (void)transformed;
    float r[kSc36Coefficients + 1];
    for (int i = 0; i <= kSc36Coefficients; ++i)
        r[i] = warped[i] * (i == 0 ? 1.0f : 0.999999f);
    float reflection[kSc36Coefficients];
    float error = 0.0f;
    LevinsonDurbin(r, kSc36Coefficients, outPoly, reflection, error);
    out.gain = 0.5f * FastLog2(std::max(error, 1e-20f));
    for (int i = 0; i < kSc36Coefficients; ++i)
        out.envelopeRaw[static_cast<size_t>(i)] = std::asin(std::clamp(-reflection[i], -0.9999f, 0.9999f));
    return voicing;
}

float Sc36Encoder::EndCorrelation(int length, int offset, float pitch) const
{
    float segment[261];
    ReadHistory(kCentreBack + offset, length, segment);
    for (int i = 0; i < length; ++i)
        segment[i] *= 2.0f;
    HammingApply(segment, length);
    const int lag = std::clamp(static_cast<int>(std::nearbyint(pitch)), 8, 160);
    return lag < length ? NormalisedCorrelation(segment, length, lag) : 0.0f;
}

float Sc36Encoder::CorrectVoicing(float voicing, float r, float pitch) const
{
    float v = r > 0.01f ? voicing : 0.0f;
    if (r >= 0.45f) {
        float w = r - 0.45f;
        if (pitch * 0.5f * w < 1.0f)
            w += 0.071428575f;
        if (w > v)
            v = w;
    }
    if (m_pv <= v || m_pv < 0.071428575f)
        return std::min(v, 1.0f);
    if (0.8f * m_lastPitch < pitch && pitch < 1.25f * m_lastPitch)
        v = 0.7f * v + 0.3f * m_pv;
    if (v < 0.071428575f)
        v += 0.071428575f;
    return std::min(v, 1.0f);
}

bool Sc36Encoder::ShouldHalve(const float* poly, float gain, float pitch, float voicing)
{
    static constexpr float kLifter[13] = {0.0f,     2.55291f, 4.0f,     5.24264f, 6.19615f, 6.79556f, 7.0f,
                                          6.79556f, 6.19615f, 5.24264f, 4.0f,     2.55291f, 1.0f};
    const Sc36DerivedTables& derived = Sc36Derived();
    float d[13] = {gain};
    for (int n = 1; n < 13; ++n) {
        double sum = -static_cast<double>(n) * poly[n];
        for (int j = 1; j < n; ++j)
            sum -= static_cast<double>(poly[j]) * d[n - j];
        d[n] = static_cast<float>(sum);
    }
    float weighted[13] = {gain};
    for (int n = 1; n < 13; ++n)
        weighted[n] = d[n] * derived.cepstrumScale[static_cast<size_t>(n)] * kLifter[n];
    const float distance = std::fabs(gain - m_bandHistory[0]);
    float e = 0.0f;
    for (int n = 1; n < 13; ++n)
        e += (weighted[n] - m_bandHistory[static_cast<size_t>(n)]) *
             (weighted[n] - m_bandHistory[static_cast<size_t>(n)]);
    e /= 12.0f;
    for (int n = 0; n < 13; ++n)
        m_bandHistory[static_cast<size_t>(n)] =
            e < 0.05f ? 0.9f * weighted[n] + 0.1f * m_bandHistory[static_cast<size_t>(n)] : weighted[n];
    const float r = m_referencePitch;
    const float s = m_referenceScore;
    return r < pitch && voicing >= 0.2f && 0.87f * pitch / 2.0f < r && r < 1.15f * pitch / 2.0f && distance <= 2.0f &&
           ((e <= 0.5f && s >= 3.5f) || (e <= 0.4f && s >= 2.5f) || (e <= 0.1f && s >= 1.5f));
}

void Sc36Encoder::MidFrame(float pitch, float voicing, bool halved, float endCorrelation, Sc36FrameParams& out)
{
    const float p0 = Sc36MidPitch(m_lastPitch, m_pv, halved ? 2.0f * pitch : pitch, voicing);
    const int length = AdaptiveLength(p0);
    float segment[261];
    ReadHistory(kMidCentreBack, length, segment);
    HammingApply(segment, length);
    const int m = std::min(static_cast<int>(std::nearbyint(0.1f * p0)), 4);
    const int low = std::max(static_cast<int>(std::nearbyint(p0 - static_cast<float>(m))), 8);
    const int high = std::min({static_cast<int>(std::nearbyint(p0 + static_cast<float>(m))), 160, length - 1});
    float sums[161] = {};
    int best = low;
    for (int lag = low; lag <= high; ++lag) {
        NormalisedCorrelation(segment, length, lag, &sums[lag]);
        if (sums[lag] > sums[best])
            best = lag;
    }
    float lag = static_cast<float>(best);
    float peak = sums[best];
    if (best > low && best < high)
        lag += std::clamp(ParabolicPeak(sums[best - 1], sums[best], sums[best + 1], peak), -1.0f, 1.0f);
    double e1 = 0.0, e2 = 0.0;
    for (int n = 0; n + best < length; ++n) {
        e1 += static_cast<double>(segment[n]) * segment[n];
        e2 += static_cast<double>(segment[n + best]) * segment[n + best];
    }
    const float rMid = static_cast<float>(peak / std::sqrt(e1 * e2 + 1e-6));
    out.pitchMid = std::clamp(halved ? 0.5f * lag : lag, 8.0f, 160.0f);
    if (m_currentLayer == 2) {
        const float centre = static_cast<float>(length / 2);
        for (int k = 1; k <= kSc36Harmonics; ++k) {
            const float w = static_cast<float>(k) * kTwoPi / out.pitchMid;
            double c = 0.0, s = 0.0;
            for (int n = 0; n < length; ++n) {
                c += segment[n] * std::cos(w * (static_cast<float>(n) - centre));
                s += segment[n] * std::sin(w * (static_cast<float>(n) - centre));
            }
            float phase = static_cast<float>(std::atan2(-s, c));
            if (phase < 0.0f)
                phase += kTwoPi;
            out.phaseMid[static_cast<size_t>(k - 1)] = phase;
        }
    }
    const float rLast = std::max(m_lastEndCorrelation, 0.1f);
    const float rEnd = std::max(endCorrelation, 0.1f);
    float vMid = 0.0f;
    if (std::fabs(voicing - m_pv) < 0.15f)
        vMid = 0.5f * (voicing + m_pv);
    else if (rMid >= 0.35f)
        vMid = voicing <= m_pv ? m_pv * rMid / rLast : voicing * rMid / rEnd;
    else
        vMid = voicing <= m_pv ? voicing * rMid / rEnd : m_pv * rMid / rLast;
    out.voicingMid = std::clamp(vMid, 0.0f, 1.0f);
    m_lastEndCorrelation = rEnd;
}

} // namespace sound
