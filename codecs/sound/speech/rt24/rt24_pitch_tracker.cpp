#include "codecs/sound/speech/rt24/rt24_pitch_tracker.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "codecs/sound/speech/harmonic_tools.h"
#include "codecs/sound/speech/linear_prediction.h"
#include "codecs/sound/speech/rt24/rt24_tables.h"
#include "codecs/sound/speech/speech_filters.h"

namespace sound {

namespace {

constexpr int kFrame = 180;
constexpr int kThird = 60;
constexpr int kNewDecimated = 90;
constexpr int kCorrelated = 180; // y[0..179], the newest 180 decimated samples
constexpr int kBlock = 30;
constexpr int kLaggedEnergies = 151;
constexpr int kRefinementCentre = kTrackerDecimated - 1 - 135;
constexpr float kSilentPowerFloor = 1e-10f; // -100 dB: the level of digital silence, never -infinity

// The lag index within the range of i with the largest value, first of equals.
int RangeMaximum(const float* values, const SearchRanges& ranges, int i)
{
    int best = ranges.start[i];
    for (int j = ranges.start[i] + 1; j < ranges.start[i] + ranges.count[i]; ++j) {
        if (values[j] > values[best])
            best = j;
    }
    return best;
}

bool WithinRange(const SearchRanges& ranges, int i, int j)
{
    return j >= ranges.start[i] && j < ranges.start[i] + ranges.count[i];
}

} // namespace

SpeechDetector::Result SpeechDetector::Update(float energy, float ratio)
{
    const float energyDb = 10.0f * std::log10(std::max(energy, kSilentPowerFloor));
    const float previousDb = lastEnergyDb;
    lastEnergyDb = energyDb;
    if (ratio > 0.7f) {
        loudFloor -= 0.1125f;
        if (previousDb > loudFloor)
            loudFloor = previousDb;
    }
    if (frames > 4 && ratio < 0.5f) {
        quietFloor += 0.99999905f;
        if (previousDb < quietFloor && previousDb > 10.0f)
            quietFloor = previousDb;
    }
    const float newRange = 0.85f * range + 0.14999998f * (loudFloor - quietFloor);
    if (frames > 4 && newRange < 15.0f)
        quietFloor = loudFloor - 15.0f;
    const float threshold = quietFloor + newRange * (previousDecision == 1 ? 0.2f : 0.3f);
    const int decision = previousDb > threshold || energyDb > threshold ? 1 : 0;

    Result result;
    result.speech = decision == 1;
    if (decision == 0) {
        if (previousDecision == 1) {
            if (newRange <= 15.0f)
                hangOver = 40;
            else if (newRange >= 35.0f)
                hangOver = 10;
            else
                hangOver = static_cast<int16_t>(std::floor(-1.5f * newRange + 62.5f));
        }
        hangOver = static_cast<int16_t>(std::max(hangOver - 1, 0));
        if (hangOver > 0)
            result.speech = true;
    }
    result.voiced = decision == 1 || (newRange > 10.0f && ratio > 0.513f);
    if (result.voiced) {
        unvoicedRun = 0;
    } else if (unvoicedRun < 5) {
        ++unvoicedRun;
        result.voiced = true;
    }
    frames = std::min(frames + 1, 5);
    previousDecision = decision;
    range = newRange;
    return result;
}

SearchRanges TrackerSearchRanges(float c)
{
    SearchRanges ranges;
    for (int k = 0; k < kTrackerLags; ++k) {
        const int h = static_cast<int>(std::floor(static_cast<float>(k + 5) * c + 0.5f));
        const int start = std::max(k - h, 0);
        ranges.start[k] = static_cast<int16_t>(start);
        ranges.count[k] = static_cast<int16_t>(std::min(k + h, kTrackerLags - 1) + 1 - start);
    }
    return ranges;
}

PitchTracker::PitchTracker()
{
    std::fill(std::begin(m_previousCorrelations), std::end(m_previousCorrelations), -1.0f);
    for (int k = 0; k < 10; ++k)
        m_previousLsf[k] = 363.6f * static_cast<float>(k + 1);
    HammingRising(m_window, 270);
    HammingFalling(m_window + 135, 90);
    m_lagWeights[0] = 1.0f;
    for (int lag = 6; lag <= kTrackerMaxLag; ++lag)
        m_lagWeights[lag - 5] = std::pow(5.0f / static_cast<float>(lag), 0.28f);
    m_wideRanges = TrackerSearchRanges(0.25f);
    m_narrowRanges = TrackerSearchRanges(0.155f);
}

PitchEstimate PitchTracker::Track(const float* frame)
{
    float x[kFrame];
    for (int i = 0; i < kFrame; ++i)
        x[i] = frame[i] + 0.1f;
    IirFilter(x, x, kFrame, kRt24TrackerHighPass, 4, m_highPassState);
    PitchEstimate estimate;
    estimate.energy = static_cast<float>(DotProduct(x, x, kFrame) / kFrame);

    float white[kFrame];
    Whiten(x, white);
    Decimate(white);
    float normalised[kTrackerLags];
    Correlate(normalised);
    const int chosen = ChooseLag(normalised);
    const float lag = RefineLag(chosen);

    const float ratio = m_lastCorrelation / m_lagWeights[static_cast<int>(std::floor(lag + 0.5f)) - kTrackerMinLag];
    const SpeechDetector::Result detected = m_detector.Update(estimate.energy, ratio);
    estimate.lag = lag;
    estimate.period = 2.0f * lag;
    estimate.correlation = m_lastCorrelation;
    estimate.speech = detected.speech;
    estimate.voiced = detected.voiced;
    return estimate;
}

void PitchTracker::Whiten(const float* in, float* out)
{
    float windowed[kFrame];
    for (int i = 0; i < kFrame; ++i)
        windowed[i] = in[i] * m_window[i];
    float r[11];
    Autocorrelation(11, windowed, kFrame, r);
    float poly[11];
    float error = 0.0f;
    LevinsonDurbin(r, 10, poly, nullptr, error);
    BandwidthExpand(poly, poly, 10, 0.9921875f);
    float lsf[10];
    PolyToLsf(poly, 10, 8000.0f, lsf);
    float gamma = 0.9921875f;
    for (int k = 0; k + 1 < 10; ++k) {
        if (lsf[k + 1] - lsf[k] < 64.0f)
            gamma = 0.98828125f;
    }
    for (int t = 1; t <= 3; ++t) {
        float between[10];
        for (int k = 0; k < 10; ++k)
            between[k] = m_previousLsf[k] + (lsf[k] - m_previousLsf[k]) * static_cast<float>(t) / 3.0f;
        float thirdPoly[11];
        LsfToPoly(between, 10, 0.000125f, thirdPoly);
        float coefficients[21];
        BandwidthExpand(thirdPoly, coefficients, 10, gamma);
        float denominator[11];
        BandwidthExpand(thirdPoly, denominator, 10, 0.8f);
        std::copy(denominator + 1, denominator + 11, coefficients + 11);
        IirFilter(in + (t - 1) * kThird, out + (t - 1) * kThird, kThird, coefficients, 10, m_weightingState);
    }
    std::copy(lsf, lsf + 10, m_previousLsf);
}

void PitchTracker::Decimate(const float* in)
{
    float low[kFrame];
    IirFilter(in, low, kFrame, kRt24TrackerLowPass, 3, m_lowPassState);
    std::copy(m_decimated + kNewDecimated, m_decimated + kTrackerDecimated, m_decimated);
    for (int i = 0; i < kNewDecimated; ++i)
        m_decimated[kTrackerDecimated - kNewDecimated + i] = low[2 * i];
}

void PitchTracker::Correlate(float* outNormalised) const
{
    float y[kCorrelated];
    std::copy(m_decimated + kTrackerDecimated - kCorrelated, m_decimated + kTrackerDecimated, y);
    for (int k = 0; k < 90; ++k)
        y[k] *= 0.58f + 0.004666667f * static_cast<float>(k);

    float correlation[3][kTrackerLags];
    for (int b = 0; b < 3; ++b) {
        const float* const block = y + 90 + kBlock * b;
        for (int i = 0; i < kTrackerLags; ++i)
            correlation[b][i] = static_cast<float>(DotProduct(block, block - (i + kTrackerMinLag), kBlock));
    }
    float lagged[kLaggedEnergies];
    lagged[0] = static_cast<float>(DotProduct(y + 150, y + 150, kBlock));
    for (int j = 1; j < kLaggedEnergies; ++j)
        lagged[j] = std::max(lagged[j - 1] + y[150 - j] * y[150 - j] - y[180 - j] * y[180 - j], 0.0f);
    const float reference = lagged[0] + lagged[30] + lagged[60];
    const bool threeBlocks = lagged[30] >= 0.5f * lagged[0];
    const int anchor = threeBlocks ? 1 : 2;
    const auto energyAt = [&](int block, int index) { return lagged[60 - kBlock * block + index + kTrackerMinLag]; };

    float summed[kTrackerLags];
    float energy[kTrackerLags];
    for (int i = 0; i < kTrackerLags; ++i) {
        summed[i] = correlation[anchor][i];
        energy[i] = energyAt(anchor, i);
        for (int b = threeBlocks ? 0 : 1; b < 3; ++b) {
            if (b == anchor)
                continue;
            const int j = RangeMaximum(correlation[b], m_narrowRanges, i);
            summed[i] += correlation[b][j];
            energy[i] += energyAt(b, j);
        }
    }
    // The energies are never negative, so their bit patterns order as the values do.
    int32_t bits[kTrackerLags];
    for (int i = 0; i < kTrackerLags; ++i)
        bits[i] = std::bit_cast<int32_t>(energy[i]);
    const float largest = std::bit_cast<float>(PeakSearch(bits, kTrackerLags).value);
    for (int i = 0; i < kTrackerLags; ++i) {
        const float raised = std::max(energy[i], 0.25f * largest + 1e-6f);
        outNormalised[i] = summed[i] / std::sqrt(reference * raised + 1e-6f);
    }
    float original[kTrackerLags];
    std::copy(outNormalised, outNormalised + kTrackerLags, original);
    for (int i = 1; i <= 15; ++i) {
        if (original[i] > 0.15f && original[i] > original[i - 1] && original[i] > original[i + 1])
            ParabolicPeak(original[i - 1], original[i], original[i + 1], outNormalised[i]);
    }
    for (int i = 0; i < kTrackerLags; ++i)
        outNormalised[i] *= m_lagWeights[i];
}

int PitchTracker::ChooseLag(const float* normalised)
{
    float g[kTrackerLags];
    for (int i = 0; i < kTrackerLags; ++i)
        g[i] = (normalised[RangeMaximum(normalised, m_wideRanges, i)] + m_previousCorrelations[i]) / 2.0f;
    int global = 0;
    for (int i = 1; i < kTrackerLags; ++i) {
        if (g[i] > g[global])
            global = i;
    }
    float globalCorrelation = g[global];
    bool subMultiple = false;
    const int globalLag = global + kTrackerMinLag;
    if (globalLag < 11) {
        const int twice = 2 * globalLag - kTrackerMinLag;
        const int thrice = 3 * globalLag - kTrackerMinLag;
        if (g[twice] < 0.5f * globalCorrelation || g[thrice] < 0.5f * globalCorrelation) {
            int best = thrice + 1;
            for (int i = thrice + 2; i < kTrackerLags; ++i) {
                if (g[i] > g[best])
                    best = i;
            }
            global = best;
            globalCorrelation = g[best];
            subMultiple = true;
        }
    }

    const int current = m_currentLag - kTrackerMinLag;
    const int tracked = RangeMaximum(m_previousCorrelations, m_wideRanges, current);
    float trackedCorrelation = (m_previousCorrelations[tracked] + m_lastCorrelation) / 2.0f;
    if (WithinRange(m_wideRanges, m_previousLag - kTrackerMinLag, current)) {
        const float steady =
            0.25f * m_previousCorrelation + 0.35f * m_lastCorrelation + 0.4f * m_previousCorrelations[tracked];
        trackedCorrelation = std::max(trackedCorrelation, steady);
    }
    if (subMultiple && tracked + kTrackerMinLag < 11 && trackedCorrelation < 0.5f)
        trackedCorrelation = -1.0f;

    int chosen = 0;
    if (tracked > global)
        chosen = 0.98f * trackedCorrelation >= globalCorrelation ? tracked : global;
    else
        chosen = 0.93f * globalCorrelation > trackedCorrelation ? global : tracked;

    m_previousLag = m_currentLag;
    m_currentLag = chosen + kTrackerMinLag;
    m_previousCorrelation = m_lastCorrelation;
    m_lastCorrelation = normalised[chosen];
    std::copy(normalised, normalised + kTrackerLags, m_previousCorrelations);
    return m_currentLag;
}

float PitchTracker::RefineLag(int lag)
{
    const int d = std::min(4, static_cast<int>(std::floor(0.1f * static_cast<float>(lag) + 0.5f)));
    const int low = std::max(lag - d, kTrackerMinLag);
    const int high = std::min(lag + d, kTrackerMaxLag);
    const int n = std::clamp(3 * high, 65, 180);
    float segment[180];
    std::copy(m_decimated + kRefinementCentre - n / 2, m_decimated + kRefinementCentre - n / 2 + n, segment);
    CosineWindowApply(segment, n, 0.75f, 0.25f);

    float correlation[2 * 4 + 1] = {};
    int best = low;
    for (int t = low; t <= high; ++t) {
        correlation[t - low] = static_cast<float>(DotProduct(segment, segment + t, n - t));
        if (correlation[t - low] > correlation[best - low])
            best = t;
    }
    float refined = static_cast<float>(best);
    float peak = correlation[best - low];
    if (best > low && best < high) {
        refined +=
            ParabolicPeak(correlation[best - low - 1], correlation[best - low], correlation[best - low + 1], peak);
    }
    const double e1 = DotProduct(segment, segment, n - best);
    const double e2 = DotProduct(segment + best, segment + best, n - best);
    const auto c = static_cast<float>(m_lagWeights[best - kTrackerMinLag] * peak / std::sqrt(e1 * e2 + 1e-6));
    if (c > m_lastCorrelation)
        m_lastCorrelation = c;
    if (c <= 0.01f) {
        m_lastCorrelation = -1.0f;
        refined = static_cast<float>(m_previousLag);
    }
    return refined;
}

} // namespace sound
