#pragma once
// Training of a set's envelope codebooks (the line-spectral first and second stages and the band-scale rows of
// every block kind) with the encoder in the loop: each pass codes the sounds with the tables of the pass before,
// gathers every quantiser target with the row the encoder chose, and moves each row to the weighted centroid of
// its targets. No random numbers: the same sounds and start tables give the same bytes with the same compiler and
// C library. The other codebooks are carried over unchanged.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace sound {

struct TonalwaveTrainingPass {
    double lspError = 0.0;  // mean weighted squared error of the quantised frequencies per frame (rad^2)
    double bandError = 0.0; // mean weighted squared error of the band-scale values per block split
    size_t lspFrames = 0;
    size_t bandVectors = 0;
};

// The mono configuration of a set that has tables; nullopt for the others.
std::optional<TonalwaveConfiguration> MonoConfigurationOf(TonalwaveSet set);

// How well tables quantise the envelopes of sounds (mono, at the set's rate): the errors of one coding pass.
TonalwaveTrainingPass MeasureTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                             std::span<const int16_t> tables);

// passes rounds from start; outPasses gets one line per round, measured with the tables that round started from,
// then one more for the result.
std::vector<int16_t> TrainTonalwaveTables(TonalwaveSet set, const std::vector<std::vector<int16_t>>& sounds,
                                          std::span<const int16_t> start, int passes,
                                          std::vector<TonalwaveTrainingPass>& outPasses);

// Mono samples at the set's rate coded with tables and decoded with the same tables, frame by frame through the
// stored frame layout; the output is two frames late, as the codec's is, and two frames longer. Empty when an
// encoder or decoder cannot be made with the tables.
std::vector<int16_t> TonalwaveRoundTripWithTables(TonalwaveSet set, std::span<const int16_t> samples,
                                                  std::span<const int16_t> tables);

// The generated source of trained tables: the command, then the provenance lines, as comments.
std::string TrainedTablesSource(TonalwaveSet set, std::span<const int16_t> values, const std::string& command,
                                const std::string& provenance);

} // namespace sound
