#pragma once
// SWwindow: one of the world's render windows, as data: its state byte, its renderer and the camera node it shows.
// The engine reaches the renderer only through SWwindowrenderer, which the renderer implements.
#include <cstdint>
#include <memory>

#include "engine/core/window_renderer.h"

class SWbackground;
class SWcameranode;

class SWwindow {
public:
    explicit SWwindow(SWwindowrenderer* renderer = nullptr) : m_renderer(renderer) {}
    // A window of the given output handle that makes and owns its renderer through the installed factory, for
    // device flags (1 window device, 2 Direct3D 8) and, with gdiMode, presenting without touching the palette.
    SWwindow(uint32_t windowHandle, uint32_t deviceFlags, bool gdiMode);

    // What makes a window's renderer; the renderer installs one at start-up. Answers the previous one.
    using RendererFactory = std::unique_ptr<SWwindowrenderer> (*)(uint32_t windowHandle, uint32_t deviceFlags,
                                                                  bool gdiMode);
    static RendererFactory SetRendererFactory(RendererFactory factory);

    uint8_t GetState() const { return m_state; }
    void SetState(uint8_t state) { m_state = state; }
    bool IsActive() const { return m_state != 0; }
    SWwindowrenderer* GetRenderer() const { return m_renderer; }
    void SetRenderer(SWwindowrenderer* renderer) { m_renderer = renderer; }
    SWcameranode* GetCameraNode() const { return m_cameraNode; }
    void SetCamera(SWcameranode* node); // stored and handed to the renderer
    void Invalidate();                  // a full redraw at the next frame
    bool NeedsRedraw() const { return m_needsRedraw; }
    void ClearRedraw() { m_needsRedraw = false; }

private:
    uint8_t m_state = 1;
    std::unique_ptr<SWwindowrenderer> m_ownedRenderer; // made by the factory; null for a renderer given from outside
    SWwindowrenderer* m_renderer;                      // m_ownedRenderer, or one that outlives the window's use of it
    SWcameranode* m_cameraNode = nullptr;              // a node of the world, cleared when it is deleted
    bool m_needsRedraw = false;
};
