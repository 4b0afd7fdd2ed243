#pragma once
// The constant tables of the SC36 speech codec: quantiser levels and codebooks, which coded streams depend on
// (a stream decodes only with the tables it was encoded with), and the analysis and synthesis tables that
// formulas give. One immutable set is built on first use and shared by every instance and thread.
#include <array>
#include <cstdint>

namespace sound {

inline constexpr int kSc36GainLevels = 64;
inline constexpr int kSc36VoicingLevels = 8;
inline constexpr int kSc36Coefficients = 12;
inline constexpr int kSc36Stages = 6;
inline constexpr int kSc36RotatedStages = 4; // stages 0-3 search two codebooks, the second one rotated
inline constexpr int kSc36Harmonics = 8;     // harmonics whose phases the enhancement layer carries
inline constexpr int kSc36PhasePairs = 48;
inline constexpr int kSc36PhaseCodes = 64;
inline constexpr int kSc36PitchCandidates = 89;
inline constexpr int kSc36AnalysisLength = 291;
inline constexpr int kSc36MaxComponents = 100;
inline constexpr float kSc36PhaseThreshold = 0.217237f; // residuals at least this large use the phase codebook

// Second-index widths of stages 0-5; the first index of every stage has 5 bits.
inline constexpr std::array<int, kSc36Stages> kSc36SecondBits = {5, 4, 3, 2, 0, 0};
// How many first-stage indices select the second codebook B, for stages 0-3.
inline constexpr std::array<int, kSc36RotatedStages> kSc36ListCounts = {11, 14, 13, 12};

using Sc36Pair = std::array<float, 2>;

// A rotated two-stage quantiser of one coefficient pair.
struct Sc36RotatedStage {
    std::array<Sc36Pair, 32> first{};
    std::array<Sc36Pair, 32> rotation{}; // squared length at least 1e-3: the reconstruction divides by it
    std::array<Sc36Pair, 32> secondA{};  // the first 2^bits entries are used
    std::array<Sc36Pair, 32> secondB{};
    std::array<uint8_t, 14> list{}; // the first kSc36ListCounts[stage] entries select B
};

struct Sc36Tables {
    std::array<float, kSc36GainLevels> gain{};           // increasing
    std::array<std::array<float, 12>, 2> means{};        // set 0 for V_end <= 0.8, set 1 above
    std::array<std::array<float, 2 * 10>, 10> predict{}; // [set * 5 + stage - 1]: a 2 x 2s matrix, row 0 then 1
    std::array<Sc36RotatedStage, 2> stage0{};            // by voicing set
    std::array<Sc36RotatedStage, 3> stages13{};          // stages 1-3
    std::array<std::array<Sc36Pair, 32>, 2> stages45{};
    std::array<std::array<Sc36Pair, 8>, 2> refinement{}; // c9/c10, then c11/c12
    std::array<Sc36Pair, kSc36PhasePairs> phase{};       // (residual magnitude, end phase)
    std::array<float, 12> initialEnvelope{};             // the decoder's envelope before any unvoiced frame
};

// How many values a table set holds as the generated source lists them.
inline constexpr int kSc36TableValueCount = 1906;

// The tables the codec codes with: the committed generated source, the trained set.
const Sc36Tables& Sc36CodingTables();
// The first-guess set, made by the same code every time: evenly spread levels and grids between the given values.
Sc36Tables BuildBootstrapSc36Tables();
// Empty when every constraint holds (increasing gains, lists of distinct indices below 32, rotations away from 0,
// refinements below 0.06, phase pairs in range, given values in place, all finite); else the first broken one.
const char* CheckSc36Tables(const Sc36Tables& tables);

// The fixed part of the format: voicing levels k/7 and the order in which phase codes list the phase values.
extern const std::array<float, kSc36VoicingLevels> kSc36VoicingTable;
extern const std::array<uint8_t, kSc36PhaseCodes> kSc36PhaseCodeOrder;

// Tables that formulas give, built once.
struct Sc36DerivedTables {
    std::array<float, kSc36PitchCandidates> candidates{};  // geometric from 8.0 to 159.438 samples
    std::array<float, 146> analysisHalfWindow{};           // Kaiser (beta 6) over 291 points, energy 291
    std::array<float, kSc36MaxComponents> componentGain{}; // undoes the interpolator's sinc^4 droop
    std::array<std::array<float, 4>, 64> interpolation{};  // cubic B-spline weights at 64 fractional positions
    std::array<float, 44> cepstrumScale{};                 // 1 / (2 n ln 2), n = 0..43 (entry 0 unused)
    std::array<float, 256> cosine{};                       // cos(2 pi i / 256)
    std::array<float, 256> sine{};
};
const Sc36DerivedTables& Sc36Derived();

} // namespace sound
