#pragma once
// The topology stage of both pipelines. The encoder makes every object manifold, builds its vertex graph,
// traverses it and packs the commands and side lists of all objects into the topology stream; the decoder reads
// that stream and rebuilds per object the graph, the triangles with their corners, and the polygons as a corner
// list with -1 after each polygon. Both leave the graph (MeshInfo) for the attribute stages.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/vertex_graph.h"

namespace px {

// One object's triangles as the encoder sees them (corner numbers are 3 * triangle + corner).
struct TriangleRecord {
    std::vector<std::array<uint32_t, 3>> vertices; // input vertex indices
    std::vector<std::array<uint8_t, 3>> edgeFlags; // byte j: the edge from corner j to corner j + 1
    std::vector<uint32_t> polygons;                // input polygon of each triangle
};

// One object as the decoder rebuilds it. Twin nodes share a position, so vertexCount counts positions.
struct DecodedTopology {
    MeshGraph graph;
    std::vector<std::array<uint32_t, 3>> triangles; // decoded vertex indices, corners numbered as in the graph
    std::vector<int32_t> cornerList;                // per polygon its corners in winding order, then -1
    uint32_t vertexCount = 0;
};

// Encoder: graphs (rings turned by the traversal, input corners and flags) per object and the topology stream.
// 0, PXERR_INVALIDGEOMETRY, or PXERR_INVALIDPARAMETER for more objects than the stream can count.
int EncodeTopology(std::span<const TriangleRecord> objects, std::vector<MeshGraph>& outGraphs,
                   std::vector<uint8_t>& outStream);
// Decoder: 0, or PX_ERR for a damaged stream. maxPositions: the most positions the position stream can hold
// (kAnyPositionCount when there is none); larger vertex claims are refused before any graph is built.
int DecodeTopology(std::span<const uint8_t> stream, uint64_t maxPositions, std::vector<DecodedTopology>& outObjects);

// Polygons from triangles and edge flags: per polygon its corners in winding order, from its earliest vertex in
// traversal order, then -1. Iterative, and each ring slot is walked at most once. 0, or failure (the given code)
// when the flags do not close polygons or the list would exceed 4 entries per triangle.
int BuildPolygonCorners(const MeshGraph& graph, const RingSlots& slots, size_t triangleCount, int failure,
                        std::vector<int32_t>& outCorners);

} // namespace px
