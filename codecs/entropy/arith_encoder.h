#pragma once
// ArithEncoder: the registers and bit output of one encoding run. It narrows its interval by the model's counts
// as they stand; the run decides when the model learns.
#include <cstdint>
#include <vector>

#include "codecs/entropy/bit_order.h"

class ArithModel;

class ArithEncoder {
public:
    ArithEncoder(const ArithModel& model, std::vector<uint8_t>& out); // both are the run's and outlive the encoder

    void Encode(uint32_t symbol); // a symbol index of the model
    void Finish();                // the end symbol, the bits that settle it, and the last partial byte

private:
    void Put(uint32_t value, uint32_t count);
    void PutWithPending(uint32_t bit);
    void Flush();

    const ArithModel& m_model;
    std::vector<uint8_t>& m_out;
    uint32_t m_top;
    uint32_t m_half;
    uint32_t m_firstQuarter;
    uint32_t m_low = 0;
    uint32_t m_high;
    uint32_t m_pending = 0;  // underflow bits owed, written opposite to the next settled bit
    uint64_t m_bits = 0;     // settled bits not yet stored, the oldest highest; only the low m_bitCount count
    uint32_t m_bitCount = 0; // below 32 between calls
};

// Appends the low `count` bits of value (count <= 32), most significant first.
inline void ArithEncoder::Put(uint32_t value, uint32_t count)
{
    m_bits = (m_bits << count) | value;
    m_bitCount += count;
    if (m_bitCount >= 32) {
        m_bitCount -= 32;
        const auto word = static_cast<uint32_t>(m_bits >> m_bitCount);
        const uint8_t bytes[4] = {arith_bits::kMirrored[word >> 24], arith_bits::kMirrored[(word >> 16) & 0xFF],
                                  arith_bits::kMirrored[(word >> 8) & 0xFF], arith_bits::kMirrored[word & 0xFF]};
        m_out.insert(m_out.end(), bytes, bytes + 4);
    }
}
