#pragma once
// Bootstrap codebooks: deterministic draws of the shapes the trained tables will have, so that the decoder and
// every test run before any training. The generator also writes them out as the committed source.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace sound {

inline constexpr uint64_t kBootstrapSeed = 0x70A1A7E5EEDull;

// The set's tables in stored order (tonalwave_codebooks.h); the same seed gives the same values everywhere, since
// the draws are integer arithmetic only.
std::vector<int16_t> BuildBootstrapTables(TonalwaveSet set, uint64_t seed = kBootstrapSeed);

// The generated source of one set: its first line names the command that wrote it.
std::string BootstrapTablesSource(TonalwaveSet set, std::span<const int16_t> values, const std::string& command);

// "8k8", "8k6", "11k10", "22k24": the suffix of the set's function and file; empty for a set without tables.
const char* TableSuffixOf(TonalwaveSet set);

} // namespace sound
