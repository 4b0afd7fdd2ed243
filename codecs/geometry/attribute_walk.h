#pragma once
// Predictions shared by the attribute coders, on the vertex graph of one object. Values are quantised integers
// looked up through callbacks, so the encoder (input numbering) and the decoder (decoded numbering) share them.
//   parallelogram at a vertex: for each ring pair (a, b) with c opposite a across b, b + a - c; else the average
//   of coded neighbours; at a wedge, the same over the wedge's faces with attribute indices and no seam across.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "codecs/geometry/quantisation.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

template <size_t N> using Quantised = std::array<int32_t, N>;

// A wedge: the faces of one vertex between two attribute seams, sharing one attribute index.
struct Wedge {
    uint32_t vertex = 0;
    uint32_t first = 0; // ring positions; the wedge covers faces first .. last, wrapping
    uint32_t last = 0;
    int32_t attribute = -1;
};

// Per triangle (corner / 3) the attribute index at each of its three corners.
using CornerAttributes = std::vector<std::array<int32_t, 3>>;

template <size_t N> struct VertexValues {
    std::function<bool(uint32_t node)> isCoded;
    std::function<Quantised<N>(uint32_t node)> valueOf;
    bool roundTermsToFloat = false; // positions round each parallelogram term to a single float first
};

namespace walk_detail {

template <size_t N> void RoundedAverage(const std::array<double, N>& sum, uint32_t count, Quantised<N>& out)
{
    // A division costs more than the rest of a prediction. By a power of two it equals the multiplication by the
    // exact inverse (both round the same quotient), and most predictions average one, two or four terms.
    if ((count & (count - 1)) == 0) {
        const double inverse = 1.0 / count;
        for (size_t i = 0; i < N; ++i)
            out[i] = static_cast<int32_t>(RoundHalfAway(sum[i] * inverse));
        return;
    }
    for (size_t i = 0; i < N; ++i)
        out[i] = static_cast<int32_t>(RoundHalfAway(sum[i] / count));
}

template <size_t N> Quantised<N> RoundedAverage(const std::array<double, N>& sum, uint32_t count)
{
    Quantised<N> out{};
    RoundedAverage(sum, count, out);
    return out;
}

template <typename Values>
using ValueOf = std::remove_cvref_t<decltype(std::declval<const Values&>().valueOf(uint32_t{}))>;

inline uint32_t Next(uint32_t k, uint32_t valence)
{
    return k + 1 < valence ? k + 1 : 0; // k < valence always; a division costs more than this test here
}

// Whether a node the values call coded is always a regular one, so the dummy test before the coded test can go.
template <typename Values> constexpr bool CodedNodesAreRegular = requires
{
    requires Values::codedNodesAreRegular;
};

// A neighbour that takes part: a regular node already coded.
template <typename Values> bool IsCodedRegular(const MeshGraph& graph, int32_t n, const Values& values)
{
    if constexpr (CodedNodesAreRegular<Values>)
        return values.isCoded(static_cast<uint32_t>(n));
    else
        return !graph.IsDummy(n) && values.isCoded(static_cast<uint32_t>(n));
}

} // namespace walk_detail

// The average of node v's coded regular neighbours into outAverage; false when there is none. Values is
// VertexValues or any type with the same members: a hot walk passes its own, whose look-ups inline.
template <typename Values>
bool NeighbourAverage(const MeshGraph& graph, uint32_t v, const Values& values,
                      walk_detail::ValueOf<Values>& outAverage)
{
    using Value = walk_detail::ValueOf<Values>;
    constexpr size_t N = std::tuple_size_v<Value>;
    std::array<double, N> sum{};
    uint32_t count = 0;
    for (uint32_t i = 0; i < graph.nodes[v].valence; ++i) {
        const int32_t n = graph.Neighbour(v, i);
        if (!walk_detail::IsCodedRegular(graph, n, values))
            continue;
        const Value value = values.valueOf(static_cast<uint32_t>(n));
        for (size_t d = 0; d < N; ++d)
            sum[d] += value[d];
        ++count;
    }
    if (count == 0)
        return false;
    walk_detail::RoundedAverage(sum, count, outAverage);
    return true;
}

template <typename Values>
std::optional<walk_detail::ValueOf<Values>> NeighbourAverage(const MeshGraph& graph, uint32_t v, const Values& values)
{
    walk_detail::ValueOf<Values> average{};
    if (!NeighbourAverage(graph, v, values, average))
        return std::nullopt;
    return average;
}

// The parallelogram prediction at node v into outPrediction, else the neighbour average; false when neither
// exists. Slots is RingSlots or any type with its Find. The walks call this form: an optional of an array comes back
// through memory in pieces and is read whole, which stalls each vertex.
template <typename Values, typename Slots>
bool PredictAtVertex(const MeshGraph& graph, const Slots& slots, uint32_t v, const Values& values,
                     walk_detail::ValueOf<Values>& outPrediction)
{
    using walk_detail::Next;
    using Value = walk_detail::ValueOf<Values>;
    constexpr size_t N = std::tuple_size_v<Value>;
    const uint32_t valence = graph.nodes[v].valence;
    std::array<double, N> sum{};
    uint32_t terms = 0;
    for (uint32_t i = 0; i < valence; ++i) {
        const int32_t a = graph.Neighbour(v, i);
        const int32_t b = graph.Neighbour(v, Next(i, valence));
        if (!walk_detail::IsCodedRegular(graph, a, values) || !walk_detail::IsCodedRegular(graph, b, values))
            continue;
        const int32_t k = slots.Find(static_cast<uint32_t>(b), a);
        if (k < 0)
            continue; // cannot happen for consistent rings; the term is left out on both sides
        const int32_t c = graph.Neighbour(
            static_cast<uint32_t>(b), Next(static_cast<uint32_t>(k), graph.nodes[static_cast<uint32_t>(b)].valence));
        if (!walk_detail::IsCodedRegular(graph, c, values))
            continue;
        const Value va = values.valueOf(static_cast<uint32_t>(a));
        const Value vb = values.valueOf(static_cast<uint32_t>(b));
        const Value vc = values.valueOf(static_cast<uint32_t>(c));
        for (size_t d = 0; d < N; ++d) {
            const double term = static_cast<double>(vb[d]) + va[d] - vc[d];
            sum[d] += values.roundTermsToFloat ? static_cast<double>(static_cast<float>(term)) : term;
        }
        ++terms;
    }
    if (terms > 0) {
        walk_detail::RoundedAverage(sum, terms, outPrediction);
        return true;
    }
    return NeighbourAverage(graph, v, values, outPrediction);
}

template <typename Values, typename Slots>
std::optional<walk_detail::ValueOf<Values>> PredictAtVertex(const MeshGraph& graph, const Slots& slots, uint32_t v,
                                                            const Values& values)
{
    walk_detail::ValueOf<Values> prediction{};
    if (!PredictAtVertex(graph, slots, v, values, prediction))
        return std::nullopt;
    return prediction;
}

template <size_t N> struct WedgeValues {
    const CornerAttributes* corners = nullptr; // not owned: the caller's table outlives the call
    std::function<bool(int32_t attribute)> isCoded;
    std::function<Quantised<N>(int32_t attribute)> valueOf;
};

template <size_t N>
std::optional<Quantised<N>> PredictAtWedge(const MeshGraph& graph, const RingSlots& slots, const Wedge& wedge,
                                           const WedgeValues<N>& values);

// The rounded average of the coded other corners of a wedge's faces, for the colour coder.
template <size_t N>
std::optional<Quantised<N>> WedgeAverage(const MeshGraph& graph, const Wedge& wedge, const WedgeValues<N>& values);

// The attribute index at node v's corner in ring slot k, or -1.
int32_t AttributeAtSlot(const MeshGraph& graph, const CornerAttributes& corners, uint32_t v, uint32_t k);
// The attribute index at the corner of vertex `at` in the triangle of `corner` where `at` stands `shift` places on.
int32_t AttributeAtCorner(const CornerAttributes& corners, int32_t corner, uint32_t shift);

} // namespace px
