#include "codecs/geometry/wedge_coder.h"

#include <unordered_map>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/run_length.h"

namespace px {

namespace {

constexpr uint8_t kUnmarked = 255; // an edge taken from neither end counts as a seam

uint32_t Prev(uint32_t k, uint32_t valence)
{
    return (k + valence - 1) % valence;
}
uint32_t Next(uint32_t k, uint32_t valence)
{
    return (k + 1) % valence;
}

struct TakenEdge {
    uint32_t v;
    uint32_t i; // slot of n at v
    uint32_t n;
    uint32_t j; // slot of v at n
};

// Interior edges at their earlier end, in traversal order and ring order.
bool TakenEdges(const MeshGraph& graph, const RingSlots& slots, std::vector<TakenEdge>& out)
{
    out.clear();
    for (const uint32_t v : graph.traversal) {
        const uint32_t valence = graph.nodes[v].valence;
        for (uint32_t i = 0; i < valence; ++i) {
            const int32_t n = graph.Neighbour(v, i);
            if (graph.IsDummy(graph.Neighbour(v, Prev(i, valence))) || graph.IsDummy(n) ||
                graph.IsDummy(graph.Neighbour(v, Next(i, valence))) ||
                graph.nodes[static_cast<uint32_t>(n)].order < graph.nodes[v].order)
                continue;
            const int32_t j = slots.Find(static_cast<uint32_t>(n), static_cast<int32_t>(v));
            if (j < 0)
                return false;
            out.push_back({v, i, static_cast<uint32_t>(n), static_cast<uint32_t>(j)});
        }
    }
    return true;
}

// The wedges of every vertex from the ring marks (non-zero: a seam before that face).
std::vector<Wedge> BuildWedges(const MeshGraph& graph, const std::vector<uint8_t>& marks)
{
    std::vector<Wedge> wedges;
    for (const uint32_t v : graph.traversal) {
        const VertexNode& node = graph.nodes[v];
        const uint32_t valence = node.valence;
        const auto markAt = [&](uint32_t k) { return marks[node.ringStart + k]; };
        uint32_t start = 0;
        uint32_t further = 0;
        if (node.kind == NodeKind::kBoundary) {
            while (start < valence && !(graph.IsDummy(graph.Neighbour(v, Prev(start, valence))) &&
                                        !graph.IsDummy(graph.Neighbour(v, start)) &&
                                        !graph.IsDummy(graph.Neighbour(v, Next(start, valence)))))
                ++start;
            if (start == valence || valence < 3)
                continue;
            further = valence - 3;
        } else {
            while (start < valence && markAt(start) == 0)
                ++start;
            start = start == valence ? 0 : start;
            further = valence - 1;
        }
        wedges.push_back({v, start, start, -1});
        for (uint32_t step = 1, k = Next(start, valence); step <= further; ++step, k = Next(k, valence)) {
            if (markAt(k) != 0)
                wedges.push_back({v, k, k, -1});
            else
                wedges.back().last = k;
        }
    }
    return wedges;
}

std::vector<uint8_t> MarksFrom(const MeshGraph& graph, const std::vector<TakenEdge>& edges,
                               std::span<const uint8_t> seams, std::span<const uint8_t> flips)
{
    std::vector<uint8_t> marks(graph.neighbours.size(), kUnmarked);
    for (size_t e = 0; e < edges.size(); ++e) {
        marks[graph.nodes[edges[e].v].ringStart + edges[e].i] = seams[e];
        marks[graph.nodes[edges[e].n].ringStart + edges[e].j] = static_cast<uint8_t>(flips[e] ^ seams[e]);
    }
    return marks;
}

// Every corner of a wedge's faces (v's corner at each of its ring positions).
template <typename Visit> void ForWedgeCorners(const MeshGraph& graph, const Wedge& wedge, Visit visit)
{
    const uint32_t valence = graph.nodes[wedge.vertex].valence;
    for (uint32_t k = wedge.first, steps = 0; steps < valence; k = Next(k, valence), ++steps) {
        visit(graph.Corner(wedge.vertex, k));
        if (k == wedge.last)
            break;
    }
}

struct ObjectLists {
    std::vector<uint8_t> seams;
    std::vector<uint8_t> flips;
    std::vector<uint8_t> shared;
    std::vector<uint32_t> ids;
};

int EncodeObject(PropertyIndexInput& input, ObjectLists& lists, WedgeLayout& layout)
{
    if (input.corners.empty())
        return PX_OK; // an object without this attribute: four empty lists
    const MeshGraph& graph = *input.graph;
    const RingSlots slots(graph);
    std::vector<TakenEdge> edges;
    if (!TakenEdges(graph, slots, edges))
        return PXERR_INVALIDGEOMETRY;
    const auto differs = [&](uint32_t v, uint32_t k) {
        const uint32_t valence = graph.nodes[v].valence;
        const int32_t before = AttributeAtSlot(graph, input.corners, v, Prev(k, valence));
        const int32_t after = AttributeAtSlot(graph, input.corners, v, k);
        return before != after && !input.sameValue(before, after);
    };
    for (const TakenEdge& edge : edges) {
        const uint8_t seam = differs(edge.v, edge.i) ? 1 : 0;
        lists.seams.push_back(seam);
        lists.flips.push_back(static_cast<uint8_t>(seam ^ (differs(edge.n, edge.j) ? 1 : 0)));
    }
    layout.wedges = BuildWedges(graph, MarksFrom(graph, edges, lists.seams, lists.flips));
    for (Wedge& wedge : layout.wedges) {
        wedge.attribute = AttributeAtSlot(graph, input.corners, wedge.vertex, wedge.first);
        if (wedge.attribute < 0)
            return PXERR_INVALIDGEOMETRY;
        ForWedgeCorners(graph, wedge, [&](int32_t corner) {
            input.corners[static_cast<uint32_t>(corner) / 3][static_cast<uint32_t>(corner) % 3] = wedge.attribute;
        });
    }
    // An index met a second time becomes shared, ids in order of second use.
    std::unordered_map<int32_t, uint32_t> uses;
    std::unordered_map<int32_t, uint32_t> sharedId;
    for (const Wedge& wedge : layout.wedges)
        if (++uses[wedge.attribute] == 2)
            sharedId.emplace(wedge.attribute, static_cast<uint32_t>(sharedId.size()));
    std::unordered_map<int32_t, uint32_t> numberOf;
    for (uint32_t w = 0; w < layout.wedges.size(); ++w) {
        const int32_t attribute = layout.wedges[w].attribute;
        const auto id = sharedId.find(attribute);
        lists.shared.push_back(id != sharedId.end() ? 1 : 0);
        if (id != sharedId.end())
            lists.ids.push_back(id->second);
        if (numberOf.emplace(attribute, static_cast<uint32_t>(numberOf.size())).second)
            layout.firstWedgeOfAttribute.push_back(w);
    }
    layout.attributeCount = static_cast<uint32_t>(numberOf.size());
    layout.corners = input.corners;
    return PX_OK;
}

int DecodeObject(const MeshGraph& graph, size_t triangleCount, const ObjectLists& lists, WedgeLayout& layout)
{
    if (lists.seams.empty() && lists.flips.empty() && lists.shared.empty() && lists.ids.empty())
        return PX_OK; // no wedges at all: the object has no such attribute
    const RingSlots slots(graph);
    std::vector<TakenEdge> edges;
    if (!TakenEdges(graph, slots, edges) || lists.seams.size() != edges.size() || lists.flips.size() != edges.size())
        return PX_ERR;
    layout.wedges = BuildWedges(graph, MarksFrom(graph, edges, lists.seams, lists.flips));
    if (lists.shared.size() != layout.wedges.size())
        return PX_ERR;
    std::vector<int32_t> numberOfId(lists.ids.size(), -1);
    uint32_t counter = 0;
    size_t nextId = 0;
    for (uint32_t w = 0; w < layout.wedges.size(); ++w) {
        int32_t number = -1;
        if (lists.shared[w]) {
            if (nextId == lists.ids.size() || lists.ids[nextId] >= numberOfId.size())
                return PX_ERR;
            int32_t& known = numberOfId[lists.ids[nextId++]];
            if (known < 0) {
                known = static_cast<int32_t>(counter++);
                layout.firstWedgeOfAttribute.push_back(w);
            }
            number = known;
        } else {
            number = static_cast<int32_t>(counter++);
            layout.firstWedgeOfAttribute.push_back(w);
        }
        layout.wedges[w].attribute = number;
    }
    if (nextId != lists.ids.size())
        return PX_ERR;
    layout.attributeCount = counter;
    layout.corners.assign(triangleCount, {-1, -1, -1});
    for (const Wedge& wedge : layout.wedges) {
        bool valid = true;
        ForWedgeCorners(graph, wedge, [&](int32_t corner) {
            if (corner < 0 || static_cast<size_t>(corner / 3) >= triangleCount)
                valid = false;
            else
                layout.corners[static_cast<uint32_t>(corner) / 3][static_cast<uint32_t>(corner) % 3] = wedge.attribute;
        });
        if (!valid)
            return PX_ERR;
    }
    for (const auto& triangle : layout.corners)
        for (const int32_t attribute : triangle)
            if (attribute < 0)
                return PX_ERR; // a corner no wedge covers would leave a hole in the index list
    return PX_OK;
}

} // namespace

int EncodePropertyIndices(uint8_t kind, std::span<PropertyIndexInput> objects, std::vector<uint8_t>& outStream,
                          std::vector<WedgeLayout>& outLayouts)
{
    std::vector<WedgeLayout> layouts(objects.size());
    std::vector<ObjectLists> lists(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        const int result = EncodeObject(objects[o], lists[o], layouts[o]);
        if (result != PX_OK)
            return result;
    }
    BitWriter out(kind);
    out.PutBits(static_cast<uint32_t>(objects.size()), 16);
    for (const ObjectLists& object : lists) {
        EncodeFlagRuns(out, object.seams);
        EncodeFlagRuns(out, object.flips);
        EncodeFlagRuns(out, object.shared);
        const int result = EncodeValueRuns(out, object.ids);
        if (result != PX_OK)
            return result;
    }
    outStream = out.Finish();
    outLayouts = std::move(layouts);
    return PX_OK;
}

int DecodePropertyIndices(std::span<const uint8_t> stream, std::span<const MeshGraph* const> graphs,
                          std::span<const size_t> triangleCounts, std::vector<WedgeLayout>& outLayouts)
{
    outLayouts.clear();
    BitReader in;
    if (const int opened = OpenObjectStream(in, stream, graphs.size()); opened != PX_OK)
        return opened;
    std::vector<WedgeLayout> layouts(graphs.size());
    for (size_t o = 0; o < graphs.size(); ++o) {
        const uint64_t slots = graphs[o]->neighbours.size();
        ObjectLists lists;
        if (DecodeFlagRuns(in, slots, lists.seams) != PX_OK || DecodeFlagRuns(in, slots, lists.flips) != PX_OK ||
            DecodeFlagRuns(in, slots, lists.shared) != PX_OK ||
            DecodeValueRuns(in, lists.shared.size(), lists.ids) != PX_OK)
            return PX_ERR;
        if (DecodeObject(*graphs[o], triangleCounts[o], lists, layouts[o]) != PX_OK)
            return PX_ERR;
    }
    if (in.Overrun())
        return PX_ERR;
    outLayouts = std::move(layouts);
    return PX_OK;
}

} // namespace px
