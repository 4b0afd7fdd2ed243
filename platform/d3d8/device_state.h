#pragma once
// Everything a stand-in device remembers between calls, as one value: draw records keep a copy of it, and the
// reference rasteriser reads nothing else.
#include "platform/d3d8/d3d8.h"

#include <array>
#include <cstdint>

namespace pf {

struct D3DDeviceState {
    std::array<uint32_t, kD3DRenderStateCount> renderStates{};
    std::array<std::array<uint32_t, kD3DStageStateCount>, kD3DStages> stageStates{};
    std::array<uint32_t, kD3DStages> textures{}; // serial numbers of the bound textures, 0 none
    D3DMATRIX world, view, projection;
    D3DVIEWPORT8 viewport;
    uint32_t fvf = 0;
    uint32_t streamBuffer = 0; // serial number, 0 none
    uint32_t streamStride = 0;
    uint32_t indexBuffer = 0; // serial number, 0 none
    uint32_t baseVertexIndex = 0;

    static D3DDeviceState initial(bool depthBuffer, uint32_t width, uint32_t height);
};

D3DMATRIX identityMatrix();

} // namespace pf
