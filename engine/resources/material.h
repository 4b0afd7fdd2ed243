#pragma once
// SWmaterial (tag "MATL"): how a mesh's polygons are coloured. The editors set the colours and factors; the
// renderer reads the render mode, flags, transparency and the layer mask, and asks for the composited texture when
// its current flag is clear. Compositing fills the render fields (composited texture, ramps, packed colours); until
// it runs they stay zero.
//
// The layer mask follows the setters: bit 0 when a diffuse texture is set, bit 1 when a reflection texture is set
// and the reflectivity is above 0, bit 2 when a bump texture is set and the bump amount is not 0.
#include <array>
#include <cstdint>
#include <string>

#include "engine/core/container.h"

class SWtexture;

struct SWmaterialcolour {
    float intensity = 1.0f; // multiplies the three channels when composited
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    bool operator==(const SWmaterialcolour&) const = default;
};

class SWmaterial : public CVTN_Container {
public:
    static constexpr uint32_t kModeContinuous = 2;
    static constexpr uint32_t kModeFlat = 3;
    static constexpr uint32_t kModeGouraud = 4;
    static constexpr uint32_t kModePhong = 5;
    static constexpr uint32_t kFlagBilinear = 8;
    static constexpr uint32_t kFlagAlphaKindMask = 96;
    static constexpr uint32_t kLayerDiffuse = 1;
    static constexpr uint32_t kLayerReflection = 2;
    static constexpr uint32_t kLayerBump = 4;

    SWmaterial();
    explicit SWmaterial(std::string name);

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // -- What the editors set
    uint32_t GetRenderMode() const { return m_renderMode; }
    void SetRenderMode(uint32_t mode);       // clamped to 2..5; marks stale
    void SetStoredRenderMode(uint32_t mode); // as read from a file, unclamped; marks stale
    uint32_t GetMaterialFlags() const { return m_flags; }
    void SetMaterialFlags(uint32_t flags) { m_flags = flags; }
    const SWmaterialcolour& GetAmbientColour() const { return m_ambient; }
    const SWmaterialcolour& GetDiffuseColour() const { return m_diffuse; }
    const SWmaterialcolour& GetSpecularColour() const { return m_specular; }
    void SetAmbientColour(float intensity, float red, float green, float blue);
    void SetDiffuseColour(float intensity, float red, float green, float blue);
    void SetSpecularColour(float intensity, float red, float green, float blue);
    float GetSmoothness() const { return m_smoothness; }
    void SetSmoothness(float value) { m_smoothness = value; }
    float GetTransparency() const { return m_transparency; }
    void SetTransparency(float value); // marks stale
    float GetTextureOpacity() const { return m_textureOpacity; }
    void SetTextureOpacity(float value) { m_textureOpacity = value; }
    float GetReflectivity() const { return m_reflectivity; }
    void SetReflectivity(float value); // recomputes the layer mask
    float GetBumpAmount() const { return m_bumpAmount; }
    void SetBumpAmount(float value); // marks stale only when the value changed

    // The texture's name is kept for rebinding after loading; the pointer is the world's texture, not owned.
    // Null clears the slot. Each marks stale and recomputes the layer mask.
    void SetTexture(SWtexture* texture);
    void SetReflectionTexture(SWtexture* texture);
    void SetBumpTexture(SWtexture* texture);
    SWtexture* GetTexture() const { return m_diffuseTexture; }
    SWtexture* GetReflectionTexture() const { return m_reflectionTexture; }
    SWtexture* GetBumpTexture() const { return m_bumpTexture; }
    const std::string& GetTextureName() const { return m_diffuseName; }
    const std::string& GetReflectionTextureName() const { return m_reflectionName; }
    const std::string& GetBumpTextureName() const { return m_bumpName; }

    // -- What the renderer reads
    uint32_t GetLayerMask() const { return m_layerMask; }
    int GetTextureAlphaKind() const;                  // 2 when flag bits 32/64 hold 32, 1 when they hold 64, else 0
    bool IsCurrent() const { return m_current != 0; } // the composited texture matches the settings
    void Invalidate();                                // the next render composites again
    void MarkCurrent() { m_current = 1; }             // compositing sets it when done
    uint8_t IsBuilt() const { return m_built; }
    float GetCachedBumpAmount() const { return m_cachedBumpAmount; }
    uint32_t GetReflectionParameter() const { return m_reflectionParameter; }
    const std::array<uint32_t, 3>& GetPackedColours() const { return m_packedColours; }
    SWtexture* GetCompositedTexture() const { return m_composited; }
    SWtexture* GetTexturePresent() const { return m_texturePresent; }
    SWtexture* GetDot3NormalMap() const { return m_dot3NormalMap; }
    SWtexture* GetDot3DiffuseMap() const { return m_dot3DiffuseMap; }
    uint32_t GetDot3NormalStamp() const { return m_dot3NormalStamp; }
    uint32_t GetDot3DiffuseStamp() const { return m_dot3DiffuseStamp; }

private:
    void UpdateLayerMask();

    std::string m_name;
    uint32_t m_renderMode = kModeGouraud;
    uint32_t m_flags = 0;
    SWmaterialcolour m_ambient;
    SWmaterialcolour m_diffuse;
    SWmaterialcolour m_specular;
    float m_smoothness = 0.0f;
    float m_transparency = 0.0f;
    float m_textureOpacity = 1.0f;
    float m_reflectivity = 0.0f;
    float m_bumpAmount = 0.0f;
    std::string m_diffuseName;
    std::string m_reflectionName;
    std::string m_bumpName;
    SWtexture* m_diffuseTexture = nullptr; // the world's, not owned
    SWtexture* m_reflectionTexture = nullptr;
    SWtexture* m_bumpTexture = nullptr;
    uint32_t m_layerMask = 0;
    uint8_t m_current = 0;

    // Filled by compositing; zero until then. The textures are the material's own children once built.
    SWtexture* m_composited = nullptr;
    SWtexture* m_texturePresent = nullptr;
    SWtexture* m_dot3NormalMap = nullptr;
    SWtexture* m_dot3DiffuseMap = nullptr;
    uint32_t m_dot3NormalStamp = 0;
    uint32_t m_dot3DiffuseStamp = 0;
    float m_cachedBumpAmount = 0.0f;
    uint32_t m_reflectionParameter = 0;
    std::array<uint32_t, 3> m_packedColours{};
    uint8_t m_built = 0;
};
