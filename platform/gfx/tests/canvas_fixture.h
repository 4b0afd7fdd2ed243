#pragma once
// A surface inside a larger buffer whose border holds a canary value, so a test can prove that drawing never wrote
// outside the surface, and snapshots to prove it never wrote outside the clip.
#include "platform/gfx/surface_dc.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pf::testing {

constexpr uint32_t kCanary = 0xC0FFEE11u;

class CanvasBuffer {
public:
    CanvasBuffer(int32_t width, int32_t height, int32_t margin = 8)
        : m_width(width), m_height(height), m_margin(margin), m_stride(width + 2 * margin),
          m_memory(static_cast<size_t>(m_stride) * static_cast<size_t>(height + 2 * margin), kCanary)
    {
        m_surface = std::make_shared<Surface32>(&m_memory[static_cast<size_t>(margin * m_stride + margin)], width,
                                                height, static_cast<ptrdiff_t>(m_stride) * 4);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                m_surface->setPixel(x, y, 0);
    }

    const std::shared_ptr<Surface32>& surface() const { return m_surface; }
    std::vector<uint32_t> pixels() const
    {
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < m_height; ++y)
            for (int32_t x = 0; x < m_width; ++x)
                out.push_back(m_surface->pixel(x, y));
        return out;
    }
    bool canaryIntact() const
    {
        for (int32_t y = 0; y < m_height + 2 * m_margin; ++y)
            for (int32_t x = 0; x < m_stride; ++x) {
                const bool inside = x >= m_margin && x < m_margin + m_width && y >= m_margin && y < m_margin + m_height;
                if (!inside && m_memory[static_cast<size_t>(y * m_stride + x)] != kCanary)
                    return false;
            }
        return true;
    }
    void fillPattern(uint32_t seed) // a deterministic pattern of RGB values, byte 3 zero
    {
        uint32_t state = seed | 1u;
        for (int32_t y = 0; y < m_height; ++y)
            for (int32_t x = 0; x < m_width; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                m_surface->setPixel(x, y, state & 0x00FFFFFFu);
            }
    }

private:
    int32_t m_width;
    int32_t m_height;
    int32_t m_margin;
    int32_t m_stride;
    std::vector<uint32_t> m_memory;
    std::shared_ptr<Surface32> m_surface;
};

} // namespace pf::testing
