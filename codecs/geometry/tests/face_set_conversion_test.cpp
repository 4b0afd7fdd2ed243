// Fan triangulation of coordIndex: triangles, polygon-edge flags and the refusals of invalid polygons.
#include "codecs/geometry/face_set_conversion.h"

#include <gtest/gtest.h>

#include "codecs/geometry/px_result.h"

namespace {

using Triangle = std::array<uint32_t, 3>;
using Flags = std::array<uint8_t, 3>;

TEST(TriangulateFaces, QuadGivesTwoTrianglesWithTheDiagonalUnflagged)
{
    const std::vector<int32_t> quad = {0, 1, 2, 3, -1};
    px::TriangleMap map;
    ASSERT_EQ(px::TriangulateFaces(quad, map), px::PX_OK);
    EXPECT_EQ(map.cornerPositions, (std::vector<Triangle>{{0, 1, 2}, {0, 2, 3}}));
    EXPECT_EQ(map.edgeFlags, (std::vector<Flags>{{1, 1, 0}, {0, 1, 1}}));
    EXPECT_EQ(map.polygons, (std::vector<uint32_t>{0, 0}));
}

TEST(TriangulateFaces, PentagonMiddleTriangleHasOneRealEdge)
{
    const std::vector<int32_t> list = {4, 5, 6, 7, 8, -1, 1, 2, 3};
    px::TriangleMap map;
    ASSERT_EQ(px::TriangulateFaces(list, map), px::PX_OK);
    EXPECT_EQ(map.edgeFlags, (std::vector<Flags>{{1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}}));
    EXPECT_EQ(map.polygons, (std::vector<uint32_t>{0, 0, 0, 1}));
    EXPECT_EQ(map.polygonCount, 2u);
    const auto values = px::MapTriangleCorners(map, list);
    EXPECT_EQ(values[1], (std::array<int32_t, 3>{4, 6, 7}));
    EXPECT_EQ(values[3], (std::array<int32_t, 3>{1, 2, 3})); // the last polygon needs no -1
}

TEST(TriangulateFaces, InvalidPolygonsAreRefused)
{
    const std::vector<std::vector<int32_t>> lists = {
        {0, 1, -1, 2, 3, 4}, // a polygon of two entries
        {0, 1, 2, 1, -1},    // a repeated vertex
        {-1, 0, 1, 2},       // a leading separator
        {0, 1, 2, -1, -1},   // an empty polygon
        {0, 1},
    };
    for (const auto& list : lists) {
        px::TriangleMap map;
        EXPECT_EQ(px::TriangulateFaces(list, map), px::PXERR_INVALIDGEOMETRY);
        EXPECT_TRUE(map.cornerPositions.empty());
    }
}

TEST(IndexListFromCorners, SeparatorsStayAndCornersTakeTheirTriangleValue)
{
    const std::vector<std::array<uint32_t, 3>> triangles = {{10, 11, 12}, {20, 21, 22}};
    EXPECT_EQ(px::IndexListFromCorners(std::vector<int32_t>{0, 4, 5, -1, 1}, triangles),
              (std::vector<int32_t>{10, 21, 22, -1, 11}));
}

} // namespace
