#pragma once
// SWd3d8device: the renderer's Direct3D 8 presentation device. It owns one SWd3d8surface, draws the background
// (the image as screen-space quads, or a clear to its colour), presents the back buffer into the window, whole or
// as two interlaced fields, and with anti-aliasing on reads each frame back to refine it as the window device does.
#include <cstdint>
#include <memory>
#include <vector>

#include "render/d3d8/d3d8_surface.h"
#include "render/present/accumulator.h"
#include "render/render_device.h"

class SWd3d8device final : public SWrenderdevice {
public:
    SWd3d8device() = default;
    ~SWd3d8device() override;

    SWrendertarget* GetSurface() override { return m_surface.get(); }
    bool AttachSurface(std::unique_ptr<SWrendertarget> target) override; // must be a SWd3d8surface
    bool SetBackground(const SWbackground* background) override;
    bool BeginFrame() override;
    bool EndFrame() override;
    bool RefreshBuffers() override; // the background image, or a clear to its colour; true
    bool Present() override;
    bool SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra) override;
    bool SetSize(uint32_t width, uint32_t height) override;
    bool SetSupersampling(uint32_t a, uint32_t b) override; // the surface's anti-aliasing level
    uint32_t GetDeviceFlags() const override { return kDirect3D8Device; }
    bool SetRenderMode(uint32_t mode) override; // reaches the surface only when it changes
    bool SetPhase(uint32_t phase) override;
    bool SetAntialiasing(bool on) override;
    bool IsAntialiasingDone() override { return m_accumulator.IsDone(); }
    void SetGdiMode(bool /*on*/) override {}
    bool SetWindow(pf::Hwnd window) override;
    bool RefreshPalette() override { return true; }
    bool RealizePalette(pf::PaletteRef /*palette*/) override { return true; }
    bool SetDrawDC(pf::Dc* /*dc*/) override { return false; }

    SWd3d8surface* Surface() const { return m_surface.get(); }
    const SWaccumulator& Accumulator() const { return m_accumulator; }
    uint32_t GetReadBackMode() const { return m_readBackMode; }
    uint32_t GetRenderModeCached() const { return m_fieldMode; }
    // The last frame read back: width x height pixels of 4 bytes, or 2 with Is16Bit.
    const std::vector<uint8_t>& ReadBackFrame() const { return m_frame; }
    bool Is16Bit() const { return m_frame16; }
    bool HasDevice() const { return m_device != nullptr; }

private:
    bool DrawBackgroundImage();
    void ReleaseDevice();
    bool DrawQuad(pf::IDirect3DVertexBuffer8& buffer, const float corners[4], const float uv[4]);
    bool ReadBack();
    bool PresentFields();

    std::unique_ptr<SWd3d8surface> m_surface;
    const SWbackground* m_background = nullptr; // not owned: the world's
    uint32_t m_clearColour = 0;
    pf::IDirect3DDevice8* m_device = nullptr;      // one reference held, taken by SetSize
    pf::IDirect3DVertexBuffer8* m_quads = nullptr; // the background's quad buffer of m_device; one reference held
    pf::Hwnd m_window = pf::kNoWindow;
    int32_t m_viewX = 0;
    int32_t m_viewY = 0;
    uint32_t m_viewWidth = 0;
    uint32_t m_viewExtra = 0;
    uint32_t m_viewHeight = 0;
    uint32_t m_readBackMode = 1;
    uint32_t m_fieldMode = 0;
    SWaccumulator m_accumulator;
    std::vector<uint8_t> m_frame;
    bool m_frame16 = false;
};
