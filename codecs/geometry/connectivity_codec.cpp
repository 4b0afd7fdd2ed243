#include "codecs/geometry/connectivity_codec.h"

#include <exception>
#include <new>

#include "codecs/geometry/face_set_conversion.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/topology_coder.h"
#include "codecs/geometry/topology_stream.h"

namespace px {

int PrepareConnectivity(const ConnectivityInput& input, TriangleRecord& outRecord, TriangleMap& outMap)
{
    if (input.positionCount < 3 || input.coordIndex.size() < 3)
        return PXERR_INVALIDGEOMETRY;
    const int result = TriangulateFaces(input.coordIndex, outMap);
    if (result != PX_OK)
        return result;
    outRecord.vertices.reserve(outMap.cornerPositions.size());
    for (const auto& corners : MapTriangleCorners(outMap, input.coordIndex)) {
        for (const int32_t index : corners)
            if (index < 0 || static_cast<uint32_t>(index) >= input.positionCount)
                return PXERR_INVALIDGEOMETRY;
        outRecord.vertices.push_back(
            {static_cast<uint32_t>(corners[0]), static_cast<uint32_t>(corners[1]), static_cast<uint32_t>(corners[2])});
    }
    outRecord.edgeFlags = outMap.edgeFlags;
    outRecord.polygons = outMap.polygons;
    return PX_OK;
}

int BuildReorderMaps(const MeshGraph& graph, const TriangleMap& map, size_t triangleCount, ObjectMaps& outMaps)
{
    const RingSlots slots(graph);
    std::vector<int32_t> corners;
    const int result = BuildPolygonCorners(graph, slots, triangleCount, PXERR_INVALIDGEOMETRY, corners);
    if (result != PX_OK)
        return result;
    ObjectMaps maps;
    for (const uint32_t v : graph.traversal)
        if (graph.nodes[v].twin == kNoNode)
            maps.vertexMap.push_back(static_cast<uint32_t>(graph.nodes[v].position));
    bool polygonStart = true;
    for (const int32_t corner : corners) {
        if (corner < 0) {
            maps.cornerMap.push_back(-1);
            polygonStart = true;
            continue;
        }
        const uint32_t triangle = static_cast<uint32_t>(corner) / 3;
        maps.cornerMap.push_back(
            static_cast<int32_t>(map.cornerPositions[triangle][static_cast<uint32_t>(corner) % 3]));
        if (polygonStart)
            maps.faceMap.push_back(map.polygons[triangle]);
        polygonStart = false;
    }
    outMaps = std::move(maps);
    return PX_OK;
}

namespace {

int EncodeConnectivityUnguarded(std::span<const ConnectivityInput> objects, std::vector<uint8_t>& outStream,
                                std::vector<ObjectMaps>& outMaps)
{
    if (objects.empty())
        return PX_EMPTYLIST;
    std::vector<TriangleRecord> records(objects.size());
    std::vector<TriangleMap> maps(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        const int result = PrepareConnectivity(objects[o], records[o], maps[o]);
        if (result != PX_OK)
            return result;
    }
    std::vector<MeshGraph> graphs;
    std::vector<uint8_t> stream;
    int result = EncodeTopology(records, graphs, stream);
    if (result != PX_OK)
        return result;
    std::vector<ObjectMaps> objectMaps;
    objectMaps.resize(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        result = BuildReorderMaps(graphs[o], maps[o], records[o].vertices.size(), objectMaps[o]);
        if (result != PX_OK)
            return result;
    }
    outStream = std::move(stream);
    outMaps = std::move(objectMaps);
    return PX_OK;
}

} // namespace

int EncodeConnectivity(std::span<const ConnectivityInput> objects, std::vector<uint8_t>& outStream,
                       std::vector<ObjectMaps>& outMaps)
{
    outStream.clear();
    outMaps.clear();
    try {
        return EncodeConnectivityUnguarded(objects, outStream, outMaps);
    } catch (const std::exception&) { // bad_alloc, or length_error for a size no vector holds
        outStream.clear();
        outMaps.clear();
        return PXERR_OUTOFMEMORY;
    }
}

int DecodeConnectivity(std::span<const uint8_t> stream, std::vector<DecodedConnectivity>& outObjects)
{
    outObjects.clear();
    try {
        std::vector<DecodedTopology> decoded;
        const int result = DecodeTopology(stream, kAnyPositionCount, decoded);
        if (result != PX_OK)
            return result;
        std::vector<DecodedConnectivity> objects(decoded.size());
        for (size_t o = 0; o < decoded.size(); ++o) {
            objects[o].coordIndex = IndexListFromCorners(decoded[o].cornerList, decoded[o].triangles);
            objects[o].vertexCount = decoded[o].vertexCount;
        }
        outObjects = std::move(objects);
        return PX_OK;
    } catch (const std::exception&) { // bad_alloc, or length_error for a size no vector holds
        outObjects.clear();
        return PXERR_OUTOFMEMORY;
    }
}

} // namespace px
