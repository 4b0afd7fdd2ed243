// EncodeImage on pictures made from the bytes: 1..96 on a side, quality 0..100. Every stream must decode to the
// same size, and quality 100 must come back exactly.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/image/image_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int width = 1 + data[0] % 96;
    const int height = 1 + data[1] % 96;
    const int quality = data[2] % 101;
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3, 0);
    for (size_t i = 0; i < pixels.size() && size > 3; ++i)
        pixels[i] = data[3 + i % (size - 3)];
    const std::vector<uint8_t> stream = cis::EncodeImage(width, height, pixels, quality);
    if (stream.empty())
        __builtin_trap();
    const std::optional<cis::DecodedImage> image = cis::DecodeImage(stream);
    if (!image || image->width != width || image->height != height)
        __builtin_trap();
    if (quality == 100 && image->pixels != pixels)
        __builtin_trap();
    return 0;
}
