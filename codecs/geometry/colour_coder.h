#pragma once
// The colour stream (kind 3): colours in YIQ, each component quantised with its own width, predicted from the
// average of coded neighbours (per vertex) or of the coded corners around a wedge, else from the previous
// unpredicted colour; the deltas of each component of all objects go through the zero-run front end.
//
// Layout after the header: object count (16); per object the delta count (32) and, when above 0, the Y, I and Q
// widths (4 each); then for Y, I and Q in turn one zero-run block (minimum run 16, percent 98).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/vertex_graph.h"
#include "codecs/geometry/wedge_coder.h"

namespace px {

using ColourBits = std::array<uint32_t, 3>;

ColourBits ColourBitsOf(uint32_t precision); // 5 -> 6,5,5; 7 -> 8,7,7; 8 -> 8,8,8; else 7,6,6
std::array<float, 3> RgbToYiq(const float* rgb);
std::array<float, 3> YiqToRgb(const float* yiq); // each component then clamped to 0..1

struct ColourInput {
    const MeshGraph* graph = nullptr;    // not owned
    const WedgeLayout* layout = nullptr; // per wedge when set (not owned)
    std::span<const float> yiq;          // per attribute index; empty: the object has no colours
};

int EncodeColours(std::span<const ColourInput> objects, const ColourBits& bits, std::vector<uint8_t>& outStream);

struct ColourTarget {
    const MeshGraph* graph = nullptr;
    const WedgeLayout* layout = nullptr;
    uint32_t count = 0;
};

// YIQ colours per object. 0; PX_ERR; or PX_EMPTYBITSTREAM when the object count differs (colours dropped).
int DecodeColours(std::span<const uint8_t> stream, std::span<const ColourTarget> objects,
                  std::vector<std::vector<float>>& outYiq);

} // namespace px
