#pragma once
// The codebooks of a parameter set as they are stored: signed 16-bit arrays, one after another in the order of the
// set's size list. The main tables are used as they are; every other table is scaled by 1/2048 when converted.
//
//   main long A, main long B, main short A, B, main medium A, B   64 rows of D floats each
//   band-scale long, short, medium                              2^W rows of (bands / E) values
//   periodic pair                                               rows 0-63 the first codebook, 64-127 the second
//   LSP first stage, second stage, predictor                    2^L1, 2^L2 and 2 rows of P values
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace sound {

struct TonalwaveTableShape {
    std::array<size_t, kTonalwaveKinds> mainSize = {};   // per codebook of the pair; by kind (long, medium, short)
    std::array<size_t, kTonalwaveKinds> mainOffset = {}; // the pair's first codebook; the second follows it
    std::array<size_t, kTonalwaveKinds> bandSize = {};
    std::array<size_t, kTonalwaveKinds> bandOffset = {};
    size_t periodicSize = 0;
    size_t periodicOffset = 0;
    int lspOrder = 0;
    int lspStage1Rows = 0;
    int lspStage2Rows = 0;
    size_t lspOffset = 0; // first-stage rows, then second-stage rows, then the two predictor rows
    size_t total = 0;
};

TonalwaveTableShape ShapeOf(TonalwaveSet set);

// The committed tables of a set; empty for the sets that have none (they cannot be opened).
std::span<const int16_t> StoredTablesOf(TonalwaveSet set);
bool HasStoredTables(TonalwaveSet set);

// The tables an encoder or decoder opens with: given ones when there are any, else the committed ones. Empty when
// the set has no band edges or the tables are not of the set's shape: the open fails.
std::span<const int16_t> TablesToOpen(TonalwaveSet set, std::span<const int16_t> given);

inline constexpr int kTonalwaveLspStride = 20; // envelope rows in memory are this wide whatever the order

// A set's stored tables as the floats both directions code with, indexed by kind (long, medium, short).
struct TonalwaveCodebooks {
    std::array<std::array<std::vector<float>, 2>, kTonalwaveKinds> main; // the pair of each kind, unscaled
    std::array<std::vector<float>, kTonalwaveKinds> band;
    std::array<BandEdges, kTonalwaveKinds> bandEdges;
    std::array<int, kTonalwaveKinds> bandRowLength = {};
    std::vector<float> periodic;     // the pair, the first codebook's rows first
    std::vector<float> lspStage1;    // 2^L1 rows of kTonalwaveLspStride
    std::vector<float> lspStage2;    // 2^L2 rows
    std::vector<float> lspPredictor; // 2 rows
    std::vector<int> splitBounds;
};

// tables: of the set's shape (TablesToOpen).
TonalwaveCodebooks ConvertCodebooks(TonalwaveSet set, std::span<const int16_t> tables);

// One function per generated file.
std::span<const int16_t> StoredTables8k8();
std::span<const int16_t> StoredTables8k6();
std::span<const int16_t> StoredTables11k10();
std::span<const int16_t> StoredTables22k24();

} // namespace sound
