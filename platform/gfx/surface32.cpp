#include "platform/gfx/surface32.h"

#include <algorithm>

namespace pf {

Surface32::Surface32(int32_t width, int32_t height)
    : m_width(width > 0 && height > 0 ? width : 0), m_height(width > 0 && height > 0 ? height : 0)
{
    m_owned.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0u);
    m_top = m_owned.data();
    m_pitchBytes = static_cast<ptrdiff_t>(m_width) * 4;
}

Surface32::Surface32(uint32_t* topRow, int32_t width, int32_t height, ptrdiff_t pitchBytes)
    : m_top(topRow), m_width(topRow != nullptr && width > 0 && height > 0 ? width : 0),
      m_height(topRow != nullptr && width > 0 && height > 0 ? height : 0), m_pitchBytes(pitchBytes)
{
}

uint32_t* Surface32::row(int32_t y)
{
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(m_top) + static_cast<ptrdiff_t>(y) * m_pitchBytes);
}

const uint32_t* Surface32::row(int32_t y) const
{
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(m_top) +
                                             static_cast<ptrdiff_t>(y) * m_pitchBytes);
}

void Surface32::fill(uint32_t value)
{
    const std::lock_guard lock(m_mutex);
    for (int32_t y = 0; y < m_height; ++y)
        std::fill_n(row(y), m_width, value);
}

} // namespace pf
