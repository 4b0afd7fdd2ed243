#pragma once
// SWwindowdevice: shows the software surface's frames in a window, through device-independent bitmaps drawn in
// bands of 32 rows, or through a DirectDraw-shaped primary surface when one can be had. On 8-bit displays it keeps
// the 6 x 6 x 6 colour cube as a logical palette. It keeps the window's handle, never a pointer: a window destroyed
// meanwhile makes Present do nothing.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/dib.h"
#include "render/present/accumulator.h"
#include "render/present/pixel_converter.h"
#include "render/render_device.h"

class SWrendersurface;
class SWpixelbuffer;
namespace pf {
class IDirectDraw2;
class IDirectDrawSurface;
class IDirectDrawClipper;
struct Rect;
} // namespace pf

class SWwindowdevice final : public SWrenderdevice {
public:
    static constexpr int32_t kBandRows = 32;

    struct Counters { // what the last Present did, for reports and tests
        bool directDraw = false;
        uint32_t bands = 0;
        uint64_t pixels = 0;
    };

    SWwindowdevice();
    ~SWwindowdevice() override;

    SWrendertarget* GetSurface() override;
    bool AttachSurface(std::unique_ptr<SWrendertarget> target) override; // must be a SWrendersurface
    bool SetBackground(const SWbackground* background) override;
    bool BeginFrame() override;
    bool EndFrame() override;
    bool RefreshBuffers() override;
    bool Present() override;
    bool SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t extra) override;
    bool SetSize(uint32_t width, uint32_t height) override;
    bool SetSupersampling(uint32_t a, uint32_t b) override;
    bool Invalidate() override;
    uint32_t GetDeviceFlags() const override { return kWindowDevice; }
    bool SetRenderMode(uint32_t mode) override;
    bool SetPhase(uint32_t phase) override;
    bool SetAntialiasing(bool on) override;
    bool IsAntialiasingDone() override { return m_accumulator.IsDone(); }
    void SetGdiMode(bool on) override;
    bool SetWindow(pf::Hwnd window) override;
    bool RefreshPalette() override;
    bool RealizePalette(pf::PaletteRef palette) override;
    bool SetDrawDC(pf::Dc* dc) override;

    bool IsGdiMode() const { return m_gdiMode != 0; }
    bool HasPrimarySurface() const { return m_primary != nullptr; }
    const Counters& LastPresent() const { return m_counters; }
    const uint8_t* PaletteMap() const { return m_paletteMap; }
    const SWaccumulator& Accumulator() const { return m_accumulator; }
    // Rows first..last of the current buffer: the columns and rows whose blocks were drawn in the last two frames;
    // false when none was.
    bool GetDirtyRect(int32_t first, int32_t last, pf::Rect& out) const;
    uint32_t RowMask(const SWpixelbuffer& buffer, int32_t row) const; // this frame's and the last one's blocks

private:
    bool PresentGdi(SWpixelbuffer& buffer);
    bool PresentDirectDraw(SWpixelbuffer& buffer, bool& fallBackToGdi);
    void ReleaseDirectDraw();
    void ReleasePrimary();
    void CreatePrimary();
    void FollowCurrentBuffer();
    void MarkAllForRedraw(); // every buffer clears and redraws whole at its next refresh

    SWaccumulator m_accumulator;
    std::unique_ptr<SWrendersurface> m_target;
    SWpixelconverter m_converter;
    pf::Hwnd m_window = 0;
    uint8_t m_gdiMode = 0;
    uint8_t m_flagA = 0; // kept for the device's callers; presentation does not read them
    uint8_t m_flagB = 1;
    std::vector<uint8_t> m_band;
    pf::IDirectDraw2* m_directDraw = nullptr;
    pf::IDirectDrawSurface* m_primary = nullptr;
    pf::IDirectDrawClipper* m_clipper = nullptr;
    pf::BitmapInfoHeader m_dibHeader;
    pf::RgbQuad m_cubeQuads[SWpixelconverter::kCubeColours];
    pf::PaletteRef m_palette;    // the cube as a logical palette
    pf::PaletteRef m_remembered; // an outside palette given to RealizePalette
    uint8_t m_paletteMap[SWpixelconverter::kCubeColours];
    uint8_t m_accumulating = 0;
    uint32_t m_superX = 1;
    uint32_t m_superY = 1;
    uint32_t m_renderMode = 0;
    pf::Dc* m_drawDc = nullptr;
    int32_t m_viewX = 0;
    int32_t m_viewY = 0;
    uint32_t m_viewWidth = 0;
    uint32_t m_viewHeight = 0;
    uint32_t m_viewExtra = 0;
    Counters m_counters;
};
