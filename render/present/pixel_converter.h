#pragma once
// SWpixelconverter: turns the software renderer's 0x00RRGGBB frame into a display's pixels, row by row, touching
// only the blocks drawn in this or the previous frame. 8-bit displays get an ordered dither into a 6 x 6 x 6 colour
// cube, 16-bit displays dithered lookup tables built from their channel masks, 24-bit packed bytes, 32-bit a copy.
#include <cstdint>
#include <memory>

class SWpixelbuffer;

class SWpixelconverter {
public:
    static constexpr int kCubeColours = 216;

    SWpixelconverter() = default;
    SWpixelconverter(const SWpixelconverter&) = delete;
    SWpixelconverter& operator=(const SWpixelconverter&) = delete;

    // 8-bit mode: 1 = 2 x 2 dither, 2 = 4 x 4, other = none; 16-bit mode: 1 = dithered, other = plain. Builds the
    // 8-bit tables and 5-6-5 tables; false when either could not be built.
    bool Init(uint32_t ditherMode8, uint32_t ditherMode16);
    // Chooses the routine for depth and masks and where it writes: source pixel (sx, sy) goes to destination pixel
    // (sx + x, sy + y) of a destination destWidth x destHeight pixels of pitch bytes per row. No routine (Convert
    // then does nothing) when the tables it needs are missing or a 16-bit mask is zero, not contiguous, or outside
    // 4 to 8 bits.
    void Configure(uint32_t depth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint8_t* base,
                   int32_t pitch, int32_t x, int32_t y, int32_t destWidth, int32_t destHeight);
    void SetSource(SWpixelbuffer* source) { m_source = source; } // not owned; refreshed through it when asked
    void SetModes(bool interlaced, bool accumulate);
    void MapPalette(const uint8_t entries[256 * 4]); // red, green, blue, flags per system entry
    void ClearPaletteMap() { m_paletteMapped = 0; }
    void RestorePaletteMap() { m_paletteMapped = m_paletteMapBuilt; } // the map last built, if any
    void SetRefreshFirst() { m_refreshFirst = 1; }
    // The rectangle of source pixels, clamped to the source and to the destination; only dirty blocks.
    void Convert(int32_t x, int32_t firstRow, int32_t columns, int32_t rows);

    bool HasRoutine() const { return m_routine != nullptr; }
    // The 32-bit copy in wide groups, chosen by Configure when the driver manager has SSE active.
    bool IsWideCopy() const { return m_routine == &SWpixelconverter::Row32Wide; }
    uint32_t BytesPerPixel() const { return m_bytesPerPixel; }
    bool IsPaletteMapped() const { return m_paletteMapped != 0; }
    const uint8_t* PaletteMap() const { return m_paletteMap; }
    uint64_t ConvertedPixels() const { return m_converted; } // since construction, for reports and tests

    bool BuildDitherTables();
    bool BuildMaskTables(uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

    // The colour cube's index for a level per channel (0..5 each).
    static uint8_t CubeIndex(uint32_t red, uint32_t green, uint32_t blue) { return red * 36 + green * 6 + blue; }
    static uint32_t CubeLevelValue(uint32_t level) { return level * 51; }

private:
    using RowRoutine = void (SWpixelconverter::*)(const uint32_t* source, uint8_t* dest, int32_t count);

    void Row8(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row8Mapped(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row16(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row24(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row24Swap(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row32(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row32Wide(const uint32_t* source, uint8_t* dest, int32_t count);
    void Row32Swap(const uint32_t* source, uint8_t* dest, int32_t count);
    uint8_t CubeAt(uint32_t pixel, uintptr_t address) const;

    RowRoutine m_routine = nullptr;
    SWpixelbuffer* m_source = nullptr;
    uint32_t m_ditherMode8 = 2;
    uint32_t m_builtMode8 = ~0u;
    uint32_t m_ditherMode16 = 1;
    uint32_t m_builtMode16 = ~0u;
    uint32_t m_builtMasks[3] = {0, 0, 0};
    std::unique_ptr<uint8_t[]> m_tables8;   // 4 row phases x 4 column phases x 3 channels x 256
    std::unique_ptr<uint32_t[]> m_tables16; // 2 row phases x (even B, G, R, odd B, G, R) x 256
    uint32_t m_bytesPerPixel = 0;
    int32_t m_currentRow = 0;
    uint8_t m_interlaced = 0;
    uint8_t m_accumulate = 0;
    uint8_t* m_base = nullptr;
    int32_t m_pitch = 0;
    int32_t m_offsetX = 0;
    int32_t m_offsetY = 0;
    int32_t m_destWidth = 0;
    int32_t m_destHeight = 0;
    uint8_t m_refreshFirst = 0;
    uint8_t m_paletteMapped = 0;
    uint8_t m_paletteMapBuilt = 0;
    uint8_t m_paletteMap[kCubeColours] = {};
    uint64_t m_converted = 0;
};
