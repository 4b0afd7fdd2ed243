#pragma once
// The vertex graph both topology coders work on: one node per vertex (and one dummy per boundary loop), each
// with a cyclic ring of neighbours. Ring slot k of node v holds neighbour k, the corner of v in the face
// (v, neighbour k, neighbour k + 1) (-1 next to a dummy), and the polygon-edge flag of the edge to neighbour k.
// Rings live in three shared arrays; a node owns the slice [ringStart, ringStart + valence).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace px {

struct FanRecord;

enum class NodeKind : uint8_t {
    kInterior = 1,
    kBoundary = 2, // has a dummy among its neighbours
    kDummy = 3,
};

constexpr int32_t kNoNode = -1;

struct VertexNode {
    int32_t position = -1; // input vertex (encoder) or decoded vertex (decoder); -1 for a dummy
    int32_t order = -1;    // traversal order of a regular node; -1 until numbered and for dummies
    uint32_t valence = 0;
    NodeKind kind = NodeKind::kInterior;
    uint8_t mark = 1;
    uint32_t ringStart = 0;
    int32_t twin = kNoNode; // first node in traversal order with the same position, for a split vertex
};

class MeshGraph {
public:
    std::vector<VertexNode> nodes;
    std::vector<int32_t> neighbours;
    std::vector<int32_t> corners;
    std::vector<int8_t> flags;       // 1 polygon edge, 0 diagonal; negative while unknown in the flag passes
    std::vector<uint32_t> traversal; // regular nodes in traversal order
    uint32_t nodesInUse = 0;         // nodes with a non-empty ring: regular ones plus dummies

    int32_t& Neighbour(uint32_t node, uint32_t k) { return neighbours[nodes[node].ringStart + k]; }
    int32_t Neighbour(uint32_t node, uint32_t k) const { return neighbours[nodes[node].ringStart + k]; }
    int32_t& Corner(uint32_t node, uint32_t k) { return corners[nodes[node].ringStart + k]; }
    int32_t Corner(uint32_t node, uint32_t k) const { return corners[nodes[node].ringStart + k]; }
    int8_t& Flag(uint32_t node, uint32_t k) { return flags[nodes[node].ringStart + k]; }
    int8_t Flag(uint32_t node, uint32_t k) const { return flags[nodes[node].ringStart + k]; }
    // A decoded graph numbers its dummies last, so its passes answer from the index without reading the node.
    uint32_t dummiesFrom = kNoDummyTail; // when set, exactly the nodes from here on are dummies, and every
                                         // regular node's order is its index
    static constexpr uint32_t kNoDummyTail = UINT32_MAX;
    // When known, no ring is longer than this. A decoded graph knows it from its commands, so a ring-slot look-up
    // built over it need not read every node to find the long rings it keeps sorted copies of.
    uint32_t longestRing = kLongestUnknown;
    static constexpr uint32_t kLongestUnknown = UINT32_MAX;

    bool IsDummy(int32_t node) const
    {
        const uint32_t n = static_cast<uint32_t>(node);
        return dummiesFrom != kNoDummyTail ? n >= dummiesFrom : nodes[n].kind == NodeKind::kDummy;
    }
    // Whether regular node a comes before regular node b in traversal order. A decoded graph numbers its regular
    // nodes in that order, so its walks compare indices instead of reading two records from anywhere in the table.
    bool Before(uint32_t a, uint32_t b) const
    {
        return dummiesFrom != kNoDummyTail ? a < b : nodes[a].order < nodes[b].order;
    }

    int32_t SlotOf(uint32_t node, int32_t neighbour) const; // linear search of the ring; -1 when absent
    void RotateRing(uint32_t node, uint32_t newFirst);      // neighbours, corners and flags turn together
    uint32_t AddNode(uint32_t valence);                     // appends a node with an unset ring of that valence
};

// A lookup from (node, neighbour) to the ring slot, for rings that no longer turn, over a graph that outlives it.
// Short rings are scanned in place; only long ones (of a degenerate mesh) keep a copy sorted by neighbour, so a
// hostile ring costs a search, not a scan per look-up. Memory follows the long rings' slots.
class RingSlots {
public:
    explicit RingSlots(const MeshGraph& graph);
    // The first slot of node that holds neighbour, or -1.
    int32_t Find(uint32_t node, int32_t neighbour) const
    {
        if (node >= m_graph.nodes.size())
            return -1;
        const VertexNode& n = m_graph.nodes[node];
        if (n.valence > kScannedRing && !m_longNodes.empty())
            return FindInLongRing(node, neighbour);
        const int32_t* ring = m_graph.neighbours.data() + n.ringStart;
        for (uint32_t k = 0; k < n.valence; ++k)
            if (ring[k] == neighbour)
                return static_cast<int32_t>(k);
        return -1;
    }
    // How many slots of node hold neighbour.
    uint32_t CountOf(uint32_t node, int32_t neighbour) const
    {
        if (node >= m_graph.nodes.size())
            return 0;
        const VertexNode& n = m_graph.nodes[node];
        if (n.valence > kScannedRing && !m_longNodes.empty())
            return CountInLongRing(node, neighbour);
        const int32_t* ring = m_graph.neighbours.data() + n.ringStart;
        uint32_t count = 0;
        for (uint32_t k = 0; k < n.valence; ++k)
            count += ring[k] == neighbour ? 1 : 0;
        return count;
    }
    // The slot of node's neighbour in ring slot k that holds node (the first such), or -1: Find(neighbour, node).
    int32_t Opposite(uint32_t node, uint32_t k) const
    {
        const uint32_t at = m_graph.nodes[node].ringStart + k;
        if (!m_opposite.empty())
            return m_opposite[at];
        return Find(static_cast<uint32_t>(m_graph.neighbours[at]), static_cast<int32_t>(node));
    }
    // Looks every ring entry's opposite up once, for a decoder that asks for each several times. Whether every
    // entry has one: each neighbour is a node whose ring names the node back.
    bool FindOpposites();
    std::vector<int32_t> SortedRing(uint32_t node) const; // node's neighbours in rising order; empty past the end

private:
    static constexpr uint32_t kScannedRing = 16; // rings up to this long are scanned rather than searched
    // A long ring is searched when the look-up holds sorted copies, which it makes of every long ring unless the
    // graph says it has none; a graph that says so wrongly still gets the same answers, by a scan.

    int32_t FindInLongRing(uint32_t node, int32_t neighbour) const;
    uint32_t CountInLongRing(uint32_t node, int32_t neighbour) const;
    struct LongRing {
        uint32_t node = 0;
        size_t start = 0; // where its entries begin in m_neighbours and m_slots
    };
    size_t LongRingStart(uint32_t node) const; // node must have a long ring

    const MeshGraph& m_graph;
    std::vector<LongRing> m_longNodes; // by rising node
    std::vector<int32_t> m_neighbours; // per long ring, rising; equal neighbours by rising slot
    std::vector<uint32_t> m_slots;     // the ring slot of each entry
    std::vector<int32_t> m_opposite;   // per ring entry of the graph, once found; empty until then
};

// Nodes for the manifold fan records, with a dummy closing each boundary loop. edgeFlags are the triangles'
// polygon-edge flags (byte j: the edge from corner j to corner j + 1). 0, or PXERR_INVALIDGEOMETRY when a
// boundary loop is inconsistent or a boundary edge is a diagonal of its polygon (no stream could carry it).
int BuildVertexGraph(const std::vector<FanRecord>& records, std::span<const std::array<uint8_t, 3>> edgeFlags,
                     MeshGraph& out);

} // namespace px
