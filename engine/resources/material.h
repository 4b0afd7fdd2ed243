#pragma once
// SWmaterial (tag "MATL"): how a mesh's polygons are coloured. The editors set the colours and factors; the
// renderer reads the render mode, flags, transparency and the layer mask, and asks for the composited texture when
// its current flag is clear. Compositing fills the render fields (composited texture, ramps, packed colours); until
// it runs they stay zero.
//
// What compositing builds (the renderer's contract). A colour byte is intensity x channel x 255, truncated and
// clamped to 0..255; opacity is 1 - transparency clamped to 0..1 (NaN counts as opaque); p = max(1, smoothness).
// - Shade ramps, 256 words 0xAARRGGBB each, index i the shade (255 facing the light), s(i) = sin(pi/2 x i/255):
//   ramp 1 = (ambient + diffuse x s(i)) x opacity per channel with alpha opacity x 255 (premultiplied; the blend
//   reads that alpha as opacity); ramp 2 = specular x s(i)^p with alpha 0 in modes 3 and 4, all zero otherwise
//   (mode 5 takes its highlight from the lighting texture alone, or it would count twice).
// - Lighting texture: 32 x 32 with a falloff table of 512 bytes. Entry j is for the squared radius j/2 - 1 texels
//   of a highlight disc of radius 16: 255 for j < 2, trunc(255 c^p) with c = sqrt(1 - r^2/256) inside, 0 from
//   r = 16 on. Texel (x, y) is the specular colour x the entry of r^2 = (x-15)^2 + (y-15)^2, alpha 0, so sampling
//   it as a plain texture and the falloff stage agree. Highlight scale 0.5 and offset 15.5/32 put a light-facing
//   normal within 16 texels of the centre.
// - Constant pairs (mode 2): untextured (diffuse x opacity with alpha opacity x 255, ambient with alpha 0);
//   textured (the diffuse moved toward white by the texture opacity, premultiplied the same, ambient).
// - Packed colours K1..K3 (0x00RRGGBB): ambient, diffuse, specular; the reflection word K0 holds reflectivity x
//   255 in blue, green and red.
// - Dot3 normal map (bump texture's size): h = grey/255 with wrapping neighbours, n = normalise(-a dh/dx, -a dh/dy,
//   1), a = 8 x bump amount; red 127 (1 - n.z), green 127 (1 - n.y), blue 127 (1 - n.x), alpha 255, the light's
//   encoding, so a texel facing the light comes out bright.
// - Dot3 diffuse map: per channel min(255, ((texel x K2) >> 8) + K1), the texel's alpha kept.
// The builders run under the world's lock and allocate only when a size changes.
//
// The layer mask follows the setters: bit 0 when a diffuse texture is set, bit 1 when a reflection texture is set
// and the reflectivity is above 0, bit 2 when a bump texture is set and the bump amount is not 0.
#include <array>
#include <cstdint>
#include <memory>
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

    static constexpr int kRampSize = 256;
    static constexpr int kLightingSide = 32;
    static constexpr size_t kFalloffSize = 512;
    using Ramp = std::array<uint32_t, kRampSize>;

    SWmaterial();
    explicit SWmaterial(std::string name);
    ~SWmaterial() override;

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
    // Names a file gave whose textures are not bound (yet): kept, so that a name that finds nothing is written
    // back as it was. The slots are left as they are; SetTexture and its kin set name and pointer together.
    void SetStoredTextureNames(std::string diffuse, std::string reflection, std::string bump);

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
    SWtexture* GetCompositedTexture() const { return m_composited.get(); }
    SWtexture* GetTexturePresent() const { return m_texturePresent; }
    SWtexture* GetDot3NormalMap() const { return m_dot3NormalMap.get(); }
    SWtexture* GetDot3DiffuseMap() const { return m_dot3DiffuseMap.get(); }
    uint32_t GetDot3NormalStamp() const { return m_dot3NormalStamp; }
    uint32_t GetDot3DiffuseStamp() const { return m_dot3DiffuseStamp; }
    // Whether a Dot3 map was built from what it is made of now: the same texture at the same stamp, and the same
    // bump amount (normals) or packed ambient and diffuse colours (diffuse). The renderer builds one again when not.
    bool IsDot3NormalMapCurrent() const;
    bool IsDot3DiffuseMapCurrent() const;
    const Ramp& GetRamp1() const { return m_ramp1; }
    const Ramp& GetRamp2() const { return m_ramp2; }
    float GetHighlightScale() const { return 0.5f; }
    float GetHighlightOffset() const { return 0.484375f; }
    const std::array<uint32_t, 2>& GetUntexturedColours() const { return m_untextured; }
    const std::array<uint32_t, 2>& GetTexturedColours() const { return m_textured; }

    // -- Compositing (see the header comment); under the world's lock
    void BuildTexture();        // ramps, lighting texture, constants; sets built and current
    void BuildDot3NormalMap();  // from the bump texture; without one the map is dropped
    void BuildDot3DiffuseMap(); // from the diffuse texture and the packed colours; without one it is dropped

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

    // Filled by compositing; zero until then. The built textures are the material's own, never saved with it.
    std::unique_ptr<SWtexture> m_composited;
    SWtexture* m_texturePresent = nullptr; // the diffuse texture, not owned
    std::unique_ptr<SWtexture> m_dot3NormalMap;
    std::unique_ptr<SWtexture> m_dot3DiffuseMap;
    uint32_t m_dot3NormalStamp = 0;
    uint32_t m_dot3DiffuseStamp = 0;
    // What the maps were built from: only compared, never followed (the texture may have gone since).
    const SWtexture* m_dot3NormalSource = nullptr;
    const SWtexture* m_dot3DiffuseSource = nullptr;
    std::array<uint32_t, 2> m_dot3DiffuseColours{};
    float m_cachedBumpAmount = 0.0f;
    uint32_t m_reflectionParameter = 0;
    std::array<uint32_t, 3> m_packedColours{};
    std::array<uint32_t, 2> m_untextured{};
    std::array<uint32_t, 2> m_textured{};
    Ramp m_ramp1{};
    Ramp m_ramp2{};
    uint8_t m_built = 0;
};
