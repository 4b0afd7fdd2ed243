// Any bytes given to the PNG reader: it must refuse them or hand out exactly the pixels its header claims, within
// the pixel limit and within what the input's length can hold; a small picture it reads must survive the writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gfx/png_file.h"

namespace {

// Deflate expands at most 1032 times, and a stored pixel takes at least one bit where a 4-byte form gives it 32.
constexpr uint64_t kMostOutputPerInputByte = 1032 * 32;

uint32_t crc32Of(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A mutated chunk almost never keeps a matching CRC, and the PNG library is not instrumented, so the fuzzer cannot
// learn to fix it: half the inputs get every chunk's CRC made right, so that mutated headers and rows get read.
void repairChunkCrcs(std::vector<uint8_t>& png)
{
    size_t at = 8;
    while (at <= png.size() && png.size() - at >= 12) {
        const uint32_t length =
            uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | uint32_t(png[at + 3]);
        if (length > png.size() - at - 12)
            return;
        const uint32_t crc = crc32Of(&png[at + 4], length + 4);
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

void checkRoundTrip(const pf::PngImage& image)
{
    std::string error;
    const std::optional<std::vector<uint8_t>> png = pf::encodePng(image, error);
    if (!png)
        std::abort();
    const std::optional<pf::PngImage> back = pf::readPngBytes(*png, {pf::PngPixels::kRgb}, error);
    if (!back || back->width != image.width || back->height != image.height || back->bytes != image.bytes)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The form and the repair follow the length, so each seed's mutations reach every case without a byte of
    // their own.
    const pf::PngPixels form = static_cast<pf::PngPixels>(size % 3);
    std::vector<uint8_t> png(data, data + size);
    if (size / 3 % 2 == 1)
        repairChunkCrcs(png);
    std::string error;
    const std::optional<pf::PngImage> image = pf::readPngBytes(png, {form}, error);
    if (!image) {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const uint64_t pixels = uint64_t(image->width) * uint64_t(image->height);
    if (image->width <= 0 || image->height <= 0 || pixels > pf::kPngDefaultMaxPixels ||
        image->bytes.size() != pixels * pf::pngBytesPerPixel(form) ||
        image->bytes.size() > size * kMostOutputPerInputByte)
        std::abort();
    if (form == pf::PngPixels::kRgb && pixels <= 4096)
        checkRoundTrip(*image);
    return 0;
}
