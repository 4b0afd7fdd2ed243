#include "render/d3d8/d3d8_device.h"

#include <algorithm>
#include <cstring>

#include "engine/resources/background.h"
#include "engine/resources/texture.h"
#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

using namespace pf;

constexpr uint32_t kQuadFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;
constexpr uint32_t kQuadStride = 24;

pf::Window* LiveWindow(Hwnd handle)
{
    return handle != kNoWindow && hasUi() ? ui().window(handle) : nullptr;
}

} // namespace

SWd3d8device::~SWd3d8device()
{
    ReleaseDevice();
    m_surface.reset();
}

void SWd3d8device::ReleaseDevice()
{
    if (m_quads != nullptr)
        m_quads->Release();
    m_quads = nullptr;
    if (m_device != nullptr)
        m_device->Release();
    m_device = nullptr;
}

bool SWd3d8device::AttachSurface(std::unique_ptr<SWrendertarget> target)
{
    SWrendertarget* raw = target.release();
    m_surface.reset(dynamic_cast<SWd3d8surface*>(raw));
    if (m_surface == nullptr)
        delete raw;
    if (m_surface != nullptr && m_window != kNoWindow)
        m_surface->SetWindow(m_window);
    return m_surface != nullptr;
}

bool SWd3d8device::SetBackground(const SWbackground* background)
{
    m_background = background;
    m_clearColour = background != nullptr ? background->GetColour() : 0;
    return true;
}

bool SWd3d8device::BeginFrame()
{
    if (m_surface == nullptr)
        return false;
    float x = 0.0f, y = 0.0f;
    const int32_t step = m_accumulator.GetStep();
    if (step > 0 && step < 256)
        m_accumulator.Jitter(step, x, y);
    m_surface->SetJitter(x, y);
    return m_surface->BeginFrame();
}

bool SWd3d8device::EndFrame()
{
    return m_surface != nullptr && m_surface->EndFrame();
}

// An image that cannot be drawn (a side below 1, no copy on the device) counts as no image: the frame is cleared
// to the background's colour instead.
bool SWd3d8device::RefreshBuffers()
{
    if (m_surface == nullptr)
        return false;
    if (m_background != nullptr && m_background->GetTexture() != nullptr && DrawBackgroundImage())
        return true;
    m_surface->Clear(0xFF000000u | m_clearColour);
    return true;
}

bool SWd3d8device::DrawBackgroundImage()
{
    const SWtexture* image = m_background->GetTexture();
    if (m_device == nullptr || image->GetWidth() < 1 || image->GetHeight() < 1 || m_width == 0 || m_height == 0)
        return false;
    SWd3d8texture* copy = m_surface->DeviceTextureFor(image);
    if (copy == nullptr || copy->GetInterface() == nullptr)
        return false;
    // Kept from frame to frame: every quad is written over it with a discarding lock.
    if (m_quads == nullptr &&
        (!succeeded(m_device->CreateVertexBuffer(4 * kQuadStride, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, kQuadFvf,
                                                 D3DPOOL_DEFAULT, &m_quads)) ||
         m_quads == nullptr)) {
        m_quads = nullptr;
        return false;
    }
    IDirect3DVertexBuffer8* const buffer = m_quads;
    bool ok = succeeded(m_device->BeginScene());
    const std::pair<D3DRENDERSTATETYPE, uint32_t> states[] = {
        {D3DRS_SPECULARENABLE, 0},      {D3DRS_ZFUNC, D3DCMP_ALWAYS},     {D3DRS_ZWRITEENABLE, 1},
        {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ZERO}, {D3DRS_WRAP0, 0},
    };
    for (const auto& [state, value] : states)
        m_device->SetRenderState(state, value);
    const std::tuple<uint32_t, D3DTEXTURESTAGESTATETYPE, uint32_t> stageStates[] = {
        {0, D3DTSS_MINFILTER, D3DTEXF_POINT},
        {0, D3DTSS_MAGFILTER, D3DTEXF_POINT},
        {0, D3DTSS_TEXCOORDINDEX, 0},
        {0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP},
        {0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
        {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
    };
    for (const auto& [stage, type, value] : stageStates)
        m_device->SetTextureStageState(stage, type, value);
    m_device->SetTexture(0, copy->GetInterface());
    m_device->SetStreamSource(0, buffer, kQuadStride);
    m_device->SetVertexShader(kQuadFvf);
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    const auto iw = static_cast<uint32_t>(image->GetWidth());
    const auto ih = static_cast<uint32_t>(image->GetHeight());
    const float uMax = static_cast<float>(iw) / static_cast<float>(copy->GetPaddedWidth());
    const float vMax = static_cast<float>(ih) / static_cast<float>(copy->GetPaddedHeight());
    if ((m_background->GetBackgroundFlags() & SWbackground::kFlagDirect3DLayout) != 0) {
        const float corners[4] = {-0.5f, -0.5f, w - 0.5f, h - 0.5f};
        const float uv[4] = {0.0f, 0.0f, uMax, vMax};
        ok = DrawQuad(*buffer, corners, uv) && ok;
    } else {
        // Tiles of the image's own size; the last of a row or column is cut, its coordinates in proportion.
        for (uint32_t y = 0; y < m_height; y += ih)
            for (uint32_t x = 0; x < m_width; x += iw) {
                const uint32_t tw = std::min(iw, m_width - x);
                const uint32_t th = std::min(ih, m_height - y);
                const float corners[4] = {static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f,
                                          static_cast<float>(x + tw) - 0.5f, static_cast<float>(y + th) - 0.5f};
                const float uv[4] = {0.0f, 0.0f, uMax * static_cast<float>(tw) / static_cast<float>(iw),
                                     vMax * static_cast<float>(th) / static_cast<float>(ih)};
                ok = DrawQuad(*buffer, corners, uv) && ok;
            }
    }
    m_device->SetStreamSource(0, nullptr, 0);
    m_device->SetTexture(0, nullptr);
    ok = succeeded(m_device->EndScene()) && ok;
    return ok;
}

bool SWd3d8device::DrawQuad(IDirect3DVertexBuffer8& buffer, const float corners[4], const float uv[4])
{
    uint8_t* data = nullptr;
    if (!succeeded(buffer.Lock(0, 0, &data, D3DLOCK_DISCARD)) || data == nullptr)
        return false;
    // A strip: top left, top right, bottom left, bottom right; depth at the far plane.
    const float vertices[4][6] = {
        {corners[0], corners[1], 1.0f, 1.0f, uv[0], uv[1]},
        {corners[2], corners[1], 1.0f, 1.0f, uv[2], uv[1]},
        {corners[0], corners[3], 1.0f, 1.0f, uv[0], uv[3]},
        {corners[2], corners[3], 1.0f, 1.0f, uv[2], uv[3]},
    };
    std::memcpy(data, vertices, sizeof vertices);
    buffer.Unlock();
    return succeeded(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
}

bool SWd3d8device::Present()
{
    if (m_device == nullptr)
        return false;
    if (m_antialiasing != 0 && m_readBackMode == 1)
        ReadBack();
    if (m_fieldMode == 1)
        return PresentFields();
    pf::Window* window = LiveWindow(m_window);
    if (window == nullptr)
        return false;
    const Rect client = window->clientRect();
    if (static_cast<uint32_t>(client.r - client.l) != m_width || static_cast<uint32_t>(client.b - client.t) != m_height)
        return false;
    if (!succeeded(m_device->Present(nullptr, nullptr, kNoWindow, nullptr))) {
        SetSize(0, 0);
        return false;
    }
    return true;
}

// The even field is in the top (height + 1) / 2 rows of the back buffer, the odd field below it.
bool SWd3d8device::PresentFields()
{
    const auto h = static_cast<int32_t>(m_height);
    const auto w = static_cast<int32_t>(m_width);
    const int32_t half = (h + 1) / 2;
    for (int32_t y = 0; y < h; y += 2) {
        const Rect evenSource{0, y / 2, w, y / 2 + 1};
        const Rect evenDestination{0, y, w, y + 1};
        bool ok = succeeded(m_device->Present(&evenSource, &evenDestination, kNoWindow, nullptr));
        if (ok && y + 1 < h) {
            const Rect oddSource{0, half + y / 2, w, half + y / 2 + 1};
            const Rect oddDestination{0, y + 1, w, y + 2};
            ok = succeeded(m_device->Present(&oddSource, &oddDestination, kNoWindow, nullptr));
        }
        if (!ok) {
            SetSize(0, 0);
            return false;
        }
    }
    return true;
}

// The mean so far goes back into the back buffer before it is unlocked, so the window shows the refined frame.
bool SWd3d8device::ReadBack()
{
    IDirect3DSurface8* back = nullptr;
    if (!succeeded(m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back)) || back == nullptr)
        return false;
    D3DSURFACE_DESC desc;
    bool ok = succeeded(back->GetDesc(&desc));
    const bool sixteen = desc.Format == D3DFMT_R5G6B5;
    ok = ok && (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8 || sixteen) && desc.Width == m_width &&
         desc.Height == m_height;
    D3DLOCKED_RECT locked;
    ok = ok && succeeded(back->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK)) && locked.pBits != nullptr;
    if (ok) {
        const size_t bytes = sixteen ? 2 : 4;
        const size_t rowBytes = bytes * m_width;
        if (m_frame.size() != rowBytes * m_height || m_frame16 != sixteen)
            m_frame.assign(rowBytes * m_height, 0);
        m_frame16 = sixteen;
        auto* bits = static_cast<uint8_t*>(locked.pBits);
        for (uint32_t y = 0; y < m_height; ++y)
            std::memcpy(&m_frame[y * rowBytes], bits + size_t{y} * static_cast<uint32_t>(locked.Pitch), rowBytes);
        m_accumulator.SetFrame(m_frame.data(), static_cast<uint32_t>(rowBytes),
                               sixteen ? SWaccumulator::kFormat565 : SWaccumulator::kFormat32);
        m_accumulator.SetSize(m_width, m_height);
        m_accumulator.Accumulate();
        for (uint32_t y = 0; y < m_height; ++y)
            std::memcpy(bits + size_t{y} * static_cast<uint32_t>(locked.Pitch), &m_frame[y * rowBytes], rowBytes);
        back->UnlockRect();
    }
    back->Release();
    return ok;
}

bool SWd3d8device::SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t /*height*/, uint32_t extra)
{
    m_viewX = x;
    m_viewY = y;
    m_viewWidth = width;
    m_viewHeight = m_height;
    m_viewExtra = extra;
    return true;
}

bool SWd3d8device::SetSize(uint32_t width, uint32_t height)
{
    if (m_surface == nullptr)
        return false;
    if (width == m_width && height == m_height)
        return true;
    ReleaseDevice();
    const bool sized = m_surface->Resize(width, height);
    if (sized && width > 0 && height > 0) {
        m_device = m_surface->GetDevice();
        m_width = width;
        m_height = height;
    } else {
        m_width = 0;
        m_height = 0;
    }
    if (m_frame.size() != size_t{m_width} * m_height * (m_frame16 ? 2 : 4))
        std::vector<uint8_t>().swap(m_frame);
    m_accumulator.SetSize(m_width, m_height);
    return sized;
}

bool SWd3d8device::SetSupersampling(uint32_t a, uint32_t b)
{
    if (m_surface == nullptr)
        return false;
    if (a == m_readBackMode)
        return true;
    m_readBackMode = a;
    m_accumulator.Reset();
    const uint32_t width = m_width, height = m_height;
    SetSize(0, 0);
    const bool taken = m_surface->SetSupersampling(a, b);
    SetSize(width, height);
    return taken;
}

bool SWd3d8device::SetRenderMode(uint32_t mode)
{
    if (m_surface == nullptr)
        return false;
    if (mode == m_fieldMode)
        return true;
    m_fieldMode = mode == 1 ? 1 : 0;
    return m_surface->SetRenderMode(mode);
}

bool SWd3d8device::SetPhase(uint32_t phase)
{
    return m_surface != nullptr && m_surface->SetPhase(phase);
}

bool SWd3d8device::SetAntialiasing(bool on)
{
    if (on && m_antialiasing == 0)
        m_accumulator.Reset();
    return SWrenderdevice::SetAntialiasing(on);
}

bool SWd3d8device::SetWindow(pf::Hwnd window)
{
    m_window = window;
    return m_surface != nullptr && m_surface->SetWindow(window);
}
