#pragma once
// Training of a set's codebooks with the encoder in the loop: the line-spectral first and second stages and the
// two predictor rows, the band-scale rows of every block kind, the main conjugate pair of every block kind and the
// periodic pair. Each pass codes the sounds with the tables of the pass before, gathers every quantiser target with
// the rows the encoder chose, and moves the rows to the weighted least-squares solution for those choices; the pass
// whose tables code a validation share best is kept. No random numbers, and the sums are added in corpus order
// whatever the thread count: the same sounds and start tables give the same bytes with the same compiler and C
// library.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace sound {

struct TonalwaveTrainingPass {
    double lspError = 0.0;      // mean weighted squared error of the quantised frequencies per frame (rad^2)
    double bandError = 0.0;     // mean weighted squared error of the band-scale values per block split
    double mainError = 0.0;     // mean W^2-weighted squared error of the normalised coefficients per vector
    double periodicError = 0.0; // the same for the periodic values
    size_t lspFrames = 0;
    size_t bandVectors = 0;
    size_t mainVectors = 0;
    size_t periodicVectors = 0;
};

struct TonalwaveTrainingOptions {
    int passes = 5;
    int threads = 1;         // the result does not depend on it
    int validationEvery = 8; // every this-th sound (the last of each group) only measures; 0: none
};

// One round: the errors of the tables it started from on the training and the validation share, and its score,
// the sum over the four quantisers of the validation error relative to the start tables' (the training share's
// when there is no validation share).
struct TonalwaveTrainingRound {
    TonalwaveTrainingPass training;
    TonalwaveTrainingPass validation;
    double score = 0.0;
};

struct TonalwaveTrainingResult {
    std::vector<int16_t> tables;                // the kept round's
    std::vector<TonalwaveTrainingRound> rounds; // passes + 1: the start tables, then each pass's result
    size_t kept = 0;                            // index into rounds
};

// The mono configuration of a set that has tables; nullopt for the others.
std::optional<TonalwaveConfiguration> MonoConfigurationOf(TonalwaveSet set);

// How well tables quantise sounds (mono, at the set's rate): the errors of one coding pass.
TonalwaveTrainingPass MeasureTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                             std::span<const int16_t> tables);

// options.passes rounds from start. When no encoder can be made with start, the start tables come back with no
// round recorded.
TonalwaveTrainingResult TrainTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                             std::span<const int16_t> start, const TonalwaveTrainingOptions& options);

// Mono samples at the set's rate coded with tables and decoded with the same tables, frame by frame through the
// stored frame layout; the output is two frames late, as the codec's is, and two frames longer. Empty when an
// encoder or decoder cannot be made with the tables.
std::vector<int16_t> TonalwaveRoundTripWithTables(TonalwaveSet set, std::span<const int16_t> samples,
                                                  std::span<const int16_t> tables);

// The generated source of trained tables: the command, then the provenance lines, as comments.
std::string TrainedTablesSource(TonalwaveSet set, std::span<const int16_t> values, const std::string& command,
                                const std::string& provenance);

} // namespace sound
