#pragma once
// Manifold preparation of the topology encoder: every vertex gets a single fan of triangles, closed (interior)
// or open (boundary). A vertex whose triangles do not form one fan is split into as many vertices, all with the
// input position, as the cut chains of its link give; the topology stream later merges them again.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace px {

enum class FanState : uint8_t {
    kUnclassified = 0,
    kClosed = 1,
    kOpen = 2,
    kNotManifold = 255,
};

struct FanPair {
    uint32_t next = 0;   // record of the vertex after this one in the triangle
    uint32_t prev = 0;   // record of the vertex before it
    uint32_t corner = 0; // 3 * triangle + corner of this vertex
};

struct FanRecord {
    uint32_t position = 0; // input vertex index
    bool dirty = true;
    FanState state = FanState::kUnclassified;
    uint32_t mark = 0; // scratch of the classification
    std::vector<FanPair> pairs;
};

// Classifies one record: closed when its pairs chain into one cycle of three or more, open when they chain into
// one path, else not manifold. Reorders the pairs into chain order when they chain.
void ClassifyFan(std::vector<FanRecord>& records, uint32_t vertex);
bool ChainFan(FanRecord& record); // pairs into chain order (each next is the previous pair's prev); false: no chain

// Records for the triangles (vertex triples), split until every fan is manifold. triangleGroups gives the input
// polygon of each triangle: a polygon's triangles around a vertex are never cut apart. 0, or
// PXERR_INVALIDGEOMETRY when the adjacency turns out inconsistent or the split would not end within its bounds.
int SplitNonManifoldVertices(std::span<const std::array<uint32_t, 3>> triangles,
                             std::span<const uint32_t> triangleGroups, std::vector<FanRecord>& out);

} // namespace px
