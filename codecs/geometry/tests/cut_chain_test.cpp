// Cut chain extraction and the non-manifold split that uses it.
#include "codecs/geometry/cut_chain.h"

#include <gtest/gtest.h>

#include "codecs/geometry/fan_split.h"
#include "codecs/geometry/px_result.h"

namespace {

using px::CutEdge;

std::vector<std::pair<uint32_t, uint32_t>> Ends(const std::vector<CutEdge>& edges)
{
    std::vector<std::pair<uint32_t, uint32_t>> ends;
    for (const CutEdge& edge : edges)
        ends.emplace_back(edge.start, edge.end);
    return ends;
}

TEST(ExtractCutChain, LoopIsTakenWholeEvenWhenALongerOpenChainExists)
{
    // Faces 0..2 form the loop 1 -> 2 -> 3 -> 1 (each its own group, so the loop's edges are start-free);
    // faces 3..6 an open chain 10 -> 11 -> 12 -> 13 -> 14 of one group.
    std::vector<CutEdge> edges = {{10, 11, 9}, {11, 12, 12}, {1, 2, 0},   {2, 3, 3},
                                  {3, 1, 6},   {12, 13, 15}, {13, 14, 18}};
    const std::vector<uint32_t> groups = {0, 1, 2, 3, 3, 3, 3};
    px::CutChainBudget budget{1000000};
    const std::vector<CutEdge> chain = px::ExtractCutChain(edges, groups, budget);
    EXPECT_EQ(Ends(chain), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}, {2, 3}, {3, 1}}));
    EXPECT_EQ(edges.size(), 4u);
    EXPECT_EQ(edges[0].start, 10u); // the rest keep their order
}

TEST(ExtractCutChain, OpenChainIsTrimmedBackToAFreeEnd)
{
    // Group 0 is the single edge 1 -> 2; group 1 runs 2 -> 3 -> 4 -> 5 -> 3 and would cross itself. The search
    // from 1 -> 2 continues into group 1, stops where it would cross, and trims back to the last free end.
    std::vector<CutEdge> edges = {{1, 2, 0}, {2, 3, 3}, {3, 4, 6}, {4, 5, 9}, {5, 3, 12}};
    const std::vector<uint32_t> groups = {0, 1, 1, 1, 1};
    px::CutChainBudget budget{1000000};
    const std::vector<CutEdge> chain = px::ExtractCutChain(edges, groups, budget);
    EXPECT_EQ(Ends(chain), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}}));
    EXPECT_EQ(edges.size(), 4u);
}

TEST(ExtractCutChain, EqualChainsGoToTheLaterStart)
{
    // Starts 1 -> 2 (group 0) and 3 -> 4 -> 2 (group 1); neither closes a loop, both chains are two edges long,
    // and the later start's chain is taken.
    std::vector<CutEdge> edges = {{1, 2, 0}, {2, 3, 3}, {3, 4, 6}, {4, 2, 9}};
    const std::vector<uint32_t> groups = {0, 0, 1, 1};
    px::CutChainBudget budget{1000000};
    const std::vector<CutEdge> chain = px::ExtractCutChain(edges, groups, budget);
    EXPECT_EQ(Ends(chain), (std::vector<std::pair<uint32_t, uint32_t>>{{3, 4}, {4, 2}}));
}

TEST(ExtractCutChain, LongestChainOfAnyStartIsTaken)
{
    // 1 -> 2 -> 3 -> 4 over three faces of their own groups: every edge is a start, and only the first one's chain
    // takes the run whole; the shorter chains of later starts would leave edges behind as further records.
    std::vector<CutEdge> edges = {{1, 2, 0}, {2, 3, 3}, {3, 4, 6}, {7, 8, 9}};
    const std::vector<uint32_t> groups = {0, 1, 2, 3};
    px::CutChainBudget budget{1000000};
    const std::vector<CutEdge> chain = px::ExtractCutChain(edges, groups, budget);
    EXPECT_EQ(Ends(chain), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}, {2, 3}, {3, 4}}));
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0].start, 7u);
}

TEST(ExtractCutChain, OnlyClosedLoopsStillYieldAChain)
{
    // Two loops of one group meeting at vertex 1: no edge has a free start.
    std::vector<CutEdge> edges = {{1, 2, 0}, {2, 3, 3}, {3, 1, 6}, {1, 4, 9}, {4, 5, 12}, {5, 1, 15}};
    const std::vector<uint32_t> groups(6, 0);
    px::CutChainBudget budget{1000000};
    const std::vector<CutEdge> chain = px::ExtractCutChain(edges, groups, budget);
    ASSERT_FALSE(chain.empty());
    EXPECT_LT(chain.size(), 6u);
    EXPECT_EQ(chain.size() + edges.size(), 6u);
}

TEST(SplitNonManifoldVertices, BowtieCentreBecomesTwoRecords)
{
    const std::vector<std::array<uint32_t, 3>> triangles = {{0, 2, 1}, {0, 3, 4}};
    const std::vector<uint32_t> groups = {0, 1};
    std::vector<px::FanRecord> records;
    ASSERT_EQ(px::SplitNonManifoldVertices(triangles, groups, records), px::PX_OK);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[5].position, 0u);
    for (const px::FanRecord& record : records)
        EXPECT_TRUE(record.state == px::FanState::kOpen || record.pairs.empty());
}

TEST(SplitNonManifoldVertices, FacesOfDisagreeingWindingSplitIntoTheirRunsOnly)
{
    // A closed fan of six around vertex 0 with its third face turned over: vertex 0 keeps one record for the run
    // of five agreeing faces and one for the turned face, and the two ends of the spoke that both faces run the
    // same way, 3 and 4, one each more. Nothing else splits.
    const std::vector<std::array<uint32_t, 3>> triangles = {{0, 1, 2}, {0, 2, 3}, {0, 4, 3},
                                                            {0, 4, 5}, {0, 5, 6}, {0, 6, 1}};
    const std::vector<uint32_t> groups = {0, 1, 2, 3, 4, 5};
    std::vector<px::FanRecord> records;
    ASSERT_EQ(px::SplitNonManifoldVertices(triangles, groups, records), px::PX_OK);
    std::vector<uint32_t> recordsOf(7, 0);
    for (const px::FanRecord& record : records) {
        EXPECT_TRUE(record.state == px::FanState::kOpen || record.state == px::FanState::kClosed);
        ++recordsOf[record.position];
    }
    EXPECT_EQ(recordsOf, (std::vector<uint32_t>{2, 1, 1, 2, 2, 1, 1}));
}

TEST(SplitNonManifoldVertices, DoubleSidedPairEndsAsOpenFans)
{
    const std::vector<std::array<uint32_t, 3>> triangles = {{0, 1, 2}, {0, 2, 1}};
    const std::vector<uint32_t> groups = {0, 1};
    std::vector<px::FanRecord> records;
    ASSERT_EQ(px::SplitNonManifoldVertices(triangles, groups, records), px::PX_OK);
    for (const px::FanRecord& record : records) {
        EXPECT_NE(record.state, px::FanState::kNotManifold);
        EXPECT_LE(record.pairs.size(), 2u);
    }
}

TEST(ClassifyFan, ClosedOpenAndNotManifold)
{
    std::vector<px::FanRecord> records(6);
    records[0].pairs = {{1, 2, 0}, {2, 3, 3}, {3, 1, 6}}; // closed cycle of three
    px::ClassifyFan(records, 0);
    EXPECT_EQ(records[0].state, px::FanState::kClosed);
    records[0].pairs = {{2, 3, 3}, {1, 2, 0}}; // open path 1 -> 2 -> 3, given out of order
    px::ClassifyFan(records, 0);
    EXPECT_EQ(records[0].state, px::FanState::kOpen);
    EXPECT_EQ(records[0].pairs[0].next, 1u);
    records[0].pairs = {{1, 2, 0}, {1, 3, 3}}; // vertex 1 twice as next
    px::ClassifyFan(records, 0);
    EXPECT_EQ(records[0].state, px::FanState::kNotManifold);
    records[0].pairs = {{1, 2, 0}, {2, 1, 3}}; // closed fan of two triangles
    px::ClassifyFan(records, 0);
    EXPECT_EQ(records[0].state, px::FanState::kNotManifold);
    records[0].pairs.clear();
    px::ClassifyFan(records, 0);
    EXPECT_EQ(records[0].state, px::FanState::kClosed);
}

} // namespace
