#pragma once
// SWrendersurface: the software render target. It draws the frame with the rasteriser into pixel buffer A (or B,
// the second buffer of the colour-coded stereo pair), halves A into C when supersampling by 2, and can take an
// image as its pixels for off-screen frames (snapshots and previews).
//
// Until Init has made the rasteriser and the clipper, every operation that needs them does nothing and answers
// false, so a surface whose Init failed can be kept without harm.
#include <cstdint>
#include <memory>

#include "render/render_target.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"

class SWrasteriser;
class SWsoftindexbuffer;
class SWsoftvertexbuffer;
class SWtexture;

class SWrendersurface : public SWrendertarget, public SWrasterhost {
public:
    static constexpr uint32_t kId = 0x54464F53; // "SOFT" in memory order

    enum class Mode : uint32_t { kNormal = 0, kInterlaced = 1, kStereo = 2 };

    SWrendersurface();
    ~SWrendersurface() override;

    bool Init() override;
    bool Initialize() { return Init(); }
    uint32_t GetId() const override { return kId; }
    bool Resize(uint32_t width, uint32_t height) override;
    bool SetSupersampling(uint32_t a, uint32_t b) override; // 1, 1 or 2, 2; anything else changes nothing
    bool SetSampling(uint32_t a, uint32_t b) { return SetSupersampling(a, b); }
    bool RefreshBuffers() override;
    bool PrepareBuffers() { return RefreshBuffers(); }
    bool BeginFrame() override;
    bool EndFrame() override;
    bool Draw(const SWdirectdraw* chainB, const SWdirectdraw* chainA, const SWprimitivenode* list) override;
    bool TakesDot3() const override { return true; }
    bool Flush() override;
    bool SetRenderMode(uint32_t mode) override; // 0, 1 or 2
    bool SetPhase(uint32_t phase) override;     // 0 or 1
    bool SelectBuffer(uint32_t phase) { return SetPhase(phase); }
    bool SetRenderCamera(SWrendercamera* camera) { return SetCamera(camera); }
    bool GetViewMatrix(float out[16]) override;
    SWvertexbuffer* CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* CreateIndexBuffer(uint32_t indexCount) override;
    SWvertexbuffer* GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* GetIndexScratch(uint32_t indexCount) override;

    bool AttachImage(SWtexture* image); // false when the image has no pixels; the image outlives the surface's use
    bool SetSize(uint32_t width, uint32_t height, SWtexture* image);

    bool CanDraw() const { return m_rasteriser != nullptr && GetClipper() != nullptr; }
    uint32_t GetRenderMode() const { return static_cast<uint32_t>(m_mode); }
    uint32_t GetPhase() const { return m_phase; }
    uint32_t GetBufferWidth() const { return m_bufferWidth; }
    uint32_t GetBufferHeight() const { return m_bufferHeight; }
    SWpixelbuffer& BufferA() { return m_a; }
    SWpixelbuffer& BufferB() { return m_b; }
    SWpixelbuffer& BufferC() { return m_c; }
    SWpixelbuffer* GetCurrentBuffer() const { return m_current; }
    SWrasteriser* GetRasteriser() const { return m_rasteriser.get(); }

    SWpixelbuffer* CurrentPixelBuffer() override { return m_current; }
    float NearDistance() const override;
    float FarDistance() const override;

private:
    void FitCurrentBuffer();

    std::unique_ptr<SWrasteriser> m_rasteriser;
    Mode m_mode = Mode::kNormal;
    uint32_t m_phase = 0;
    uint32_t m_bufferWidth = 0;
    uint32_t m_bufferHeight = 0;
    SWpixelbuffer* m_current; // one of m_a, m_b, m_c
    SWpixelbuffer m_a;
    SWpixelbuffer m_b;
    SWpixelbuffer m_c;
    SWsoftvertexbuffer* m_vertexScratch = nullptr; // one reference owned
    uint32_t m_vertexScratchSets = 0;
    uint32_t m_vertexScratchCount = 0;
    SWsoftindexbuffer* m_indexScratch = nullptr; // one reference owned
    uint32_t m_indexScratchCount = 0;
};
