#pragma once
// PNG files in and out. Any PNG reads (grey, RGB, palette, with or without alpha, 1 to 16 bits) into the byte form
// the caller asks for; writing produces an 8-bit RGB PNG, or RGBA when asked. A file on disk is replaced whole or left
// as it was.
//
// A PNG's header says how many pixels follow, and a few bytes can claim billions; the reader believes no claim
// before checking it against the caller's pixel limit and against what the input's length can hold, so a refused
// file costs no pixel memory at all.
#include "platform/gfx/surface32.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pf {

// How pixels sit in memory, rows top first with no padding.
enum class PngPixels {
    kRgb,  // 3 bytes: red, green, blue
    kBgr,  // 3 bytes: blue, green, red
    kBgra, // 4 bytes: blue, green, red, alpha (a Surface32's memory order)
};

inline constexpr uint64_t kPngDefaultMaxPixels = uint64_t{64} * 1024 * 1024;

struct PngReadOptions {
    PngPixels pixels = PngPixels::kRgb;        // 3-byte forms composite alpha onto black; kBgra keeps it (255: opaque)
    uint64_t maxPixels = kPngDefaultMaxPixels; // width x height above this is refused before anything is allocated
};

struct PngImage {
    int32_t width = 0;
    int32_t height = 0;
    PngPixels pixels = PngPixels::kRgb;
    std::vector<uint8_t> bytes; // width x height x bytesPerPixel(pixels)
};

size_t pngBytesPerPixel(PngPixels pixels);

// nullopt, with the cause in outError: unreadable, not a PNG, damaged, truncated, or over a limit.
std::optional<PngImage> readPngFile(const std::string& path, const PngReadOptions& options, std::string& outError);
std::optional<PngImage> readPngBytes(std::span<const uint8_t> png, const PngReadOptions& options,
                                     std::string& outError);

// The 8-bit RGB PNG of an image in any of the forms (alpha is not written); nullopt when the image is empty, its
// bytes do not match its size, or it is too large for the encoder.
std::optional<std::vector<uint8_t>> encodePng(const PngImage& image, std::string& outError);

// The 8-bit RGBA PNG of a kBgra image, each pixel's alpha written as it stands (0: clear); refused for other forms.
std::optional<std::vector<uint8_t>> encodePngWithAlpha(const PngImage& image, std::string& outError);

// Encoded in memory, then written beside the target and renamed over it: a failure leaves the old file as it was.
bool writePngFile(const std::string& path, const PngImage& image, std::string& outError);
bool writePngFile(const std::string& path, const Surface32& surface, std::string& outError); // byte 3 unwritten
bool writePngFileWithAlpha(const std::string& path, const PngImage& image, std::string& outError);

} // namespace pf
