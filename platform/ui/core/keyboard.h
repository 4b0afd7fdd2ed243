#pragma once
// The keyboard as the layer knows it: set-1 scan codes of the US layout, and the characters keys make on it.
#include <array>
#include <cstdint>

namespace pf {

uint16_t scanCodeOf(uint8_t vk); // 0 for keys without one
bool isExtendedKey(uint8_t vk);  // arrows, Insert, Delete, Home, End, Page keys, numpad divide
bool isModifierKey(uint8_t vk);  // Shift, Ctrl, Alt: keys that only change what others mean
// ToAscii on our US table: the number of characters written to `out` (0 or 1). Shift and Caps Lock choose the case,
// Ctrl+letter gives 1-26, the numpad gives digits only with Num Lock toggled; anything unmapped gives 0.
int toAscii(uint8_t vk, uint16_t scanCode, const std::array<uint8_t, 256>& keyState, uint16_t& out);

} // namespace pf
