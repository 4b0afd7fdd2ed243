#pragma once
// BitWriter: fills a stream most significant bit first behind its 8-byte header. Every field of every
// geometry-codec stream body goes through it; a byte is appended as soon as its 8 bits are set.
#include <cstdint>
#include <vector>

#include "codecs/geometry/mem_stream.h"

namespace px {

class BitWriter {
public:
    BitWriter(uint8_t kind, uint8_t subKind = 0); // writes the stream header at once; may throw std::bad_alloc

    void PutBit(uint32_t bit);                      // bit is 0 or 1
    void PutBits(uint32_t value, uint32_t count);   // bits count-1 .. 0 of value; count 0..32
    void PutBits64(uint64_t value, uint32_t count); // the same for fields of up to 64 bits (long prefix codes)
    void Put32(uint32_t value) { PutBits(value, 32); }
    void PutFloat(float value); // the IEEE 754 single's bit pattern

    uint8_t Kind() const { return m_kind; } // the stream kind named in the header
    uint64_t BitCount() const;              // body bits written so far, header excluded
    std::vector<uint8_t> Finish();          // pads the last byte with 0 bits; the writer is spent afterwards

private:
    PXMemStream m_stream;
    uint8_t m_kind = 0;
    uint8_t m_byte = 0;
    uint32_t m_free = 8; // bit positions still free in m_byte
};

} // namespace px
