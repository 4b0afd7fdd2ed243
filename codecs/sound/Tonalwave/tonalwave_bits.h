#pragma once
// The coded bit ring of Tonalwave frames: fields packed least significant bit first from the lowest bit of each
// byte upward, frames back to back without byte alignment, and the byte index wrapping to 0 at the ring's end,
// inside a field as at its end.
#include <cstddef>
#include <cstdint>
#include <span>

namespace sound {

struct RingPosition {
    size_t byte = 0; // below the ring's size
    int bit = 0;     // 0..7
};

inline constexpr int kMaxFieldBits = 16;

// The next width bits (1..16) as an unsigned value; the position moves past them. The ring must not be empty.
uint32_t ReadBits(std::span<const uint8_t> ring, RingPosition& position, int width);

// Writes the low width bits (1..16) of value. A field that starts at bit 0 first clears its byte, and every byte
// it continues into is stored whole, so stale bytes of a reused ring never leak into a frame; a field that ends on
// a byte boundary leaves the position at bit 0 of the next byte, which it does not touch.
void WriteBits(std::span<uint8_t> ring, RingPosition& position, uint32_t value, int width);

} // namespace sound
