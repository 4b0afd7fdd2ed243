#include "designer/app/bitmap_info.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"

std::optional<pf::BitmapInfo> CreateBitmapInfo(int32_t width, int32_t height, uint16_t bitsPerPixel)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return std::nullopt;
    const uint64_t stride = (uint64_t{static_cast<uint32_t>(width)} * bitsPerPixel + 31) / 32 * 4;
    const uint64_t size = stride * static_cast<uint32_t>(height);
    if (size > UINT32_MAX)
        return std::nullopt;
    pf::BitmapInfo info;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up
    info.bmiHeader.biBitCount = bitsPerPixel;
    info.bmiHeader.biCompression = pf::BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<uint32_t>(size);
    return info;
}

bool DrawPicture32(pf::Dc& dc, int32_t x, int32_t y, std::span<const uint8_t> picture)
{
    const std::optional<pf::BitmapInfo> info = CreateBitmapInfo(kPictureSide, kPictureSide, 24);
    if (!info || picture.size() != kPictureBytes)
        return false;
    return dc.setDIBitsToDevice(x, y, kPictureSide, kPictureSide, 0, 0, 0, kPictureSide, picture, *info,
                                pf::DIB_RGB_COLORS) == kPictureSide;
}
