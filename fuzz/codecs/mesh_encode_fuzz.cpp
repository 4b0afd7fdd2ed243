// Small face sets made from the bytes go through CompressModel; any result code is fine, but when it succeeds
// DecompressModel must succeed too and every decoded polygon must be its input polygon (through the face and
// vertex maps, same cycle and winding).
//   byte 0: vertex count 3..64; byte 1: bit 0 texture coordinates, bit 1 their index list, bits 2-5 position
//   bits - 1 (capped to 24), bit 6 colours per vertex, bit 7 normals with an index list; then 3 bytes per vertex
//   (a coordinate of byte/16, but 253 NaN, 254 infinity and 255 minus infinity, which a model must refuse), then
//   index entries (255 is -1, others modulo the count), at most 200; the attributes and their index lists are
//   derived from the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/px_result.h"

namespace {

std::vector<std::vector<int32_t>> Polygons(const std::vector<int32_t>& list)
{
    std::vector<std::vector<int32_t>> polygons(1);
    for (const int32_t index : list) {
        if (index >= 0)
            polygons.back().push_back(index);
        else if (!polygons.back().empty())
            polygons.emplace_back();
    }
    if (polygons.back().empty())
        polygons.pop_back();
    return polygons;
}

bool SameCycle(const std::vector<int32_t>& a, const std::vector<int32_t>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t shift = 0; shift < a.size(); ++shift) {
        size_t i = 0;
        while (i < a.size() && a[(i + shift) % a.size()] == b[i])
            ++i;
        if (i == a.size())
            return true;
    }
    return false;
}

float Coordinate(uint8_t byte)
{
    switch (byte) {
    case 253:
        return std::numeric_limits<float>::quiet_NaN();
    case 254:
        return std::numeric_limits<float>::infinity();
    case 255:
        return -std::numeric_limits<float>::infinity();
    default:
        return static_cast<float>(byte) / 16.0f;
    }
}

px::PXIndexedFaceSet FaceSetFrom(std::span<const uint8_t> data)
{
    px::PXIndexedFaceSet set;
    const uint32_t vertices = 3 + data[0] % 62;
    const uint8_t flags = data[1];
    data = data.subspan(2);
    for (uint32_t i = 0; i < 3 * vertices; ++i)
        set.coord.push_back(i < data.size() ? Coordinate(data[i]) : static_cast<float>(i % 7));
    data = data.subspan(std::min<size_t>(data.size(), 3 * vertices));
    for (size_t i = 0; i < data.size() && i < 200; ++i)
        set.coordIndex.push_back(data[i] == 255 ? -1 : static_cast<int32_t>(data[i] % vertices));
    if (flags & 1) {
        for (uint32_t v = 0; v < vertices; ++v)
            set.texCoord.insert(set.texCoord.end(), {set.coord[3 * v] * 0.5f, set.coord[3 * v + 1] * 0.25f});
        if (flags & 2)
            for (const int32_t index : set.coordIndex)
                set.texCoordIndex.push_back(index < 0 ? -1 : static_cast<int32_t>((index * 7) % vertices));
    }
    if (flags & 0x40)
        for (uint32_t v = 0; v < 3 * vertices; ++v)
            set.colour.push_back(set.coord[v] / 16.0f);
    if (flags & 0x80) {
        set.normal = set.coord;
        for (const int32_t index : set.coordIndex)
            set.normalIndex.push_back(index < 0 ? -1 : static_cast<int32_t>((index * 3) % vertices));
    }
    return set;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const px::PXIndexedFaceSet input = FaceSetFrom({data, size});
    px::PXModel model;
    if (model.SetLists({input}) != px::PX_OK)
        return 0;
    model.SetParam(px::kParamPositionBits, std::min<uint32_t>(24, 1 + ((data[1] >> 2) & 15)));
    px::PXStreamSet streams;
    px::PXReorderMaps maps;
    if (px::CompressModel(model, streams, &maps) != px::PX_OK)
        return 0;
    px::PXModel decoded;
    if (px::DecompressModel(streams, decoded) != px::PX_OK || decoded.Count() != 1 || maps.objects.size() != 1)
        std::abort();
    const px::PXIndexedFaceSet& out = decoded.Lists()[0];
    const px::ObjectMaps& map = maps.objects[0];
    const auto inputPolygons = Polygons(input.coordIndex);
    const auto decodedPolygons = Polygons(out.coordIndex);
    if (decodedPolygons.size() != inputPolygons.size() || map.faceMap.size() != decodedPolygons.size() ||
        map.vertexMap.size() != out.PositionCount())
        std::abort();
    for (size_t j = 0; j < decodedPolygons.size(); ++j) {
        std::vector<int32_t> mapped;
        for (const int32_t v : decodedPolygons[j])
            mapped.push_back(static_cast<int32_t>(map.vertexMap.at(static_cast<size_t>(v))));
        if (map.faceMap[j] >= inputPolygons.size() || !SameCycle(inputPolygons[map.faceMap[j]], mapped))
            std::abort();
    }
    return 0;
}
