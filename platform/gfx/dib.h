#pragma once
// Device-independent bitmaps: the header that describes rows of pixels handed to setDIBitsToDevice, and DIB
// sections, 32-bit bitmaps whose pixels the caller reads and writes directly and which a memory device context
// draws into.
#include "platform/base/gdi_constants.h"
#include "platform/gfx/surface32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace pf {

struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0; // > 0: rows stored bottom-up; < 0: top-down
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0; // 8 (colour table), 16 (5-5-5), 24 (B, G, R), 32 (B, G, R, x)
    uint32_t biCompression = BI_RGB;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0; // 8-bit: entries of the colour table, 0 = 256
    uint32_t biClrImportant = 0;
};

struct RgbQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

// The header and the caller's colour table, borrowed for the call.
struct BitmapInfo {
    BitmapInfoHeader bmiHeader;
    std::span<const RgbQuad> bmiColors;
};

// The checked shape of a header: what setDIBitsToDevice needs to walk the caller's rows safely.
struct DibLayout {
    int64_t width = 0;
    int64_t height = 0; // absolute
    bool topDown = false;
    int bitsPerPixel = 0;
    uint64_t strideBytes = 0; // rows are padded to 4 bytes
};
std::optional<DibLayout> dibLayoutOf(const BitmapInfoHeader& header); // nullopt for a header we cannot draw

// Converts pixels [firstColumn, firstColumn + count) of one stored row into 0x00RRGGBB pixels. The row must hold
// them (the caller checked the layout); 8-bit indices past the colour table read as black.
void convertDibRow(const DibLayout& layout, const uint8_t* row, int64_t firstColumn, size_t count,
                   std::span<const RgbQuad> colors, uint32_t* out);

class DibSection {
public:
    static constexpr int64_t kMaxPixels = int64_t{1} << 26; // 256 MiB: a bitmap the layer refuses beyond this

    // A 32-bit DIB section of width x height, all zero; null for sizes <= 0, other depths or more than kMaxPixels.
    static std::shared_ptr<DibSection> create(int32_t width, int32_t height, int bitsPerPixel = 32,
                                              bool topDown = true);

    int32_t width() const { return m_surface.width(); }
    int32_t height() const { return m_surface.height(); }
    bool isTopDown() const { return m_topDown; }
    BitmapInfoHeader header() const; // the header that describes bits(): negative height when top-down
    uint8_t* bits() { return reinterpret_cast<uint8_t*>(m_pixels.data()); } // memory order, pitch width * 4
    const uint8_t* bits() const { return reinterpret_cast<const uint8_t*>(m_pixels.data()); }
    Surface32& surface() { return m_surface; } // row 0 is the top row whatever the memory order
    const Surface32& surface() const { return m_surface; }

    DibSection(std::vector<uint32_t> pixels, int32_t width, int32_t height, bool topDown); // use create()

private:
    std::vector<uint32_t> m_pixels;
    bool m_topDown;
    Surface32 m_surface;
};

using DibSectionRef = std::shared_ptr<DibSection>;

} // namespace pf
