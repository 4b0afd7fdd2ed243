// A draw from the input, checked and drawn by the reference rasteriser into 64 x 48 with a depth buffer and one
// 4 x 4 texture: whatever the numbers say, the check refuses or the draw stays inside the target and the buffers.
// Input layout (little-endian): 0 fvf u32, 4 stride u32, 8 type u8, 9 indexed u8, 10 index size u8, 11 cull u8,
// 12 start u32, 16 minIndex u32, 20 vertexCount u32, 24 primitives u32, 28 baseVertexIndex u32, 32 zfunc u8,
// 33 blend u8, 34 colour op u8, 35 address u8, 36 vertex byte count u32, then the vertex bytes, then the indices.
#include "platform/base/endian.h"
#include "platform/d3d8/draw_check.h"

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 40;
constexpr uint32_t kWidth = 64, kHeight = 48;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    pf::DrawStream stream;
    stream.fvf = pf::loadU32le(data);
    stream.stride = pf::loadU32le(data + 4);
    pf::DrawCall call;
    call.type = data[8] % 8;
    call.indexed = (data[9] & 1) != 0;
    stream.indexSize = (data[10] & 1) != 0 ? 4 : 2;
    call.start = pf::loadU32le(data + 12);
    call.minIndex = pf::loadU32le(data + 16);
    call.vertexCount = pf::loadU32le(data + 20);
    call.primitives = pf::loadU32le(data + 24);
    stream.baseVertexIndex = pf::loadU32le(data + 28);
    const size_t vertexBytes = std::min<size_t>(pf::loadU32le(data + 36), size - kHeaderBytes);
    const std::vector<uint8_t> vertices(data + kHeaderBytes, data + kHeaderBytes + vertexBytes);
    const std::vector<uint8_t> indices(data + kHeaderBytes + vertexBytes, data + size);
    stream.vertices = vertices;
    stream.indices = call.indexed ? &indices : nullptr;

    pf::D3DDeviceState state = pf::D3DDeviceState::initial(true, kWidth, kHeight);
    state.fvf = stream.fvf;
    state.streamStride = stream.stride;
    state.renderStates[pf::D3DRS_CULLMODE] = 1 + data[11] % 3;
    state.renderStates[pf::D3DRS_ZFUNC] = 1 + data[32] % 8;
    state.renderStates[pf::D3DRS_ALPHABLENDENABLE] = data[33] & 1;
    state.renderStates[pf::D3DRS_SRCBLEND] = 1 + (data[33] >> 1) % 6;
    state.renderStates[pf::D3DRS_DESTBLEND] = 1 + (data[33] >> 4) % 6;
    state.renderStates[pf::D3DRS_SPECULARENABLE] = (data[33] >> 7) & 1;
    const uint32_t ops[] = {pf::D3DTOP_SELECTARG1, pf::D3DTOP_SELECTARG2, pf::D3DTOP_MODULATE, pf::D3DTOP_ADD,
                            pf::D3DTOP_DOTPRODUCT3};
    state.stageStates[0][pf::D3DTSS_COLOROP] = ops[data[34] % 5];
    state.stageStates[0][pf::D3DTSS_MAGFILTER] = (data[34] & 0x80) != 0 ? pf::D3DTEXF_LINEAR : pf::D3DTEXF_POINT;
    state.stageStates[0][pf::D3DTSS_ADDRESSU] = (data[35] & 1) != 0 ? pf::D3DTADDRESS_CLAMP : pf::D3DTADDRESS_WRAP;
    state.stageStates[0][pf::D3DTSS_ADDRESSV] = (data[35] & 2) != 0 ? pf::D3DTADDRESS_CLAMP : pf::D3DTADDRESS_WRAP;
    state.stageStates[0][pf::D3DTSS_TEXCOORDINDEX] = (data[35] >> 2) & 7;
    state.renderStates[pf::D3DRS_CLIPPING] = (data[35] >> 5) & 1;

    const std::optional<pf::CheckedDraw> checked = pf::checkDraw(call, stream);
    if (!checked)
        return 0;
    std::vector<uint32_t> colour(kWidth * kHeight, 0);
    std::vector<uint32_t> depth(kWidth * kHeight, 0xFFFFFFu);
    std::vector<uint32_t> texels(16, 0xFF8040C0u);
    const pf::RasterImage texture{pf::D3DFMT_A8R8G8B8, 4, 4, 16, reinterpret_cast<uint8_t*>(texels.data())};
    pf::RasterTarget target;
    target.colour = {pf::D3DFMT_X8R8G8B8, kWidth, kHeight, kWidth * 4, reinterpret_cast<uint8_t*>(colour.data())};
    target.depthFormat = pf::D3DFMT_D24X8;
    target.depth = depth.data();
    pf::rasteriseDraw(target, state, {&texture}, stream, *checked);
    return 0;
}
