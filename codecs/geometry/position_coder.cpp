#include "codecs/geometry/position_coder.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/stream_header.h"

namespace px {

namespace {

struct Box {
    float min[3] = {0, 0, 0};
    float extent = 0;
};

// One box over every vertex of every object. The bounds start from the first value, so data far from the
// origin keeps its precision.
Box PositionBounds(std::span<const PositionInput> objects)
{
    float lo[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float hi[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    bool any = false;
    for (const PositionInput& object : objects) {
        for (const uint32_t v : object.graph->traversal) {
            const uint32_t p = static_cast<uint32_t>(object.graph->nodes[v].position);
            for (int axis = 0; axis < 3; ++axis) {
                lo[axis] = std::min(lo[axis], object.positions[3 * p + axis]);
                hi[axis] = std::max(hi[axis], object.positions[3 * p + axis]);
            }
            any = true;
        }
    }
    Box box;
    if (!any)
        return box;
    for (int axis = 0; axis < 3; ++axis) {
        box.min[axis] = lo[axis];
        box.extent = std::max(box.extent, hi[axis] - lo[axis]);
    }
    return box;
}

// The walk's values, looked up per ring entry: called directly rather than through VertexValues' function objects.
// Each node's value and whether it is coded sit together, by node, so a neighbour costs one look-up instead of
// one in the node records, one in the coded marks and one in the values. Only regular nodes without a twin are
// ever coded, so a coded node is never a dummy.
struct PositionLookup {
    using Slot = std::array<int32_t, 4>; // the value, then 1 once coded
    const std::vector<Slot>& byNode;
    static constexpr bool roundTermsToFloat = true;
    static constexpr bool codedNodesAreRegular = true;
    bool isCoded(uint32_t node) const { return byNode[node][3] != 0; }
    Quantised<3> valueOf(uint32_t node) const
    {
        const Slot& slot = byNode[node];
        return {slot[0], slot[1], slot[2]};
    }
};

// The first ring slot of a neighbour, as RingSlots::Find gives it, for the position walk, which asks nothing else.
// Short rings are scanned where they lie; the look-up with sorted copies of long rings is built when a long ring is
// first met, so a mesh without one skips the pass over every node record that building it takes.
class FirstSlots {
public:
    explicit FirstSlots(const MeshGraph& graph) : m_graph(graph) {}

    int32_t Find(uint32_t node, int32_t neighbour) const
    {
        if (node >= m_graph.nodes.size())
            return -1;
        const VertexNode& n = m_graph.nodes[node];
        if (n.valence > kScannedRing) {
            if (!m_longRings)
                m_longRings.emplace(m_graph);
            return m_longRings->Find(node, neighbour);
        }
        const int32_t* ring = m_graph.neighbours.data() + n.ringStart;
        for (uint32_t k = 0; k < n.valence; ++k)
            if (ring[k] == neighbour)
                return static_cast<int32_t>(k);
        return -1;
    }

private:
    static constexpr uint32_t kScannedRing = 16; // a hostile ring longer than this costs a search, not a scan

    const MeshGraph& m_graph;                     // not owned: the walk's graph outlives the look-up
    mutable std::optional<RingSlots> m_longRings; // built on the first long ring
};

// The walk both sides make: each regular node without a twin in traversal order, predicted or not. `restore`
// receives the node and its prediction (null: an absolute record) and returns the node's quantised value.
template <typename Restore>
void WalkPositions(const MeshGraph& graph, std::vector<Quantised<3>>& values, Restore restore)
{
    std::vector<PositionLookup::Slot> byNode(graph.nodes.size(), PositionLookup::Slot{});
    const PositionLookup lookup{byNode};
    const FirstSlots slots(graph);
    for (const uint32_t v : graph.traversal) {
        if (graph.nodes[v].twin != kNoNode)
            continue;
        Quantised<3> prediction{};
        const bool predicted = PredictAtVertex(graph, slots, v, lookup, prediction);
        const Quantised<3> value = restore(v, predicted ? &prediction : nullptr);
        values[static_cast<uint32_t>(graph.nodes[v].position)] = value;
        byNode[v] = {value[0], value[1], value[2], 1};
    }
}

// Whether each record of the walk is predicted, without predicting: a prediction exists exactly when some ring
// neighbour is a coded regular node (a parallelogram term needs one, and the neighbour average takes any). Calls
// kind(predicted) in walk order.
template <typename Kind> void WalkPredictionKinds(const MeshGraph& graph, Kind kind)
{
    std::vector<uint8_t> coded(graph.nodes.size(), 0);
    for (const uint32_t v : graph.traversal) {
        if (graph.nodes[v].twin != kNoNode)
            continue;
        bool predicted = false;
        for (uint32_t k = 0; k < graph.nodes[v].valence && !predicted; ++k) {
            const int32_t n = graph.Neighbour(v, k);
            predicted = !graph.IsDummy(n) && coded[static_cast<uint32_t>(n)] != 0;
        }
        kind(predicted);
        coded[v] = 1;
    }
}

} // namespace

int EncodePositions(std::span<const PositionInput> objects, uint32_t bits, std::vector<uint8_t>& outStream,
                    std::vector<QuantisedPositions>& outQuantised)
{
    const Box box = PositionBounds(objects);
    // Finite coordinates far apart can span more than a float holds: no decoder could place a value in such a box.
    if (!std::isfinite(box.extent))
        return PXERR_INVALIDGEOMETRY;
    const uint64_t scale = QuantisationScale(bits, kPositionScaleKnee);
    std::vector<DataItem> items;
    std::vector<QuantisedPositions> quantised(objects.size());
    for (size_t o = 0; o < objects.size(); ++o) {
        const PositionInput& object = objects[o];
        const size_t count = object.positions.size() / 3;
        std::vector<Quantised<3>> actual(count);
        for (size_t p = 0; p < count; ++p)
            for (int axis = 0; axis < 3; ++axis)
                actual[p][axis] = Quantise(object.positions[3 * p + axis], box.min[axis], box.extent, scale);
        std::vector<Quantised<3>> values(count);
        WalkPositions(*object.graph, values, [&](uint32_t v, const Quantised<3>* predicted) {
            const Quantised<3>& value = actual[static_cast<uint32_t>(object.graph->nodes[v].position)];
            for (int axis = 0; axis < 3; ++axis) {
                items.push_back(predicted ? DataItem{value[axis] - (*predicted)[axis], kModeDelta, 0}
                                          : DataItem{value[axis], kModeAbsolute, static_cast<uint8_t>(bits)});
            }
            return value;
        });
        quantised[o] = std::move(actual);
    }
    BitWriter out(static_cast<uint8_t>(StreamKind::kPositions));
    out.PutBits(static_cast<uint32_t>(objects.size()), 16);
    for (const float value : {box.min[0], box.min[1], box.min[2], box.extent})
        out.PutFloat(value);
    for (size_t o = 0; o < objects.size(); ++o)
        out.PutBits(bits, 5);
    const int result = EncodeIntegerData(out, items);
    if (result != PX_OK)
        return result;
    outStream = out.Finish();
    outQuantised = std::move(quantised);
    return PX_OK;
}

uint64_t MaxPositionsIn(std::span<const uint8_t> stream)
{
    return stream.size() > kStreamHeaderBytes ? (stream.size() - kStreamHeaderBytes) * 8 / 3 : 0;
}

int DecodePositions(std::span<const uint8_t> stream, std::span<const MeshGraph* const> graphs,
                    std::span<const uint32_t> vertexCounts, std::vector<std::vector<float>>& outPositions,
                    std::vector<QuantisedPositions>& outQuantised)
{
    outPositions.clear();
    outQuantised.clear();
    BitReader in;
    if (!in.Open(stream) || in.GetBits(16) != graphs.size())
        return PX_ERR;
    Box box;
    for (float& value : box.min)
        value = in.GetFloat();
    box.extent = in.GetFloat();
    std::vector<uint32_t> widths(graphs.size());
    for (uint32_t& width : widths) {
        width = in.GetBits(5);
        if (width < 1 || width > kMaxPositionBits)
            return PX_ERR;
    }
    if (in.Overrun() || !std::isfinite(box.extent) || !std::isfinite(box.min[0]) || !std::isfinite(box.min[1]) ||
        !std::isfinite(box.min[2]))
        return PX_ERR;
    // First the kinds: whether a record is predicted depends on the topology alone. The absolute records' values
    // lead the block; they are skipped here and read during the walk from a copy of the reader left at them.
    uint64_t absoluteBits = 0;
    uint64_t deltaCount = 0;
    for (size_t o = 0; o < graphs.size(); ++o) {
        WalkPredictionKinds(*graphs[o], [&](bool predicted) {
            if (predicted)
                deltaCount += 3;
            else
                absoluteBits += 3 * widths[o];
        });
    }
    BitReader absolutes = in;
    in.SkipBits(absoluteBits);
    std::vector<int32_t> deltas;
    if (DecodeDeltaData(in, deltaCount, deltas) != PX_OK)
        return PX_ERR;
    std::vector<std::vector<float>> positions(graphs.size());
    std::vector<QuantisedPositions> quantised(graphs.size());
    size_t next = 0; // the walks take exactly deltaCount deltas, as the kinds above counted them
    for (size_t o = 0; o < graphs.size(); ++o) {
        std::vector<Quantised<3>> values(vertexCounts[o]);
        WalkPositions(*graphs[o], values, [&](uint32_t, const Quantised<3>* predicted) {
            Quantised<3> value{};
            for (int axis = 0; axis < 3; ++axis) {
                value[axis] = predicted ? static_cast<int32_t>((*predicted)[axis] + int64_t{deltas[next++]})
                                        : static_cast<int32_t>(absolutes.GetBits(widths[o]));
            }
            return value;
        });
        const uint64_t scale = QuantisationScale(widths[o], kPositionScaleKnee);
        positions[o].resize(3 * static_cast<size_t>(vertexCounts[o]));
        for (size_t p = 0; p < values.size(); ++p)
            for (int axis = 0; axis < 3; ++axis)
                positions[o][3 * p + axis] = Dequantise(values[p][axis], box.min[axis], box.extent, scale);
        quantised[o] = std::move(values);
    }
    outPositions = std::move(positions);
    outQuantised = std::move(quantised);
    return PX_OK;
}

} // namespace px
