#pragma once
// How coarsely each coefficient index of a transform block is quantised: one shift per index for the whole block,
// chosen from the statistics of its sub-blocks and the quality. A coefficient is divided by 2^shift.
#include <cstdint>
#include <span>
#include <vector>

namespace sound {

inline constexpr int kLargestAllocatedShift = 9;

// coefficients: subBlocks runs of n coefficients, sub-block after sub-block. Returns n shifts, each 0..9.
// Quality 100 gives 0 everywhere unless a coefficient would not fit 16 bits.
std::vector<int> AllocateShifts(std::span<const float> coefficients, uint32_t subBlocks, uint32_t n, uint32_t quality);

} // namespace sound
