#pragma once
// The wavelet encoder's tables: per plane (Y, I, Q), per quality row, per band entry (3j + o for detail band j,
// finest first, orientation o; 3L for the low-pass band of L levels).
#include <array>
#include <cstdint>

namespace cis {

constexpr int kTableEntries = 18; // five levels use entries 0..17
constexpr int kLimitRows = 12;    // row 11 serves quality 99
constexpr int kThresholdRows = 11;

using QualityTable = std::array<std::array<std::array<uint16_t, kTableEntries>, kLimitRows>, 3>;
using ThresholdTable = std::array<std::array<std::array<uint16_t, kTableEntries>, kThresholdRows>, 3>;

extern const QualityTable kLimitTable;
extern const ThresholdTable kThresholdTable;

} // namespace cis
