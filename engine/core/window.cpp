#include "engine/core/window.h"

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
