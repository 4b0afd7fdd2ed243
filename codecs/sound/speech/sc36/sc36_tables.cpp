#include "codecs/sound/speech/sc36/sc36_tables.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "codecs/sound/speech/sc36/tables/sc36_training.h"
#include "codecs/sound/speech/speech_filters.h"

namespace sound {

// The committed generated source.
extern const float kSc36CodingTableValues[kSc36TableValueCount];

namespace {

// The values the format fixes; every table set keeps them.
constexpr float kGivenLowGains[4] = {-2.6785f, -1.8227f, -1.3837f, -1.0736f};
constexpr float kGivenHighGains[4] = {10.4538f, 10.8127f, 11.2283f, 11.726f};
constexpr float kGivenMeans[2][3] = {{0.8053f, -0.3096f, 0.1103f}, {1.0303f, -0.7667f, 0.2321f}};
constexpr float kGivenPhasePairs[2][2] = {{0.441f, 4.4514f}, {0.4346f, 1.5677f}};
constexpr float kGivenInitialEnvelope[3] = {-0.1329f, 0.0523f, -0.12f};

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// count values evenly from low to high, both ends included.
float GridValue(int i, int count, float low, float high)
{
    return count == 1 ? 0.5f * (low + high)
                      : low + (high - low) * static_cast<float>(i) / static_cast<float>(count - 1);
}

// columns x rows points over [-xSpan, xSpan] x [-ySpan, ySpan], x varying fastest; the rest of out left zero.
template <size_t N> void FillGrid(std::array<Sc36Pair, N>& out, int columns, int rows, float xSpan, float ySpan)
{
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            out[static_cast<size_t>(r * columns + c)] = {GridValue(c, columns, -xSpan, xSpan),
                                                         GridValue(r, rows, -ySpan, ySpan)};
}

// A second codebook of 2^bits entries: a grid over half the first codebook's cell.
void FillSecond(std::array<Sc36Pair, 32>& out, int bits, float xCell, float yCell)
{
    static constexpr int kColumns[6] = {1, 2, 2, 4, 4, 8};
    const int entries = 1 << bits;
    const int columns = kColumns[bits];
    FillGrid(out, columns, entries / columns, 0.5f * xCell, 0.5f * yCell);
}

void FillRotatedStage(Sc36RotatedStage& stage, int bits, int listCount, float xSpan, float ySpan)
{
    FillGrid(stage.first, 8, 4, xSpan, ySpan);
    for (Sc36Pair& rotation : stage.rotation)
        rotation = {1.0f, 0.0f};
    const float xCell = 2.0f * xSpan / 7.0f;
    const float yCell = 2.0f * ySpan / 3.0f;
    FillSecond(stage.secondA, bits, xCell, yCell);
    FillSecond(stage.secondB, bits, 0.5f * xCell, 0.5f * yCell);
    for (int i = 0; i < listCount; ++i)
        stage.list[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
}

bool AllFinite(float value)
{
    return std::isfinite(value);
}

template <typename T, size_t N> bool AllFinite(const std::array<T, N>& values)
{
    for (const T& v : values)
        if (!AllFinite(v))
            return false;
    return true;
}

bool IsFinite(const float* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i]))
            return false;
    return true;
}

const char* CheckStage(const Sc36RotatedStage& stage, int listCount)
{
    for (int i = 0; i < listCount; ++i) {
        if (stage.list[static_cast<size_t>(i)] >= 32)
            return "a selection list names an index beyond 31";
        for (int j = 0; j < i; ++j)
            if (stage.list[static_cast<size_t>(i)] == stage.list[static_cast<size_t>(j)])
                return "a selection list repeats an index";
    }
    for (const Sc36Pair& r : stage.rotation)
        if (!(r[0] * r[0] + r[1] * r[1] >= 1e-3f))
            return "a rotation vector is too short";
    return nullptr;
}

Sc36DerivedTables BuildDerived()
{
    Sc36DerivedTables d;
    const double ratio = std::pow(159.438 / 8.0, 1.0 / 88.0);
    for (int k = 0; k < kSc36PitchCandidates; ++k)
        d.candidates[static_cast<size_t>(k)] = static_cast<float>(8.0 * std::pow(ratio, k));
    std::vector<float> half = KaiserHalfWindow(kSc36AnalysisLength, 6.0f);
    if (half.size() == d.analysisHalfWindow.size()) {
        NormaliseWindowEnergy(half, kSc36AnalysisLength);
        for (size_t i = 0; i < half.size(); ++i)
            d.analysisHalfWindow[i] = half[i];
    }
    for (int k = 0; k < kSc36MaxComponents; ++k) {
        const double x = std::numbers::pi * (k + 1) / 256.0;
        const double sinc = std::sin(x) / x;
        d.componentGain[static_cast<size_t>(k)] = static_cast<float>(0.5 / (sinc * sinc * sinc * sinc));
    }
    for (int i = 0; i < 64; ++i) {
        const double t = i / 64.0;
        const double u = 1.0 - t;
        d.interpolation[static_cast<size_t>(i)] = {
            static_cast<float>(u * u * u / 6.0), static_cast<float>((3.0 * t * t * t - 6.0 * t * t + 4.0) / 6.0),
            static_cast<float>((-3.0 * t * t * t + 3.0 * t * t + 3.0 * t + 1.0) / 6.0),
            static_cast<float>(t * t * t / 6.0)};
    }
    for (int n = 1; n < 44; ++n)
        d.cepstrumScale[static_cast<size_t>(n)] = static_cast<float>(1.0 / (2.0 * n * std::numbers::ln2));
    for (int i = 0; i < 256; ++i) {
        d.cosine[static_cast<size_t>(i)] = static_cast<float>(std::cos(2.0 * std::numbers::pi * i / 256.0));
        d.sine[static_cast<size_t>(i)] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / 256.0));
    }
    return d;
}

} // namespace

const std::array<float, kSc36VoicingLevels> kSc36VoicingTable = {0.0f,        1.0f / 7.0f, 2.0f / 7.0f, 3.0f / 7.0f,
                                                                 4.0f / 7.0f, 5.0f / 7.0f, 6.0f / 7.0f, 1.0f};

const std::array<uint8_t, kSc36PhaseCodes> kSc36PhaseCodeOrder = {
    0,  16, 1,  17, 2,  3,  4,  5,  18, 19, 6,  20, 7,  21, 8,  9,  22, 23, 10, 24, 11, 25,
    12, 13, 26, 27, 28, 29, 14, 30, 15, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

Sc36Tables BuildBootstrapSc36Tables()
{
    Sc36Tables t;
    for (int i = 0; i < 4; ++i) {
        t.gain[static_cast<size_t>(i)] = kGivenLowGains[i];
        t.gain[static_cast<size_t>(60 + i)] = kGivenHighGains[i];
    }
    for (int i = 4; i < 60; ++i)
        t.gain[static_cast<size_t>(i)] = GridValue(i - 3, 58, kGivenLowGains[3], kGivenHighGains[0]);
    for (int set = 0; set < 2; ++set)
        for (int i = 0; i < 3; ++i)
            t.means[static_cast<size_t>(set)][static_cast<size_t>(i)] = kGivenMeans[set][i];
    for (Sc36RotatedStage& stage : t.stage0)
        FillRotatedStage(stage, kSc36SecondBits[0], kSc36ListCounts[0], 1.2f, 0.6f);
    for (int s = 1; s < kSc36RotatedStages; ++s)
        FillRotatedStage(t.stages13[static_cast<size_t>(s - 1)], kSc36SecondBits[static_cast<size_t>(s)],
                         kSc36ListCounts[static_cast<size_t>(s)], 0.6f, 0.6f);
    for (auto& book : t.stages45)
        FillGrid(book, 8, 4, 0.3f, 0.3f);
    for (auto& book : t.refinement)
        FillGrid(book, 4, 2, 0.05f, 0.05f);
    for (int m = 0; m < 6; ++m)
        for (int p = 0; p < 8; ++p)
            t.phase[static_cast<size_t>(m * 8 + p)] = {GridValue(m, 6, 0.22f, std::numbers::pi_v<float>),
                                                       kTwoPi * (static_cast<float>(p) + 0.5f) / 8.0f};
    for (int i = 0; i < 2; ++i)
        t.phase[static_cast<size_t>(i)] = {kGivenPhasePairs[i][0], kGivenPhasePairs[i][1]};
    for (int i = 0; i < 3; ++i)
        t.initialEnvelope[static_cast<size_t>(i)] = kGivenInitialEnvelope[i];
    return t;
}

const char* CheckSc36Tables(const Sc36Tables& t)
{
    for (int i = 0; i < 4; ++i)
        if (t.gain[static_cast<size_t>(i)] != kGivenLowGains[i] ||
            t.gain[static_cast<size_t>(60 + i)] != kGivenHighGains[i])
            return "a given gain level changed";
    if (!IsFinite(t.gain.data(), t.gain.size()))
        return "a gain level is not finite";
    for (size_t i = 1; i < t.gain.size(); ++i)
        if (!(t.gain[i] > t.gain[i - 1]))
            return "the gain levels do not increase";
    for (int set = 0; set < 2; ++set)
        for (int i = 0; i < 3; ++i)
            if (t.means[static_cast<size_t>(set)][static_cast<size_t>(i)] != kGivenMeans[set][i])
                return "a given envelope mean changed";
    for (int set = 0; set < 2; ++set)
        if (const char* broken = CheckStage(t.stage0[static_cast<size_t>(set)], kSc36ListCounts[0]))
            return broken;
    for (int s = 1; s < kSc36RotatedStages; ++s)
        if (const char* broken =
                CheckStage(t.stages13[static_cast<size_t>(s - 1)], kSc36ListCounts[static_cast<size_t>(s)]))
            return broken;
    for (const auto& book : t.refinement)
        for (const Sc36Pair& e : book)
            if (!(std::fabs(e[0]) < 0.06f && std::fabs(e[1]) < 0.06f))
                return "a refinement entry reaches 0.06";
    for (const Sc36Pair& p : t.phase)
        if (!(p[0] >= kSc36PhaseThreshold && p[0] <= std::numbers::pi_v<float> && p[1] >= 0.0f && p[1] < kTwoPi))
            return "a phase pair is out of range";
    for (int i = 0; i < 2; ++i)
        if (t.phase[static_cast<size_t>(i)][0] != kGivenPhasePairs[i][0] ||
            t.phase[static_cast<size_t>(i)][1] != kGivenPhasePairs[i][1])
            return "a given phase pair changed";
    for (int i = 0; i < 3; ++i)
        if (t.initialEnvelope[static_cast<size_t>(i)] != kGivenInitialEnvelope[i])
            return "a given initial envelope value changed";
    const bool finite = AllFinite(t.means) && AllFinite(t.predict) && AllFinite(t.stages45) &&
                        AllFinite(t.refinement) && AllFinite(t.phase) && AllFinite(t.initialEnvelope);
    if (!finite)
        return "a value is not finite";
    for (const auto* stages : {&t.stage0[0], &t.stage0[1], &t.stages13[0], &t.stages13[1], &t.stages13[2]})
        if (!AllFinite(stages->first) || !AllFinite(stages->rotation) || !AllFinite(stages->secondA) ||
            !AllFinite(stages->secondB))
            return "a value is not finite";
    return nullptr;
}

const Sc36Tables& Sc36CodingTables()
{
    // Built once; the C++ runtime makes the first use thread-safe and nothing writes it afterwards. The generated
    // values are checked by the table tests; a set that broke a constraint would code with the bootstrap tables.
    static const Sc36Tables tables = [] {
        Sc36Tables t;
        if (!UnflattenSc36Tables(kSc36CodingTableValues, t) || CheckSc36Tables(t) != nullptr)
            return BuildBootstrapSc36Tables();
        return t;
    }();
    return tables;
}

const Sc36DerivedTables& Sc36Derived()
{
    static const Sc36DerivedTables tables = BuildDerived();
    return tables;
}

} // namespace sound
