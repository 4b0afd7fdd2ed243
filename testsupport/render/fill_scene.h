#pragma once
// The fill-rate scene of the rasteriser benchmark: two screen triangles covering the whole buffer, drawn through
// one configured pipeline with every layer filtered one way and one of the four blend modes, depth test and write
// on. The benchmark times it; the developer tool writes it out for the GL peer, so both draw the same thing.
#include <cstdint>
#include <vector>

#include "render/format_record.h"
#include "testsupport/render/raster_host.h"

namespace testsupport {

// The record whose triangles take pipeline `index` (combine mode index / 8, layers by its code), every layer taking
// `filter` (0 nearest, 1 bilinear, 2 radial falloff), blend mode 0 to 3. Its images live as long as the process.
// An index whose mode has no fixed stages or whose layers a record cannot hold gives a record without layers.
SWtexturestages FillFormat(int index, uint8_t filter, int blendMode);
// A vertex at (x, y) with depth term w, the benchmark's two colours and texture coordinates x / 128, y / 128.
ScreenVertex FillVertex(float x, float y, float w);
// The two triangles covering width x height, corners in the order the rasteriser fills.
std::vector<ScreenVertex> FillTriangles(int32_t width, int32_t height);

} // namespace testsupport
