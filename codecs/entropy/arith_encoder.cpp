#include "codecs/entropy/arith_encoder.h"

#include <bit>

#include "codecs/entropy/arith_model.h"

using arith_bits::LowBits;

ArithEncoder::ArithEncoder(const ArithModel& model, std::vector<uint8_t>& out)
    : m_model(model), m_out(out), m_top((1u << model.Bits()) - 1), m_half(2 * (m_top / 4 + 1)),
      m_firstQuarter(m_top / 4 + 1), m_high(m_top)
{
}

// After narrowing, low and high first shed the leading bits they share (each settles one output bit), then the
// underflow steps: while low is 01... and high 10..., the second bit of both is dropped and one bit is owed. Both
// are counted from the bits at once; the effect on low, high and the output is that of the steps taken singly.
void ArithEncoder::Encode(uint32_t symbol)
{
    const uint32_t width = m_model.Bits();
    const uint32_t range = m_high - m_low + 1;
    uint32_t high = m_low + m_model.DivideByTotal(range * m_model.Cumulative(symbol - 1)) - 1;
    uint32_t low = m_low + m_model.DivideByTotal(range * m_model.Cumulative(symbol));

    const uint32_t shared = width - static_cast<uint32_t>(std::bit_width(low ^ high));
    if (shared != 0) {
        const uint32_t settled = low >> (width - shared);
        if (m_pending != 0) {
            PutWithPending(settled >> (shared - 1));
            Put(settled & LowBits(shared - 1), shared - 1);
        } else {
            Put(settled, shared);
        }
        low = (low << shared) & m_top;
        high = ((high << shared) | LowBits(shared)) & m_top;
    }
    // A 0 in `straddle` marks a step that underflows: low has a 1 there and high a 0. The shifted-in bits (0 in low,
    // 1 in high) never do, hence the 1 at the bottom.
    const uint32_t straddle = ((((low ^ m_top) | high) << 1) | 1) & m_top;
    const uint32_t underflows = width - static_cast<uint32_t>(std::bit_width(straddle));
    m_pending += underflows;
    m_low = (low << underflows) & (m_top >> 1);
    m_high = ((high << underflows) & m_top) | m_half | LowBits(underflows);
}

void ArithEncoder::Finish()
{
    Encode(m_model.EndSymbol());
    ++m_pending;
    PutWithPending(m_low < m_firstQuarter ? 0 : 1);
    Flush();
}

// A settled bit, then the pending bits that it resolves.
void ArithEncoder::PutWithPending(uint32_t bit)
{
    Put(bit, 1);
    const uint32_t fill = bit != 0 ? 0u : 0xFFFFFFFFu;
    for (; m_pending >= 32; m_pending -= 32)
        Put(fill, 32);
    Put(fill & LowBits(m_pending), m_pending);
    m_pending = 0;
}

// The last partial byte keeps its bits at the bottom, the rest 0.
void ArithEncoder::Flush()
{
    for (; m_bitCount >= 8; m_bitCount -= 8)
        m_out.push_back(arith_bits::kMirrored[(m_bits >> (m_bitCount - 8)) & 0xFF]);
    if (m_bitCount > 0)
        m_out.push_back(arith_bits::kMirrored[(m_bits << (8 - m_bitCount)) & 0xFF]);
    m_bitCount = 0;
}
