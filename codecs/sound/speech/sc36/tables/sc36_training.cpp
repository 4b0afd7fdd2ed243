#include "codecs/sound/speech/sc36/tables/sc36_training.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/sc36/sc36_decoder.h"
#include "codecs/sound/speech/sc36/sc36_encoder.h"

// Sections: frame collection; k-means and Lloyd-Max; the envelope stages; the other tables; flat values and source.

namespace sound {

namespace {

constexpr int kKMeansRounds = 24;
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kRefinementLimit = 0.0599f;
constexpr int kPinnedPhasePairs = 2;
constexpr int kPinnedMeans = 3;
constexpr int kDecimatorHalfTaps = 31;

using Points = std::vector<Sc36Pair>;

int VoicingSetOf(float voicingEnd)
{
    return voicingEnd <= 0.8f ? 0 : 1;
}

float Squared(const Sc36Pair& a, const Sc36Pair& b)
{
    return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]);
}

int Nearest(const Sc36Pair& p, const Sc36Pair* book, int count)
{
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (Squared(p, book[i]) < Squared(p, book[best]))
            best = i;
    return best;
}

// ---- k-means and Lloyd-Max

// count centroids; the first `pinned` stay as given. A fresh run seeds from evenly spaced points, a later pass goes on
// from the codebook it is given; an emptied cell takes the point worst served, so the result depends on the order
// of points only.
void KMeans(const Points& points, Sc36Pair* book, int count, bool fresh, int pinned = 0)
{
    if (points.empty())
        return;
    for (int i = pinned; i < count && fresh; ++i)
        book[i] = points[(static_cast<size_t>(i - pinned) * 2 + 1) * points.size() /
                         (2 * static_cast<size_t>(count - pinned))];
    std::vector<int> cell(points.size());
    for (int round = 0; round < kKMeansRounds; ++round) {
        std::vector<std::array<double, 3>> sums(static_cast<size_t>(count), {0.0, 0.0, 0.0});
        size_t worst = 0;
        float worstDistance = -1.0f;
        for (size_t p = 0; p < points.size(); ++p) {
            cell[p] = Nearest(points[p], book, count);
            const float d = Squared(points[p], book[cell[p]]);
            if (d > worstDistance) {
                worstDistance = d;
                worst = p;
            }
            auto& s = sums[static_cast<size_t>(cell[p])];
            s[0] += points[p][0];
            s[1] += points[p][1];
            s[2] += 1.0;
        }
        for (int i = pinned; i < count; ++i) {
            const auto& s = sums[static_cast<size_t>(i)];
            if (s[2] > 0.0) {
                book[i] = {static_cast<float>(s[0] / s[2]), static_cast<float>(s[1] / s[2])};
            } else {
                book[i] = points[worst];
                worstDistance = -1.0f;
            }
        }
    }
}

// Phase pairs: magnitude and a circular end phase; the mean phase of a cell is the angle of its mean unit vector.
void CircularKMeans(const Points& points, Sc36Pair* book, int count, bool fresh, int pinned)
{
    if (points.empty())
        return;
    const auto distance = [](const Sc36Pair& a, const Sc36Pair& b) {
        float d = std::fabs(a[1] - b[1]);
        d = std::min(d, kTwoPi - d);
        return (a[0] - b[0]) * (a[0] - b[0]) + d * d;
    };
    for (int i = pinned; i < count && fresh; ++i)
        book[i] = points[(static_cast<size_t>(i - pinned) * 2 + 1) * points.size() /
                         (2 * static_cast<size_t>(count - pinned))];
    for (int round = 0; round < kKMeansRounds; ++round) {
        std::vector<std::array<double, 4>> sums(static_cast<size_t>(count), {0.0, 0.0, 0.0, 0.0});
        for (const Sc36Pair& p : points) {
            int best = 0;
            for (int i = 1; i < count; ++i)
                if (distance(p, book[i]) < distance(p, book[best]))
                    best = i;
            auto& s = sums[static_cast<size_t>(best)];
            s[0] += p[0];
            s[1] += std::cos(p[1]);
            s[2] += std::sin(p[1]);
            s[3] += 1.0;
        }
        for (int i = pinned; i < count; ++i) {
            const auto& s = sums[static_cast<size_t>(i)];
            if (s[3] == 0.0)
                continue;
            float phase = static_cast<float>(std::atan2(s[2], s[1]));
            if (phase < 0.0f)
                phase += kTwoPi;
            if (!(phase < kTwoPi))
                phase = 0.0f;
            book[i] = {std::clamp(static_cast<float>(s[0] / s[3]), kSc36PhaseThreshold, kPi), phase};
        }
    }
}

// One-dimensional Lloyd-Max over the gain levels; the four lowest and four highest are given and stay.
void TrainGainLevels(const std::vector<float>& gains, std::array<float, kSc36GainLevels>& levels)
{
    if (gains.empty())
        return;
    for (int round = 0; round < kKMeansRounds; ++round) {
        std::array<double, kSc36GainLevels> sum{}, count{};
        for (const float g : gains) {
            const int i = NearestIndex(g, levels.data(), kSc36GainLevels);
            sum[static_cast<size_t>(i)] += g;
            count[static_cast<size_t>(i)] += 1.0;
        }
        for (int i = 4; i < 60; ++i)
            if (count[static_cast<size_t>(i)] > 0.0)
                levels[static_cast<size_t>(i)] =
                    static_cast<float>(sum[static_cast<size_t>(i)] / count[static_cast<size_t>(i)]);
        // Levels must rise strictly between the given ends: an empty or crowded level moves up to a small step.
        const float step = 1e-3f;
        for (int i = 4; i < 60; ++i)
            levels[static_cast<size_t>(i)] =
                std::max(levels[static_cast<size_t>(i)], levels[static_cast<size_t>(i - 1)] + step);
        for (int i = 59; i >= 4; --i)
            levels[static_cast<size_t>(i)] =
                std::min(levels[static_cast<size_t>(i)], levels[static_cast<size_t>(i + 1)] - step);
    }
}

// ---- the envelope stages

// What one frame's envelope looks like to the trainer: its set and its targets after the means.
struct EnvelopeTarget {
    int set = 0;
    std::array<float, kSc36Coefficients> r{};
    std::array<float, kSc36Coefficients> quantised{}; // the stages done so far, prediction included
};

// A least-squares 2 x 2s prediction of the pair r from the quantised earlier pairs, with a little ridge so that a
// set with few frames stays tame.
void TrainPrediction(const std::vector<EnvelopeTarget>& targets, int set, int stage, float* matrix)
{
    const int n = 2 * stage;
    std::vector<double> a(static_cast<size_t>(n * n), 0.0), b(static_cast<size_t>(2 * n), 0.0);
    size_t frames = 0;
    for (const EnvelopeTarget& t : targets) {
        if (t.set != set)
            continue;
        ++frames;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                a[static_cast<size_t>(i * n + j)] +=
                    static_cast<double>(t.quantised[static_cast<size_t>(i)]) * t.quantised[static_cast<size_t>(j)];
            for (int o = 0; o < 2; ++o)
                b[static_cast<size_t>(o * n + i)] +=
                    static_cast<double>(t.r[static_cast<size_t>(2 * stage + o)]) * t.quantised[static_cast<size_t>(i)];
        }
    }
    for (int i = 0; i < 2 * n; ++i)
        matrix[i] = 0.0f;
    if (frames < static_cast<size_t>(4 * n))
        return;
    for (int i = 0; i < n; ++i)
        a[static_cast<size_t>(i * n + i)] += 1e-3 * static_cast<double>(frames);
    // Gaussian elimination with partial pivoting on both right-hand sides at once.
    std::vector<double> m = a;
    std::vector<double> rhs = b;
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int row = col + 1; row < n; ++row)
            if (std::fabs(m[static_cast<size_t>(row * n + col)]) > std::fabs(m[static_cast<size_t>(pivot * n + col)]))
                pivot = row;
        if (std::fabs(m[static_cast<size_t>(pivot * n + col)]) < 1e-12)
            return;
        for (int j = 0; j < n; ++j)
            std::swap(m[static_cast<size_t>(col * n + j)], m[static_cast<size_t>(pivot * n + j)]);
        for (int o = 0; o < 2; ++o)
            std::swap(rhs[static_cast<size_t>(o * n + col)], rhs[static_cast<size_t>(o * n + pivot)]);
        for (int row = col + 1; row < n; ++row) {
            const double f = m[static_cast<size_t>(row * n + col)] / m[static_cast<size_t>(col * n + col)];
            for (int j = col; j < n; ++j)
                m[static_cast<size_t>(row * n + j)] -= f * m[static_cast<size_t>(col * n + j)];
            for (int o = 0; o < 2; ++o)
                rhs[static_cast<size_t>(o * n + row)] -= f * rhs[static_cast<size_t>(o * n + col)];
        }
    }
    for (int o = 0; o < 2; ++o)
        for (int row = n - 1; row >= 0; --row) {
            double v = rhs[static_cast<size_t>(o * n + row)];
            for (int j = row + 1; j < n; ++j)
                v -= m[static_cast<size_t>(row * n + j)] * matrix[o * n + j];
            matrix[o * n + row] = static_cast<float>(v / m[static_cast<size_t>(row * n + row)]);
        }
}

Sc36Pair Predicted(const float* matrix, const EnvelopeTarget& t, int stage)
{
    Sc36Pair p{0.0f, 0.0f};
    if (matrix == nullptr)
        return p;
    const int n = 2 * stage;
    for (int i = 0; i < n; ++i) {
        p[0] += matrix[i] * t.quantised[static_cast<size_t>(i)];
        p[1] += matrix[n + i] * t.quantised[static_cast<size_t>(i)];
    }
    return p;
}

// The rotated two-stage quantiser of one pair: the first codebook by k-means; per cell, a rotation onto the
// principal axis of its errors scaled by their spread, so that one second codebook serves every cell; the cells
// whose normalised errors are least round select codebook B.
void TrainRotatedStage(const Points& targets, int stage, bool fresh, Sc36RotatedStage& out)
{
    if (targets.empty())
        return;
    KMeans(targets, out.first.data(), 32, fresh);
    std::vector<int> cell(targets.size());
    std::array<std::array<double, 4>, 32> moments{}; // count, xx, xy, yy of the errors
    for (size_t p = 0; p < targets.size(); ++p) {
        cell[p] = Nearest(targets[p], out.first.data(), 32);
        const Sc36Pair& c = out.first[static_cast<size_t>(cell[p])];
        const double ex = targets[p][0] - c[0], ey = targets[p][1] - c[1];
        auto& m = moments[static_cast<size_t>(cell[p])];
        m[0] += 1.0;
        m[1] += ex * ex;
        m[2] += ex * ey;
        m[3] += ey * ey;
    }
    std::array<double, 32> roundness{};
    for (size_t i = 0; i < 32; ++i) {
        const auto& m = moments[i];
        if (m[0] < 2.0) {
            out.rotation[i] = {1.0f, 0.0f};
            roundness[i] = 2.0; // never anisotropic: too few errors to tell
            continue;
        }
        const double xx = m[1] / m[0], xy = m[2] / m[0], yy = m[3] / m[0];
        const double angle = 0.5 * std::atan2(2.0 * xy, xx - yy);
        const double half = 0.5 * (xx + yy);
        const double spread = std::sqrt(std::max(0.0, 0.25 * (xx - yy) * (xx - yy) + xy * xy));
        const double major = half + spread, minor = std::max(0.0, half - spread);
        const double scale = 1.0 / std::clamp(std::sqrt(major), 1e-3, 30.0);
        out.rotation[i] = {static_cast<float>(scale * std::cos(angle)), static_cast<float>(scale * std::sin(angle))};
        roundness[i] = major > 0.0 ? minor / major : 1.0;
    }
    const int listCount = kSc36ListCounts[static_cast<size_t>(stage)];
    std::array<int, 32> order{};
    for (int i = 0; i < 32; ++i)
        order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return roundness[static_cast<size_t>(a)] < roundness[static_cast<size_t>(b)];
    });
    out.list = {};
    for (int i = 0; i < listCount; ++i)
        out.list[static_cast<size_t>(i)] = static_cast<uint8_t>(order[static_cast<size_t>(i)]);
    std::array<bool, 32> listed{};
    for (int i = 0; i < listCount; ++i)
        listed[out.list[static_cast<size_t>(i)]] = true;
    Points errorsA, errorsB;
    for (size_t p = 0; p < targets.size(); ++p) {
        const size_t i = static_cast<size_t>(cell[p]);
        const Sc36Pair& c = out.first[i];
        const Sc36Pair& r = out.rotation[i];
        const Sc36Pair e{targets[p][0] - c[0], targets[p][1] - c[1]};
        const Sc36Pair rotated{r[0] * e[0] + r[1] * e[1], r[0] * e[1] - r[1] * e[0]};
        (listed[i] ? errorsB : errorsA).push_back(rotated);
    }
    const int entries = 1 << kSc36SecondBits[static_cast<size_t>(stage)];
    KMeans(errorsA, out.secondA.data(), entries, fresh);
    KMeans(errorsB, out.secondB.data(), entries, fresh);
}

std::vector<EnvelopeTarget> EnvelopeTargets(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& tables)
{
    std::vector<EnvelopeTarget> out;
    out.reserve(frames.size());
    for (const Sc36TrainingFrame& f : frames) {
        EnvelopeTarget t;
        const float level = kSc36VoicingTable[static_cast<size_t>(
            NearestIndex(f.params.voicingEnd, kSc36VoicingTable.data(), kSc36VoicingLevels))];
        t.set = VoicingSetOf(level);
        for (int i = 0; i < kSc36Coefficients; ++i)
            t.r[static_cast<size_t>(i)] = f.params.envelopeRaw[static_cast<size_t>(i)] -
                                          tables.means[static_cast<size_t>(t.set)][static_cast<size_t>(i)];
        out.push_back(t);
    }
    return out;
}

void TrainMeans(const std::vector<Sc36TrainingFrame>& frames, Sc36Tables& tables)
{
    std::array<std::array<double, kSc36Coefficients + 1>, 2> sums{};
    for (const Sc36TrainingFrame& f : frames) {
        const float level = kSc36VoicingTable[static_cast<size_t>(
            NearestIndex(f.params.voicingEnd, kSc36VoicingTable.data(), kSc36VoicingLevels))];
        auto& s = sums[static_cast<size_t>(VoicingSetOf(level))];
        for (int i = 0; i < kSc36Coefficients; ++i)
            s[static_cast<size_t>(i)] += f.params.envelopeRaw[static_cast<size_t>(i)];
        s[kSc36Coefficients] += 1.0;
    }
    for (size_t set = 0; set < 2; ++set)
        if (sums[set][kSc36Coefficients] > 0.0)
            for (int i = kPinnedMeans; i < kSc36Coefficients; ++i)
                tables.means[set][static_cast<size_t>(i)] =
                    static_cast<float>(sums[set][static_cast<size_t>(i)] / sums[set][kSc36Coefficients]);
}

// Stage by stage over both voicing sets: the prediction from the earlier stages as quantised, then the codebooks
// on what the prediction leaves.
void TrainEnvelope(const std::vector<Sc36TrainingFrame>& frames, bool fresh, Sc36Tables& tables)
{
    TrainMeans(frames, tables);
    std::vector<EnvelopeTarget> targets = EnvelopeTargets(frames, tables);
    for (int stage = 0; stage < kSc36Stages; ++stage) {
        if (stage > 0)
            for (int set = 0; set < 2; ++set)
                TrainPrediction(targets, set, stage, tables.predict[static_cast<size_t>(set * 5 + stage - 1)].data());
        std::array<Points, 2> bySet;
        for (const EnvelopeTarget& t : targets) {
            const float* matrix =
                stage > 0 ? tables.predict[static_cast<size_t>(t.set * 5 + stage - 1)].data() : nullptr;
            const Sc36Pair p = Predicted(matrix, t, stage);
            bySet[static_cast<size_t>(t.set)].push_back(
                {t.r[static_cast<size_t>(2 * stage)] - p[0], t.r[static_cast<size_t>(2 * stage + 1)] - p[1]});
        }
        if (stage == 0) {
            for (size_t set = 0; set < 2; ++set)
                TrainRotatedStage(bySet[set], 0, fresh, tables.stage0[set]);
        } else {
            Points all = bySet[0];
            all.insert(all.end(), bySet[1].begin(), bySet[1].end());
            if (stage < kSc36RotatedStages)
                TrainRotatedStage(all, stage, fresh, tables.stages13[static_cast<size_t>(stage - 1)]);
            else
                KMeans(all, tables.stages45[static_cast<size_t>(stage - kSc36RotatedStages)].data(), 32, fresh);
        }
        // The next stage predicts from this one as the quantiser will hold it.
        for (size_t f = 0; f < targets.size(); ++f) {
            Sc36Indices indices;
            float quantised[kSc36Coefficients];
            const float level = targets[f].set == 1 ? 1.0f : 0.0f;
            QuantiseEnvelope(frames[f].params.envelopeRaw.data(), level, tables, indices, quantised);
            for (int i = 0; i < kSc36Coefficients; ++i)
                targets[f].quantised[static_cast<size_t>(i)] =
                    quantised[i] - tables.means[static_cast<size_t>(targets[f].set)][static_cast<size_t>(i)];
        }
    }
}

// ---- the other tables

// The frames quantised as the encoder would, previous values carried from frame to frame within a file.
template <typename Visit>
void QuantiseAll(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& tables, Visit visit)
{
    Sc36Previous previous;
    for (const Sc36TrainingFrame& f : frames) {
        if (f.startsFile)
            previous = {};
        Sc36FrameParams params = f.params;
        Sc36Indices indices = QuantiseBase(params, previous, tables);
        const Sc36FrameParams base = params;
        visit(f.params, base, indices, previous);
        previous = {params.pitchEnd, params.voicingEnd};
    }
}

void TrainRefinement(const std::vector<Sc36TrainingFrame>& frames, bool fresh, Sc36Tables& tables)
{
    std::array<Points, 2> deltas;
    QuantiseAll(
        frames, tables,
        [&](const Sc36FrameParams& raw, const Sc36FrameParams& base, const Sc36Indices&, const Sc36Previous&) {
            for (size_t b = 0; b < 2; ++b) {
                const size_t at = 8 + 2 * b;
                deltas[b].push_back(
                    {std::clamp(raw.envelopeRaw[at] - base.envelope[at], -kRefinementLimit, kRefinementLimit),
                     std::clamp(raw.envelopeRaw[at + 1] - base.envelope[at + 1], -kRefinementLimit, kRefinementLimit)});
            }
        });
    for (size_t b = 0; b < 2; ++b)
        KMeans(deltas[b], tables.refinement[b].data(), 8, fresh);
}

// The residual each harmonic's phase leaves after the mid phase and the step at the dequantised pitches.
template <typename Visit> void PhaseResiduals(const Sc36FrameParams& raw, const Sc36FrameParams& base, Visit visit)
{
    const float step = (512.0f / base.pitchMid + 512.0f / base.pitchEnd) * 0.49087387f;
    for (int k = 1; k <= kSc36Harmonics; ++k) {
        const size_t i = static_cast<size_t>(k - 1);
        float residual = raw.phaseEnd[i] - raw.phaseMid[i] - static_cast<float>(k) * step;
        residual -= kTwoPi * std::nearbyint(residual / kTwoPi);
        visit(residual, raw.phaseEnd[i]);
    }
}

void TrainPhasePairs(const std::vector<Sc36TrainingFrame>& frames, bool fresh, Sc36Tables& tables)
{
    Points pairs;
    QuantiseAll(frames, tables,
                [&](const Sc36FrameParams& raw, const Sc36FrameParams& base, const Sc36Indices&, const Sc36Previous&) {
                    PhaseResiduals(raw, base, [&](float residual, float endPhase) {
                        if (std::fabs(residual) >= kSc36PhaseThreshold && endPhase >= 0.0f && endPhase < kTwoPi)
                            pairs.push_back({std::min(std::fabs(residual), kPi), endPhase});
                    });
                });
    CircularKMeans(pairs, tables.phase.data(), kSc36PhasePairs, fresh, kPinnedPhasePairs);
}

void TrainInitialEnvelope(const std::vector<Sc36TrainingFrame>& frames, Sc36Tables& tables)
{
    std::array<double, kSc36Coefficients> sum{};
    double count = 0.0;
    for (const Sc36TrainingFrame& f : frames) {
        if (NearestIndex(f.params.voicingEnd, kSc36VoicingTable.data(), kSc36VoicingLevels) != 0)
            continue;
        for (size_t i = 0; i < sum.size(); ++i)
            sum[i] += f.params.envelopeRaw[i];
        count += 1.0;
    }
    if (count > 0.0)
        for (size_t i = kPinnedMeans; i < sum.size(); ++i)
            tables.initialEnvelope[i] = static_cast<float>(sum[i] / count);
}

} // namespace

// ---- frame collection

bool CollectSc36TrainingFrames(std::span<const int16_t> samples, std::vector<Sc36TrainingFrame>& out)
{
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    if (!registry)
        return false;
    std::unique_ptr<Sc36Encoder> encoder = Sc36Encoder::Create(*registry);
    if (!encoder)
        return false;
    encoder->SetCapability(3);
    encoder->SetCurrentLayers(2);
    std::vector<int16_t> padded(samples.begin(), samples.end());
    padded.resize((padded.size() / kSc36FrameSamples + 2) * kSc36FrameSamples, 0);
    bool first = true;
    for (size_t at = 0; at + kSc36FrameSamples <= padded.size(); at += kSc36FrameSamples) {
        Sc36TrainingFrame frame;
        if (encoder->AnalyseFrame(padded.data() + at, frame.params) != 0)
            return false;
        // The analysis looks 145 samples ahead: the first frame sees mostly the history's zeros.
        if (at == 0)
            continue;
        frame.startsFile = first;
        first = false;
        out.push_back(frame);
    }
    return true;
}

std::vector<int16_t> DecimateSpeechByTwo(std::span<const int16_t> samples)
{
    // A Hann-windowed sinc with its cut-off at 3800 Hz of 16000 Hz.
    std::array<double, 2 * kDecimatorHalfTaps + 1> taps{};
    double total = 0.0;
    for (int n = -kDecimatorHalfTaps; n <= kDecimatorHalfTaps; ++n) {
        const double x = 2.0 * 3800.0 / 16000.0 * n;
        const double sinc = n == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * n / (kDecimatorHalfTaps + 1));
        taps[static_cast<size_t>(n + kDecimatorHalfTaps)] = sinc * window;
        total += sinc * window;
    }
    std::vector<int16_t> out;
    out.reserve(samples.size() / 2);
    for (size_t centre = 0; centre < samples.size(); centre += 2) {
        double acc = 0.0;
        for (int n = -kDecimatorHalfTaps; n <= kDecimatorHalfTaps; ++n) {
            const int64_t at = static_cast<int64_t>(centre) + n;
            if (at >= 0 && at < static_cast<int64_t>(samples.size()))
                acc += taps[static_cast<size_t>(n + kDecimatorHalfTaps)] * samples[static_cast<size_t>(at)];
        }
        out.push_back(static_cast<int16_t>(std::clamp(std::nearbyint(acc / total), -32768.0, 32767.0)));
    }
    return out;
}

// ---- training

Sc36Tables TrainSc36Tables(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& start, int passes,
                           std::vector<Sc36TrainingPass>& outPasses)
{
    Sc36Tables tables = start;
    outPasses.clear();
    for (int pass = 0; pass < passes; ++pass) {
        // The first pass seeds every codebook from the frames; later ones refine what the pass before left.
        const bool fresh = pass == 0;
        TrainEnvelope(frames, fresh, tables);
        std::vector<float> gains;
        gains.reserve(frames.size());
        for (const Sc36TrainingFrame& f : frames)
            gains.push_back(f.params.gain);
        TrainGainLevels(gains, tables.gain);
        TrainRefinement(frames, fresh, tables);
        TrainPhasePairs(frames, fresh, tables);
        TrainInitialEnvelope(frames, tables);
        outPasses.push_back(MeasureSc36Tables(frames, tables));
    }
    return tables;
}

Sc36TrainingPass MeasureSc36Tables(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& tables)
{
    Sc36TrainingPass out;
    double phaseCount = 0.0;
    double gainCount = 0.0;
    QuantiseAll(
        frames, tables,
        [&](const Sc36FrameParams& raw, const Sc36FrameParams& base, const Sc36Indices& indices, const Sc36Previous&) {
            Sc36FrameParams enhanced = base;
            enhanced.envelopeRaw = raw.envelopeRaw;
            enhanced.phaseMid = raw.phaseMid;
            enhanced.phaseEnd = raw.phaseEnd;
            Sc36Indices all = indices;
            QuantiseEnhancement(enhanced, all, tables);
            for (size_t i = 0; i < kSc36Coefficients; ++i) {
                out.envelopeError += (raw.envelopeRaw[i] - base.envelope[i]) * (raw.envelopeRaw[i] - base.envelope[i]);
                out.refinedError +=
                    (raw.envelopeRaw[i] - enhanced.envelope[i]) * (raw.envelopeRaw[i] - enhanced.envelope[i]);
            }
            // Gains beyond the given end levels are clipped whatever the inner levels are: they would hide the rest.
            if (raw.gain >= tables.gain.front() && raw.gain <= tables.gain.back()) {
                out.gainError += (raw.gain - base.gain) * (raw.gain - base.gain);
                gainCount += 1.0;
            }
            // The coded residual: end minus mid phase minus the step, against the one the analysis measured.
            const float step = (512.0f / base.pitchMid + 512.0f / base.pitchEnd) * 0.49087387f;
            size_t k = 0;
            PhaseResiduals(raw, base, [&](float residual, float) {
                float coded = enhanced.phaseEnd[k] - enhanced.phaseMid[k] - static_cast<float>(k + 1) * step;
                coded -= kTwoPi * std::nearbyint(coded / kTwoPi);
                float d = std::fabs(coded - residual);
                d = std::min(d, kTwoPi - d);
                out.phaseError += static_cast<double>(d) * d;
                phaseCount += 1.0;
                ++k;
            });
        });
    const double n = std::max<double>(1.0, static_cast<double>(frames.size()));
    out.envelopeError /= n * kSc36Coefficients;
    out.refinedError /= n * kSc36Coefficients;
    out.gainError /= std::max(1.0, gainCount);
    out.phaseError /= std::max(1.0, phaseCount);
    return out;
}

std::vector<int16_t> Sc36RoundTripWithTables(std::span<const int16_t> samples, const Sc36Tables& tables, bool enhanced)
{
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    if (!registry)
        return {};
    std::unique_ptr<Sc36Encoder> encoder = Sc36Encoder::Create(*registry);
    std::unique_ptr<Sc36Decoder> decoder = Sc36Decoder::Create(enhanced);
    if (!encoder || !decoder)
        return {};
    encoder->SetCapability(enhanced ? 3u : 1u);
    encoder->SetCurrentLayers(enhanced ? 2 : 1);
    decoder->SetCurrentLayers(enhanced ? 2 : 1);
    std::vector<int16_t> padded(samples.begin(), samples.end());
    padded.resize(
        (padded.size() + kSc36FrameSamples - 1) / kSc36FrameSamples * kSc36FrameSamples + 2 * kSc36FrameSamples, 0);
    std::vector<int16_t> out;
    out.reserve(padded.size());
    int16_t block[kSc36FrameSamples];
    for (size_t at = 0; at + kSc36FrameSamples <= padded.size(); at += kSc36FrameSamples) {
        Sc36FrameParams params;
        if (encoder->AnalyseFrame(padded.data() + at, params) != 0)
            return {};
        Sc36Indices indices = QuantiseBase(params, encoder->Previous(), tables);
        if (enhanced)
            QuantiseEnhancement(params, indices, tables);
        encoder->Previous() = {params.pitchEnd, params.voicingEnd};
        do {
            const uint16_t count = decoder->DecodeCall(&params, block);
            out.insert(out.end(), block, block + count);
        } while (!decoder->IsFrameNeeded());
    }
    return out;
}

// ---- flat values and source

std::vector<float> FlattenSc36Tables(const Sc36Tables& t)
{
    std::vector<float> v;
    const auto pairs = [&](const auto& book) {
        for (const Sc36Pair& p : book) {
            v.push_back(p[0]);
            v.push_back(p[1]);
        }
    };
    const auto rotated = [&](const Sc36RotatedStage& s) {
        pairs(s.first);
        pairs(s.rotation);
        pairs(s.secondA);
        pairs(s.secondB);
        for (const uint8_t i : s.list)
            v.push_back(static_cast<float>(i));
    };
    v.insert(v.end(), t.gain.begin(), t.gain.end());
    for (const auto& m : t.means)
        v.insert(v.end(), m.begin(), m.end());
    for (const auto& p : t.predict)
        v.insert(v.end(), p.begin(), p.end());
    for (const auto& s : t.stage0)
        rotated(s);
    for (const auto& s : t.stages13)
        rotated(s);
    for (const auto& b : t.stages45)
        pairs(b);
    for (const auto& b : t.refinement)
        pairs(b);
    pairs(t.phase);
    v.insert(v.end(), t.initialEnvelope.begin(), t.initialEnvelope.end());
    assert(v.size() == static_cast<size_t>(kSc36TableValueCount) && "the generated source lists every value");
    return v;
}

bool UnflattenSc36Tables(std::span<const float> values, Sc36Tables& out)
{
    if (values.size() != static_cast<size_t>(kSc36TableValueCount))
        return false;
    size_t at = 0;
    const auto next = [&] { return values[at++]; };
    const auto pairs = [&](auto& book) {
        for (Sc36Pair& p : book) {
            p[0] = next();
            p[1] = next();
        }
    };
    const auto rotated = [&](Sc36RotatedStage& s) {
        pairs(s.first);
        pairs(s.rotation);
        pairs(s.secondA);
        pairs(s.secondB);
        for (uint8_t& i : s.list) {
            const float f = next();
            i = f >= 0.0f && f < 256.0f ? static_cast<uint8_t>(f) : 255;
        }
    };
    Sc36Tables t;
    for (float& g : t.gain)
        g = next();
    for (auto& m : t.means)
        for (float& x : m)
            x = next();
    for (auto& p : t.predict)
        for (float& x : p)
            x = next();
    for (auto& s : t.stage0)
        rotated(s);
    for (auto& s : t.stages13)
        rotated(s);
    for (auto& b : t.stages45)
        pairs(b);
    for (auto& b : t.refinement)
        pairs(b);
    pairs(t.phase);
    for (float& x : t.initialEnvelope)
        x = next();
    out = t;
    return true;
}

std::string Sc36TablesSource(const Sc36Tables& tables, const std::string& command, const std::string& provenance)
{
    const std::vector<float> values = FlattenSc36Tables(tables);
    std::string s = "// " + command + "\n";
    s += "// Generated: do not edit. " + provenance + "\n";
    s += "#include \"codecs/sound/speech/sc36/sc36_tables.h\"\n\nnamespace sound {\n\n";
    s += "// In the order of FlattenSc36Tables: gains, means, predictions, stage 0 by set, stages 1-3, stages 4-5,\n";
    s += "// refinements, phase pairs, initial envelope; exact as hexadecimal floats.\n";
    s += "// clang-format off\n";
    s += "extern const float kSc36CodingTableValues[" + std::to_string(values.size()) + "] = {\n";
    char line[64];
    for (size_t i = 0; i < values.size(); ++i) {
        std::snprintf(line, sizeof line, "%s%af,%s", i % 4 == 0 ? "    " : " ", static_cast<double>(values[i]),
                      i % 4 == 3 || i + 1 == values.size() ? "\n" : "");
        s += line;
    }
    s += "};\n// clang-format on\n\n} // namespace sound\n";
    return s;
}

} // namespace sound
