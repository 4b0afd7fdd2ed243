#pragma once
// Between a face set's polygon index lists and the codec's triangles: fan triangulation of coordIndex with
// polygon-edge flags and the corner positions of every triangle, and back from decoded corners to an index list.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace px {

// Where each triangle's corners stand in coordIndex, and its input polygon.
struct TriangleMap {
    std::vector<std::array<uint32_t, 3>> cornerPositions;
    std::vector<std::array<uint8_t, 3>> edgeFlags; // byte j: edge from corner j to corner j + 1 is a polygon edge
    std::vector<uint32_t> polygons;
    uint32_t polygonCount = 0;
};

// Fan triangulation: polygon (p0 .. pn-1) gives (p0, pk-1, pk) for k = 2 .. n-1. 0, or PXERR_INVALIDGEOMETRY
// for a polygon of fewer than 3 entries, a misplaced -1 or a vertex repeated within a polygon.
int TriangulateFaces(std::span<const int32_t> coordIndex, TriangleMap& out);

// The index list's values at every triangle's corners (for coordIndex and the attribute index lists alike).
// The list must be at least as long as the one the map was made from.
std::vector<std::array<int32_t, 3>> MapTriangleCorners(const TriangleMap& map, std::span<const int32_t> indexList);

// A decoded index list: -1 stays -1, corner c becomes the value at corner c % 3 of triangle c / 3.
std::vector<int32_t> IndexListFromCorners(std::span<const int32_t> cornerList,
                                          std::span<const std::array<uint32_t, 3>> triangleValues);

} // namespace px
