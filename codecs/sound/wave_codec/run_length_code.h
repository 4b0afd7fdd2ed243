#pragma once
// The run-length code of quantised coefficients. A run is a control byte c and its data:
//   c below 0x80: c + 1 small values (-128..127), one byte each, stored as value + 128;
//   c of 0x80 or more: (c - 0x80) + 1 values, two bytes each, little-endian.
// A run holds at most 128 values, so the code never takes more than 3 bytes per value.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sound {

inline constexpr size_t kRunLengthMaxBytesPerValue = 3;

void RunLengthEncode(std::span<const int16_t> values, std::vector<uint8_t>& out); // appends

// Fills out from the code; false when the code ends before out is full. A run that reaches past out.size() is
// cut there. outConsumed: the bytes read.
bool RunLengthDecode(std::span<const uint8_t> code, std::span<int16_t> out, size_t& outConsumed);

} // namespace sound
