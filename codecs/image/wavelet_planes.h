#pragma once
// The planes of a wavelet stream on the decoding side: sized from the header, filled level by level, and turned
// into pixels. Shared by the one-shot and the progressive decoder, so both give the same final pixels.
#include <array>
#include <cstdint>
#include <span>

#include "codecs/image/cis_header.h"
#include "codecs/image/colour_transform.h"
#include "codecs/image/image_plane.h"

class ArithCoder;

namespace cis {

class WaveletPlanes {
public:
    // Zeroed planes for a checked header: plane 0 at the padded size, subsampled chroma planes at half of it.
    void Allocate(const CisHeader& header);

    // Decodes stream level k of every plane from the coded data (which start at the header's end) and inverts it.
    bool DecodeLevel(const CisHeader& header, std::span<const uint8_t> codedData, int k, ArithCoder& coder);

    void ToPixels(const CisHeader& header, const PixelTarget& out) const;

    const ImagePlane& Plane(int p) const { return m_planes[static_cast<size_t>(p)]; }
    void Release();

private:
    std::array<ImagePlane, 3> m_planes;
};

} // namespace cis
