#pragma once
// The x87 control word (precision, rounding, exception masks). Only the x87 unit is touched, never the SSE
// control register: code that switches to single precision for speed must not change how SSE code rounds.
// Where there is no x87 unit, get() answers the power-on word and set() does nothing.
#include <cstdint>

namespace pf {

inline constexpr uint16_t kFpuDefaultControlWord = 0x037F; // 64-bit precision, nearest, all exceptions masked
inline constexpr uint16_t kFpuPrecisionMask = 0x0300;      // 00 = 24 bits, 10 = 53 bits, 11 = 64 bits
inline constexpr uint16_t kFpuRoundingMask = 0x0C00;       // 00 = nearest
inline constexpr uint16_t kFpuExceptionMasks = 0x003F;

class FpuControl {
public:
    uint16_t get() const;
    void set(uint16_t word);
};

} // namespace pf
