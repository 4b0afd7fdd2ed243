#include "engine/core/window.h"

#include <atomic>

namespace {

std::atomic<SWwindow::RendererFactory> g_rendererFactory{nullptr};

} // namespace

SWwindow::RendererFactory SWwindow::SetRendererFactory(RendererFactory factory)
{
    return g_rendererFactory.exchange(factory);
}

SWwindow::SWwindow(uint32_t windowHandle, uint32_t deviceFlags, bool gdiMode) : m_renderer(nullptr)
{
    if (const RendererFactory factory = g_rendererFactory.load())
        m_ownedRenderer = factory(windowHandle, deviceFlags, gdiMode);
    m_renderer = m_ownedRenderer.get();
}

void SWwindow::SetCamera(SWcameranode* node)
{
    m_cameraNode = node;
    if (m_renderer != nullptr)
        m_renderer->OnCameraNode(node);
}

void SWwindow::Invalidate()
{
    m_needsRedraw = true;
    if (m_renderer != nullptr)
        m_renderer->OnInvalidate();
}
