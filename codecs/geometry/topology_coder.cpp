#include "codecs/geometry/topology_coder.h"

#include <algorithm>
#include <unordered_map>

#include "codecs/geometry/active_list.h"
#include "codecs/geometry/edge_flags.h"
#include "codecs/geometry/fan_split.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/topology_stream.h"

namespace px {

namespace {

uint32_t NextSlot(uint32_t k, uint32_t valence)
{
    return k + 1 < valence ? k + 1 : 0; // k is a slot of the ring, below valence; a division costs more here
}

uint32_t PrevSlot(uint32_t k, uint32_t valence)
{
    return k > 0 ? k - 1 : valence - 1;
}

// Face edge counts in the order the decoder numbers faces: at each face's earliest vertex, in traversal order.
std::vector<uint8_t> CollectFaceEdgeCounts(const MeshGraph& graph, std::span<const uint8_t> countsByFace)
{
    std::vector<uint8_t> out;
    for (const uint32_t v : graph.traversal) {
        const VertexNode& node = graph.nodes[v];
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t a = graph.Neighbour(v, k);
            const int32_t b = graph.Neighbour(v, NextSlot(k, node.valence));
            if (graph.IsDummy(a) || graph.IsDummy(b) || node.order > graph.nodes[static_cast<size_t>(a)].order ||
                node.order > graph.nodes[static_cast<size_t>(b)].order)
                continue;
            out.push_back(countsByFace[static_cast<uint32_t>(graph.Corner(v, k)) / 3]);
        }
    }
    return out;
}

// Later records of a position point at the first one in traversal order; each gives a pair (later, first).
std::vector<uint32_t> LinkSharedPositions(MeshGraph& graph)
{
    std::unordered_map<int32_t, uint32_t> firstOf;
    std::vector<uint32_t> pairs;
    for (const uint32_t v : graph.traversal) {
        VertexNode& node = graph.nodes[v];
        const auto [found, inserted] = firstOf.emplace(node.position, v);
        if (inserted)
            continue;
        node.twin = static_cast<int32_t>(found->second);
        pairs.push_back(static_cast<uint32_t>(node.order));
        pairs.push_back(static_cast<uint32_t>(graph.nodes[found->second].order));
    }
    return pairs;
}

int EncodeObject(const TriangleRecord& object, MeshGraph& graph, ComponentRecord& record)
{
    std::vector<FanRecord> fans;
    int result = SplitNonManifoldVertices(object.vertices, object.polygons, fans);
    if (result == PX_OK)
        result = BuildVertexGraph(fans, object.edgeFlags, graph);
    if (result == PX_OK)
        result = TraverseComponents(graph, record.commands);
    if (result != PX_OK)
        return result;
    std::vector<uint8_t> countsByFace(object.edgeFlags.size());
    for (size_t t = 0; t < countsByFace.size(); ++t) {
        const auto& flags = object.edgeFlags[t];
        countsByFace[t] = static_cast<uint8_t>(flags[0] + flags[1] + flags[2]);
        if (countsByFace[t] < 1 || countsByFace[t] > 3)
            return PXERR_INVALIDGEOMETRY;
    }
    record.faceEdgeCounts = CollectFaceEdgeCounts(graph, countsByFace);
    if (record.faceEdgeCounts.size() != object.vertices.size())
        return PXERR_INVALIDGEOMETRY;
    const RingSlots slots(graph);
    result = EncodeResidualEdgeFlags(graph, slots, countsByFace, record.residualFlags);
    if (result != PX_OK)
        return result;
    record.identification = LinkSharedPositions(graph);
    return PX_OK;
}

constexpr uint32_t kComparedRing = 16; // rings up to this long are checked for repeats pairwise

// Every directed ring entry (v, n) must have its reverse (n, v), as often: the rings describe one consistent
// surface. A neighbour that is no node has no reverse. oppositesFound: every entry's opposite slot was found.
// outDistinct: whether every ring names each neighbour once.
bool RingsAreSymmetric(const MeshGraph& graph, const RingSlots& slots, bool oppositesFound, bool& outDistinct)
{
    // Most rings name each neighbour once. Between two such rings an entry's reverse is there exactly once when
    // its opposite slot was found, and nothing needs counting. Long rings are counted, not compared pairwise.
    // When all rings are such and every opposite was found, no entry needs looking at again.
    std::vector<uint8_t> distinct(graph.nodes.size(), 0);
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        const VertexNode& node = graph.nodes[v];
        const int32_t* ring = graph.neighbours.data() + node.ringStart;
        // Every pair compared without a branch on the result: repeats are rare, so a test per pair only costs.
        bool repeat = node.valence > kComparedRing;
        for (uint32_t i = 1; !repeat && i < node.valence; ++i)
            for (uint32_t j = 0; j < i; ++j)
                repeat |= ring[i] == ring[j];
        distinct[v] = repeat ? 0 : 1;
    }
    outDistinct = std::find(distinct.begin(), distinct.end(), 0) == distinct.end();
    if (outDistinct && oppositesFound)
        return true;
    for (uint32_t v = 0; v < graph.nodes.size(); ++v) {
        const VertexNode& node = graph.nodes[v];
        const int32_t* ring = graph.neighbours.data() + node.ringStart;
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t n = ring[k];
            if (n < 0 || static_cast<uint32_t>(n) >= graph.nodes.size())
                return false;
            if (distinct[v] != 0 && distinct[static_cast<uint32_t>(n)] != 0) {
                if (slots.Opposite(v, k) < 0)
                    return false;
                continue;
            }
            const uint32_t forward = distinct[v] != 0 ? 1 : slots.CountOf(v, n);
            if (slots.CountOf(static_cast<uint32_t>(n), static_cast<int32_t>(v)) != forward)
                return false;
        }
    }
    return true;
}

bool AssignPositionIndices(MeshGraph& graph, std::span<const uint32_t> pairs, uint32_t& outPositions)
{
    const std::vector<uint32_t>& order = graph.traversal;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        const uint32_t later = pairs[i];
        const uint32_t first = pairs[i + 1];
        if (later >= order.size() || first >= later || graph.nodes[order[later]].twin != kNoNode)
            return false;
        graph.nodes[order[later]].twin = static_cast<int32_t>(order[first]);
    }
    uint32_t next = 0;
    for (const uint32_t v : order) {
        VertexNode& node = graph.nodes[v];
        node.position =
            node.twin == kNoNode ? static_cast<int32_t>(next++) : graph.nodes[static_cast<size_t>(node.twin)].position;
    }
    outPositions = next;
    return true;
}

// The polygons of a surface whose every polygon is a triangle, as the polygon walk finds them when every ring
// names each neighbour once: the walk starts at each node's slots in turn, and the triangle it closes from slot k
// is the one whose corner lies in slot k - 1. So a node's triangles come in slot order, except that the one in
// its last slot, which slot 0 closes, comes first. first..end are the triangles the node has just made, and
// lastSlot whether the last of them lies in its last slot.
void AppendTrianglePolygons(uint32_t first, uint32_t end, bool lastSlot, std::vector<int32_t>& out)
{
    const auto append = [&](uint32_t t) {
        out.insert(out.end(),
                   {static_cast<int32_t>(3 * t), static_cast<int32_t>(3 * t + 1), static_cast<int32_t>(3 * t + 2), -1});
    };
    if (lastSlot)
        append(--end);
    for (uint32_t t = first; t < end; ++t)
        append(t);
}

// Triangles at their earliest vertex, with corners numbered in the same visit: the node's slot gets 3t, the
// next vertex's slot that holds the third one 3t + 1, the third's slot that holds the node 3t + 2. polygons, when
// given, gets each triangle as a polygon, in the order of the polygon walk (see AppendTrianglePolygons).
// distinct: every ring names each neighbour once.
bool BuildDecodedTriangles(MeshGraph& graph, const RingSlots& slots, bool distinct,
                           std::vector<std::array<uint32_t, 3>>& out, std::vector<int32_t>* polygons)
{
    out.clear();
    out.reserve(graph.neighbours.size() / 3); // each triangle takes three ring entries
    if (polygons) {
        polygons->clear();
        polygons->reserve(4 * out.capacity());
    }
    // slot: v's first slot that holds the triangle's next vertex, or -1.
    const auto place = [&](uint32_t v, int32_t slot, int32_t following, int32_t corner) {
        const uint32_t valence = graph.nodes[v].valence;
        if (slot < 0 || graph.Neighbour(v, NextSlot(static_cast<uint32_t>(slot), valence)) != following ||
            graph.Corner(v, static_cast<uint32_t>(slot)) != -1)
            return false;
        graph.Corner(v, static_cast<uint32_t>(slot)) = corner;
        return true;
    };
    size_t inner = 0; // slots between two regular neighbours
    for (const uint32_t v : graph.traversal) {
        const VertexNode& node = graph.nodes[v];
        const uint32_t first = static_cast<uint32_t>(out.size());
        bool lastSlot = false;
        for (uint32_t k = 0; k < node.valence; ++k) {
            const int32_t a = graph.Neighbour(v, k);
            const int32_t b = graph.Neighbour(v, NextSlot(k, node.valence));
            if (graph.IsDummy(a) || graph.IsDummy(b))
                continue;
            ++inner;
            if (!graph.Before(v, static_cast<uint32_t>(a)) || !graph.Before(v, static_cast<uint32_t>(b)))
                continue;
            const int32_t t = static_cast<int32_t>(out.size());
            // The first slots are found through the opposites: v's slot of a is the opposite of a's slot of v (or
            // k, a's only slot, when rings name each neighbour once); a's slot of b is the opposite of b's slot of
            // a, which in a consistent ring follows b's slot of v. When rings name each neighbour once, a's slot
            // of b is also the one before a's slot of v if it holds b: a's ring is read for the corner anyway,
            // while b's opposites would be one more read from elsewhere.
            int32_t slotOfA = static_cast<int32_t>(k);
            int32_t beforeV = -1; // the slot before a's slot of v, when a's ring has each neighbour once
            if (!distinct) {
                const int32_t atA = slots.Opposite(v, k);
                slotOfA = atA < 0 ? slots.Find(v, a) : slots.Opposite(static_cast<uint32_t>(a), atA);
            } else if (const int32_t vInA = slots.Opposite(v, k); vInA >= 0) {
                beforeV = static_cast<int32_t>(
                    PrevSlot(static_cast<uint32_t>(vInA), graph.nodes[static_cast<uint32_t>(a)].valence));
            }
            const int32_t slotOfV = slots.Opposite(v, NextSlot(k, node.valence));
            int32_t slotOfB = -1;
            if (beforeV >= 0 && graph.Neighbour(static_cast<uint32_t>(a), static_cast<uint32_t>(beforeV)) == b) {
                slotOfB = beforeV;
            } else if (slotOfV >= 0) {
                const uint32_t following = NextSlot(static_cast<uint32_t>(slotOfV), graph.nodes[b].valence);
                slotOfB = graph.Neighbour(static_cast<uint32_t>(b), following) == a
                              ? slots.Opposite(static_cast<uint32_t>(b), following)
                              : slots.Find(static_cast<uint32_t>(a), b);
            } else {
                slotOfB = slots.Find(static_cast<uint32_t>(a), b);
            }
            if (!place(v, slotOfA, b, 3 * t) ||
                !place(static_cast<uint32_t>(a), slotOfB, static_cast<int32_t>(v), 3 * t + 1) ||
                !place(static_cast<uint32_t>(b), slotOfV, a, 3 * t + 2))
                return false;
            out.push_back({static_cast<uint32_t>(node.position),
                           static_cast<uint32_t>(graph.nodes[static_cast<size_t>(a)].position),
                           static_cast<uint32_t>(graph.nodes[static_cast<size_t>(b)].position)});
            lastSlot = k + 1 == node.valence;
        }
        if (polygons)
            AppendTrianglePolygons(first, static_cast<uint32_t>(out.size()), lastSlot, *polygons);
    }
    // Every slot between two regular neighbours belongs to exactly one triangle. Each triangle set three such
    // slots that were unset, so counting them is enough.
    return 3 * out.size() == inner;
}

int DecodeObject(const ComponentRecord& record, DecodedTopology& out)
{
    MeshGraph& graph = out.graph;
    if (RunCommands(record.commands, record.VertexCount(), graph) != PX_OK)
        return PX_ERR;
    RingSlots slots(graph); // the rings are final from here on
    const bool oppositesFound = slots.FindOpposites();
    bool distinct = false;
    if (!RingsAreSymmetric(graph, slots, oppositesFound, distinct) ||
        !AssignPositionIndices(graph, record.identification, out.vertexCount))
        return PX_ERR;
    // When every face has three polygon edges every polygon is a triangle, and over rings that name each
    // neighbour once the walk would find exactly the triangles: they are listed as they are made instead.
    const std::vector<uint8_t>& counts = record.faceEdgeCounts;
    const bool trianglesOnly = distinct && std::find_if(counts.begin(), counts.end(),
                                                        [](uint8_t count) { return count != 3; }) == counts.end();
    // The command run leaves every corner unset (-1), and nothing before the triangles sets one.
    if (!BuildDecodedTriangles(graph, slots, distinct, out.triangles, trianglesOnly ? &out.cornerList : nullptr) ||
        counts.size() != out.triangles.size())
        return PX_ERR;
    if (DecodeResidualEdgeFlags(graph, slots, counts, record.residualFlags) != PX_OK)
        return PX_ERR;
    if (trianglesOnly)
        return PX_OK;
    return BuildPolygonCorners(graph, slots, out.triangles.size(), PX_ERR, out.cornerList);
}

} // namespace

int EncodeTopology(std::span<const TriangleRecord> objects, std::vector<MeshGraph>& outGraphs,
                   std::vector<uint8_t>& outStream)
{
    outGraphs.clear();
    outStream.clear();
    if (objects.size() > kMaxObjects)
        return PXERR_INVALIDPARAMETER;
    std::vector<MeshGraph> graphs(objects.size());
    std::vector<ComponentRecord> records(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        const int result = EncodeObject(objects[o], graphs[o], records[o]);
        if (result != PX_OK)
            return result;
    }
    const int result = PackTopology(records, outStream);
    if (result != PX_OK)
        return result;
    outGraphs = std::move(graphs);
    return PX_OK;
}

int DecodeTopology(std::span<const uint8_t> stream, uint64_t maxPositions, std::vector<DecodedTopology>& outObjects)
{
    outObjects.clear();
    std::vector<ComponentRecord> records;
    if (ReadTopology(stream, maxPositions, records) != PX_OK)
        return PX_ERR;
    std::vector<DecodedTopology> objects(records.size());
    for (size_t o = 0; o < records.size(); ++o) {
        if (DecodeObject(records[o], objects[o]) != PX_OK)
            return PX_ERR;
        records[o] = {};
    }
    outObjects = std::move(objects);
    return PX_OK;
}

namespace {

// Walks one polygon from S towards ring slot k; each step leaves a node through its next flagged slot. The
// corners come back in walking order, which runs against the winding; the caller reverses them.
bool WalkPolygon(const MeshGraph& graph, const RingSlots& slots, uint32_t start, uint32_t k, std::vector<uint8_t>& used,
                 std::vector<int32_t>& outCorners)
{
    outCorners.clear();
    uint32_t from = start;
    uint32_t left = k; // the slot of `from` the walk left it by
    int32_t at = graph.Neighbour(start, k);
    for (;;) {
        if (graph.IsDummy(at) || graph.Before(static_cast<uint32_t>(at), start))
            return false; // the polygon belongs to an earlier vertex
        const uint32_t c = static_cast<uint32_t>(at);
        const int32_t j = slots.Opposite(from, left);
        if (j < 0 || graph.Corner(c, static_cast<uint32_t>(j)) < 0)
            return false;
        outCorners.push_back(graph.Corner(c, static_cast<uint32_t>(j)));
        if (c == start)
            return true;
        const uint32_t valence = graph.nodes[c].valence;
        uint32_t slot = static_cast<uint32_t>(j);
        bool found = false;
        for (uint32_t step = 1; step < valence && !found; ++step) {
            slot = NextSlot(slot, valence);
            if (graph.IsDummy(graph.Neighbour(c, slot)))
                return false;
            found = graph.Flag(c, slot) == 1;
        }
        uint8_t& walked = used[graph.nodes[c].ringStart + slot];
        if (!found || walked)
            return false;
        walked = 1;
        from = c;
        left = slot;
        at = graph.Neighbour(c, slot);
    }
}

} // namespace

int BuildPolygonCorners(const MeshGraph& graph, const RingSlots& slots, size_t triangleCount, int failure,
                        std::vector<int32_t>& outCorners)
{
    outCorners.clear();
    outCorners.reserve(4 * triangleCount); // the most the check below lets through
    std::vector<uint8_t> used(graph.neighbours.size(), 0);
    std::vector<int32_t> walk;
    for (const uint32_t s : graph.traversal) {
        const VertexNode& node = graph.nodes[s];
        for (uint32_t k = 0; k < node.valence; ++k) {
            uint8_t& walked = used[node.ringStart + k];
            if (graph.Flag(s, k) != 1 || walked)
                continue;
            walked = 1;
            if (!WalkPolygon(graph, slots, s, k, used, walk))
                continue;
            if (outCorners.size() + walk.size() + 1 > 4 * triangleCount)
                return failure;
            outCorners.insert(outCorners.end(), walk.rbegin(), walk.rend());
            outCorners.push_back(-1);
        }
    }
    return PX_OK;
}

} // namespace px
