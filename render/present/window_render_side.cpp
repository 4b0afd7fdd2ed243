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

std::unique_ptr<SWrenderer> CreateThroughDrivers(uint32_t deviceFlags)
{
    return SWrenderdrivers::Get().CreateRenderer(deviceFlags);
}

SWwindowrenderside::RendererMaker g_rendererMaker = &CreateThroughDrivers;

} // namespace

SWwindowrenderside::RendererMaker SWwindowrenderside::SetRendererMaker(RendererMaker maker)
{
    const RendererMaker previous = g_rendererMaker;
    g_rendererMaker = maker != nullptr ? maker : &CreateThroughDrivers;
    return previous;
}

std::unique_ptr<SWwindowrenderer> SWwindowrenderside::Make(uint32_t windowHandle, uint32_t deviceFlags, bool gdiMode)
{
    std::unique_ptr<SWwindowrenderside> side(new SWwindowrenderside()); // the render camera first
    side->m_renderer = g_rendererMaker(deviceFlags);
    if (side->m_renderer == nullptr)
        return nullptr;
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
        const float aspect = static_cast<float>(m_width) / static_cast<float>(m_height);
        camera->ComputeSurfaceMatrices(m_cameraNode->GetWorldMatrix(), m_camera, aspect);
    }
    if (m_renderer->GetRenderMode() == 2) {
        // Without a camera object the default separation serves, as for a camera object whose stereo value is 1.
        const float separation = camera != nullptr ? camera->GetEyeSeparation() : SWcameraobject::kEyeSeparationPerUnit;
        const SWvector side = m_camera.GetUp().Cross(m_camera.GetDirection());
        const float length = side.Length();
        if (length > 0.0f) {
            const float shift = (m_phase == 0 ? -0.5f : 0.5f) * separation / length;
            m_centrePosition = m_camera.GetPosition();
            const SWvector eye = m_centrePosition + side * shift;
            m_camera.SetPosition(eye.x, eye.y, eye.z);
            m_eyeMoved = true;
        }
    }
    const bool begun = m_renderer->BeginFrame();
    if (!begun)
        RestoreEye();
    return begun;
}

bool SWwindowrenderside::EndFrame()
{
    RestoreEye();
    return m_renderer->EndFrame();
}

void SWwindowrenderside::RestoreEye()
{
    if (m_eyeMoved) {
        m_camera.SetPosition(m_centrePosition.x, m_centrePosition.y, m_centrePosition.z);
        m_eyeMoved = false;
    }
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
