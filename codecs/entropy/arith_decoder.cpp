#include "codecs/entropy/arith_decoder.h"

#include <bit>

#include "codecs/entropy/arith_model.h"

using arith_bits::LowBits;

ArithDecoder::ArithDecoder(const ArithModel& model, std::span<const uint8_t> in, size_t start)
    : m_model(model), m_in(in), m_next(start), m_top((1u << model.Bits()) - 1), m_half(2 * (m_top / 4 + 1)),
      m_high(m_top)
{
    m_value = Take(model.Bits());
}

uint32_t ArithDecoder::Decode()
{
    const uint32_t width = m_model.Bits();
    const uint32_t range = m_high - m_low + 1;
    const uint32_t target = ((m_value - m_low + 1) * m_model.Total() - 1) / range;
    // Quantised bands are mostly one value, which the model keeps at index 1: one compare finds it, and for the
    // flatter byte streams of sound the branch is as well predicted the other way.
    const uint32_t symbol = m_model.Cumulative(1) <= target ? 1 : m_model.FindSymbol(target);
    if (symbol == m_model.EndSymbol())
        return symbol;
    uint32_t high = m_low + m_model.DivideByTotal(range * m_model.Cumulative(symbol - 1)) - 1;
    uint32_t low = m_low + m_model.DivideByTotal(range * m_model.Cumulative(symbol));
    uint32_t value = m_value;

    // As in the encoder; value lies between low and high, so it shares their leading bits and, in the underflow
    // steps, the bit dropped from it is the one dropped from them.
    const uint32_t shared = width - static_cast<uint32_t>(std::bit_width(low ^ high));
    if (shared != 0) {
        value = ((value << shared) & m_top) | Take(shared);
        low = (low << shared) & m_top;
        high = ((high << shared) | LowBits(shared)) & m_top;
    }
    const uint32_t straddle = ((((low ^ m_top) | high) << 1) | 1) & m_top;
    const uint32_t underflows = width - static_cast<uint32_t>(std::bit_width(straddle));
    if (underflows != 0) {
        value = (value & m_half) | ((value << underflows) & (m_top >> 1)) | Take(underflows);
        low = (low << underflows) & (m_top >> 1);
        high = ((high << underflows) & m_top) | m_half | LowBits(underflows);
    }
    m_low = low;
    m_high = high;
    m_value = value;
    return symbol;
}

void ArithDecoder::Refill()
{
    for (; m_windowBits <= 56; m_windowBits += 8, ++m_next) {
        const uint8_t byte = m_next < m_in.size() ? m_in[m_next] : 0;
        m_window |= uint64_t{arith_bits::kMirrored[byte]} << (56 - m_windowBits);
    }
}
