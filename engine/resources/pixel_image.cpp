#include "engine/resources/pixel_image.h"

#include <new>
#include <utility>

#include "engine/resources/texture_header_record.h"

uint8_t SWpixelimage::GreyOf(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFFu, g = (pixel >> 8) & 0xFFu, b = pixel & 0xFFu;
    return static_cast<uint8_t>((77 * r + 150 * g + 29 * b + 128) >> 8);
}

bool SWpixelimage::Allocate(int64_t width, int64_t height)
{
    m_pixels.clear();
    SetSize(0, 0);
    if (!IsAcceptedSize(width, height))
        return false;
    try {
        m_pixels.assign(static_cast<size_t>(width * height), 0u);
    } catch (const std::bad_alloc&) {
        return false;
    }
    SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    return true;
}

void SWpixelimage::TakeStoredImage(TextureHeader& header, std::vector<uint32_t>& shown)
{
    SetName(std::move(header.name));
    SetTextureFlags(header.flags);
    SetSize(static_cast<int32_t>(header.width), static_cast<int32_t>(header.height));
    m_pixels.swap(shown);
}

void SWpixelimage::CopyImageTo(SWpixelimage& copy) const
{
    copy.SetName(GetName());
    copy.SetTextureFlags(GetTextureFlags());
    copy.m_pixels = m_pixels;
    copy.SetSize(GetWidth(), GetHeight());
}
