#pragma once
// SWwindowrenderer: everything the engine asks of a window's renderer, and nothing else. The renderer implements
// it; recording ones stand in for it in tests. Without a renderer a window draws nothing.
#include <cstdint>

class SWbackground;
class SWcameranode;
class SWrendertarget;

class SWwindowrenderer {
public:
    virtual ~SWwindowrenderer() = default;
    virtual void OnCameraNode(SWcameranode*) {}  // the window shows this camera node now (null: none)
    virtual void SetBackground(SWbackground*) {} // the background definition to draw (null: none)
    virtual void OnInvalidate() {}               // the world asked for a full redraw

    // The frame's calls, in the order the frame step makes them.
    virtual bool SetAntialiasing(bool) { return false; }
    virtual bool IsAntialiasingDone() { return false; }
    virtual bool RefreshBuffers() { return false; }
    virtual bool SetPhase(uint32_t) { return false; }
    virtual bool BeginFrame() { return false; }
    virtual SWrendertarget* GetSurface() { return nullptr; }
    virtual bool EndFrame() { return false; }
    virtual bool Present() { return false; }
    virtual void SetOwnerWord(uint32_t) {}
    // The view's size: the device is selected for it and the viewport covers it. GetSize answers the size last
    // given, 0 x 0 before.
    virtual bool SetSize(uint32_t, uint32_t) { return false; }
    virtual void GetSize(uint32_t& width, uint32_t& height) const { width = height = 0; }
};
