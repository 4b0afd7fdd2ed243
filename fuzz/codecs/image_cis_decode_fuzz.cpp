// DecodeImage over arbitrary bytes: it must refuse or decode, never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/image/image_codec.h"

namespace {

// Streams that claim more than 2^22 pixels are legal up to 2^28, but each would take gigabytes under the
// sanitizers; the unit tests cover that bound, the fuzzer spends its time on the coded data instead.
bool ClaimsHugePicture(const uint8_t* data, size_t size)
{
    if (size < 20)
        return false;
    const uint32_t width = data[16] | (data[17] << 8);
    const uint32_t height = data[18] | (data[19] << 8);
    return uint64_t{width} * height > (uint64_t{1} << 22);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (ClaimsHugePicture(data, size))
        return 0;
    const std::optional<cis::DecodedImage> image = cis::DecodeImage(std::span<const uint8_t>(data, size));
    if (image && image->pixels.size() != size_t(image->width) * size_t(image->height) * 3)
        __builtin_trap();
    return 0;
}
