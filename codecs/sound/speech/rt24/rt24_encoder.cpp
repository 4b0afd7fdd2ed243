#include "codecs/sound/speech/rt24/rt24_encoder.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/probe_registry.h"

namespace sound {

namespace {

constexpr int kHistorySamples = 401;
constexpr int kAnalysisDelay = 270;
constexpr int kWindowLengths[3] = {221, 241, 261};
constexpr float kKaiserBeta = 6.0f;
constexpr int kSpectrumOrder = 9; // 512 points
constexpr int kFirstBand = 3;
constexpr int kLastBand = 64;
constexpr int kFixedShift = 22; // harmonic positions in 10.22 fixed point
constexpr int64_t kFixedBin = int64_t{1} << kFixedShift;
constexpr float kMaxRefinedPeriod = 182.0f;
constexpr float kMinRefinedPeriod = 8.0f;

// Where the harmonic grid of a period lies in the 256-bin spectrum, and how wide one bin is in window-table entries.
struct HarmonicGrid {
    int64_t spacing = 0; // bins, 10.22
    int entriesPerBin = 0;

    HarmonicGrid(float period, int windowLength)
    {
        spacing = static_cast<int64_t>(512.0 / period * static_cast<double>(kFixedBin));
        entriesPerBin = static_cast<int>(std::lround(static_cast<float>(windowLength - 1) * 0.14545454f));
        if (period < 9.0f)
            --entriesPerBin;
        if (static_cast<float>(kRt24WindowShapeEntries) * period < 256.0f * static_cast<float>(entriesPerBin))
            entriesPerBin = 32;
    }
    // The window's value at bin j for a harmonic at position (10.22).
    float ShapeAt(int j, int64_t position) const
    {
        const int64_t distance = std::abs((int64_t{j} << kFixedShift) - position);
        const int64_t entry = std::min<int64_t>((distance * entriesPerBin) >> kFixedShift, kRt24WindowShapeEntries - 1);
        return Rt24WindowShape()[static_cast<size_t>(entry)];
    }
};

int CeilBin(int64_t fixed)
{
    return static_cast<int>((fixed + kFixedBin - 1) >> kFixedShift);
}

int NearestBin(int64_t fixed)
{
    return static_cast<int>((fixed + kFixedBin / 2) >> kFixedShift);
}

double KaiserSpectrumShape(double e)
{
    const double beta = 6.0;
    const double u = std::numbers::pi * e / 74.4727;
    const auto g = [](double x) { return x == 0.0 ? 1.0 : std::sinh(x) / x; };
    const double d = beta * beta - u * u;
    const double value = d >= 0.0 ? g(std::sqrt(d)) : (std::sin(std::sqrt(-d)) / std::sqrt(-d));
    return std::fabs(value / g(beta));
}

} // namespace

const std::array<float, kRt24WindowShapeEntries>& Rt24WindowShape()
{
    static const std::array<float, kRt24WindowShapeEntries> table = [] {
        std::array<float, kRt24WindowShapeEntries> values{};
        for (int e = 0; e < kRt24WindowShapeEntries; ++e)
            values[static_cast<size_t>(e)] = static_cast<float>(KaiserSpectrumShape(e));
        return values;
    }();
    return table;
}

std::unique_ptr<Rt24Encoder> Rt24Encoder::Create(ProbeRegistry& registry)
{
    std::unique_ptr<Rt24Encoder> encoder(new (std::nothrow) Rt24Encoder);
    if (!encoder)
        return nullptr;
    encoder->m_history = SampleHistory::Create(kHistorySamples);
    if (!encoder->m_history)
        return nullptr;
    for (int i = 0; i < 3; ++i) {
        encoder->m_windows[i] = KaiserHalfWindow(kWindowLengths[i], kKaiserBeta);
        if (encoder->m_windows[i].empty())
            return nullptr;
        NormaliseWindowEnergy(encoder->m_windows[i], kWindowLengths[i]);
    }
    Rt24WindowShape();
    encoder->m_registry = &registry;
    encoder->m_postEncode = RegisterProbe(registry, "post encode");
    encoder->m_postResidualAmplitudes = RegisterProbe(registry, "post calc res amps rt");
    if (encoder->m_postEncode == nullptr || encoder->m_postResidualAmplitudes == nullptr ||
        !RegisterHarmonicParams(registry, encoder->params) ||
        RegisterFieldParameter(registry, &encoder->autocorrelation[0], kElementKindFloat, "energy") == nullptr ||
        RegisterConstant16(registry, kRt24SampleRate, "rate") == nullptr ||
        RegisterConstant16(registry, kRt24MaxHarmonics, "max harmonics") == nullptr ||
        RegisterConstant16(registry, kRt24FrameSamples, "frame length") == nullptr)
        return nullptr;
    return encoder;
}

void Rt24Encoder::Analyse(const int16_t* pcm)
{
    float work[kRt24FrameSamples];
    HighPass(pcm, work, kRt24FrameSamples, m_highPass);
    m_history->Write(0, kRt24FrameSamples, work);
    const PitchEstimate tracked = m_tracker.Track(work);
    float period = tracked.period;

    const int choice = period > 60.0f ? 2 : (period > 43.0f ? 1 : 0);
    windowLength = static_cast<uint16_t>(kWindowLengths[choice]);
    const int length = windowLength;
    float frame[261];
    m_history->Read(kAnalysisDelay, length, frame);
    ApplyHalfWindow(frame, m_windows[choice], frame, length);

    float r[kRt24LpcOrder + 1];
    Autocorrelation(kRt24LpcOrder + 1, frame, length, r);
    ScaleVector(r, kRt24LpcOrder + 1, 1.0f / static_cast<float>(length), autocorrelation);
    float error = 0.0f;
    LevinsonDurbin(r, kRt24LpcOrder, params.lpcPoly, nullptr, error);
    // The recursion ran on the unscaled sums, so error / L is the residual's power per sample.
    params.resEnergy = error / static_cast<float>(length);
    BandwidthExpand(params.lpcPoly, params.lpcPoly, kRt24LpcOrder, 0.994f);

    // 512 points and the packed spectrum's two extra floats.
    float spectrum[(1 << kSpectrumOrder) + 2];
    const bool transformed = CentreIntoFft(frame, length, spectrum, kSpectrumOrder);
    (void)transformed; // the buffer is sized for it: the transform cannot refuse
    SplitComplex(spectrum, m_re, m_im, kRt24SpectrumBins);
    PowerSpectrum(m_re, m_im, kRt24SpectrumBins, m_power);

    period = RefinePitch(period);
    float pv = SpectralVoicing(period, tracked.speech);

    const int lagIndex = static_cast<int>(std::floor(tracked.lag + 0.5f)) - kTrackerMinLag;
    const float ratio = std::clamp(tracked.correlation / m_tracker.LagWeights()[lagIndex], 0.0f, 1.0f);
    if (ratio > 0.6f && pv > 0.1f)
        pv = (pv + ratio) / 2.0f;
    else if (pv * ratio < 0.16f && ratio < 0.6f)
        pv = m_previousFinalPv < 0.4f ? 0.0f : pv;
    else if (pv > 0.4f && ratio > 0.4f)
        pv = std::sqrt(pv);
    if (!tracked.voiced)
        pv = 0.0f;
    m_previousFinalPv = pv;
    if (pv == 0.0f)
        period = kRt24MaxPitch;
    m_lastPitch = period;

    params.pitch = period;
    params.pv = pv;
    for (int i = 0; i < kRt24LpcOrder; ++i)
        params.lpc[i] = -params.lpcPoly[i + 1];
    FireProbe(m_postEncode);
}

float Rt24Encoder::RefinePitch(float period)
{
    period = std::max(period, kMinRefinedPeriod);
    float best = period;
    float bestCost = HarmonicFitCost(period, m_re, m_im, windowLength);
    const auto consider = [&](float candidate) {
        if (candidate < kMinRefinedPeriod)
            return;
        const float cost = HarmonicFitCost(candidate, m_re, m_im, windowLength);
        if (cost < bestCost) {
            bestCost = cost;
            best = candidate;
        }
    };
    for (const float step : {-1.5f, -0.75f, 0.75f, 1.5f})
        consider(period + step);
    const float coarse = best;
    for (const float step : {-0.5f, -0.25f, 0.25f, 0.5f})
        consider(coarse + step);
    best = std::min(best, kMaxRefinedPeriod);
    HarmonicMismatch(best, m_re, m_im, m_power, windowLength, mismatch);
    return best;
}

float HarmonicFitCost(float period, const float* re, const float* im, int windowLength)
{
    const HarmonicGrid grid(period, windowLength);
    const int first = static_cast<int>(std::lround(3.0f * period / 512.0f));
    int last = static_cast<int>(std::lround(static_cast<float>(kLastBand) * period / 512.0f));
    if (NearestBin(grid.spacing * last) > kRt24SpectrumBins - 1)
        --last;
    double cost = 1e-6;
    int bandStart = std::max(CeilBin(grid.spacing * (first - 1) + grid.spacing / 2), kFirstBand);
    for (int h = first; h <= last; ++h) {
        const int64_t position = grid.spacing * h;
        const int centre = std::clamp(NearestBin(position), 0, kRt24SpectrumBins - 1);
        const int bandEnd = std::min(CeilBin(position + grid.spacing / 2), kLastBand + 1);
        for (int j = std::max(bandStart, 0); j < bandEnd; ++j) {
            const float shape = grid.ShapeAt(j, position);
            cost += std::fabs(re[j] - re[centre] * shape) + std::fabs(im[j] - im[centre] * shape);
        }
        bandStart = std::max(bandStart, bandEnd);
    }
    return static_cast<float>(cost);
}

int HarmonicMismatch(float period, const float* re, const float* im, const float* power, int windowLength, float* out)
{
    const HarmonicGrid grid(period, windowLength);
    const int count = std::min(HarmonicCount(period), kRt24MaxHarmonics);
    int bandStart = CeilBin(grid.spacing / 2);
    for (int k = 0; k < count; ++k) {
        const int64_t position = grid.spacing * (k + 1);
        const int centre = std::clamp(NearestBin(position), 0, kRt24SpectrumBins - 1);
        const int bandEnd = std::min(CeilBin(position + grid.spacing / 2), kRt24SpectrumBins);
        double error = 1e-6;
        double energy = 1e-6;
        for (int j = bandStart; j < bandEnd; ++j) {
            const float shape = grid.ShapeAt(j, position);
            const float dr = re[j] - re[centre] * shape;
            const float di = im[j] - im[centre] * shape;
            error += static_cast<double>(dr) * dr + static_cast<double>(di) * di;
            energy += power[j];
        }
        out[k] = static_cast<float>(error / energy);
        bandStart = std::max(bandStart, bandEnd);
    }
    return count;
}

float Rt24Encoder::SpectralVoicing(float period, bool speech)
{
    const int n = std::min(HarmonicCount(period), kRt24MaxHarmonics);
    const float scale = 1.0f / (static_cast<float>(windowLength) * 256.0f);
    double lowSum = 1e-6;
    double highSum = 1e-6;
    for (int j = 0; j < 128; ++j) {
        lowSum += m_power[j];
        highSum += m_power[128 + j];
    }
    const auto low = static_cast<float>(lowSum) * scale;
    const auto high = static_cast<float>(highSum) * scale;
    const float total = low + high;
    float pv = 0.0f;
    float& e = voicing.smoothedEnergy;
    if (total >= 1e-6f) {
        e = total <= e ? e + 0.01f * (total - e) : (total + e) / 2.0f;
        e = std::min(e, 40000.0f);
        const float a = (0.005f * e + total) / (0.01f * e + total);
        const float b = std::min(std::sqrt(low / (5.0f * high)), 1.0f);
        const float c = std::min(65.0f / period, 1.0f);
        const float t0 = a * b * c;
        const float slope = t0 * 1.9452741f / period;
        const float q = voicing.previousPv;
        int voicedCount = 0;
        for (int k = 0; k < n; ++k) {
            const float t = t0 - static_cast<float>(k) * slope;
            const bool before = voicing.voiced[k] != 0;
            float threshold = 0.65f * t;
            if (q >= 0.85f)
                threshold = 0.95f * t;
            else if (before && q >= 0.65f)
                threshold = 0.9f * t;
            else if (before && q >= 0.5f)
                threshold = 0.85f * t;
            else if (before)
                threshold = 0.75f * t;
            voicing.voiced[k] = mismatch[k] < threshold ? 1 : 0;
            voicedCount += voicing.voiced[k];
        }
        for (int k = n; k < kRt24MaxHarmonics; ++k)
            voicing.voiced[k] = 0;
        pv = RatioAtMostOne(static_cast<float>(voicedCount), static_cast<float>(n));

        const float r1 = total / e;
        const float r2 = low / high;
        const float r3 = a * b;
        const bool silent = r1 < 0.0001f || (r1 < 0.0005f && r2 < 150.0f) || (r1 < 0.0012f && r2 < 20.0f) ||
                            (r1 < 0.021f && r2 < 1.27f && r3 < 0.35f && q == 0.0f) ||
                            (r1 < 0.02f && r2 < 1.13f && r3 < 0.22f && q == 0.0f) ||
                            (r1 < 0.02f && r2 < 1.13f && r3 < 0.28f && q < 0.12f) ||
                            (r1 < 0.023f && r2 < 1.0f && r3 < 0.19f && q < 0.12f) ||
                            (r1 < 0.041f && r2 < 0.3f && r3 < 0.15f && q == 0.0f) ||
                            (r1 < 0.115f && r2 < 0.62f && r3 < 0.34f && q == 0.0f && period > 100.0f) ||
                            (r1 < 0.043f && r2 < 2.1f && r3 < 0.58f && q == 0.0f && period > 110.0f);
        if (silent)
            pv = 0.0f;
    }
    if (!speech)
        pv = 0.0f;
    if (pv == 0.0f)
        std::fill(std::begin(voicing.voiced), std::end(voicing.voiced), int16_t{0});
    voicing.previousPv = pv;
    return pv;
}

} // namespace sound
