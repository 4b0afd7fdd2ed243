#pragma once
// SWrenderdevice: a presentation device of the renderer. It owns the render target it draws with and shows that
// target's frames on an output (a window, or a Direct3D 8 device). Frame operations come from the render thread,
// window, size and palette changes from the window's thread; the caller serialises both under the world's lock.
#include <cstdint>
#include <memory>

#include "platform/base/hwnd.h"
#include "platform/gfx/palette.h"

class SWbackground;
class SWrendercamera;
class SWrendertarget;

namespace pf {
class Dc;
}

class SWrenderdevice {
public:
    static constexpr uint32_t kWindowDevice = 1;
    static constexpr uint32_t kDirect3D8Device = 2;

    SWrenderdevice() = default;
    SWrenderdevice(const SWrenderdevice&) = delete;
    SWrenderdevice& operator=(const SWrenderdevice&) = delete;
    virtual ~SWrenderdevice() = default;

    virtual SWrendertarget* GetSurface() = 0;
    virtual bool AttachSurface(std::unique_ptr<SWrendertarget> target) = 0; // the device owns it from now on
    virtual bool SetBackground(const SWbackground* background) = 0;         // not owned
    virtual bool BeginFrame() = 0;
    virtual bool EndFrame() = 0;
    virtual bool RefreshBuffers() = 0;
    virtual bool Present() = 0;
    virtual bool SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra) = 0;
    virtual bool SetSize(uint32_t width, uint32_t height) = 0; // 0 x 0 releases the output's resources
    virtual bool SetSupersampling(uint32_t a, uint32_t b);     // the target's; false without one
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    virtual bool SetCamera(SWrendercamera* camera); // the target's; false without one
    virtual bool Invalidate() { return true; }
    virtual uint32_t GetDeviceFlags() const = 0;
    virtual bool SetRenderMode(uint32_t mode) = 0;
    virtual bool SetPhase(uint32_t phase) = 0;
    virtual bool SetAntialiasing(bool on)
    {
        m_antialiasing = on ? 1 : 0;
        return true;
    }
    virtual bool IsAntialiasingDone() { return false; }
    virtual void SetGdiMode(bool on) = 0;
    virtual bool SetWindow(pf::Hwnd window) = 0;
    virtual bool RefreshPalette() = 0;
    virtual bool RealizePalette(pf::PaletteRef palette) = 0; // null: the device's own
    virtual bool SetDrawDC(pf::Dc* dc) = 0;                  // not owned; null: the window's own

protected:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint8_t m_antialiasing = 0;
};
