#pragma once
// SWrenderer: what a render window holds to show its world. An ordered list of presentation devices, one of them
// primary at a time; each operation goes either to the primary device or to every device. Frame operations run on
// the render thread, window, size and palette changes on the window's thread, under the caller's world lock.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/hwnd.h"
#include "platform/gfx/palette.h"
#include "render/render_device.h"

class SWrenderer {
public:
    SWrenderer() = default;
    SWrenderer(const SWrenderer&) = delete;
    SWrenderer& operator=(const SWrenderer&) = delete;
    virtual ~SWrenderer() = default; // deletes the devices in list order

    virtual bool SetBackground(const SWbackground* background); // every device; false without one
    // The primary's; false with no primary device, where a null one would otherwise be reached.
    virtual bool SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra);
    virtual bool SelectDevice(uint32_t width, uint32_t height); // whether a device took the size
    virtual bool SetSupersampling(uint32_t x, uint32_t y);      // 1 or 2, the same both ways
    virtual bool Present();
    virtual bool RefreshBuffers();
    virtual bool Invalidate(); // every device; false
    virtual SWrendertarget* GetSurface();
    virtual bool SetCamera(SWrendercamera* camera);
    virtual bool BeginFrame();
    virtual bool EndFrame();
    virtual bool SetRenderMode(uint32_t mode);
    virtual bool SetPhase(uint32_t phase);
    virtual bool SetAntialiasing(bool on); // every device; whether a primary device exists
    virtual bool IsAntialiasingDone();     // the primary's; false without one

    virtual bool SetWindow(pf::Hwnd window);
    virtual bool RefreshPalette();               // true when any device answers true
    bool RealizePalette(pf::PaletteRef palette); // likewise
    virtual void SetGdiMode(bool on);
    void SetFlags(uint32_t flags) { m_flags = flags; }
    uint32_t GetFlags() const { return m_flags; }
    void AddDevice(std::unique_ptr<SWrenderdevice> device); // the first one added becomes primary
    virtual void SetOwnerWord(uint32_t value);              // the targets of devices that have one

    SWrenderdevice* GetPrimary() const { return m_primary; }
    size_t GetDeviceCount() const { return m_devices.size(); }
    SWrenderdevice* GetDevice(size_t index) const { return m_devices[index].get(); }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    uint32_t GetSupersampling() const { return m_factor; }
    uint32_t GetRenderMode() const { return m_renderMode; } // the last one set, 0 at first

private:
    std::vector<std::unique_ptr<SWrenderdevice>> m_devices;
    SWrenderdevice* m_primary = nullptr; // one of m_devices, or null
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_factor = 1;
    uint32_t m_flags = 0;
    uint32_t m_renderMode = 0;
};
