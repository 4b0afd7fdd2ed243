#include "render/present/window_render_side.h"

#include "engine/core/camera_node.h"
#include "engine/core/window.h"
#include "engine/resources/background.h"
#include "render/render_drivers.h"

namespace {

// The world's windows get their renderers from here as soon as the engine is loaded.
const bool g_installed = [] {
    SWwindow::SetRendererFactory(&SWwindowrenderside::Make);
    return true;
}();

} // namespace

std::unique_ptr<SWwindowrenderer> SWwindowrenderside::Make(uint32_t windowHandle, uint32_t deviceFlags, bool gdiMode)
{
    std::unique_ptr<SWrenderer> renderer = SWrenderdrivers::Get().CreateRenderer(deviceFlags);
    if (renderer == nullptr)
        return nullptr;
    std::unique_ptr<SWwindowrenderside> side(new SWwindowrenderside(std::move(renderer)));
    SWrenderer& r = *side->m_renderer;
    if (gdiMode)
        r.SetGdiMode(true);
    r.SetOwnerWord(0);
    r.SetSupersampling(1, 1);
    r.SetWindow(windowHandle);
    r.SetCamera(&side->m_camera);
    r.RefreshPalette();
    return side;
}

void SWwindowrenderside::SetBackground(SWbackground* background)
{
    m_renderer->SetBackground(background);
}

bool SWwindowrenderside::BeginFrame()
{
    const SWcameraobject* camera = m_cameraNode != nullptr ? m_cameraNode->GetCameraObject() : nullptr;
    if (camera != nullptr && m_width != 0 && m_height != 0) {
        const float aspect = static_cast<float>(m_height) / static_cast<float>(m_width);
        camera->ComputeSurfaceMatrices(m_cameraNode->GetWorldMatrix(), m_camera, aspect);
    }
    return m_renderer->BeginFrame();
}

bool SWwindowrenderside::SetSize(uint32_t width, uint32_t height)
{
    m_width = width;
    m_height = height;
    const bool selected = m_renderer->SelectDevice(width, height);
    return m_renderer->SetViewport(0, 0, width, height, 0) && selected;
}

void SWwindowrenderside::GetSize(uint32_t& width, uint32_t& height) const
{
    width = m_width;
    height = m_height;
}
