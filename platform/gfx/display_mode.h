#pragma once
// What the display looks like to drawing code: its size, its depth (8, 16, 24 or 32 bits per pixel), the 16-bit
// channel layout and, at depth 8, the system palette. Window surfaces always hold 32-bit pixels; presentation paths
// pass theirs through emulate(), so a pixel shown on an emulated 16-bit display has lost its low bits exactly as on
// a real one, and at depth 8 it is the nearest system palette colour. One process-wide instance; the headless
// screen and tests set it. Every member is thread-safe.
#include "platform/base/rect.h"
#include "platform/gfx/palette.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace pf {

enum class SixteenBitLayout { kRgb565, kRgb555 };

struct ChannelMasks {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

class DisplayMode {
public:
    DisplayMode();

    Size size() const;
    void setSize(Size size); // sizes below 1 x 1 are ignored
    int32_t depth() const;
    bool setDepth(int32_t bitsPerPixel); // false for anything but 8, 16, 24, 32
    SixteenBitLayout sixteenBitLayout() const;
    void setSixteenBitLayout(SixteenBitLayout layout);
    ChannelMasks masks() const; // zero at depth 8

    std::array<PaletteEntry, 256> systemPalette() const;
    // At depth 8 the system palette becomes the 10 first static colours, the entries (at most 236), the 10 last
    // static colours; returns how many entries were placed. No effect and 0 at other depths.
    uint32_t realizePalette(std::span<const PaletteEntry> entries);
    std::vector<PaletteEntry> getSystemPaletteEntries(uint32_t start, uint32_t count) const; // empty above depth 8

    uint32_t emulate(uint32_t pixel) const; // a 0x..RRGGBB pixel as the display shows it, byte 3 cleared
    void emulateRow(uint32_t* pixels, size_t count) const;

    void reset(); // 1280 x 1024, depth 32, 5-6-5, the static palette

private:
    uint32_t emulateLocked(uint32_t pixel) const;
    uint32_t nearestPaletteColorLocked(uint32_t rgbPixel) const;
    void resetLocked();

    mutable std::mutex m_mutex;
    Size m_size;
    int32_t m_depth = 32;
    SixteenBitLayout m_layout = SixteenBitLayout::kRgb565;
    std::array<PaletteEntry, 256> m_palette{};
    // Nearest-colour answers for the current palette, keyed by a hash of the colour; cleared when the palette changes.
    struct CacheSlot {
        uint32_t color = 0xFFFFFFFFu;
        uint32_t answer = 0;
    };
    mutable std::vector<CacheSlot> m_nearestCache;
};

DisplayMode& displayMode();

} // namespace pf
