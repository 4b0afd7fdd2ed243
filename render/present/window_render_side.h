#pragma once
// SWwindowrenderside: the render side of a world's window. It owns the window's render camera and renderer,
// forwards the engine's calls to the renderer, and before each frame points the render camera where the window's
// camera node looks. In render mode 2 each of the two passes sees from one eye: the render camera moves by half the
// eye separation along its own x axis, left for phase 0 and right for phase 1, from BeginFrame to EndFrame. Installed
// as the windows' renderer factory at start-up.
#include <cstdint>
#include <memory>

#include "engine/core/window_renderer.h"
#include "render/render_camera.h"
#include "render/renderer.h"

class SWwindowrenderside final : public SWwindowrenderer {
public:
    // The window's constructor calls: a renderer for the device flags, GDI mode when asked, owner word 0,
    // sampling 1 x 1, the window handle, the render camera and the palette. Null when no renderer can be made.
    static std::unique_ptr<SWwindowrenderer> Make(uint32_t windowHandle, uint32_t deviceFlags, bool gdiMode);
    // Where Make gets its renderer: the driver manager's CreateRenderer unless replaced. Returns the previous maker;
    // null puts CreateRenderer back.
    using RendererMaker = std::unique_ptr<SWrenderer> (*)(uint32_t deviceFlags);
    static RendererMaker SetRendererMaker(RendererMaker maker);

    void OnCameraNode(SWcameranode* node) override { m_cameraNode = node; }
    void SetBackground(SWbackground* background) override;
    void OnInvalidate() override { m_renderer->Invalidate(); }
    bool SetAntialiasing(bool on) override { return m_renderer->SetAntialiasing(on); }
    bool IsAntialiasingDone() override { return m_renderer->IsAntialiasingDone(); }
    bool RefreshBuffers() override { return m_renderer->RefreshBuffers(); }
    bool SetPhase(uint32_t phase) override
    {
        m_phase = phase;
        return m_renderer->SetPhase(phase);
    }
    bool BeginFrame() override;
    SWrendertarget* GetSurface() override { return m_renderer->GetSurface(); }
    bool EndFrame() override;
    bool Present() override { return m_renderer->Present(); }
    void SetOwnerWord(uint32_t value) override { m_renderer->SetOwnerWord(value); }
    bool SetSize(uint32_t width, uint32_t height) override;
    void GetSize(uint32_t& width, uint32_t& height) const override;

    SWrenderer& Renderer() { return *m_renderer; }
    SWrendercamera& Camera() { return m_camera; }

private:
    SWwindowrenderside() = default;
    void RestoreEye();

    std::unique_ptr<SWrenderer> m_renderer;
    SWrendercamera m_camera;
    SWcameranode* m_cameraNode = nullptr; // the world's; cleared through OnCameraNode before it is deleted
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_phase = 0;
    // The eye's offset is taken back at EndFrame, so that the camera's own view never drifts between frames.
    bool m_eyeMoved = false;
    SWvector m_centrePosition;
};
