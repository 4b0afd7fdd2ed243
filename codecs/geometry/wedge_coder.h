#pragma once
// Property-index streams (kinds 4, 6, 8): where an attribute index list has seams, each vertex's faces fall into
// wedges that share one attribute index. Per object the stream carries the seam flag of every interior edge at its
// earlier end, the flip flag (seam at the other end XOR), a shared flag per wedge, and the shared ids of the
// wedges whose index is used by more than one wedge (ids in order of second use). Decoded indices are numbered in
// order of first use; the attribute coders code one value per index in that order.
//
// Layout after the header: G (16); per object flag runs of the seam flags, of the flip flags and of the shared
// flags, then value runs of the shared ids.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "codecs/geometry/attribute_walk.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

struct WedgeLayout {
    std::vector<Wedge> wedges;                   // per vertex in traversal order, around each ring
    std::vector<uint32_t> firstWedgeOfAttribute; // wedge index per attribute, in order of first use
    CornerAttributes corners;                    // per triangle; every corner of a wedge holds its index
    uint32_t attributeCount = 0;
};

struct PropertyIndexInput {
    const MeshGraph* graph = nullptr;                    // not owned
    CornerAttributes corners;                            // per input triangle, the attribute index at each corner
    std::function<bool(int32_t a, int32_t b)> sameValue; // do two attribute indices hold equal values
};

// Builds each object's wedges (the encoder's corners are rewritten so that a wedge's corners agree) and the
// stream. 0, or PXERR_INVALIDGEOMETRY.
int EncodePropertyIndices(uint8_t kind, std::span<PropertyIndexInput> objects, std::vector<uint8_t>& outStream,
                          std::vector<WedgeLayout>& outLayouts);

// Per object the decoded wedges and corner table (indexed by decoded triangle). 0, PX_ERR, or 1 (PX_EMPTYBITSTREAM)
// when the stream's object count differs and the attribute is to be dropped.
int DecodePropertyIndices(std::span<const uint8_t> stream, std::span<const MeshGraph* const> graphs,
                          std::span<const size_t> triangleCounts, std::vector<WedgeLayout>& outLayouts);

} // namespace px
