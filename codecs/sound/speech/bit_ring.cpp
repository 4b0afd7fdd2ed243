#include "codecs/sound/speech/bit_ring.h"

namespace sound {

namespace {

void StepByte(const BitRing& ring)
{
    ++*ring.byteIndex;
    if (*ring.byteIndex >= ring.size)
        *ring.byteIndex = 0;
}

} // namespace

BitRing WriteRingOf(CodecIO& io)
{
    return {io.coded, io.codedSize, &io.endByte, &io.endBit};
}

BitRing ReadRingOf(CodecIO& io)
{
    return {io.coded, io.codedSize, &io.startByte, &io.startBit};
}

void PackBits(BitRing& ring, uint32_t value, int bits)
{
    const uint32_t v = value & ((1u << bits) - 1u);
    const int oldOffset = *ring.bitOffset;
    uint8_t& byte = ring.bytes[*ring.byteIndex];
    // A fresh byte holds only the new bits: what a previous frame left behind is overwritten, not mixed in.
    if (oldOffset == 0)
        byte = static_cast<uint8_t>(v);
    else
        byte = static_cast<uint8_t>(byte | (v << oldOffset));
    int offset = oldOffset + bits;
    if (offset >= 9) {
        StepByte(ring);
        ring.bytes[*ring.byteIndex] = static_cast<uint8_t>(v >> (8 - oldOffset));
        offset -= 8;
    } else if (offset == 8) {
        offset = 0;
        StepByte(ring);
    }
    *ring.bitOffset = static_cast<uint8_t>(offset);
}

void UnpackBits(BitRing& ring, uint8_t& out, int bits)
{
    const uint32_t mask = (1u << bits) - 1u;
    const int offset = *ring.bitOffset;
    uint32_t result = static_cast<uint32_t>(ring.bytes[*ring.byteIndex]) >> offset;
    if (offset + bits <= 8) {
        result &= mask;
        if (offset + bits == 8) {
            *ring.bitOffset = 0;
            StepByte(ring);
        } else {
            *ring.bitOffset = static_cast<uint8_t>(offset + bits);
        }
    } else {
        StepByte(ring);
        result |= (ring.bytes[*ring.byteIndex] & (mask >> (8 - offset))) << (8 - offset);
        *ring.bitOffset = static_cast<uint8_t>(offset + bits - 8);
    }
    out = static_cast<uint8_t>(result);
}

uint32_t CountFrames(const CodecIO& io, uint32_t frameBits)
{
    if (frameBits == 0)
        return 0;
    const int64_t readByte = io.startByte;
    const int64_t writeByte = io.endByte;
    const int64_t wholeBytes = writeByte >= readByte ? writeByte - readByte : writeByte + io.codedSize - readByte;
    const int64_t available = wholeBytes * 8 + io.endBit - io.startBit;
    return available > 0 ? static_cast<uint32_t>(available / frameBits) : 0;
}

RingPosition AdvanceFrames(uint16_t byteIndex, uint8_t bitOffset, uint16_t size, uint32_t frameBits, uint32_t frames)
{
    const uint64_t total = uint64_t{frameBits} * frames;
    uint32_t offset = bitOffset + static_cast<uint32_t>(total % 8);
    uint32_t carry = 0;
    if (offset > 7) {
        offset -= 8;
        carry = 1;
    }
    uint64_t index = byteIndex + total / 8 + carry;
    if (size > 0)
        index %= size;
    return {static_cast<uint16_t>(index), static_cast<uint8_t>(offset)};
}

int NearestIndex(float x, const float* table, int n)
{
    int best = 0;
    float bestError = (x - table[0]) * (x - table[0]);
    for (int i = 1; i < n; ++i) {
        const float error = (x - table[i]) * (x - table[i]);
        if (error < bestError) {
            bestError = error;
            best = i;
        }
    }
    return best;
}

float TableValue(const float* table, int n, int index)
{
    return index >= 0 && index < n ? table[index] : table[0];
}

} // namespace sound
