#pragma once
// ArithDecoder: the registers and bit input of one decoding run. Bytes past the end of its input read as 0; the run
// bounds how far that may go by the bits taken.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/entropy/bit_order.h"

class ArithModel;

class ArithDecoder {
public:
    // Both are the run's and outlive the decoder; the coded bits start at byte `start`, and the first code value
    // is read at once.
    ArithDecoder(const ArithModel& model, std::span<const uint8_t> in, size_t start);

    uint32_t Decode();                                 // the next symbol index, by the model's counts as they stand
    uint64_t BitsTaken() const { return m_bitsTaken; } // the bytes read are these rounded up

private:
    uint32_t Take(uint32_t count);
    void Refill();

    const ArithModel& m_model;
    std::span<const uint8_t> m_in;
    size_t m_next; // next byte to load into the window
    uint32_t m_top;
    uint32_t m_half;
    uint32_t m_low = 0;
    uint32_t m_high;
    uint32_t m_value = 0;
    uint64_t m_window = 0; // the next input bits, the oldest highest; m_windowBits of them are real
    uint32_t m_windowBits = 0;
    uint64_t m_bitsTaken = 0;
};

// The next `count` bits (count <= 32), most significant first.
inline uint32_t ArithDecoder::Take(uint32_t count)
{
    if (m_windowBits < count)
        Refill();
    const auto taken = static_cast<uint32_t>((m_window >> 1) >> (63 - count));
    m_window <<= count;
    m_windowBits -= count;
    m_bitsTaken += count;
    return taken;
}
