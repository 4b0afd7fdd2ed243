#pragma once
// The coded buffer as the speech codecs write and read it: a ring of bytes with a write position and a read
// position (byte index below the size, bit offset below 8) that live in the caller's CodecIO. Fields go in
// least significant bit first and may straddle the ring's end.
#include <cstdint>

#include "codecs/sound/codec_handle.h"

namespace sound {

struct BitRing {
    uint8_t* bytes = nullptr; // the caller's coded buffer; not owned
    uint16_t size = 0;
    uint16_t* byteIndex = nullptr; // the position the operation advances in place; not owned
    uint8_t* bitOffset = nullptr;
};

BitRing WriteRingOf(CodecIO& io); // the encoder's side: the end position
BitRing ReadRingOf(CodecIO& io);  // the decoder's side: the start position

// The low `bits` (1-8) of value at the position. The caller has checked the position against the ring.
void PackBits(BitRing& ring, uint32_t value, int bits);
// `bits` (1-8) at the position into out.
void UnpackBits(BitRing& ring, uint8_t& out, int bits);

// Whole frames of frameBits between the read and the write position; 0 when they are equal.
uint32_t CountFrames(const CodecIO& io, uint32_t frameBits);

struct RingPosition {
    uint16_t byteIndex = 0;
    uint8_t bitOffset = 0;
};
// The position `frames` frames of frameBits after (byteIndex, bitOffset) in a ring of size bytes.
RingPosition AdvanceFrames(uint16_t byteIndex, uint8_t bitOffset, uint16_t size, uint32_t frameBits, uint32_t frames);

// The index i in 0..n-1 that minimises (x - table[i])^2; the lower index on a tie.
int NearestIndex(float x, const float* table, int n);
// table[index] when index < n, else table[0].
float TableValue(const float* table, int n, int index);

} // namespace sound
