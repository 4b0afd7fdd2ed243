#pragma once
// The integer data coder: absolute items go out raw in their own width; delta items are coded with a canonical
// prefix code built for the one list, whose table travels in the stream. Values outside the table go out as an
// escape code followed by the raw offset from the minimum.
//
// Block layout: the absolute values; min (32, signed) and max (32, signed), 1 and 0 when there is no delta item;
// then L (8), K (32), E (32), K table entries of (offset in B bits, length in L bits) with B = BitWidth(range + 1)
// and the escape's offset all ones, N (32) and the N codes.
#include <cstdint>
#include <span>
#include <vector>

namespace px {

class BitReader;
class BitWriter;

enum DataMode : uint8_t {
    kModeDelta = 0,    // entropy-coded
    kModeAbsolute = 1, // written raw in `width` bits
};

struct DataItem {
    int32_t value = 0;
    uint8_t mode = kModeDelta;
    uint8_t width = 0; // bits of an absolute value, 0..32
};

// Writes the items with the code table of fewest bits: the values that get entries and their code lengths are the
// encoder's choice, carried in the table, and the decoder needs none of it. No list costs more than the fixed
// fields, a two-entry table and its offsets raw plus one bit each, nor more than the fixed walk at 98 or 100
// percent would write. 0, or PXERR_INVALIDGEOMETRY when the items cannot be coded (unknown mode, an absolute value
// wider than its width, a delta range too wide for 32-bit offsets). May throw std::bad_alloc; entry points catch it.
int EncodeIntegerData(BitWriter& out, std::span<const DataItem> items);
// The same block with the fixed walk: the most frequent values until they cover `percent` of the delta items (at
// least one value). Streams written before the cost-based choice used 98 for attributes and 100 for topology.
int EncodeIntegerDataByPercentage(BitWriter& out, std::span<const DataItem> items, uint32_t percent);
// The caller presets mode and width of every item as the encoder saw them; fills every value. 0, or PX_ERR when
// the block is damaged: a table that is not a complete prefix code, counts beyond the stream, a value outside
// [min, max], or a coded count other than the caller's number of delta items.
int DecodeIntegerData(BitReader& in, std::span<DataItem> items);
// The same block for a caller that reads its absolute values itself, from a copy of the reader, and has skipped
// them in `in`: the deltaCount delta values in order, or PX_ERR (outValues empty) as above.
int DecodeDeltaData(BitReader& in, uint64_t deltaCount, std::vector<int32_t>& outValues);

} // namespace px
