// DecodeImage over arbitrary bytes: it must refuse or decode, never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/image/image_codec.h"

namespace {

// Claims above this are refused by the limit, so the fuzzer reaches that path; claims below it decode, which keeps
// each run to tens of megabytes under the sanitizers.
constexpr cis::DecodeLimits kLimits{uint64_t{1} << 22};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    cis::DecodedImage image;
    const cis::DecodeStatus status = cis::DecodeImageChecked(std::span<const uint8_t>(data, size), kLimits, image);
    if (status == cis::DecodeStatus::kOk && image.pixels.size() != size_t(image.width) * size_t(image.height) * 3)
        __builtin_trap();
    if (status == cis::DecodeStatus::kTooLarge &&
        (!image.pixels.empty() || uint64_t(image.width) * uint64_t(image.height) <= kLimits.maxPixels))
        __builtin_trap();
    if (status == cis::DecodeStatus::kOutputTooSmall)
        __builtin_trap();
    return 0;
}
