#pragma once
// BuildColourHistogram: reduces a true-colour picture to at most a given number of colours. Pixels fall into a
// 64 x 64 x 64 histogram of 6-bit cells; colour boxes are split by least squared error, largest error first; every
// occupied cell then takes its nearest palette entry (ties to the earlier entry).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cis {

struct ColourHistogramResult {
    std::vector<uint8_t> indices;       // width x height palette indices; empty for an empty picture
    std::array<uint8_t, 768> palette{}; // 3 bytes per entry in the order p2, p1, p0 (the reverse of the pixel
                                        // bytes); entries past the colour count are 0
    int colours = 0;                    // entries in use
};

// Pixels: 3 bytes each (p0, p1, p2), rows without padding. The colour count is clamped to 1..256. Nothing when
// the pixels are fewer than width x height x 3 bytes, the picture has 2^31 pixels or more, or memory runs out.
std::optional<ColourHistogramResult> BuildColourHistogram(std::span<const uint8_t> pixels, int width, int height,
                                                          int colours);

} // namespace cis
