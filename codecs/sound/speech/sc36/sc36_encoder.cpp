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

constexpr int kMaxPitchPeaks = 48;
constexpr int kMaxPitchEntries = 6; // five listed, and the tracked candidate
constexpr int kFitOrderMax = 7;

// Walking down from bin 95, the first bin where the power above it reaches 5 % of the band's: the comb looks no
// higher than two bins past it, and never below bin 76.
int PitchCutoff(const float* power)
{
    double total = 0.0;
    for (int i = 0; i <= 95; ++i)
        total += power[i];
    double fromTop = 0.0;
    for (int i = 95; i >= 0; --i) {
        fromTop += power[i];
        if (fromTop >= 0.05 * total)
            return std::max(76, i + 2);
    }
    return 76;
}

// |A|^2 of a low-order all-pole fit to the band below the cut-off, at 33 points over the band, and its prediction
// error. False when the band holds no power.
bool LowBandFit(const float* power, int cutoff, float* outInverse, float& outError)
{
    const int order = std::min(kFitOrderMax, (cutoff * 5 + 95) / 96);
    float buffer[64 + 2] = {};
    for (int k = 1; k <= 31; ++k)
        buffer[2 * k] =
            power[std::min(kPitchBins - 1, static_cast<int>(std::nearbyint(static_cast<float>(k * cutoff) / 32.0f)))];
    if (!RealInverseFFT(buffer, 6, FFT_SCALE))
        return false;
    if (!(buffer[0] > 0.0f))
        return false;
    float r[kFitOrderMax + 1];
    for (int i = 0; i <= order; ++i)
        r[i] = buffer[i];
    r[0] *= 1.000001f;
    float poly[kFitOrderMax + 1];
    LevinsonDurbin(r, order, poly, nullptr, outError);
    float fit[64 + 2] = {};
    float factor = 1.0f;
    for (int i = 0; i <= order; ++i) {
        fit[i] = poly[i] * factor;
        factor *= 0.98f;
    }
    const bool transformed = RealFFT(fit, 6, FFT_FORWARD);
    assert(transformed && "the fit spectrum holds 66 floats");
    (void)transformed;
    for (int k = 0; k <= 32; ++k)
        outInverse[k] = fit[2 * k] * fit[2 * k] + fit[2 * k + 1] * fit[2 * k + 1];
    return true;
}

// Local maxima of bins 1-95; below the cut-off only those that stand above a fifth of the all-pole envelope, so a
// formant's flank does not pass for a harmonic.
int PitchPeaks(const float* power, int cutoff, float largest, int* out)
{
    float inverse[33];
    float error = 0.0f;
    const bool fitted = LowBandFit(power, cutoff, inverse, error);
    int count = 0;
    for (int i = 1; i <= 95 && count < kMaxPitchPeaks; ++i) {
        if (!(power[i] > power[i - 1] && power[i] >= power[i + 1]) || !(power[i] > 0.00065536f * largest))
            continue;
        if (i < cutoff && fitted) {
            const int at =
                std::min(32, static_cast<int>(std::nearbyint(static_cast<float>(i * 32) / static_cast<float>(cutoff))));
            if (power[i] * inverse[at] < 0.2f * error)
                continue;
        }
        out[count++] = i;
    }
    return count;
}

// Candidate indices in descending pitch order; the preferred one is an index into entries.
struct PitchList {
    int entries[kMaxPitchEntries] = {};
    int count = 0;
    int preferred = 0;
};

// The best candidate, then shorter periods that still score nearly as well: each next entry is the best beyond the
// falling flank below five sixths of the last one's pitch.
PitchList ListPitchCandidates(const float* scores, int best)
{
    const Sc36DerivedTables& derived = Sc36Derived();
    PitchList list;
    list.entries[list.count++] = best;
    while (list.count < 5) {
        const int last = list.entries[list.count - 1];
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
            list.preferred = list.count;
        list.entries[list.count++] = next;
    }
    return list;
}

// Whether both candidates around pitch score below a fifth of reference.
bool FallsFlatAt(const float* scores, float pitch, float reference)
{
    const Sc36DerivedTables& derived = Sc36Derived();
    int above = 0;
    while (above < kSc36PitchCandidates && derived.candidates[static_cast<size_t>(above)] < pitch)
        ++above;
    if (above == 0 || above == kSc36PitchCandidates)
        return false;
    return scores[above - 1] < 0.2f * reference && scores[above] < 0.2f * reference;
}

// A very short period whose double or triple scores nothing is a comb artefact of a few strong high bins, not a
// voice: it goes, or, standing alone, yields to the best candidate beyond its triple.
void CheckShortestPeriod(const float* scores, PitchList& list)
{
    const Sc36DerivedTables& derived = Sc36Derived();
    const int last = list.entries[list.count - 1];
    const float pitch = derived.candidates[static_cast<size_t>(last)];
    if (pitch > 30.0f ||
        !(FallsFlatAt(scores, 2.0f * pitch, scores[last]) || FallsFlatAt(scores, 3.0f * pitch, scores[last])))
        return;
    if (list.count > 1) {
        --list.count;
        if (list.preferred == list.count)
            list.preferred = 0;
        return;
    }
    int replacement = -1;
    for (int k = 0; k < kSc36PitchCandidates; ++k)
        if (derived.candidates[static_cast<size_t>(k)] > 3.0f * pitch &&
            (replacement < 0 || scores[k] > scores[replacement]))
            replacement = k;
    if (replacement >= 0)
        list.entries[0] = replacement;
}

// The candidate near the last frame's pitch joins the list where it keeps up with the others, and is preferred
// when it scores nearly as well as the preferred entry.
void InsertTracked(const float* scores, int tracked, PitchList& list)
{
    if (tracked < 0)
        return;
    for (int i = 0; i < list.count; ++i)
        if (list.entries[i] == tracked) {
            if (scores[tracked] >= 0.84f * scores[list.entries[list.preferred]])
                list.preferred = i;
            return;
        }
    int place = 0; // entries with a longer period go before it
    while (place < list.count && list.entries[place] > tracked)
        ++place;
    const float preferredScore = scores[list.entries[list.preferred]];
    const bool goesLast = place == list.count;
    // Going after the preferred entry at 0.84 of its score is the same test as becoming preferred.
    const bool takes =
        (goesLast && scores[tracked] >= 0.72f * scores[list.entries[0]]) || scores[tracked] >= 0.84f * preferredScore;
    if (!takes || place == 0)
        return;
    for (int i = list.count; i > place; --i)
        list.entries[i] = list.entries[i - 1];
    list.entries[place] = tracked;
    ++list.count;
    if (list.preferred >= place)
        ++list.preferred;
    if (scores[tracked] >= 0.84f * preferredScore)
        list.preferred = place;
}

// The spectral shape of the analysis window around a harmonic, at 1/32 bin over 32 bins: the zero-phase window's
// transform is real and even.
const std::array<float, 1025>& WindowShape()
{
    static const std::array<float, 1025> shape = [] {
        const Sc36DerivedTables& derived = Sc36Derived();
        std::array<float, 1025> out{};
        for (size_t i = 0; i < out.size(); ++i) {
            const double delta = static_cast<double>(i) / 32.0;
            double sum = derived.analysisHalfWindow[145];
            for (int m = 1; m <= 145; ++m)
                sum += 2.0 * derived.analysisHalfWindow[static_cast<size_t>(145 - m)] *
                       std::cos(2.0 * std::numbers::pi * m * delta / 512.0);
            out[i] = static_cast<float>(sum);
        }
        return out;
    }();
    return shape;
}

float WindowShapeAt(float delta)
{
    const std::array<float, 1025>& shape = WindowShape();
    const float at = std::fabs(delta) * 32.0f;
    if (at >= 1024.0f)
        return 0.0f;
    const int i = static_cast<int>(at);
    const float t = at - static_cast<float>(i);
    return shape[static_cast<size_t>(i)] + t * (shape[static_cast<size_t>(i) + 1] - shape[static_cast<size_t>(i)]);
}

// 1 - the mean over harmonics below `bins` of the part of the complex spectrum around each harmonic that the
// window's shape, scaled at its best, leaves unexplained. A multiple of the true period puts harmonics where the
// spectrum has none, and scores low.
float HarmonicFitQuality(const float* spectrum, float pitch, int bins)
{
    const float f0 = 512.0f / pitch;
    double errorSum = 0.0;
    int harmonics = 0;
    for (int h = 1; static_cast<float>(h) * f0 < static_cast<float>(bins); ++h) {
        const float centre = static_cast<float>(h) * f0;
        const int low = std::max(0, static_cast<int>(std::ceil(centre - 0.5f * f0)));
        const int high = std::min(bins, static_cast<int>(std::ceil(centre + 0.5f * f0)));
        double energy = 0.0, shapeEnergy = 0.0, re = 0.0, im = 0.0;
        for (int b = low; b < high; ++b) {
            const double w = WindowShapeAt(static_cast<float>(b) - centre);
            const double x = spectrum[2 * b], y = spectrum[2 * b + 1];
            energy += x * x + y * y;
            shapeEnergy += w * w;
            re += x * w;
            im += y * w;
        }
        if (energy <= 0.0 || shapeEnergy <= 0.0)
            continue;
        const double explained = (re * re + im * im) / shapeEnergy;
        errorSum += std::max(0.0, energy - explained) / energy;
        ++harmonics;
    }
    return harmonics > 0 ? static_cast<float>(1.0 - errorSum / harmonics) : 0.0f;
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

// The end-of-frame pitch: a harmonic comb over the compressed low band proposes a few periods (the best and the
// shorter ones that score nearly as well, since a comb scores multiples of the period almost as high as the period
// itself), and the one whose harmonics the spectrum fits best wins.
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
    const int cutoff = PitchCutoff(power);
    int peaks[kMaxPitchPeaks];
    const int peakCount = PitchPeaks(power, cutoff, largest, peaks);
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
    const auto pitchOf = [&](int k) { return derived.candidates[static_cast<size_t>(k)]; };
    float scores[kSc36PitchCandidates];
    int best = 0;
    int tracked = -1;
    for (int k = 0; k < kSc36PitchCandidates; ++k) {
        scores[k] = CombScore(pitchOf(k), compressed, cutoff, peaks, peakCount, weight);
        if (scores[k] > scores[best])
            best = k;
        if (pitchOf(k) >= 0.75f * m_trackedPitch && pitchOf(k) <= 1.333f * m_trackedPitch &&
            (tracked < 0 || scores[k] > scores[tracked]))
            tracked = k;
    }
    if (tracked >= 0 && scores[tracked] < m_trackedScore)
        scores[tracked] = 0.5f * (scores[tracked] + m_trackedScore);

    PitchList list = ListPitchCandidates(scores, best);
    CheckShortestPeriod(scores, list);
    InsertTracked(scores, tracked, list);

    // The first, the preferred and the last entries go on, each refined to a neighbouring midpoint that scores
    // higher, and are judged by how well the spectrum fits harmonics at their pitch.
    const int chosenEntries[3] = {0, list.preferred, list.count - 1};
    int candidates = 0;
    int finalists[3];
    for (const int entry : chosenEntries)
        if (candidates == 0 || finalists[candidates - 1] != entry)
            finalists[candidates++] = entry;
    float pitch[3], score[3], quality[3];
    for (int i = 0; i < candidates; ++i) {
        const int k = list.entries[finalists[i]];
        pitch[i] = pitchOf(k);
        score[i] = scores[k];
        for (const int neighbour : {k - 1, k + 1}) {
            if (neighbour < 0 || neighbour >= kSc36PitchCandidates)
                continue;
            const float mid = 0.5f * (pitchOf(k) + pitchOf(neighbour));
            const float midScore = CombScore(mid, compressed, cutoff, peaks, peakCount, weight);
            if (midScore > score[i]) {
                score[i] = midScore;
                pitch[i] = mid;
            }
        }
    }
    const int fitBins = std::min(cutoff, static_cast<int>(std::nearbyint(512.0f / pitch[candidates - 1] * 3.9f)));
    for (int i = 0; i < candidates; ++i)
        quality[i] = HarmonicFitQuality(spectrum, pitch[i], fitBins);
    const int preferred = finalists[1] == list.preferred && candidates > 1 ? 1 : 0;
    const int last = candidates - 1;
    int chosen = preferred;
    if (preferred == last && last > 0)
        chosen = 0.88f * quality[0] <= quality[last] ? last : 0;
    else if (preferred != 0 && 0.75f * quality[0] > quality[preferred])
        chosen = 0;
    else if (1.1f * quality[preferred] <= quality[last])
        chosen = last;
    m_trackedPitch = pitch[chosen];
    m_trackedScore = score[chosen];
    return pitch[chosen];
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
