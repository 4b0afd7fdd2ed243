#pragma once
// The multimedia-timer queries the renderer and the application make. There is no system timer resolution to
// change on this platform: requests are only recorded, so start-up and shutdown can be checked for pairing.
#include <cstdint>
#include <vector>

namespace pf {

inline constexpr uint32_t TIMERR_NOERROR = 0;
inline constexpr uint32_t TIMERR_NOCANDO = 97;

struct TimeCaps {
    uint32_t periodMin = 0; // milliseconds
    uint32_t periodMax = 0;
};

inline constexpr uint32_t kTimerPeriodMinMs = 1;
inline constexpr uint32_t kTimerPeriodMaxMs = 1000000;

uint32_t timeGetTime();                     // clock().nowMs()
uint32_t timeGetDevCaps(TimeCaps* out);     // TIMERR_NOERROR with {1, 1000000}; TIMERR_NOCANDO for a null out
uint32_t timeBeginPeriod(uint32_t ms);      // TIMERR_NOERROR and recorded; TIMERR_NOCANDO outside 1..1000000
uint32_t timeEndPeriod(uint32_t ms);        // TIMERR_NOERROR when it matches an earlier begin; else TIMERR_NOCANDO
std::vector<uint32_t> activeTimerPeriods(); // begun and not yet ended, sorted; tests read it

} // namespace pf
