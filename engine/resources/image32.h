#pragma once
// SWimage32 (tag "CI32"): a picture with its own alpha, pixels 0xAARRGGBB as given.
#include <memory>
#include <string>

#include "engine/resources/pixel_image.h"

class SWimage32 : public SWpixelimage {
public:
    SWimage32(); // empty and invalid, for the tag registry
    // pixels: width x height words, or null for zeros. A refused size gives an invalid image.
    SWimage32(std::string name, int64_t width, int64_t height, const uint32_t* pixels);

    // The image, or null when the size is refused or memory ran out.
    static std::unique_ptr<SWimage32> SWimage32FromPixels(std::string name, int64_t width, int64_t height,
                                                          const uint32_t* pixels);

    std::unique_ptr<SWtexture> Clone() const override;
};
