#pragma once
// An OFF mesh's polygons as the chain of array blocks a mesh object builds its polygons from.
#include <cstdint>
#include <memory>

#include "testsupport/mesh/off_file.h"

class SWarrayblock;

namespace meshtest {

// The polygons in file order, each with the smoothing mask; an index below 0 or past the vertex count stays in, as
// the mesh must drop it. Null for a mesh without polygons.
std::unique_ptr<SWarrayblock> PolygonChainOf(const OffMesh& off, uint32_t smoothingMask = 1);

} // namespace meshtest
