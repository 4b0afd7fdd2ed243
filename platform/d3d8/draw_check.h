#pragma once
// The checks every draw passes before a byte of the caller's buffers is read, and the drawing of a checked draw by
// the reference rasteriser: the device and the fuzz target share them, so what is fuzzed is what the device runs.
#include "platform/d3d8/reference_raster.h"

#include <optional>
#include <span>
#include <vector>

namespace pf {

struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    bool indexed = false;
    uint32_t start = 0; // first vertex, or first index
    uint32_t minIndex = 0;
    uint32_t vertexCount = 0; // indexed draws: the vertex range the indices stay in
    uint32_t primitives = 0;
};

struct DrawStream {
    uint32_t fvf = 0;
    uint32_t stride = 0;
    std::span<const uint8_t> vertices;
    const std::vector<uint8_t>* indices = nullptr; // null: no index buffer set
    uint32_t indexSize = 2;
    uint32_t baseVertexIndex = 0;
};

struct CheckedDraw {
    uint64_t firstByte = 0; // of the vertices read
    uint64_t byteCount = 0;
    uint64_t vertexCount = 0;
    std::vector<uint32_t> corners; // three per triangle, into the vertices read; empty for points and lines
    uint64_t indexFirstByte = 0, indexByteCount = 0;
};

std::optional<uint32_t> fvfSize(uint32_t fvf); // nullopt for an FVF the stand-in does not describe
std::optional<CheckedDraw> checkDraw(const DrawCall& call, const DrawStream& stream); // nullopt: INVALIDCALL
void rasteriseDraw(const RasterTarget& target, const D3DDeviceState& state, const BoundTextures& textures,
                   const DrawStream& stream, const CheckedDraw& draw);

} // namespace pf
