#pragma once
// SWd3d8texture: a scene texture's copy in a Direct3D 8 device, padded to powers of two; and SWtexturemanager, the
// list of such copies that a Direct3D 8 surface keeps, evicting the least recently used when device memory runs
// out and those left unused for more than kStaleFrames frames.
//
// Eviction clears the copy's valid flag, releases its device texture and drops the manager's reference; the
// source texture's GetImage then sees the flag at 0 and drops its own, which deletes the copy.
#include <cstdint>
#include <vector>

#include "render/d3d8/device_texture.h"

class SWd3d8surface;
class SWtexturemanager;
namespace pf {
class IDirect3DTexture8;
}

class SWd3d8texture final : public SWdevicetexture {
public:
    SWd3d8texture(const SWtexture& source, SWd3d8surface* surface, SWtexturemanager* manager);

    static uint32_t PaddedSide(int32_t side); // the smallest power of two not below side; 1 for 1 or less
    static int LiveCount();                   // copies alive in this process, for leak checks

    uint32_t GetPaddedWidth() const { return m_paddedWidth; }
    uint32_t GetPaddedHeight() const { return m_paddedHeight; }
    uint32_t GetImageWidth() const { return m_imageWidth; }
    uint32_t GetImageHeight() const { return m_imageHeight; }
    bool IsExact() const { return m_exact; }
    pf::IDirect3DTexture8* GetInterface() const { return m_texture; } // not a new reference
    uint32_t GetLastUsed() const { return m_lastUsed; }
    void SetLastUsed(uint32_t frame) { m_lastUsed = frame; }
    const SWtexturemanager* GetManager() const { return m_manager; }

    // Called by the manager only: the copy stops being valid and lets go of the device.
    void Evict();

protected:
    ~SWd3d8texture() override;
    bool Upload() override;
    void FreeMemory() override;

private:
    bool CopyImage(pf::IDirect3DTexture8* staging) const;

    uint32_t m_imageWidth;
    uint32_t m_imageHeight;
    uint32_t m_paddedWidth;
    uint32_t m_paddedHeight;
    bool m_exact;
    SWd3d8surface* m_surface;                   // not owned; null once evicted
    uint32_t m_format = 0;                      // a D3DFORMAT
    pf::IDirect3DTexture8* m_texture = nullptr; // owned reference
    uint32_t m_lastUsed = 0;
    SWtexturemanager* m_manager; // not owned; null once evicted
};

class SWtexturemanager {
public:
    static constexpr uint32_t kStaleFrames = 1000;

    SWtexturemanager() = default;
    SWtexturemanager(const SWtexturemanager&) = delete;
    SWtexturemanager& operator=(const SWtexturemanager&) = delete;
    virtual ~SWtexturemanager(); // clears

    // A new copy for the texture, linked to it and listed here; the manager holds one reference, the texture
    // another. Null when there is no owner.
    SWd3d8texture* CreateTexture(SWtexture& texture);
    void Clear(); // evicts every copy
    // Evicts the copy with the smallest last-used frame, never the one given (the copy whose upload asks for room);
    // false when there is no other.
    bool EvictOldest(const SWd3d8texture* keep = nullptr);
    void EvictStale(uint32_t frame); // every copy not used in the last kStaleFrames frames
    size_t TextureCount() const { return m_textures.size(); }
    uint32_t EvictionCount() const { return m_evictions; }

protected:
    void SetTextureOwner(SWd3d8surface* owner) { m_owner = owner; } // not owned: the owner is this object

private:
    void EvictAt(size_t index);

    std::vector<SWd3d8texture*> m_textures; // one reference each
    SWd3d8surface* m_owner = nullptr;
    uint32_t m_evictions = 0;
};
