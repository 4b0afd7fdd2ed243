// The list stack on its own, in decoding mode, where every step writes ring entries: additions, a split and a
// merge with the lists and rings they leave, and the cleaning that removes full elements and closes lists. Rings
// here need not form a real mesh; the cases follow the bookkeeping by hand.
#include "codecs/geometry/list_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "codecs/geometry/vertex_graph.h"

namespace {

using px::ListStack;
using px::MeshGraph;
using Vertices = std::vector<int32_t>;

constexpr uint64_t kAmpleBudget = 1 << 20;

MeshGraph GraphOf(std::initializer_list<uint32_t> valences)
{
    MeshGraph graph;
    for (const uint32_t valence : valences)
        graph.AddNode(valence);
    return graph;
}

// Start triangle (0, 1, 2), then vertices 3 .. last added at the focus, which stays on vertex 0.
void StartAndAdd(ListStack& lists, int32_t last)
{
    const int32_t triangle[3] = {0, 1, 2};
    ASSERT_TRUE(lists.StartTriangle(triangle));
    for (int32_t vertex = 3; vertex <= last; ++vertex)
        ASSERT_TRUE(lists.AddVertex(vertex));
}

// The first element of the list that holds vertex, or -1.
int32_t ElementOf(const ListStack& lists, size_t listPos, int32_t vertex)
{
    int32_t element = lists.ListCurrent(listPos);
    for (const int32_t held : lists.ListVertices(listPos)) {
        if (held == vertex)
            return element;
        element = lists.After(element);
    }
    return -1;
}

TEST(ListStackAdd, VerticesJoinBeforeTheFocusAndRingsAreWritten)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 4);
    EXPECT_EQ(lists.ListCount(), 1u);
    EXPECT_EQ(lists.ListVertices(0), (Vertices{0, 1, 2, 3, 4}));
    EXPECT_EQ(lists.FocusElement().vertex, 0);
    EXPECT_EQ(lists.FocusElement().freeCount, 4); // six free at the start, one taken per addition
    // The focus's free entries fill from the front, the predecessor's from the back.
    EXPECT_EQ(graph.Neighbour(0, 1), 3);
    EXPECT_EQ(graph.Neighbour(0, 2), 4);
    EXPECT_EQ(graph.Neighbour(2, 6), 3);
    EXPECT_EQ(graph.Neighbour(3, 0), 2); // a new vertex faces its predecessor with slot 0 ...
    EXPECT_EQ(graph.Neighbour(3, 7), 0); // ... and the focus with its last slot
    EXPECT_EQ(graph.Neighbour(3, 6), 4);
}

TEST(ListStackClean, FullFocusLeavesAndTheNextElementBecomesTheFocus)
{
    // Vertex 0 has one free entry: the addition of 3 fills it, and cleaning joins 3 and 1 across it.
    MeshGraph graph = GraphOf({3, 5, 5, 5});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 3);
    EXPECT_EQ(lists.ListVertices(0), (Vertices{1, 2, 3}));
    EXPECT_EQ(lists.FocusElement().vertex, 1);
    EXPECT_EQ((Vertices{graph.Neighbour(0, 0), graph.Neighbour(0, 1), graph.Neighbour(0, 2)}), (Vertices{2, 3, 1}));
    EXPECT_EQ(graph.Neighbour(3, 3), 1);
    EXPECT_EQ(graph.Neighbour(1, 1), 3);
}

TEST(ListStackClean, ListOfThreeWithAFullElementCloses)
{
    // A tetrahedron: one addition closes the only list, and every ring holds the three other vertices.
    MeshGraph graph = GraphOf({3, 3, 3, 3});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 3);
    EXPECT_TRUE(lists.Empty());
    for (uint32_t v = 0; v < 4; ++v) {
        SCOPED_TRACE(v);
        Vertices ring = {graph.Neighbour(v, 0), graph.Neighbour(v, 1), graph.Neighbour(v, 2)};
        std::sort(ring.begin(), ring.end());
        Vertices others;
        for (int32_t u = 0; u < 4; ++u)
            if (u != static_cast<int32_t>(v))
                others.push_back(u);
        EXPECT_EQ(ring, others);
    }
}

TEST(ListStackSplit, CurrentListKeepsFocusToTargetAndTheRestFollowsIt)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 5);
    ASSERT_TRUE(lists.Split(ElementOf(lists, 0, 3), 1));
    ASSERT_EQ(lists.ListCount(), 2u);
    EXPECT_EQ(lists.ListVertices(0), (Vertices{0, 1, 2, 3}));
    EXPECT_EQ(lists.FocusElement().vertex, 0);
    // The focus's copy has no free entry and is cleaned away at once.
    EXPECT_EQ(lists.ListVertices(1), (Vertices{3, 4, 5}));
    EXPECT_EQ(graph.Neighbour(0, 4), 3); // the split edge, both ways
    EXPECT_EQ(graph.Neighbour(3, 2), 0);
    EXPECT_EQ(graph.Neighbour(5, 6), 3); // the cleaning of the new list
    EXPECT_EQ(graph.Neighbour(3, 3), 5);
}

TEST(ListStackSplit, FullElementsOfBothListsAreCleaned)
{
    // The split fills the focus (its last free entry) on the current list and the focus's copy on the new one.
    // Cleaning the new list first must leave the current list's full focus for that list's own cleaning.
    MeshGraph graph = GraphOf({7, 8, 8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 6);
    ASSERT_EQ(lists.FocusElement().freeCount, 1);
    ASSERT_TRUE(lists.Split(ElementOf(lists, 0, 4), 1));
    ASSERT_EQ(lists.ListCount(), 2u);
    EXPECT_EQ(lists.ListVertices(0), (Vertices{1, 2, 3}));
    EXPECT_EQ(lists.FocusElement().vertex, 1);
    EXPECT_EQ(lists.ListVertices(1), (Vertices{4, 5, 6}));
    // Removing 0 joined 4 and 1, which filled 4 on the current list; removing that joined 3 and 1.
    EXPECT_EQ(graph.Neighbour(4, 1), 1);
    EXPECT_EQ(graph.Neighbour(1, 1), 4);
    EXPECT_EQ(graph.Neighbour(3, 5), 1);
    EXPECT_EQ(graph.Neighbour(1, 2), 3);
}

TEST(ListStackSplit, TargetNextToTheFocusIsRefused)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 4);
    EXPECT_FALSE(lists.Split(lists.After(lists.Focus()), 0)); // the successor: no list between them
    EXPECT_FALSE(lists.Split(lists.Focus(), 0));
    EXPECT_FALSE(lists.Split(ElementOf(lists, 0, 3), 6)); // 3 has five free entries
}

TEST(ListStackMerge, LaterListJoinsTheCurrentOne)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 5);
    ASSERT_TRUE(lists.Split(ElementOf(lists, 0, 3), 1));
    ASSERT_EQ(lists.ListVertices(1), (Vertices{3, 4, 5}));
    ASSERT_TRUE(lists.Merge(1, lists.After(lists.ListCurrent(1)), 1));
    ASSERT_EQ(lists.ListCount(), 1u);
    // 4 + 3 + 2 elements, less the focus's copy and the current list's 3, both full after the merge.
    EXPECT_EQ(lists.ListVertices(0), (Vertices{0, 1, 2, 4, 5, 3, 4}));
    EXPECT_EQ(lists.FocusElement().vertex, 0);
    EXPECT_EQ(graph.Neighbour(0, 5), 4); // the merge edge, both ways
    EXPECT_EQ(graph.Neighbour(4, 2), 0);
    EXPECT_EQ(graph.Neighbour(2, 5), 4); // the cleaning joined 2 and 4 across the removed 3
    EXPECT_EQ(graph.Neighbour(4, 4), 2);
}

TEST(ListStackMerge, CurrentListOrAMissingListIsRefused)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 5);
    ASSERT_TRUE(lists.Split(ElementOf(lists, 0, 3), 1));
    const int32_t target = lists.After(lists.ListCurrent(1));
    EXPECT_FALSE(lists.Merge(0, target, 0));
    EXPECT_FALSE(lists.Merge(2, target, 0));
}

TEST(ListStackLocate, OffsetSkipsWholeElementsWithinTheLimit)
{
    MeshGraph graph = GraphOf({8, 8, 8, 8, 8, 8});
    ListStack lists(graph, true, kAmpleBudget);
    StartAndAdd(lists, 5);
    // From vertex 2 on, the free counts are 5 (2), 5 (3), 5 (4), 6 (5).
    const int32_t start = lists.After(lists.After(lists.Focus()));
    struct Case {
        uint32_t limit;
        uint32_t offset;
        int32_t vertex; // -1: not found
        int32_t k;
    };
    for (const Case& c : {Case{4, 0, 2, 0}, Case{4, 5, 3, 0}, Case{4, 12, 4, 2}, Case{4, 20, 5, 5}, Case{4, 21, -1, 0},
                          Case{2, 12, -1, 0}}) {
        SCOPED_TRACE(c.offset);
        int32_t element = -1;
        int32_t k = -1;
        const bool found = lists.LocateByOffset(start, c.limit, c.offset, element, k);
        ASSERT_EQ(found, c.vertex >= 0);
        if (found) {
            EXPECT_EQ(element, ElementOf(lists, 0, c.vertex));
            EXPECT_EQ(k, c.k);
        }
    }
}

TEST(ListStackBudget, SplitStopsWhenTheWalkBudgetRunsOut)
{
    for (const uint64_t budget : {uint64_t{1}, uint64_t{2}, kAmpleBudget}) {
        SCOPED_TRACE(budget);
        MeshGraph graph = GraphOf({8, 8, 8, 8, 8, 8});
        ListStack lists(graph, true, budget);
        StartAndAdd(lists, 5);
        // Reaching 3 from the focus takes two steps; the new list's relabelling takes more.
        EXPECT_EQ(lists.Split(ElementOf(lists, 0, 3), 1), budget == kAmpleBudget);
    }
}

TEST(ListStackEncoding, RingsThatDisagreeWithTheGraphAreRefused)
{
    // In encoding mode nothing is written: unset rings cannot hold the start triangle's neighbours.
    MeshGraph graph = GraphOf({3, 3, 3});
    ListStack lists(graph, false, kAmpleBudget);
    const int32_t triangle[3] = {0, 1, 2};
    EXPECT_FALSE(lists.StartTriangle(triangle));
    EXPECT_EQ(graph.Neighbour(0, 0), px::kNoNode);
}

} // namespace
