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
#include <vector>

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

template <size_t N>
std::optional<Quantised<N>> PredictAtVertex(const MeshGraph& graph, const RingSlots& slots, uint32_t v,
                                            const VertexValues<N>& values);

template <size_t N> struct WedgeValues {
    const CornerAttributes* corners = nullptr; // not owned: the caller's table outlives the call
    std::function<bool(int32_t attribute)> isCoded;
    std::function<Quantised<N>(int32_t attribute)> valueOf;
};

template <size_t N>
std::optional<Quantised<N>> PredictAtWedge(const MeshGraph& graph, const RingSlots& slots, const Wedge& wedge,
                                           const WedgeValues<N>& values);

// Rounded averages for the colour coder: of the coded regular neighbours, and of the coded other corners of a
// wedge's faces.
template <size_t N>
std::optional<Quantised<N>> NeighbourAverage(const MeshGraph& graph, uint32_t v, const VertexValues<N>& values);
template <size_t N>
std::optional<Quantised<N>> WedgeAverage(const MeshGraph& graph, const Wedge& wedge, const WedgeValues<N>& values);

// The attribute index at node v's corner in ring slot k, or -1.
int32_t AttributeAtSlot(const MeshGraph& graph, const CornerAttributes& corners, uint32_t v, uint32_t k);
// The attribute index at the corner of vertex `at` in the triangle of `corner` where `at` stands `shift` places on.
int32_t AttributeAtCorner(const CornerAttributes& corners, int32_t corner, uint32_t shift);

} // namespace px
