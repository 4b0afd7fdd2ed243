#pragma once
// A 32-bit pixel surface (0xAARRGGBB, bytes B, G, R, A in memory) that owns its pixels or views someone else's.
// Row 0 is the top row; a view with a negative pitch shows bottom-up memory top row first. Every drawing call
// holds the surface's mutex, so several threads may draw into one surface through their own device contexts.
#include "platform/base/rect.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace pf {

class Surface32 {
public:
    Surface32(int32_t width, int32_t height); // owned, all zero; negative sizes give an empty surface
    // A view over memory owned by the caller, which must outlive the surface; topRow is the first pixel of row 0
    // and pitchBytes the distance from one row to the next (negative for bottom-up memory).
    Surface32(uint32_t* topRow, int32_t width, int32_t height, ptrdiff_t pitchBytes);
    Surface32(const Surface32&) = delete;
    Surface32& operator=(const Surface32&) = delete;

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    ptrdiff_t pitchBytes() const { return m_pitchBytes; }
    Rect bounds() const { return {0, 0, m_width, m_height}; }
    bool isEmpty() const { return m_width == 0 || m_height == 0; }

    uint32_t* row(int32_t y); // y must be in [0, height)
    const uint32_t* row(int32_t y) const;
    uint32_t pixel(int32_t x, int32_t y) const { return row(y)[x]; } // unchecked, callers hold the lock
    void setPixel(int32_t x, int32_t y, uint32_t value) { row(y)[x] = value; }
    void fill(uint32_t value); // takes the lock itself

    std::mutex& mutex() const { return m_mutex; }

private:
    std::vector<uint32_t> m_owned;
    uint32_t* m_top = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    ptrdiff_t m_pitchBytes = 0;
    mutable std::mutex m_mutex;
};

} // namespace pf
