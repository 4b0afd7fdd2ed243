#pragma once
// The texture-coordinate stream (kind 5): per object a box of its own, values visited per vertex in traversal
// order or per wedge in order of first use of each attribute index, predicted by the parallelogram rule.
// Residual records come first in visiting order, absolute records after them in reverse visiting order.
//
// Layout after the header: G (16); per object n (32) and, when n > 0, P residual records (32), width (4),
// min u, min v, extent (float bit patterns); then the items (integer data, percent 98), u and v per record.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/vertex_graph.h"
#include "codecs/geometry/wedge_coder.h"

namespace px {

constexpr uint32_t kMaxTexCoordBits = 15;

struct TexCoordInput {
    const MeshGraph* graph = nullptr;    // not owned
    const WedgeLayout* layout = nullptr; // per wedge when set (not owned), else per vertex
    std::span<const float> values;       // u, v per attribute index (per input vertex when per vertex)
};

// 0, or PXERR_INVALIDGEOMETRY when the items cannot be coded or an object's values span more than a float holds.
int EncodeTexCoords(std::span<const TexCoordInput> objects, uint32_t bits, std::vector<uint8_t>& outStream);

struct TexCoordTarget {
    const MeshGraph* graph = nullptr;    // not owned
    const WedgeLayout* layout = nullptr; // not owned; per vertex when null
    uint32_t count = 0;                  // values the object must get: decoded vertices or attribute indices
};

// 0; PX_ERR; or PX_EMPTYBITSTREAM when the stream's object count differs (the attribute is then dropped).
int DecodeTexCoords(std::span<const uint8_t> stream, std::span<const TexCoordTarget> objects,
                    std::vector<std::vector<float>>& outValues);

} // namespace px
