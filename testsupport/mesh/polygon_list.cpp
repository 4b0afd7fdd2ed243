#include "testsupport/mesh/polygon_list.h"

#include <utility>

namespace meshtest {

std::vector<std::vector<int32_t>> PolygonsOf(std::span<const int32_t> coordIndex)
{
    std::vector<std::vector<int32_t>> polygons;
    std::vector<int32_t> current;
    for (const int32_t index : coordIndex) {
        if (index >= 0) {
            current.push_back(index);
        } else if (!current.empty()) {
            polygons.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty())
        polygons.push_back(std::move(current));
    return polygons;
}

} // namespace meshtest
