#pragma once
// The 32-bit presentation copy of a run of pixels. The wide form copies runs of 64 pixels or more in 64-byte groups
// of 16-byte loads and stores, prefetching the source 256 bytes ahead without keeping it in the nearer caches (a
// frame is read once per present); shorter runs and the ends of long ones are copied plainly. Both forms write
// exactly the same bytes; the destination may have any byte alignment.
#include <cstdint>

void CopyPixelsPlain(const uint32_t* source, uint8_t* dest, int32_t count);
void CopyPixelsWide(const uint32_t* source, uint8_t* dest, int32_t count);

inline constexpr int32_t kWideCopyMinPixels = 64; // below this the set-up costs more than the groups save
