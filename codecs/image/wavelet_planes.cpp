#include "codecs/image/wavelet_planes.h"

#include "codecs/image/band_coder.h"

namespace cis {

void WaveletPlanes::Allocate(const CisHeader& header)
{
    const int paddedWidth = PaddedSide(header.width, header.levels);
    const int paddedHeight = PaddedSide(header.height, header.levels);
    for (int p = 0; p < header.PlaneCount(); ++p) {
        ImagePlane& plane = m_planes[static_cast<size_t>(p)];
        const int shift = header.chromaShift[static_cast<size_t>(p)];
        plane.width = paddedWidth >> shift;
        plane.height = paddedHeight >> shift;
        plane.values.assign(static_cast<size_t>(plane.width) * static_cast<size_t>(plane.height), 0);
    }
}

bool WaveletPlanes::DecodeLevel(const CisHeader& header, std::span<const uint8_t> codedData, int k, ArithCoder& coder)
{
    const uint64_t offset = header.LevelOffset(k);
    const uint64_t size = header.levelBytes[static_cast<size_t>(k)];
    if (offset + size > codedData.size())
        return false;
    const std::span<const uint8_t> level = codedData.subspan(static_cast<size_t>(offset), static_cast<size_t>(size));
    size_t pos = 0;
    const CoderKind kind = static_cast<CoderKind>(header.coderKind);
    for (int p = 0; p < header.PlaneCount(); ++p) {
        const size_t i = static_cast<size_t>(p);
        BandCoder bands(m_planes[i], header.levels - header.chromaShift[i], header.droppedLevels[i], kind);
        if (!bands.DecodeLevel(level, pos, k, header.IsReversible(), coder))
            return false;
    }
    return true;
}

void WaveletPlanes::ToPixels(const CisHeader& header, const PixelTarget& out) const
{
    if (header.PlaneCount() == 1)
        GreyPlaneToPixels(m_planes[0], out);
    else if (header.IsReversible())
        InverseReversibleColour(m_planes[0], m_planes[1], m_planes[2], out);
    else if (header.chromaShift[1] != 0)
        InverseColourTransformSubsampled(m_planes[0], m_planes[1], m_planes[2], out);
    else
        InverseColourTransform(m_planes[0], m_planes[1], m_planes[2], out);
}

void WaveletPlanes::Release()
{
    for (ImagePlane& plane : m_planes)
        plane = {};
}

} // namespace cis
