#include "testsupport/mesh/connectivity_check.h"

#include <algorithm>
#include <vector>

#include "testsupport/mesh/polygon_list.h"

namespace meshtest {

namespace {

bool SameCycle(const std::vector<int32_t>& a, const std::vector<int32_t>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t shift = 0; shift < a.size(); ++shift) {
        bool same = true;
        for (size_t i = 0; i < a.size() && same; ++i)
            same = a[(i + shift) % a.size()] == b[i];
        if (same)
            return true;
    }
    return false;
}

std::string CheckVertexMap(std::span<const int32_t> input, uint32_t decodedVertexCount,
                           std::span<const uint32_t> vertexMap)
{
    if (vertexMap.size() != decodedVertexCount)
        return "vertex map has " + std::to_string(vertexMap.size()) + " entries for " +
               std::to_string(decodedVertexCount) + " decoded vertices";
    std::vector<uint32_t> referenced;
    for (const int32_t index : input)
        if (index >= 0)
            referenced.push_back(static_cast<uint32_t>(index));
    std::sort(referenced.begin(), referenced.end());
    referenced.erase(std::unique(referenced.begin(), referenced.end()), referenced.end());
    std::vector<uint32_t> mapped(vertexMap.begin(), vertexMap.end());
    std::sort(mapped.begin(), mapped.end());
    if (mapped != referenced)
        return "decoded vertices are not exactly the referenced input vertices";
    return {};
}

} // namespace

std::string CheckConnectivity(std::span<const int32_t> inputCoordIndex, std::span<const int32_t> decodedCoordIndex,
                              uint32_t decodedVertexCount, const ConnectivityMaps& maps)
{
    const std::string vertexProblem = CheckVertexMap(inputCoordIndex, decodedVertexCount, maps.vertexMap);
    if (!vertexProblem.empty())
        return vertexProblem;
    const auto input = PolygonsOf(inputCoordIndex);
    const auto decoded = PolygonsOf(decodedCoordIndex);
    if (decoded.size() != input.size() || maps.faceMap.size() != decoded.size())
        return "polygon count " + std::to_string(decoded.size()) + ", expected " + std::to_string(input.size());
    std::vector<uint8_t> seen(input.size(), 0);
    for (size_t j = 0; j < decoded.size(); ++j) {
        const uint32_t source = maps.faceMap[j];
        if (source >= input.size() || seen[source]++)
            return "face map entry " + std::to_string(j) + " is out of range or repeated";
        std::vector<int32_t> mapped;
        for (const int32_t v : decoded[j]) {
            if (v < 0 || static_cast<uint32_t>(v) >= decodedVertexCount)
                return "decoded polygon " + std::to_string(j) + " names a vertex out of range";
            mapped.push_back(static_cast<int32_t>(maps.vertexMap[static_cast<uint32_t>(v)]));
        }
        if (!SameCycle(input[source], mapped))
            return "decoded polygon " + std::to_string(j) + " differs from input polygon " + std::to_string(source);
    }
    if (maps.cornerMap.size() != decodedCoordIndex.size())
        return "corner map length differs from the decoded list";
    for (size_t k = 0; k < decodedCoordIndex.size(); ++k) {
        const int32_t decodedValue = decodedCoordIndex[k];
        const int32_t position = maps.cornerMap[k];
        if ((decodedValue < 0) != (position < 0))
            return "corner map and decoded list disagree on a separator at " + std::to_string(k);
        if (decodedValue < 0)
            continue;
        if (static_cast<size_t>(position) >= inputCoordIndex.size() ||
            inputCoordIndex[static_cast<size_t>(position)] !=
                static_cast<int32_t>(maps.vertexMap[static_cast<uint32_t>(decodedValue)]))
            return "corner " + std::to_string(k) + " does not map to its input corner";
    }
    return {};
}

} // namespace meshtest
