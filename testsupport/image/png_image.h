#pragma once
// PNG files as 3-byte pixels (blue, green, red; rows of width x 3 bytes), for the codec tools and benchmarks.
// Any PNG reads: grey is expanded, alpha is composited onto black, 16-bit samples are reduced to 8 bits. A file
// is replaced whole or not at all.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct BgrImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width x height x 3
};

// The platform reader's default: a header claiming more pixels is refused before any pixel memory is taken.
inline constexpr uint64_t kDefaultMaxPngPixels = uint64_t{64} * 1024 * 1024;

std::optional<BgrImage> ReadPng(const std::string& path, std::string& outError,
                                uint64_t maxPixels = kDefaultMaxPngPixels);
bool WritePng(const std::string& path, const BgrImage& image, std::string& outError);

// 4-byte pixels (blue, green, red, unused) to 3-byte ones.
BgrImage FromBgr0(const uint8_t* pixels, int width, int height);

// Peak signal-to-noise ratio over all bytes of two equally sized pictures; 99 for identical ones.
double PeakSignalToNoise(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

} // namespace testsupport
