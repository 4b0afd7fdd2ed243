#pragma once
// Run-length front ends of the integer data coder and the plain list writers that sit beside it:
// - zero runs: long runs of zero delta items become one escape item each (colour deltas);
// - integer arrays: w (5), count (32), each value in w bits;
// - flag runs: lists of 0/1 bytes as run tokens and literal stretches (topology and property-index flags);
// - value runs: lists of small non-negative integers with long runs of equal values (shared property ids).
// Readers take the largest count the caller can accept: a count above it, or a run reaching past it, is a
// damaged stream (PX_ERR), so no count read from a stream sizes an allocation unchecked.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/integer_coder.h"

namespace px {

class BitReader;
class BitWriter;

// Compacts items in place (runs of at least minRun zero delta items become one escape item) and writes the
// block. 0, or the integer coder's refusal.
int EncodeZeroRuns(BitWriter& out, std::vector<DataItem>& items, uint32_t minRun);
// Fills out, whose size is the number of items the caller expects, with delta items. 0 or PX_ERR.
int DecodeZeroRuns(BitReader& in, std::span<DataItem> out);

void WriteIntArray(BitWriter& out, std::span<const uint32_t> values);
int ReadIntArray(BitReader& in, uint64_t maxCount, std::vector<uint32_t>& out); // 0 or PX_ERR

void EncodeFlagRuns(BitWriter& out, std::span<const uint8_t> flags); // flags are 0 or 1
int DecodeFlagRuns(BitReader& in, uint64_t maxCount, std::vector<uint8_t>& out);

// 0, or PXERR_INVALIDGEOMETRY for a value of 0xFFFFFFFE or more, which leaves no room for the stretch marker.
int EncodeValueRuns(BitWriter& out, std::span<const uint32_t> values);
int DecodeValueRuns(BitReader& in, uint64_t maxCount, std::vector<uint32_t>& out);

} // namespace px
