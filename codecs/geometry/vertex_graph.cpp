#include "codecs/geometry/vertex_graph.h"

#include <algorithm>
#include <array>
#include <utility>

#include "codecs/geometry/fan_split.h"
#include "codecs/geometry/px_result.h"

namespace px {

int32_t MeshGraph::SlotOf(uint32_t node, int32_t neighbour) const
{
    const VertexNode& n = nodes[node];
    for (uint32_t k = 0; k < n.valence; ++k)
        if (neighbours[n.ringStart + k] == neighbour)
            return static_cast<int32_t>(k);
    return -1;
}

void MeshGraph::RotateRing(uint32_t node, uint32_t newFirst)
{
    const VertexNode& n = nodes[node];
    if (newFirst == 0 || n.valence == 0)
        return;
    const auto turn = [&](auto& ring) {
        const auto begin = ring.begin() + n.ringStart;
        std::rotate(begin, begin + newFirst, begin + n.valence);
    };
    turn(neighbours);
    turn(corners);
    turn(flags);
}

uint32_t MeshGraph::AddNode(uint32_t valence)
{
    VertexNode node;
    node.valence = valence;
    longestRing = std::max(longestRing, valence); // an unknown longest stays unknown
    node.ringStart = static_cast<uint32_t>(neighbours.size());
    neighbours.resize(neighbours.size() + valence, kNoNode);
    corners.resize(corners.size() + valence, -1);
    flags.resize(flags.size() + valence, 0);
    nodes.push_back(node);
    return static_cast<uint32_t>(nodes.size() - 1);
}

RingSlots::RingSlots(const MeshGraph& graph) : m_graph(graph)
{
    // Only long rings get a sorted copy; a short one is scanned where it lies, which finds the same first slot.
    if (graph.longestRing <= kScannedRing)
        return;
    std::vector<std::pair<int32_t, uint32_t>> longRing;
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        const uint32_t valence = graph.nodes[v].valence;
        if (valence <= kScannedRing)
            continue;
        longRing.clear();
        for (uint32_t k = 0; k < valence; ++k)
            longRing.emplace_back(graph.Neighbour(v, k), k);
        std::sort(longRing.begin(), longRing.end());
        m_longNodes.push_back({v, m_neighbours.size()});
        for (const auto& [neighbour, slot] : longRing) {
            m_neighbours.push_back(neighbour);
            m_slots.push_back(slot);
        }
    }
}

size_t RingSlots::LongRingStart(uint32_t node) const
{
    const auto at = std::lower_bound(m_longNodes.begin(), m_longNodes.end(), node,
                                     [](const LongRing& ring, uint32_t n) { return ring.node < n; });
    return at->start;
}

int32_t RingSlots::FindInLongRing(uint32_t node, int32_t neighbour) const
{
    const size_t start = LongRingStart(node);
    const auto begin = m_neighbours.begin() + static_cast<std::ptrdiff_t>(start);
    const auto end = begin + m_graph.nodes[node].valence;
    const auto first = std::lower_bound(begin, end, neighbour);
    if (first == end || *first != neighbour)
        return -1;
    return static_cast<int32_t>(m_slots[static_cast<size_t>(first - m_neighbours.begin())]);
}

uint32_t RingSlots::CountInLongRing(uint32_t node, int32_t neighbour) const
{
    const auto begin = m_neighbours.begin() + static_cast<std::ptrdiff_t>(LongRingStart(node));
    const auto [first, end] = std::equal_range(begin, begin + m_graph.nodes[node].valence, neighbour);
    return static_cast<uint32_t>(end - first);
}

bool RingSlots::FindOpposites()
{
    std::vector<int32_t> opposite(m_graph.neighbours.size(), -1);
    int32_t least = 0;
    for (uint32_t v = 0; v < m_graph.nodes.size(); ++v) {
        const VertexNode& node = m_graph.nodes[v];
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t slot = Opposite(v, k);
            opposite[node.ringStart + k] = slot;
            least = std::min(least, slot);
        }
    }
    m_opposite = std::move(opposite);
    return least >= 0;
}

std::vector<int32_t> RingSlots::SortedRing(uint32_t node) const
{
    if (node >= m_graph.nodes.size())
        return {};
    const VertexNode& n = m_graph.nodes[node];
    std::vector<int32_t> ring(m_graph.neighbours.begin() + n.ringStart,
                              m_graph.neighbours.begin() + n.ringStart + n.valence);
    std::sort(ring.begin(), ring.end());
    return ring;
}

namespace {

uint8_t EdgeFlagAt(std::span<const std::array<uint8_t, 3>> edgeFlags, uint32_t corner)
{
    return edgeFlags[corner / 3][corner % 3];
}

// Fills the node of one manifold fan. An open fan's ring ends with its last pair's prev and a slot for the dummy.
int FillFanNode(MeshGraph& graph, uint32_t node, const FanRecord& fan,
                std::span<const std::array<uint8_t, 3>> edgeFlags)
{
    const uint32_t size = static_cast<uint32_t>(fan.pairs.size());
    for (uint32_t k = 0; k < size; ++k) {
        graph.Neighbour(node, k) = static_cast<int32_t>(fan.pairs[k].next);
        graph.Corner(node, k) = static_cast<int32_t>(fan.pairs[k].corner);
        graph.Flag(node, k) = static_cast<int8_t>(EdgeFlagAt(edgeFlags, fan.pairs[k].corner));
    }
    if (fan.state != FanState::kOpen)
        return PX_OK;
    const FanPair& last = fan.pairs.back();
    graph.Neighbour(node, size) = static_cast<int32_t>(last.prev);
    graph.Corner(node, size) = -1;
    graph.Flag(node, size) = 1;
    // Both boundary edges are read as polygon edges on decoding; a diagonal there would break its polygon.
    const uint32_t prevCorner = last.corner - last.corner % 3 + (last.corner % 3 + 2) % 3;
    if (EdgeFlagAt(edgeFlags, fan.pairs.front().corner) != 1 || EdgeFlagAt(edgeFlags, prevCorner) != 1)
        return PXERR_INVALIDGEOMETRY;
    return PX_OK;
}

// Each boundary loop, walked along ring slot valence - 2 from its lowest node. Empty when a walk meets a node
// twice before closing: the boundary is inconsistent.
bool FindBoundaryLoops(MeshGraph& graph, uint32_t regularCount, std::vector<std::vector<uint32_t>>& out)
{
    for (uint32_t v = 0; v < regularCount; ++v)
        graph.nodes[v].mark = 1;
    for (uint32_t v = 0; v < regularCount; ++v) {
        if (graph.nodes[v].kind != NodeKind::kBoundary || graph.nodes[v].mark != 1)
            continue;
        std::vector<uint32_t> loop;
        uint32_t node = v;
        do {
            VertexNode& n = graph.nodes[node];
            if (n.kind != NodeKind::kBoundary || n.mark != 1 || loop.size() > regularCount)
                return false;
            n.mark = 2;
            loop.push_back(node);
            node = static_cast<uint32_t>(graph.Neighbour(node, n.valence - 2));
        } while (node != v);
        out.push_back(std::move(loop));
    }
    return true;
}

} // namespace

int BuildVertexGraph(const std::vector<FanRecord>& records, std::span<const std::array<uint8_t, 3>> edgeFlags,
                     MeshGraph& out)
{
    out = MeshGraph();
    uint32_t used = 0;
    for (uint32_t r = 0; r < records.size(); ++r) {
        const FanRecord& fan = records[r];
        const bool open = fan.state == FanState::kOpen;
        const uint32_t node = out.AddNode(static_cast<uint32_t>(fan.pairs.size()) + (open ? 2 : 0));
        out.nodes[node].position = static_cast<int32_t>(fan.position);
        out.nodes[node].kind = open ? NodeKind::kBoundary : NodeKind::kInterior;
        if (!fan.pairs.empty())
            ++used;
        if (fan.state != FanState::kOpen && fan.state != FanState::kClosed)
            return PXERR_INVALIDGEOMETRY;
        const int result = FillFanNode(out, node, fan, edgeFlags);
        if (result != PX_OK)
            return result;
    }
    const uint32_t regularCount = static_cast<uint32_t>(records.size());
    std::vector<std::vector<uint32_t>> loops;
    if (!FindBoundaryLoops(out, regularCount, loops))
        return PXERR_INVALIDGEOMETRY;
    // Dummies take the table's end, the first loop the last node; the traversal numbers nothing of theirs.
    const uint32_t dummyCount = static_cast<uint32_t>(loops.size());
    for (uint32_t i = 0; i < dummyCount; ++i)
        out.nodes[out.AddNode(static_cast<uint32_t>(loops[dummyCount - 1 - i].size()))].kind = NodeKind::kDummy;
    for (uint32_t i = 0; i < dummyCount; ++i) {
        const uint32_t dummy = regularCount + dummyCount - 1 - i;
        for (uint32_t k = 0; k < loops[i].size(); ++k) {
            const uint32_t node = loops[i][k];
            const uint32_t last = out.nodes[node].valence - 1;
            out.Neighbour(node, last) = static_cast<int32_t>(dummy);
            out.Corner(node, last) = -1;
            out.Flag(node, last) = 0;
            out.Neighbour(dummy, k) = static_cast<int32_t>(node);
        }
    }
    for (VertexNode& node : out.nodes)
        node.mark = 1;
    out.nodesInUse = used + static_cast<uint32_t>(loops.size());
    return PX_OK;
}

} // namespace px
