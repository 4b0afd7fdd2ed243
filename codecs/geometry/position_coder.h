#pragma once
// The position stream (kind 1): all objects quantised on one box, visited per vertex in traversal order (split
// copies of a vertex skipped), each value predicted by the parallelogram rule and coded as a residual, or raw in
// the object's width when nothing predicts it.
//
// Layout after the header: G (16); min x, y, z and extent (float bit patterns); G widths (5 each); the items
// (integer data, percent 98): per record x, y, z, residuals as delta items, absolutes in the object's width.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/attribute_walk.h"
#include "codecs/geometry/vertex_graph.h"

namespace px {

constexpr uint32_t kMaxPositionBits = 24;

// The input positions of one object (x, y, z per input vertex) with its graph.
struct PositionInput {
    const MeshGraph* graph = nullptr; // not owned: the pipeline's graphs outlive the call
    std::span<const float> positions;
};

// Quantised values per input vertex (encoder) or per decoded vertex (decoder), for the normal coder.
using QuantisedPositions = std::vector<Quantised<3>>;

// 0, or PXERR_INVALIDGEOMETRY when the items cannot be coded or the positions span more than a float holds.
// outQuantised: per object, indexed by input vertex.
int EncodePositions(std::span<const PositionInput> objects, uint32_t bits, std::vector<uint8_t>& outStream,
                    std::vector<QuantisedPositions>& outQuantised);

// The most positions a position stream of this length can hold: each is three items of at least one bit.
uint64_t MaxPositionsIn(std::span<const uint8_t> stream);

// Per object: positions (x, y, z per decoded vertex) and their quantised values. 0, or PX_ERR.
int DecodePositions(std::span<const uint8_t> stream, std::span<const MeshGraph* const> graphs,
                    std::span<const uint32_t> vertexCounts, std::vector<std::vector<float>>& outPositions,
                    std::vector<QuantisedPositions>& outQuantised);

} // namespace px
