#include "codecs/geometry/edge_flags.h"

#include <algorithm>

#include "codecs/geometry/px_result.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

namespace {

constexpr int8_t kUnknown = -1;

// k is always a slot of the ring, below valence; a division costs more than these tests here.
uint32_t Prev(uint32_t k, uint32_t valence)
{
    return k > 0 ? k - 1 : valence - 1;
}
uint32_t Next(uint32_t k, uint32_t valence)
{
    return k + 1 < valence ? k + 1 : 0;
}

// A ring slot whose neighbour and both ring neighbours are regular: its flag cannot be read off a dummy.
bool IsInnerSlot(const MeshGraph& graph, uint32_t v, uint32_t k)
{
    const uint32_t valence = graph.nodes[v].valence;
    return !graph.IsDummy(graph.Neighbour(v, Prev(k, valence))) && !graph.IsDummy(graph.Neighbour(v, k)) &&
           !graph.IsDummy(graph.Neighbour(v, Next(k, valence)));
}

// The deduction table for the edge from v to n = ring[i], v standing at slot j of n.
int8_t DeduceEdgeFlag(const MeshGraph& graph, std::span<const uint8_t> faceCounts, uint32_t v, uint32_t i, uint32_t n,
                      uint32_t j)
{
    const uint32_t vv = graph.nodes[v].valence;
    const uint32_t nv = graph.nodes[n].valence;
    const int32_t corner1 = graph.Corner(v, Prev(i, vv));
    const int32_t corner2 = graph.Corner(v, i);
    if (corner1 < 0 || corner2 < 0 || static_cast<uint32_t>(corner1 / 3) >= faceCounts.size() ||
        static_cast<uint32_t>(corner2 / 3) >= faceCounts.size())
        return kUnknown;
    const uint8_t c1 = faceCounts[static_cast<uint32_t>(corner1) / 3];
    const uint8_t c2 = faceCounts[static_cast<uint32_t>(corner2) / 3];
    const int8_t a1 = graph.Flag(v, Prev(i, vv));
    const int8_t b1 = graph.Flag(n, Next(j, nv));
    const int8_t a2 = graph.Flag(v, Next(i, vv));
    const int8_t b2 = graph.Flag(n, Prev(j, nv));
    if (c1 == 3 || c2 == 3)
        return 1;
    if ((c1 == 2 && (a1 == 0 || b1 == 0)) || (c2 == 2 && (a2 == 0 || b2 == 0)))
        return 1;
    if ((c1 == 1 && (a1 == 1 || b1 == 1)) || (c2 == 1 && (a2 == 1 || b2 == 1)))
        return 0;
    if ((c1 == 2 && a1 == 1 && b1 == 1) || (c2 == 2 && a2 == 1 && b2 == 1))
        return 0;
    if ((c1 == 1 && a1 == 0 && b1 == 0) || (c2 == 1 && a2 == 0 && b2 == 0))
        return 1;
    return kUnknown;
}

// The propagation both sides run. The encoder's hidden flags are -1 (a 1) and -2 (a 0); the decoder's unknown
// flags are -1. Each side settles a flag the deduction leaves open through its own hook.
class FlagPropagation {
public:
    FlagPropagation(MeshGraph& graph, const RingSlots& slots, std::span<const uint8_t> faceCounts, bool encoding)
        : m_graph(graph), m_slots(slots), m_counts(faceCounts), m_encoding(encoding)
    {
    }

    // resolve(v, k, j): the flag of v's slot k (v at slot j of the neighbour) that nothing settles; -1: failure.
    template <typename Resolve> int Run(Resolve resolve);

private:
    bool Store(uint32_t v, uint32_t k, uint32_t n, uint32_t j, int8_t flag);
    int Propagate(uint32_t v);

    MeshGraph& m_graph;
    const RingSlots& m_slots;
    std::span<const uint8_t> m_counts;
    bool m_encoding;
    std::vector<uint32_t> m_stack;
    uint32_t m_finished = 0;
};

bool FlagPropagation::Store(uint32_t v, uint32_t k, uint32_t n, uint32_t j, int8_t flag)
{
    if (m_encoding && m_graph.Flag(v, k) != (flag == 1 ? -1 : -2))
        return false; // the deduction disagrees with the real flag: the encoder must not write such a stream
    m_graph.Flag(v, k) = flag;
    m_graph.Flag(n, j) = flag;
    if (m_graph.nodes[n].mark == 2) {
        m_graph.nodes[n].mark = 1;
        m_stack.push_back(n);
    }
    return true;
}

int FlagPropagation::Propagate(uint32_t v)
{
    const uint32_t valence = m_graph.nodes[v].valence;
    for (bool changed = true; changed;) {
        changed = false;
        bool unknownLeft = false;
        for (uint32_t k = 0; k < valence; ++k) {
            if (m_graph.Flag(v, k) >= 0)
                continue;
            const uint32_t n = static_cast<uint32_t>(m_graph.Neighbour(v, k));
            const int32_t j = m_slots.Opposite(v, k);
            if (j < 0)
                return -1;
            const int8_t flag = DeduceEdgeFlag(m_graph, m_counts, v, k, n, static_cast<uint32_t>(j));
            if (flag < 0) {
                unknownLeft = true;
                continue;
            }
            if (!Store(v, k, n, static_cast<uint32_t>(j), flag))
                return -1;
            changed = true;
        }
        if (!unknownLeft) {
            m_graph.nodes[v].mark = 3;
            ++m_finished;
            return 0;
        }
    }
    m_graph.nodes[v].mark = 2;
    return 0;
}

template <typename Resolve> int FlagPropagation::Run(Resolve resolve)
{
    const std::vector<uint32_t>& order = m_graph.traversal;
    for (const uint32_t v : order)
        m_graph.nodes[v].mark = 1;
    m_stack.assign(order.rbegin(), order.rend());
    size_t scan = 0;
    while (m_finished < order.size()) {
        while (!m_stack.empty()) {
            const uint32_t v = m_stack.back();
            m_stack.pop_back();
            if (Propagate(v) != 0)
                return -1;
        }
        if (m_finished == order.size())
            break;
        while (scan < order.size() && m_graph.nodes[order[scan]].mark != 2)
            ++scan;
        if (scan == order.size())
            return -1;
        const uint32_t v = order[scan];
        uint32_t k = 0;
        while (k < m_graph.nodes[v].valence && m_graph.Flag(v, k) >= 0)
            ++k;
        if (k == m_graph.nodes[v].valence)
            return -1;
        const uint32_t n = static_cast<uint32_t>(m_graph.Neighbour(v, k));
        const int32_t j = m_slots.Opposite(v, k);
        const int flag = j < 0 ? -1 : resolve(v, k);
        if (flag < 0)
            return -1;
        m_graph.Flag(v, k) = static_cast<int8_t>(flag);
        m_graph.Flag(n, static_cast<uint32_t>(j)) = static_cast<int8_t>(flag);
        m_graph.nodes[n].mark = 1;
        m_graph.nodes[v].mark = 1;
        m_stack.push_back(n);
        m_stack.push_back(v);
    }
    return 0;
}

bool AnyFaceBelowThree(std::span<const uint8_t> faceCounts)
{
    for (const uint8_t count : faceCounts)
        if (count != 3)
            return true;
    return false;
}

} // namespace

std::vector<uint8_t> CountFaceEdges(const MeshGraph& graph, uint32_t faceCount)
{
    std::vector<uint8_t> counts(faceCount, 0);
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        const VertexNode& node = graph.nodes[v];
        if (node.kind == NodeKind::kDummy)
            continue;
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t corner = graph.Corner(v, k);
            if (graph.IsDummy(graph.Neighbour(v, k)) || graph.IsDummy(graph.Neighbour(v, Next(k, node.valence))) ||
                corner < 0 || static_cast<uint32_t>(corner / 3) >= faceCount)
                continue;
            counts[static_cast<uint32_t>(corner) / 3] += graph.Flag(v, k) == 1 ? 1 : 0;
        }
    }
    return counts;
}

int EncodeResidualEdgeFlags(MeshGraph& graph, const RingSlots& slots, std::span<const uint8_t> faceCounts,
                            std::vector<uint8_t>& outResidual)
{
    outResidual.clear();
    if (!AnyFaceBelowThree(faceCounts))
        return PX_OK;
    const std::vector<int8_t> original = graph.flags;
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        if (graph.nodes[v].kind == NodeKind::kDummy)
            continue;
        for (uint32_t k = 0; k < graph.nodes[v].valence; ++k)
            if (IsInnerSlot(graph, v, k))
                graph.Flag(v, k) = static_cast<int8_t>(graph.Flag(v, k) - 2);
    }
    FlagPropagation pass(graph, slots, faceCounts, true);
    const int result = pass.Run([&](uint32_t v, uint32_t k) {
        const int flag = graph.Flag(v, k) + 2;
        outResidual.push_back(static_cast<uint8_t>(flag));
        return flag;
    });
    const bool restored = graph.flags == original;
    graph.flags = original;
    return result == 0 && restored ? PX_OK : PXERR_INVALIDGEOMETRY;
}

int DecodeResidualEdgeFlags(MeshGraph& graph, const RingSlots& slots, std::span<const uint8_t> faceCounts,
                            std::span<const uint8_t> residual)
{
    const bool anyHidden = AnyFaceBelowThree(faceCounts);
    const int8_t inner = anyHidden ? kUnknown : 1;
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        const VertexNode& node = graph.nodes[v];
        const int32_t* ring = graph.neighbours.data() + node.ringStart;
        int8_t* flags = graph.flags.data() + node.ringStart;
        bool nearDummy = false;
        for (uint32_t k = 0; k < node.valence; ++k)
            nearDummy = nearDummy || graph.IsDummy(ring[k]);
        // Most rings have no dummy in them, and every slot of theirs is inner: one fill, no test per slot.
        if (node.kind == NodeKind::kDummy || !nearDummy) {
            std::fill(flags, flags + node.valence, node.kind == NodeKind::kDummy ? int8_t{0} : inner);
            continue;
        }
        for (uint32_t k = 0; k < node.valence; ++k) {
            int8_t flag = 0;
            if (graph.IsDummy(ring[k]))
                flag = 0;
            else if (!IsInnerSlot(graph, v, k))
                flag = 1; // next to a dummy: a boundary edge, always a polygon edge
            else
                flag = inner;
            flags[k] = flag;
        }
    }
    if (!anyHidden)
        return residual.empty() ? PX_OK : PX_ERR;
    size_t next = 0;
    FlagPropagation pass(graph, slots, faceCounts, false);
    const int result = pass.Run([&](uint32_t, uint32_t) {
        if (next == residual.size())
            return -1;
        return static_cast<int>(residual[next++] ? 1 : 0);
    });
    return result == 0 && next == residual.size() ? PX_OK : PX_ERR;
}

} // namespace px
