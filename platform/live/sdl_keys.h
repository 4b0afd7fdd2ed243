#pragma once
// Physical keys as SDL names them (USB usage scan codes) to virtual-key codes of the US layout our keyboard
// tables use; the set-1 scan code then comes from those tables, the same for live and simulated keys.
#include <cstddef>
#include <cstdint>

namespace pf {

uint8_t vkFromSdlScancode(int32_t sdlScancode);                          // 0 for keys the layer has no code for
size_t utf8CodePoints(const char* text, char32_t* out, size_t capacity); // malformed bytes are skipped

} // namespace pf
