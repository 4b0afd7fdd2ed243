#pragma once
// SWpixelimage: what the image kinds share, a 32-bit working buffer of width x height words that is the master
// copy of the pixels (a render surface may draw into it); each kind derives its compact stored form from it.
// A size outside SWtexture::IsAcceptedSize leaves the image invalid and allocates nothing.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/resources/texture.h"

struct TextureHeader;

class SWpixelimage : public SWtexture {
public:
    const uint32_t* GetPixels() const override { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    uint32_t* GetPixelBuffer() override { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    size_t PixelCount() const { return m_pixels.size(); }

    // Grey from colour, rounded: (77 R + 150 G + 29 B + 128) >> 8.
    static uint8_t GreyOf(uint32_t pixel);

protected:
    SWpixelimage() = default;
    // Makes a width x height buffer of zeros; false, with the image left invalid, for a refused size or no memory.
    bool Allocate(int64_t width, int64_t height);
    std::vector<uint32_t>& Pixels() { return m_pixels; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }
    // A read image takes the stored name, flags and size, and shown as its pixels (swapped, never copied).
    void TakeStoredImage(TextureHeader& header, std::vector<uint32_t>& shown);
    // What every clone starts with: name, flags, pixels and size; throws std::bad_alloc, leaving copy half made.
    void CopyImageTo(SWpixelimage& copy) const;

private:
    std::vector<uint32_t> m_pixels;
};
