#pragma once
// Icons and icon cursors: ARGB pixels, an AND mask (1 = transparent) and a hot spot. Drawing blends by alpha when
// any pixel carries alpha; an icon without alpha is opaque wherever its mask is clear.
#include "platform/base/color.h"
#include "platform/base/rect.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace pf {

class Dc;

class Icon {
public:
    static constexpr int32_t kMaxSide = 256; // larger pictures are refused rather than allocated

    // Null for sides outside [1, kMaxSide] or pixel and mask counts that do not match the size.
    static std::shared_ptr<const Icon> create(int32_t width, int32_t height, std::vector<uint32_t> argb,
                                              std::vector<uint8_t> mask, Point hotSpot = {});

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    Point hotSpot() const { return m_hotSpot; }
    uint32_t pixel(int32_t x, int32_t y) const { return m_argb[static_cast<size_t>(y) * m_width + x]; }
    bool isTransparentAt(int32_t x, int32_t y) const { return m_mask[static_cast<size_t>(y) * m_width + x] != 0; }
    bool hasAlpha() const { return m_hasAlpha; }
    // The pixel as drawn over `under` (0x00RRGGBB): under itself where transparent, else blended or copied.
    uint32_t composeOver(int32_t x, int32_t y, uint32_t under) const;

    Icon(int32_t width, int32_t height, std::vector<uint32_t> argb, std::vector<uint8_t> mask,
         Point hotSpot); // use create()

private:
    int32_t m_width;
    int32_t m_height;
    std::vector<uint32_t> m_argb;
    std::vector<uint8_t> m_mask;
    Point m_hotSpot;
    bool m_hasAlpha;
};

using IconRef = std::shared_ptr<const Icon>;

uint32_t blendPixel(uint32_t over, uint32_t under, uint32_t alpha); // alpha 0..255, result byte 3 cleared
bool drawIcon(Dc& dc, Point topLeft, const Icon& icon);             // false when the DC has no target
// A picture made from a number until real art exists: a tinted tile with a glyph, the same for the same id.
IconRef generatedIcon(uint32_t id, int32_t side);

} // namespace pf
