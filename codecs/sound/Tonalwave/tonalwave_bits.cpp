#include "codecs/sound/Tonalwave/tonalwave_bits.h"

#include <algorithm>
#include <cassert>

namespace sound {

uint32_t ReadBits(std::span<const uint8_t> ring, RingPosition& position, int width)
{
    assert(!ring.empty() && width >= 1 && width <= kMaxFieldBits && "a field of 1 to 16 bits from a ring");
    uint32_t value = 0;
    int got = 0;
    while (got < width) {
        const int take = std::min(8 - position.bit, width - got);
        const uint32_t bits = (uint32_t{ring[position.byte]} >> position.bit) & ((1u << take) - 1u);
        value |= bits << got;
        got += take;
        position.bit += take;
        if (position.bit == 8) {
            position.bit = 0;
            position.byte = position.byte + 1 == ring.size() ? 0 : position.byte + 1;
        }
    }
    return value;
}

void WriteBits(std::span<uint8_t> ring, RingPosition& position, uint32_t value, int width)
{
    assert(!ring.empty() && width >= 1 && width <= kMaxFieldBits && "a field of 1 to 16 bits into a ring");
    value &= (1u << width) - 1u;
    if (position.bit == 0)
        ring[position.byte] = 0;
    ring[position.byte] = static_cast<uint8_t>(ring[position.byte] | (value << position.bit));
    int written = 8 - position.bit;
    position.bit += width;
    while (position.bit > 8) {
        position.byte = position.byte + 1 == ring.size() ? 0 : position.byte + 1;
        position.bit -= 8;
        ring[position.byte] = static_cast<uint8_t>(value >> written);
        written += 8;
    }
    if (position.bit == 8) {
        position.bit = 0;
        position.byte = position.byte + 1 == ring.size() ? 0 : position.byte + 1;
    }
}

} // namespace sound
