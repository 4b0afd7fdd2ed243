#include "codecs/geometry/face_set_conversion.h"

#include <algorithm>

#include "codecs/geometry/px_result.h"

namespace px {

namespace {

bool HasRepeatedVertex(std::span<const int32_t> polygon)
{
    std::vector<int32_t> sorted(polygon.begin(), polygon.end());
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

} // namespace

int TriangulateFaces(std::span<const int32_t> coordIndex, TriangleMap& out)
{
    out = TriangleMap();
    size_t start = 0;
    while (start < coordIndex.size()) {
        size_t end = start;
        while (end < coordIndex.size() && coordIndex[end] != -1)
            ++end;
        if (end - start < 3 || HasRepeatedVertex(coordIndex.subspan(start, end - start))) {
            out = TriangleMap();
            return PXERR_INVALIDGEOMETRY;
        }
        for (size_t k = start + 2; k < end; ++k) {
            if (k > start + 2)
                out.edgeFlags.back()[2] = 0; // the previous triangle's closing edge became a diagonal
            out.cornerPositions.push_back(
                {static_cast<uint32_t>(start), static_cast<uint32_t>(k - 1), static_cast<uint32_t>(k)});
            out.edgeFlags.push_back({static_cast<uint8_t>(k == start + 2 ? 1 : 0), 1, 1});
            out.polygons.push_back(out.polygonCount);
        }
        ++out.polygonCount;
        start = end + 1; // past the -1; a last polygon needs none
    }
    return PX_OK;
}

std::vector<std::array<int32_t, 3>> MapTriangleCorners(const TriangleMap& map, std::span<const int32_t> indexList)
{
    std::vector<std::array<int32_t, 3>> values(map.cornerPositions.size());
    for (size_t t = 0; t < values.size(); ++t)
        for (size_t j = 0; j < 3; ++j)
            values[t][j] = indexList[map.cornerPositions[t][j]];
    return values;
}

std::vector<int32_t> IndexListFromCorners(std::span<const int32_t> cornerList,
                                          std::span<const std::array<uint32_t, 3>> triangleValues)
{
    std::vector<int32_t> list;
    list.reserve(cornerList.size());
    for (const int32_t corner : cornerList) {
        list.push_back(corner < 0
                           ? -1
                           : static_cast<int32_t>(
                                 triangleValues[static_cast<uint32_t>(corner) / 3][static_cast<uint32_t>(corner) % 3]));
    }
    return list;
}

} // namespace px
