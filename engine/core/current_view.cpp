// The world's current view: which window the user works in, its camera and its size.
#include <memory>

#include "engine/core/camera_node.h"
#include "engine/core/window.h"
#include "engine/core/world.h"

SWwindow* SWworld::GetCurrentView() const
{
    // The named window may have left the list since it was named; it is only answered while it is still there.
    for (const std::unique_ptr<SWwindow>& window : m_windows)
        if (window.get() == m_currentView && m_currentView != nullptr)
            return m_currentView;
    return m_windows.empty() ? nullptr : m_windows.front().get();
}

SWcameranode* SWworld::GetCurrentViewCamera() const
{
    const SWwindow* view = GetCurrentView();
    if (view != nullptr && view->GetCameraNode() != nullptr)
        return view->GetCameraNode();
    return GetActiveCamera();
}

void SWworld::GetCurrentViewSize(uint32_t& width, uint32_t& height) const
{
    width = height = 0;
    const SWwindow* view = GetCurrentView();
    if (view != nullptr && view->GetRenderer() != nullptr)
        view->GetRenderer()->GetSize(width, height);
}
