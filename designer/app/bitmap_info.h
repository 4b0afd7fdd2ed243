#pragma once
// The small device-independent pictures of the designer: a map object's 32 x 32 picture, stored as three bytes a
// pixel (blue, green, red), the bottom row first.
#include <cstdint>
#include <optional>
#include <span>

#include "platform/gfx/dib.h"

namespace pf {
class Dc;
}

inline constexpr int32_t kPictureSide = 32;
inline constexpr size_t kPictureBytes = size_t{kPictureSide} * kPictureSide * 3;

// The header of a bottom-up, uncompressed picture of width x height at bitsPerPixel (8, 16, 24 or 32), its image
// size counting rows padded to 4 bytes; nullopt for sizes not above 0, another depth or a size a u32 cannot hold.
std::optional<pf::BitmapInfo> CreateBitmapInfo(int32_t width, int32_t height, uint16_t bitsPerPixel);

// Draws a 32 x 32 picture (kPictureBytes, bottom row first) with its top-left corner at (x, y) of dc. False when the
// bytes are not a whole picture or the dc cannot take it.
bool DrawPicture32(pf::Dc& dc, int32_t x, int32_t y, std::span<const uint8_t> picture);
