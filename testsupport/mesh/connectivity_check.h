#pragma once
// Checks a decoded connectivity against its input through the reorder maps: every input polygon comes back once,
// with the same vertex cycle and winding (its start may rotate), every corner names its input corner, and every
// vertex that a face uses is decoded exactly once. Plain lists only, so tools and tests of any codec use it.
#include <cstdint>
#include <span>
#include <string>

namespace meshtest {

struct ConnectivityMaps {
    std::span<const uint32_t> vertexMap; // decoded vertex -> input vertex
    std::span<const uint32_t> faceMap;   // decoded polygon -> input polygon
    std::span<const int32_t> cornerMap;  // decoded coordIndex position -> input coordIndex position, -1 for -1
};

// Empty when everything matches; otherwise the first difference, in words.
std::string CheckConnectivity(std::span<const int32_t> inputCoordIndex, std::span<const int32_t> decodedCoordIndex,
                              uint32_t decodedVertexCount, const ConnectivityMaps& maps);

} // namespace meshtest
