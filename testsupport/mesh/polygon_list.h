#pragma once
// Polygon index lists as meshes hold them: vertex indices with -1 after each polygon (optional after the last).
#include <cstdint>
#include <span>
#include <vector>

namespace meshtest {

// The polygons of a list, each its vertex indices; empty polygons (two -1 in a row) are skipped.
std::vector<std::vector<int32_t>> PolygonsOf(std::span<const int32_t> coordIndex);

} // namespace meshtest
