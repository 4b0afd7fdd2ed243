#pragma once
// SWd3d8surface: the render target that draws through a Direct3D 8 device. It owns the runtime object and the
// device, its texture manager (the second base), three buffer caches, the clipper and the batch drawer. The
// device exists between a SetSize with a real size and the next SetSize; without it drawing answers false and
// clears answer true.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/hwnd.h"
#include "platform/d3d8/d3d8.h"
#include "render/d3d8/d3d8_texture.h"
#include "render/render_target.h"

class SWd3d8drawer;
class SWd3d8indexbuffer;
class SWd3d8vertexbuffer;

class SWd3d8surface : public SWrendertarget, public SWtexturemanager {
public:
    static constexpr uint32_t kId = 0x38443344;      // "D3D8" in memory order
    static constexpr uint32_t kMostTextureSets = 3;  // vertex layouts with 0 to 3 (u, v) pairs
    static constexpr uint32_t kCacheEntries = 3;     // per rotation
    static constexpr uint32_t kIndexHeadroom = 1024; // an index buffer is made this much larger than asked
    static constexpr uint32_t kRecreateWaitMs = 100; // before an old device is released for a new one
    static constexpr uint32_t kLeastTextureSide = 2048;

    struct TextureFormat {
        pf::D3DFORMAT format;
        int8_t red, green, blue, alpha; // negative alpha: unused bits
    };

    SWd3d8surface();
    ~SWd3d8surface() override;

    // Whether the card qualifies; true at once after a successful first call, a failed one may be tried again.
    bool Init() override;
    uint32_t GetId() const override { return kId; }
    bool Resize(uint32_t width, uint32_t height) override;  // (re)creates the device; 0 in a side drops it
    bool SetSupersampling(uint32_t a, uint32_t b) override; // the anti-aliasing level a (0, 1 or 2) when a == b
    bool RefreshBuffers() override { return Clear(0); }
    bool Clear(uint32_t colour); // target and depth; true also without a device
    bool ClearDepth();
    bool BeginFrame() override;
    bool EndFrame() override;
    bool Draw(const SWdirectdraw* chainB, const SWdirectdraw* chainA, const SWprimitivenode* list) override;
    bool TakesDot3() const override { return m_dot3; }
    bool SetRenderMode(uint32_t mode) override; // 0 full frame, 1 interlaced; others select full frame, false
    bool SetPhase(uint32_t phase) override;     // the field in interlaced mode; true in full-frame mode
    bool GetViewMatrix(float out[16]) override;
    SWvertexbuffer* CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* CreateIndexBuffer(uint32_t indexCount) override;
    SWvertexbuffer* GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* GetIndexScratch(uint32_t indexCount) override;
    bool SetWindow(pf::Hwnd window); // true when not none

    // Dynamic buffers; each answers a new wrapper the caller owns, or null.
    SWd3d8vertexbuffer* CreateScreenVertexBuffer(uint32_t textureSets, uint32_t vertexCount, bool dynamic);
    SWd3d8vertexbuffer* CreateWorldVertexBuffer(uint32_t textureSets, uint32_t vertexCount, bool dynamic);
    SWd3d8indexbuffer* CreateD3DIndexBuffer(uint32_t indexCount, bool dynamic);
    // From the caches, with one more reference for the caller; null for a set count outside 0..3.
    SWd3d8vertexbuffer* GetScreenVertexBuffer(uint32_t textureSets, uint32_t minVertices);
    SWd3d8vertexbuffer* GetWorldVertexBuffer(uint32_t textureSets, uint32_t minVertices);
    SWd3d8indexbuffer* GetIndexBuffer(uint32_t minIndices);

    pf::IDirect3DDevice8* GetDevice() const; // one more reference for the caller; null without a device
    pf::IDirect3DDevice8* Device() const { return m_device; }                // not a new reference
    pf::D3DFORMAT FindFormat(int red, int green, int blue, int alpha) const; // 0 when the list has none
    // The texture's copy on this device, made on first use, stamped with this frame and validated; null when it
    // cannot be had. The texture is the scene's: its link to the copy is the only thing changed.
    pf::IDirect3DTexture8* TextureFor(const SWtexture* texture);
    SWd3d8texture* DeviceTextureFor(const SWtexture* texture); // the same, answering the copy

    bool IsInitialised() const { return m_initialised; }
    uint32_t GetZBufferMode() const { return m_zBufferMode; }
    uint32_t GetAntialiasingLevel() const { return m_antialiasLevel; }
    uint32_t GetRenderMode() const { return m_fieldMode; }
    uint32_t GetField() const { return m_field; }
    uint32_t GetMaxSimultaneousTextures() const { return m_maxSimultaneousTextures; }
    uint32_t GetDriverBuild() const { return m_driverBuild; }
    uint32_t GetSurfaceFrame() const { return m_frame; }
    const std::vector<TextureFormat>& GetTextureFormats() const { return m_formats; }
    const pf::D3DPRESENT_PARAMETERS& GetPresentParameters() const { return m_present; }
    pf::Hwnd GetWindow() const { return m_window; }
    SWd3d8drawer* GetDrawer() const { return m_drawer.get(); }
    size_t CachedBufferCount() const;

private:
    struct CacheEntry {
        SWvertexbuffer* buffer = nullptr; // one reference owned (an SWd3d8vertexbuffer or SWd3d8indexbuffer)
        uint32_t capacity = 0;
        uint32_t remembered = 0; // the largest request seen
        bool usedThisFrame = false;
    };
    struct IndexEntry {
        SWd3d8indexbuffer* buffer = nullptr; // one reference owned
        uint32_t capacity = 0;
        uint32_t remembered = 0;
        bool usedThisFrame = false;
    };
    using Rotation = std::array<CacheEntry, kCacheEntries>;

    bool HasRequiredCaps(const pf::D3DCAPS8& caps) const;
    void BuildFormatList(pf::D3DFORMAT displayFormat);
    bool CreateDevice(uint32_t width, uint32_t height);
    bool SetInitialStates();
    SWd3d8vertexbuffer* FromRotation(std::array<Rotation, kMostTextureSets + 1>& caches,
                                     std::array<uint32_t, kMostTextureSets + 1>& counters, bool world,
                                     uint32_t textureSets, uint32_t minVertices);
    void ReleaseCachedBuffers();
    void ForgetUnusedCapacities();
    bool SetFieldViewport();

    bool m_initialised = false;
    pf::IDirect3D8* m_direct3D = nullptr;     // one reference owned
    pf::IDirect3DDevice8* m_device = nullptr; // one reference owned
    pf::Hwnd m_window = pf::kNoWindow;
    pf::D3DVIEWPORT8 m_d3dViewport;
    pf::D3DCAPS8 m_caps;
    pf::D3DPRESENT_PARAMETERS m_present;
    uint32_t m_antialiasLevel = 1;
    uint32_t m_zBufferMode = pf::D3DZB_TRUE;
    uint32_t m_fieldMode = 0;
    uint32_t m_field = 0;
    uint32_t m_maxSimultaneousTextures = 0;
    bool m_dot3 = false;
    std::vector<TextureFormat> m_formats;
    std::unique_ptr<SWd3d8drawer> m_drawer;
    std::array<Rotation, kMostTextureSets + 1> m_screenCaches;
    std::array<Rotation, kMostTextureSets + 1> m_worldCaches;
    std::array<IndexEntry, kCacheEntries> m_indexCache;
    std::array<uint32_t, kMostTextureSets + 1> m_screenRotation{};
    std::array<uint32_t, kMostTextureSets + 1> m_worldRotation{};
    uint32_t m_indexRotation = 0;
    uint32_t m_frame = 0;
    uint32_t m_driverBuild = 0;
};
