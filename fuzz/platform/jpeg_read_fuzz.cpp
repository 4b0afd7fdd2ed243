// Any bytes given to the JPEG reader: it must refuse them or hand out exactly the pixels its header claims, within
// the pixel limit, never ending the process; a small picture it reads must survive the writer and read again at its
// size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/gfx/jpeg_file.h"

namespace {

constexpr uint64_t kFuzzMaxPixels = uint64_t{4} * 1024 * 1024; // keeps each run short; the limit path is the same

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pf::JpegReadOptions options;
    options.maxPixels = kFuzzMaxPixels;
    std::string error;
    const std::optional<pf::JpegImage> image = pf::readJpegBytes(std::span(data, size), options, error);
    if (!image) {
        Check(!error.empty());
        return 0;
    }
    Check(image->width > 0 && image->height > 0);
    Check(uint64_t(image->width) * uint64_t(image->height) <= kFuzzMaxPixels);
    Check(image->pixels.size() == size_t(image->width) * size_t(image->height));
    if (image->pixels.size() > 4096)
        return 0;
    pf::Surface32 surface(image->width, image->height);
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x)
            surface.setPixel(x, y, image->pixels[size_t(y) * size_t(image->width) + size_t(x)]);
    const std::optional<std::vector<uint8_t>> again = pf::encodeJpeg(surface, 90, error);
    Check(again.has_value());
    const std::optional<pf::JpegImage> reread = pf::readJpegBytes(*again, options, error);
    Check(reread && reread->width == image->width && reread->height == image->height);
    return 0;
}
