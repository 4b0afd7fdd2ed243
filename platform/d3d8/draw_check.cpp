#include "platform/d3d8/draw_check.h"

#include <cstring>

namespace pf {

namespace {

InputVertex decodeVertex(const uint8_t* p, uint32_t fvf)
{
    InputVertex v;
    const auto f32 = [&p] {
        float f = 0;
        std::memcpy(&f, p, 4);
        p += 4;
        return f;
    };
    const auto u32 = [&p] {
        uint32_t u = 0;
        std::memcpy(&u, p, 4);
        p += 4;
        return u;
    };
    v.position = {f32(), f32(), f32(), 1.0f};
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW)
        v.position[3] = f32();
    if ((fvf & D3DFVF_NORMAL) != 0)
        p += 12;
    if ((fvf & D3DFVF_DIFFUSE) != 0)
        v.diffuse = u32();
    if ((fvf & D3DFVF_SPECULAR) != 0)
        v.specular = u32();
    const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (uint32_t s = 0; s < sets; ++s)
        v.uv[s] = {f32(), f32()};
    return v;
}

std::optional<uint64_t> verticesOf(D3DPRIMITIVETYPE type, uint64_t primitives)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives + 2;
    default:
        return std::nullopt;
    }
}

// Corner k of primitive p as an index into the primitive's vertex sequence; strips alternate their winding.
std::vector<uint32_t> triangleCorners(D3DPRIMITIVETYPE type, uint32_t primitives)
{
    std::vector<uint32_t> corners;
    if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN)
        return corners; // points and lines are checked and recorded, not drawn
    corners.reserve(uint64_t{primitives} * 3);
    for (uint32_t p = 0; p < primitives; ++p) {
        if (type == D3DPT_TRIANGLELIST)
            corners.insert(corners.end(), {3 * p, 3 * p + 1, 3 * p + 2});
        else if (type == D3DPT_TRIANGLEFAN)
            corners.insert(corners.end(), {0, p + 1, p + 2});
        else if (p % 2 == 0)
            corners.insert(corners.end(), {p, p + 1, p + 2});
        else
            corners.insert(corners.end(), {p + 1, p, p + 2});
    }
    return corners;
}

} // namespace

std::optional<uint32_t> fvfSize(uint32_t fvf)
{
    constexpr uint32_t known =
        D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    if ((fvf & ~known) != 0)
        return std::nullopt;
    uint32_t size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        size = 12;
        break;
    case D3DFVF_XYZRHW:
        size = 16;
        break;
    default:
        return std::nullopt;
    }
    const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > kD3DStages)
        return std::nullopt;
    size += (fvf & D3DFVF_NORMAL) != 0 ? 12 : 0;
    size += (fvf & D3DFVF_DIFFUSE) != 0 ? 4 : 0;
    size += (fvf & D3DFVF_SPECULAR) != 0 ? 4 : 0;
    return size + 8 * sets;
}

std::optional<CheckedDraw> checkDraw(const DrawCall& call, const DrawStream& stream)
{
    const std::optional<uint32_t> size = fvfSize(stream.fvf);
    const std::optional<uint64_t> count = verticesOf(call.type, call.primitives);
    if (call.primitives == 0 || !size || !count || stream.stride < *size)
        return std::nullopt;
    const uint64_t stride = stream.stride;
    CheckedDraw d;
    uint64_t first = call.start;
    d.vertexCount = *count;
    std::vector<uint32_t> order; // per vertex of the primitive sequence, its place among the vertices read
    if (call.indexed) {
        if (stream.indices == nullptr || call.vertexCount == 0)
            return std::nullopt;
        const uint64_t indexSize = stream.indexSize == 4 ? 4 : 2;
        const std::vector<uint8_t>& ib = *stream.indices;
        if ((uint64_t{call.start} + *count) * indexSize > ib.size())
            return std::nullopt;
        first = uint64_t{stream.baseVertexIndex} + call.minIndex;
        d.vertexCount = call.vertexCount;
        order.reserve(*count);
        for (uint64_t k = 0; k < *count; ++k) {
            uint32_t index = 0;
            std::memcpy(&index, ib.data() + (call.start + k) * indexSize, indexSize);
            if (index < call.minIndex || uint64_t{index} - call.minIndex >= call.vertexCount)
                return std::nullopt;
            order.push_back(index - call.minIndex);
        }
        d.indexFirstByte = call.start * indexSize;
        d.indexByteCount = *count * indexSize;
    }
    if ((first + d.vertexCount - 1) * stride + *size > stream.vertices.size())
        return std::nullopt;
    d.firstByte = first * stride;
    d.byteCount = (d.vertexCount - 1) * stride + *size;
    d.corners = triangleCorners(call.type, call.primitives);
    if (call.indexed)
        for (uint32_t& c : d.corners)
            c = order[c];
    return d;
}

void rasteriseDraw(const RasterTarget& target, const D3DDeviceState& state, const BoundTextures& textures,
                   const DrawStream& stream, const CheckedDraw& draw)
{
    if (draw.corners.empty())
        return;
    std::vector<InputVertex> decoded;
    decoded.reserve(draw.vertexCount);
    const uint8_t* base = stream.vertices.data() + draw.firstByte;
    for (uint64_t v = 0; v < draw.vertexCount; ++v)
        decoded.push_back(decodeVertex(base + v * stream.stride, stream.fvf));
    drawTriangles(target, state, textures, stream.fvf, decoded, draw.corners);
}

} // namespace pf
