#pragma once
// SWimage24 (tag "CI24"): a picture without alpha. Its pixels show 255 in the top byte (opaque); the stored form is
// three bytes per pixel, red, green, blue, derived from the working buffer when asked.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/resources/pixel_image.h"

class SWimage24 : public SWpixelimage {
public:
    SWimage24(); // empty and invalid, for the tag registry
    // pixels: width x height words whose top byte is ignored, or null for black.
    SWimage24(std::string name, int64_t width, int64_t height, const uint32_t* pixels);

    // Null when the size is refused or memory ran out.
    static std::unique_ptr<SWimage24> SWimage24FromPixels(std::string name, int64_t width, int64_t height,
                                                          const uint32_t* pixels);
    // The source's size and colours, opaque; null when the source is null or invalid.
    static std::unique_ptr<SWimage24> SWimage24FromPixels(std::string name, const SWtexture* source);

    std::vector<uint8_t> GetCompactPixels() const;       // R, G, B per pixel, rows top to bottom
    bool SetCompactPixels(std::span<const uint8_t> rgb); // false, unchanged, unless it holds 3 x pixels bytes

    std::unique_ptr<SWtexture> Clone() const override;
};
