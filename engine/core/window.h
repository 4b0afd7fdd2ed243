#pragma once
// SWwindow: one of the world's render windows, as data: its state byte, its renderer and the camera node it shows.
// The engine reaches the renderer only through SWwindowrenderer, which the renderer implements.
#include <cstdint>

class SWbackground;
class SWcameranode;

class SWwindowrenderer {
public:
    virtual ~SWwindowrenderer() = default;
    virtual void OnCameraNode(SWcameranode*) {}  // the window shows this camera node now (null: none)
    virtual void SetBackground(SWbackground*) {} // the background definition to draw (null: none)
    virtual void OnInvalidate() {}               // the world asked for a full redraw
};

class SWwindow {
public:
    explicit SWwindow(SWwindowrenderer* renderer = nullptr) : m_renderer(renderer) {}

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
    SWwindowrenderer* m_renderer;         // the renderer's, which outlives the window's use of it
    SWcameranode* m_cameraNode = nullptr; // a node of the world, cleared when it is deleted
    bool m_needsRedraw = false;
};
