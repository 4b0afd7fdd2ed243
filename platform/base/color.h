#pragma once
// Two colour forms meet in the layer. A ColorRef is the callers' colour value, 0x00BBGGRR (red in the low byte), the
// form stored settings and the callers' constants use. A pixel is what surfaces hold: 0xAARRGGBB, so memory reads
// B, G, R, A -- the byte order of a 32-bit bottom-up or top-down device-independent bitmap.
#include <cstdint>

namespace pf {

using ColorRef = uint32_t;

constexpr ColorRef CLR_NONE = 0xFFFFFFFFu;

constexpr ColorRef rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
constexpr uint8_t getRValue(ColorRef c)
{
    return static_cast<uint8_t>(c);
}
constexpr uint8_t getGValue(ColorRef c)
{
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t getBValue(ColorRef c)
{
    return static_cast<uint8_t>(c >> 16);
}

constexpr uint32_t kPixelRgbMask = 0x00FFFFFFu;

// Drawing writes the colour with byte 3 cleared, as pen, brush and text drawing do on 32-bit bitmaps.
constexpr uint32_t pixelFromColorRef(ColorRef c)
{
    return (static_cast<uint32_t>(getRValue(c)) << 16) | (static_cast<uint32_t>(getGValue(c)) << 8) | getBValue(c);
}
constexpr ColorRef colorRefFromPixel(uint32_t p)
{
    return rgb(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}
constexpr uint32_t makePixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 0)
{
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}
constexpr uint8_t pixelRed(uint32_t p)
{
    return static_cast<uint8_t>(p >> 16);
}
constexpr uint8_t pixelGreen(uint32_t p)
{
    return static_cast<uint8_t>(p >> 8);
}
constexpr uint8_t pixelBlue(uint32_t p)
{
    return static_cast<uint8_t>(p);
}
constexpr uint8_t pixelAlpha(uint32_t p)
{
    return static_cast<uint8_t>(p >> 24);
}

} // namespace pf
