#pragma once
// One plane of signed 16-bit samples, row-major with the plane's (padded) width as row stride.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cis {

struct ImagePlane {
    int width = 0;  // padded width: the row stride
    int height = 0; // padded height
    std::vector<int16_t> values;

    int16_t* Row(int y) { return values.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    const int16_t* Row(int y) const { return values.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    int16_t& At(int x, int y) { return Row(y)[x]; }
    int16_t At(int x, int y) const { return Row(y)[x]; }
};

// Rounds a side up to a multiple of 2^levels, so that every wavelet level halves whole numbers.
inline int PaddedSide(int side, int levels)
{
    return ((side + (1 << levels) - 1) >> levels) << levels;
}

} // namespace cis
