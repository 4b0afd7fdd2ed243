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

// One function per generated file.
std::span<const int16_t> StoredTables8k8();
std::span<const int16_t> StoredTables8k6();
std::span<const int16_t> StoredTables11k10();
std::span<const int16_t> StoredTables22k24();

} // namespace sound
