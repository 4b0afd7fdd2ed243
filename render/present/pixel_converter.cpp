#include "render/present/pixel_converter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "render/present/pixel_copy.h"
#include "render/render_drivers.h"
#include "render/software/block_runs.h"
#include "render/software/pixel_buffer.h"

namespace {

constexpr uint8_t kOrdered4x4[4][4] = {{39, 18, 34, 13}, {7, 28, 2, 23}, {31, 10, 36, 15}, {0, 21, 5, 26}};
constexpr uint8_t kOrdered2x2[2][4] = {{31, 10, 31, 10}, {0, 21, 0, 21}};
constexpr int kTable8Phase = 3 * 256;  // one column phase: blue, green, red
constexpr int kTable16Phase = 6 * 256; // one row phase: even blue, green, red, odd blue, green, red

// A mask the tables can serve: one run of 4 to 8 set bits. Fewer or more would shift by negative amounts.
bool UsableMask(uint32_t mask)
{
    if (mask == 0)
        return false;
    const int low = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return bits >= 4 && bits <= 8 && (mask >> low) == (1u << bits) - 1;
}

bool UsesSSE()
{
    const SWrenderdrivers* drivers = SWrenderdrivers::Current();
    return drivers != nullptr && drivers->UseSSE() != 0;
}

} // namespace

bool SWpixelconverter::Init(uint32_t ditherMode8, uint32_t ditherMode16)
{
    m_ditherMode8 = ditherMode8;
    m_ditherMode16 = ditherMode16;
    m_paletteMapped = 0;
    const bool cube = BuildDitherTables();
    const bool masks = BuildMaskTables(0xF800, 0x07E0, 0x001F);
    return cube && masks;
}

bool SWpixelconverter::BuildDitherTables()
{
    if (m_tables8 && m_builtMode8 == m_ditherMode8)
        return true;
    if (!m_tables8) {
        m_tables8.reset(new (std::nothrow) uint8_t[4 * 4 * kTable8Phase]);
        if (!m_tables8)
            return false;
    }
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            uint8_t* table = m_tables8.get() + (row * 4 + column) * kTable8Phase;
            const bool dither = m_ditherMode8 == 1 || m_ditherMode8 == 2;
            const uint32_t offset = m_ditherMode8 == 2   ? kOrdered4x4[row][column]
                                    : m_ditherMode8 == 1 ? kOrdered2x2[row & 1][column]
                                                         : 0;
            for (uint32_t i = 0; i < 256; ++i) {
                const uint32_t scaled = dither ? 214 * i / 255 : i;
                const uint32_t level = ((scaled + offset) & 255) * 6 / 256;
                table[i] = static_cast<uint8_t>(level);
                table[256 + i] = static_cast<uint8_t>(6 * level);
                table[512 + i] = static_cast<uint8_t>(36 * level);
            }
        }
    }
    m_builtMode8 = m_ditherMode8;
    return true;
}

bool SWpixelconverter::BuildMaskTables(uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
{
    if (!UsableMask(redMask) || !UsableMask(greenMask) || !UsableMask(blueMask))
        return false;
    if (m_tables16 && m_builtMode16 == m_ditherMode16 && m_builtMasks[0] == redMask && m_builtMasks[1] == greenMask &&
        m_builtMasks[2] == blueMask)
        return true;
    if (!m_tables16) {
        m_tables16.reset(new (std::nothrow) uint32_t[2 * kTable16Phase]);
        if (!m_tables16)
            return false;
    }
    constexpr uint32_t kBaseOffsets[2][2] = {{12, 4}, {0, 8}}; // [row phase][even, odd column]
    const uint32_t masks[3] = {blueMask, greenMask, redMask};  // table order: blue, green, red
    for (int row = 0; row < 2; ++row) {
        uint32_t* phase = m_tables16.get() + row * kTable16Phase;
        for (int odd = 0; odd < 2; ++odd) {
            for (int channel = 0; channel < 3; ++channel) {
                const uint32_t bits = std::popcount(masks[channel]);
                const uint32_t low = std::countr_zero(masks[channel]);
                const uint32_t shift = 8 - bits;
                const uint32_t offset = kBaseOffsets[row][odd] >> (bits - 4);
                uint32_t* table = phase + (odd * 3 + channel) * 256;
                for (uint32_t i = 0; i < 256; ++i) {
                    uint32_t value;
                    if (m_ditherMode16 == 1) {
                        const uint32_t scaled = i * (256 - (1u << shift)) / 255;
                        value = (((scaled + offset) & 255) >> shift) << low;
                    } else {
                        value = (i >> shift) << low;
                    }
                    table[i] = odd ? value << 16 : value;
                }
            }
        }
    }
    m_builtMode16 = m_ditherMode16;
    m_builtMasks[0] = redMask;
    m_builtMasks[1] = greenMask;
    m_builtMasks[2] = blueMask;
    return true;
}

void SWpixelconverter::Configure(uint32_t depth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint8_t* base,
                                 int32_t pitch, int32_t x, int32_t y, int32_t destWidth, int32_t destHeight)
{
    m_routine = nullptr;
    m_base = nullptr;
    m_pitch = 0;
    m_bytesPerPixel = 0;
    switch (depth) {
    case 8:
        if (BuildDitherTables())
            m_routine = m_paletteMapped ? &SWpixelconverter::Row8Mapped : &SWpixelconverter::Row8;
        m_bytesPerPixel = 1;
        break;
    case 16:
        if (BuildMaskTables(redMask, greenMask, blueMask))
            m_routine = &SWpixelconverter::Row16;
        m_bytesPerPixel = 2;
        break;
    case 24:
        // A display with red in the low byte would otherwise show red and blue exchanged; this routine is ours.
        m_routine = redMask != 255 ? &SWpixelconverter::Row24 : &SWpixelconverter::Row24Swap;
        m_bytesPerPixel = 3;
        break;
    case 32:
        if (redMask == 255)
            m_routine = &SWpixelconverter::Row32Swap;
        else
            m_routine = UsesSSE() ? &SWpixelconverter::Row32Wide : &SWpixelconverter::Row32;
        m_bytesPerPixel = 4;
        break;
    default:
        return;
    }
    m_base = base;
    m_pitch = pitch;
    m_offsetX = x;
    m_offsetY = y;
    m_destWidth = std::max(destWidth, 0);
    m_destHeight = std::max(destHeight, 0);
}

void SWpixelconverter::SetModes(bool interlaced, bool accumulate)
{
    m_interlaced = interlaced ? 1 : 0;
    m_accumulate = accumulate ? 1 : 0;
}

void SWpixelconverter::MapPalette(const uint8_t entries[256 * 4])
{
    for (int index = 0; index < kCubeColours; ++index) {
        const int red = CubeLevelValue(index / 36), green = CubeLevelValue(index / 6 % 6);
        const int blue = CubeLevelValue(index % 6);
        int best = 0;
        int bestDistance = 1 << 30;
        for (int entry = 0; entry < 256; ++entry) {
            const int dr = entries[entry * 4] - red, dg = entries[entry * 4 + 1] - green;
            const int db = entries[entry * 4 + 2] - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = entry;
            }
        }
        m_paletteMap[index] = static_cast<uint8_t>(best);
    }
    m_paletteMapped = 1;
    m_paletteMapBuilt = 1;
}

void SWpixelconverter::Convert(int32_t x, int32_t firstRow, int32_t columns, int32_t rows)
{
    if (m_source == nullptr || m_routine == nullptr || m_base == nullptr || m_pitch == 0 || columns <= 0 || rows <= 0)
        return;
    if (m_refreshFirst) {
        m_source->UpdateBackground();
        m_refreshFirst = 0;
    }
    const int64_t height = m_source->Height();
    const int64_t left = std::max<int64_t>({x, 0, -int64_t{m_offsetX}});
    const int64_t right =
        std::min<int64_t>({int64_t{x} + columns, m_source->Width(), int64_t{m_destWidth} - m_offsetX});
    const int64_t top = std::max<int64_t>({firstRow, 0, -int64_t{m_offsetY}});
    const int64_t bottom = std::min<int64_t>({int64_t{firstRow} + rows, height, int64_t{m_destHeight} - m_offsetY});
    if (left >= right || top >= bottom)
        return;
    const uint32_t shift = m_source->BlockShift();
    for (int64_t r = top; r < bottom; ++r) {
        const int64_t index = m_interlaced && (r & 1) ? (r >> 1) + ((height + 1) >> 1) : m_interlaced ? r >> 1 : r;
        const int32_t sourceRow = static_cast<int32_t>(index);
        const uint32_t mask = m_source->CurrentMask(sourceRow) | m_source->PreviousMask(sourceRow);
        const uint32_t* source = m_source->Row(sourceRow);
        uint8_t* dest = m_base + (r + m_offsetY) * int64_t{m_pitch};
        m_currentRow = static_cast<int32_t>(r);
        ForEachMaskedRun(mask, shift, static_cast<int32_t>(left), static_cast<int32_t>(right - left),
                         [&](int32_t start, int32_t count) {
                             (this->*m_routine)(source + start, dest + (start + int64_t{m_offsetX}) * m_bytesPerPixel,
                                                count);
                             m_converted += static_cast<uint64_t>(count);
                         });
    }
}

uint8_t SWpixelconverter::CubeAt(uint32_t pixel, uintptr_t address) const
{
    const uint8_t* table = m_tables8.get() + ((m_currentRow & 3) * 4 + (address & 3)) * kTable8Phase;
    return static_cast<uint8_t>(table[pixel & 255] + table[256 + ((pixel >> 8) & 255)] +
                                table[512 + ((pixel >> 16) & 255)]);
}

void SWpixelconverter::Row8(const uint32_t* source, uint8_t* dest, int32_t count)
{
    int32_t i = 0;
    for (; i < count && (reinterpret_cast<uintptr_t>(dest + i) & 3) != 0; ++i)
        dest[i] = CubeAt(source[i], reinterpret_cast<uintptr_t>(dest + i));
    for (; i + 4 <= count; i += 4) {
        const uint8_t quad[4] = {CubeAt(source[i], 0), CubeAt(source[i + 1], 1), CubeAt(source[i + 2], 2),
                                 CubeAt(source[i + 3], 3)};
        std::memcpy(dest + i, quad, 4);
    }
    for (; i < count; ++i)
        dest[i] = CubeAt(source[i], reinterpret_cast<uintptr_t>(dest + i));
}

void SWpixelconverter::Row8Mapped(const uint32_t* source, uint8_t* dest, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        dest[i] = m_paletteMap[CubeAt(source[i], reinterpret_cast<uintptr_t>(dest + i))];
}

void SWpixelconverter::Row16(const uint32_t* source, uint8_t* dest, int32_t count)
{
    const uint32_t* table = m_tables16.get() + (m_currentRow & 1) * kTable16Phase;
    const auto even = [table](uint32_t p) {
        return table[p & 255] + table[256 + ((p >> 8) & 255)] + table[512 + ((p >> 16) & 255)];
    };
    const auto odd = [table](uint32_t p) {
        return table[768 + (p & 255)] + table[1024 + ((p >> 8) & 255)] + table[1280 + ((p >> 16) & 255)];
    };
    int32_t i = 0;
    if (count > 0 && (reinterpret_cast<uintptr_t>(dest) & 2) != 0) {
        const uint16_t value = static_cast<uint16_t>(odd(source[0]) >> 16);
        std::memcpy(dest, &value, 2);
        i = 1;
    }
    for (; i + 2 <= count; i += 2) {
        const uint32_t pair = even(source[i]) + odd(source[i + 1]);
        const uint16_t halves[2] = {static_cast<uint16_t>(pair), static_cast<uint16_t>(pair >> 16)};
        std::memcpy(dest + 2 * i, halves, 4);
    }
    if (i < count) {
        const uint16_t value = static_cast<uint16_t>(even(source[i]));
        std::memcpy(dest + 2 * i, &value, 2);
    }
}

void SWpixelconverter::Row24(const uint32_t* source, uint8_t* dest, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        dest[3 * i] = static_cast<uint8_t>(p);
        dest[3 * i + 1] = static_cast<uint8_t>(p >> 8);
        dest[3 * i + 2] = static_cast<uint8_t>(p >> 16);
    }
}

void SWpixelconverter::Row24Swap(const uint32_t* source, uint8_t* dest, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        dest[3 * i] = static_cast<uint8_t>(p >> 16);
        dest[3 * i + 1] = static_cast<uint8_t>(p >> 8);
        dest[3 * i + 2] = static_cast<uint8_t>(p);
    }
}

void SWpixelconverter::Row32(const uint32_t* source, uint8_t* dest, int32_t count)
{
    CopyPixelsPlain(source, dest, count);
}

void SWpixelconverter::Row32Wide(const uint32_t* source, uint8_t* dest, int32_t count)
{
    CopyPixelsWide(source, dest, count);
}

void SWpixelconverter::Row32Swap(const uint32_t* source, uint8_t* dest, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        const uint32_t swapped = ((p & 255) << 16) | (p & 0xFF00) | ((p >> 16) & 255);
        std::memcpy(dest + 4 * i, &swapped, 4);
    }
}
