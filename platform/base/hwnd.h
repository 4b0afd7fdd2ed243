#pragma once
// Window handles: plain numbers, because messages carry them in their parameters. 0 is no window, and a process never
// hands out the same value twice, so a handle kept past its window's death finds nothing instead of a stranger.
#include <cstdint>

namespace pf {

using Hwnd = uint32_t;
constexpr Hwnd kNoWindow = 0;

} // namespace pf
