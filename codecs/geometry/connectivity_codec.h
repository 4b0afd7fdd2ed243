#pragma once
// Connectivity alone through the codec: polygon index lists of one or more objects to a topology stream and
// back, with the reorder maps that tie decoded vertices, polygons and corners to the input. The full pipelines
// add the attribute streams around the same stage; developer tools and tests use this to check connectivity.
#include <cstdint>
#include <span>
#include <vector>

namespace px {

struct ConnectivityInput {
    std::span<const int32_t> coordIndex; // polygons, -1 after each (optional after the last)
    uint32_t positionCount = 0;          // indices must be below it
};

struct ObjectMaps {
    std::vector<uint32_t> vertexMap; // decoded vertex -> input vertex
    std::vector<uint32_t> faceMap;   // decoded polygon -> input polygon (coordIndex order)
    std::vector<int32_t> cornerMap;  // decoded coordIndex position -> input coordIndex position, -1 for -1
};

struct DecodedConnectivity {
    std::vector<int32_t> coordIndex; // -1 after every polygon
    uint32_t vertexCount = 0;
};

class MeshGraph;
struct TriangleMap;
struct TriangleRecord;

// Triangulates one object and checks its indices. 0 or PXERR_INVALIDGEOMETRY.
int PrepareConnectivity(const ConnectivityInput& input, TriangleRecord& outRecord, TriangleMap& outMap);
// The maps of one object from its encoder graph, whose polygon corners are read off first. 0, or
// PXERR_INVALIDGEOMETRY when the graph does not give back the polygons of its triangleCount entries.
int BuildReorderMaps(const MeshGraph& graph, const TriangleMap& map, size_t triangleCount, ObjectMaps& outMaps);

// 0; PX_EMPTYLIST for no objects; PXERR_INVALIDGEOMETRY for invalid polygons or geometry the coder cannot
// carry; PXERR_INVALIDPARAMETER for more than 65,535 objects; PXERR_OUTOFMEMORY. Outputs are empty on failure.
int EncodeConnectivity(std::span<const ConnectivityInput> objects, std::vector<uint8_t>& outStream,
                       std::vector<ObjectMaps>& outMaps);
// 0; PX_ERR for a damaged stream; PXERR_OUTOFMEMORY. Outputs are empty on failure.
int DecodeConnectivity(std::span<const uint8_t> stream, std::vector<DecodedConnectivity>& outObjects);

} // namespace px
