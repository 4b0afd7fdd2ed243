#include "platform/gfx/display_mode.h"

#include "platform/base/color.h"

#include <algorithm>

namespace pf {

namespace {

constexpr size_t kCacheSlots = 4096;
constexpr size_t kStaticHalf = 10;

// The 20 colours an 8-bit display always keeps, 10 at each end of the system palette.
constexpr std::array<PaletteEntry, 10> kLowStatic = {{{0, 0, 0, 0},
                                                      {128, 0, 0, 0},
                                                      {0, 128, 0, 0},
                                                      {128, 128, 0, 0},
                                                      {0, 0, 128, 0},
                                                      {128, 0, 128, 0},
                                                      {0, 128, 128, 0},
                                                      {192, 192, 192, 0},
                                                      {192, 220, 192, 0},
                                                      {166, 202, 240, 0}}};
constexpr std::array<PaletteEntry, 10> kHighStatic = {{{255, 251, 240, 0},
                                                       {160, 160, 164, 0},
                                                       {128, 128, 128, 0},
                                                       {255, 0, 0, 0},
                                                       {0, 255, 0, 0},
                                                       {255, 255, 0, 0},
                                                       {0, 0, 255, 0},
                                                       {255, 0, 255, 0},
                                                       {0, 255, 255, 0},
                                                       {255, 255, 255, 0}}};

// Widening a 5- or 6-bit channel repeats its top bits, so full intensity stays 255 and zero stays 0.
uint32_t widen(uint32_t value, int bits)
{
    return (value << (8 - bits)) | (value >> (2 * bits - 8));
}

uint32_t reduceTo16(uint32_t pixel, SixteenBitLayout layout)
{
    const int greenBits = layout == SixteenBitLayout::kRgb565 ? 6 : 5;
    const uint32_t r = pixelRed(pixel) >> 3;
    const uint32_t g = pixelGreen(pixel) >> (8 - greenBits);
    const uint32_t b = pixelBlue(pixel) >> 3;
    return (widen(r, 5) << 16) | (widen(g, greenBits) << 8) | widen(b, 5);
}

} // namespace

DisplayMode::DisplayMode()
{
    resetLocked();
}

Size DisplayMode::size() const
{
    const std::lock_guard lock(m_mutex);
    return m_size;
}

void DisplayMode::setSize(Size size)
{
    if (size.cx < 1 || size.cy < 1)
        return;
    const std::lock_guard lock(m_mutex);
    m_size = size;
}

int32_t DisplayMode::depth() const
{
    const std::lock_guard lock(m_mutex);
    return m_depth;
}

bool DisplayMode::setDepth(int32_t bitsPerPixel)
{
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    const std::lock_guard lock(m_mutex);
    m_depth = bitsPerPixel;
    return true;
}

SixteenBitLayout DisplayMode::sixteenBitLayout() const
{
    const std::lock_guard lock(m_mutex);
    return m_layout;
}

void DisplayMode::setSixteenBitLayout(SixteenBitLayout layout)
{
    const std::lock_guard lock(m_mutex);
    m_layout = layout;
}

ChannelMasks DisplayMode::masks() const
{
    const std::lock_guard lock(m_mutex);
    switch (m_depth) {
    case 16:
        return m_layout == SixteenBitLayout::kRgb565 ? ChannelMasks{0xF800, 0x07E0, 0x001F}
                                                     : ChannelMasks{0x7C00, 0x03E0, 0x001F};
    case 24:
    case 32:
        return {0xFF0000, 0x00FF00, 0x0000FF};
    default:
        return {};
    }
}

std::array<PaletteEntry, 256> DisplayMode::systemPalette() const
{
    const std::lock_guard lock(m_mutex);
    return m_palette;
}

uint32_t DisplayMode::realizePalette(std::span<const PaletteEntry> entries)
{
    const std::lock_guard lock(m_mutex);
    if (m_depth != 8)
        return 0;
    const size_t placed = std::min(entries.size(), m_palette.size() - 2 * kStaticHalf);
    std::fill(m_palette.begin() + kStaticHalf, m_palette.end() - kStaticHalf, PaletteEntry{});
    std::copy_n(entries.begin(), placed, m_palette.begin() + kStaticHalf);
    std::fill(m_nearestCache.begin(), m_nearestCache.end(), CacheSlot{});
    return static_cast<uint32_t>(placed);
}

std::vector<PaletteEntry> DisplayMode::getSystemPaletteEntries(uint32_t start, uint32_t count) const
{
    const std::lock_guard lock(m_mutex);
    if (m_depth != 8 || start >= m_palette.size())
        return {};
    const size_t n = std::min<size_t>(count, m_palette.size() - start);
    return {m_palette.begin() + start, m_palette.begin() + start + static_cast<ptrdiff_t>(n)};
}

uint32_t DisplayMode::emulate(uint32_t pixel) const
{
    const std::lock_guard lock(m_mutex);
    return emulateLocked(pixel);
}

void DisplayMode::emulateRow(uint32_t* pixels, size_t count) const
{
    const std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < count; ++i)
        pixels[i] = emulateLocked(pixels[i]);
}

void DisplayMode::reset()
{
    const std::lock_guard lock(m_mutex);
    resetLocked();
}

uint32_t DisplayMode::emulateLocked(uint32_t pixel) const
{
    const uint32_t rgbPixel = pixel & kPixelRgbMask;
    switch (m_depth) {
    case 8:
        return nearestPaletteColorLocked(rgbPixel);
    case 16:
        return reduceTo16(rgbPixel, m_layout);
    default:
        return rgbPixel;
    }
}

uint32_t DisplayMode::nearestPaletteColorLocked(uint32_t rgbPixel) const
{
    CacheSlot& slot = m_nearestCache[(rgbPixel * 2654435761u) >> 20 & (kCacheSlots - 1)];
    if (slot.color == rgbPixel)
        return slot.answer;
    int64_t bestDistance = -1;
    uint32_t best = 0;
    for (const PaletteEntry& entry : m_palette) {
        const int64_t dr = int64_t{pixelRed(rgbPixel)} - entry.red;
        const int64_t dg = int64_t{pixelGreen(rgbPixel)} - entry.green;
        const int64_t db = int64_t{pixelBlue(rgbPixel)} - entry.blue;
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) { // the first of equally near entries wins
            bestDistance = distance;
            best = makePixel(entry.red, entry.green, entry.blue);
        }
    }
    slot = {rgbPixel, best};
    return best;
}

void DisplayMode::resetLocked()
{
    m_size = {1280, 1024};
    m_depth = 32;
    m_layout = SixteenBitLayout::kRgb565;
    m_palette.fill(PaletteEntry{});
    std::copy(kLowStatic.begin(), kLowStatic.end(), m_palette.begin());
    std::copy(kHighStatic.begin(), kHighStatic.end(), m_palette.end() - kStaticHalf);
    m_nearestCache.assign(kCacheSlots, CacheSlot{});
}

DisplayMode& displayMode()
{
    static DisplayMode instance;
    return instance;
}

} // namespace pf
