#include "platform/d3d8/device_state.h"

namespace pf {

D3DMATRIX identityMatrix()
{
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    return m;
}

D3DDeviceState D3DDeviceState::initial(bool depthBuffer, uint32_t width, uint32_t height)
{
    D3DDeviceState s;
    s.renderStates[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    s.renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s.renderStates[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s.renderStates[D3DRS_ZWRITEENABLE] = 1;
    s.renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s.renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
    s.renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s.renderStates[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    s.renderStates[D3DRS_CLIPPING] = 1;
    s.renderStates[D3DRS_LIGHTING] = 1;
    for (uint32_t stage = 0; stage < kD3DStages; ++stage) {
        auto& ss = s.stageStates[stage];
        ss[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ss[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ss[D3DTSS_TEXCOORDINDEX] = stage;
        ss[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ss[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ss[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ss[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ss[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    }
    s.world = s.view = s.projection = identityMatrix();
    s.viewport = {0, 0, width, height, 0.0f, 1.0f};
    return s;
}

} // namespace pf
