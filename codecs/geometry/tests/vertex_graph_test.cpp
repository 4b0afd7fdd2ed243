// The ring-slot look-up against a plain scan of the rings: short rings (scanned) and long ones (searched), repeated
// neighbours, and nodes or neighbours that are not there.
#include "codecs/geometry/vertex_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

px::MeshGraph GraphOfRings(const std::vector<std::vector<int32_t>>& rings)
{
    px::MeshGraph graph;
    for (const std::vector<int32_t>& ring : rings) {
        const uint32_t node = graph.AddNode(static_cast<uint32_t>(ring.size()));
        for (uint32_t k = 0; k < ring.size(); ++k)
            graph.Neighbour(node, k) = ring[k];
    }
    return graph;
}

// Also over a graph that wrongly claims to have no long rings: the look-up then keeps no sorted copies, and must
// still answer every long ring by a scan.
class RingSlotsFind : public testing::TestWithParam<bool> {};

TEST_P(RingSlotsFind, AgreesWithAScanOfEveryRing)
{
    std::mt19937 random(3);
    std::vector<std::vector<int32_t>> rings;
    for (const uint32_t valence : {0u, 1u, 3u, 6u, 15u, 16u, 17u, 40u, 300u}) {
        std::vector<int32_t> ring(valence);
        for (int32_t& neighbour : ring)
            neighbour = static_cast<int32_t>(random() % 24) - 1; // repeats, and -1 as a missing neighbour does
        rings.push_back(ring);
    }
    px::MeshGraph graph = GraphOfRings(rings);
    if (GetParam())
        graph.longestRing = 6;
    const px::RingSlots slots(graph);
    for (uint32_t node = 0; node < rings.size() + 2; ++node) {
        for (int32_t neighbour = -2; neighbour < 25; ++neighbour) {
            SCOPED_TRACE(testing::Message() << "node " << node << " neighbour " << neighbour);
            const std::vector<int32_t> ring = node < rings.size() ? rings[node] : std::vector<int32_t>();
            const auto first = std::find(ring.begin(), ring.end(), neighbour);
            EXPECT_EQ(slots.Find(node, neighbour), first == ring.end() ? -1 : first - ring.begin());
            EXPECT_EQ(slots.CountOf(node, neighbour), std::count(ring.begin(), ring.end(), neighbour));
        }
        std::vector<int32_t> sorted = node < rings.size() ? rings[node] : std::vector<int32_t>();
        std::sort(sorted.begin(), sorted.end());
        const std::vector<int32_t> got = slots.SortedRing(node);
        EXPECT_EQ(got, sorted);
    }
}

INSTANTIATE_TEST_SUITE_P(LongestRingClaim, RingSlotsFind, testing::Bool());

} // namespace
