#pragma once
// JPEG files in and out. Reading gives 32-bit pixels (0xFFRRGGBB, a Surface32's form) from grey, RGB and YCbCr
// files; CMYK files are refused. Writing encodes a surface's colour (its byte 3 is not written) at a quality of 0
// to 100. A file on disk is replaced whole or left as it was.
//
// A JPEG's header says how many pixels follow, and a few bytes can claim billions: the claim is checked against the
// caller's pixel limit before anything is reserved for pixels, and the decoder's own working memory is bounded. The
// decoder reports damage (a cut file included) as a failure, never by leaving grey rows, and never ends the process.
#include "platform/gfx/surface32.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pf {

inline constexpr uint64_t kJpegDefaultMaxPixels = uint64_t{64} * 1024 * 1024;

struct JpegReadOptions {
    uint64_t maxPixels = kJpegDefaultMaxPixels; // width x height above this is refused before anything is allocated
};

struct JpegImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // width x height, rows top first, 0xFFRRGGBB
};

// nullopt, with the cause in outError: unreadable, not a JPEG, damaged, truncated, CMYK, or over the limit.
std::optional<JpegImage> readJpegFile(const std::string& path, const JpegReadOptions& options, std::string& outError);
std::optional<JpegImage> readJpegBytes(std::span<const uint8_t> jpeg, const JpegReadOptions& options,
                                       std::string& outError);

// The JPEG of surface at quality (clamped to 0..100); nullopt for an empty surface.
std::optional<std::vector<uint8_t>> encodeJpeg(const Surface32& surface, int quality, std::string& outError);
// Encoded in memory, then written through the atomic writer: a failure leaves the old file as it was.
bool writeJpegFile(const std::string& path, const Surface32& surface, int quality, std::string& outError);

} // namespace pf
