#pragma once
// Image lists: equal-sized pictures drawn by index, shared by reference. No control ever destroys a list it was
// given, so a list stays alive while any window or caller still holds it, whatever order they go in.
#include "platform/base/color.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/icon.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace pf {

class Dc;

class ImageList {
public:
    static constexpr int32_t kMaxImages = 4096; // beyond this add() refuses: nothing the editors build comes near

    // Null for sides outside [1, Icon::kMaxSide]. `initial` and `grow` are capacity hints only.
    static std::shared_ptr<ImageList> create(int32_t cx, int32_t cy, uint32_t flags, int32_t initial, int32_t grow);

    int32_t imageWidth() const { return m_cx; }
    int32_t imageHeight() const { return m_cy; }
    int32_t count() const { return static_cast<int32_t>(m_images.size()); }

    // Cuts the bitmap into cx-wide pictures; a non-zero mask pixel makes that pixel transparent. The index of the
    // first added picture, or -1 (no bitmap, a height other than cy, a mask of another size, or the list full).
    int32_t add(const DibSection& bitmap, const DibSection* mask);
    int32_t addIcon(const Icon& icon); // scaled by nearest neighbour to cx x cy
    bool replace(int32_t index, const DibSection& bitmap, const DibSection* mask);
    bool replaceIcon(int32_t index, const Icon& icon);
    bool remove(int32_t index); // -1 removes every picture

    ColorRef setBkColor(ColorRef color); // CLR_NONE: no background; returns the previous one
    ColorRef bkColor() const { return m_bkColor; }
    bool setOverlayImage(int32_t image, int32_t overlay); // overlay 1..15
    // ILD_NORMAL draws the background colour under the picture unless it is CLR_NONE; ILD_TRANSPARENT never does;
    // ILD_BLEND50 mixes 50 % of COLOR_HIGHLIGHT in; overlay << 8 draws that overlay image on top.
    bool draw(Dc& dc, int32_t index, Point topLeft, uint32_t style) const;
    IconRef getIcon(int32_t index) const; // null for an index out of range

private:
    ImageList(int32_t cx, int32_t cy) : m_cx(cx), m_cy(cy) {}
    std::vector<uint32_t> pictureFrom(const DibSection& bitmap, const DibSection* mask, int32_t column) const;

    int32_t m_cx;
    int32_t m_cy;
    ColorRef m_bkColor = CLR_NONE;
    std::vector<std::vector<uint32_t>> m_images; // ARGB; alpha 0 = transparent once masked, see pictureFrom
    std::array<int32_t, 16> m_overlays{};        // overlay n -> image index + 1, 0 unset
};

using ImageListRef = std::shared_ptr<ImageList>;

} // namespace pf
