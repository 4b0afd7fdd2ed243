#pragma once
// SWimage8 (tag "CIG8"): a grey picture, one byte per pixel when stored. Its pixels show the grey in red, green
// and blue and 255 in the top byte; the stored bytes are derived from the working buffer with SWpixelimage::GreyOf,
// so a colour drawn into it reads back as its grey.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/resources/pixel_image.h"

class SWimage8 : public SWpixelimage {
public:
    SWimage8(); // empty and invalid, for the tag registry
    // grey: width x height bytes, or null for black. A refused size gives an invalid image.
    SWimage8(std::string name, int64_t width, int64_t height, const uint8_t* grey);

    static uint32_t PixelOfGrey(uint8_t grey) { return 0xFF000000u | grey * 0x010101u; }

    std::vector<uint8_t> GetGreyBytes() const;        // one byte per pixel, rows top to bottom
    bool SetGreyBytes(std::span<const uint8_t> grey); // false, unchanged, unless it holds one byte per pixel

    std::unique_ptr<SWtexture> Clone() const override;
};
