#include "engine/resources/material.h"

#include <algorithm>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/texture.h"

namespace {

const CVTN_TagRegistration kRegistration(MakeTag("MATL"), &CreateContainer<SWmaterial>);

void Bind(SWtexture* texture, SWtexture*& outSlot, std::string& outName)
{
    outSlot = texture;
    outName = texture != nullptr ? texture->GetName() : std::string();
}

} // namespace

SWmaterial::SWmaterial()
{
    AddTypeTag(MakeTag("MATL"));
}

SWmaterial::SWmaterial(std::string name) : SWmaterial()
{
    m_name = std::move(name);
}

SWmaterial::~SWmaterial() = default;

void SWmaterial::SetRenderMode(uint32_t mode)
{
    m_renderMode = std::clamp(mode, kModeContinuous, kModePhong);
    Invalidate();
}

void SWmaterial::SetStoredRenderMode(uint32_t mode)
{
    m_renderMode = mode;
    Invalidate();
}

void SWmaterial::SetAmbientColour(float intensity, float red, float green, float blue)
{
    m_ambient = {intensity, red, green, blue};
}

void SWmaterial::SetDiffuseColour(float intensity, float red, float green, float blue)
{
    m_diffuse = {intensity, red, green, blue};
}

void SWmaterial::SetSpecularColour(float intensity, float red, float green, float blue)
{
    m_specular = {intensity, red, green, blue};
}

void SWmaterial::SetTransparency(float value)
{
    m_transparency = value;
    Invalidate();
}

void SWmaterial::SetReflectivity(float value)
{
    m_reflectivity = value;
    UpdateLayerMask();
}

void SWmaterial::SetBumpAmount(float value)
{
    if (value == m_bumpAmount)
        return;
    m_bumpAmount = value;
    UpdateLayerMask();
    Invalidate();
}

void SWmaterial::SetTexture(SWtexture* texture)
{
    Bind(texture, m_diffuseTexture, m_diffuseName);
    m_texturePresent = nullptr; // the old texture may be on its way out; compositing sets it again
    UpdateLayerMask();
    Invalidate();
}

void SWmaterial::SetReflectionTexture(SWtexture* texture)
{
    Bind(texture, m_reflectionTexture, m_reflectionName);
    UpdateLayerMask();
    Invalidate();
}

void SWmaterial::SetBumpTexture(SWtexture* texture)
{
    Bind(texture, m_bumpTexture, m_bumpName);
    UpdateLayerMask();
    Invalidate();
}

int SWmaterial::GetTextureAlphaKind() const
{
    switch (m_flags & kFlagAlphaKindMask) {
    case 32:
        return 2;
    case 64:
        return 1;
    default:
        return 0;
    }
}

void SWmaterial::Invalidate()
{
    m_current = 0;
}

void SWmaterial::UpdateLayerMask()
{
    uint32_t mask = 0;
    if (m_diffuseTexture != nullptr)
        mask |= kLayerDiffuse;
    if (m_reflectionTexture != nullptr && m_reflectivity > 0.0f)
        mask |= kLayerReflection;
    if (m_bumpTexture != nullptr && m_bumpAmount != 0.0f)
        mask |= kLayerBump;
    m_layerMask = mask;
}

void SWmaterial::SetStoredTextureNames(std::string diffuse, std::string reflection, std::string bump)
{
    m_diffuseName = std::move(diffuse);
    m_reflectionName = std::move(reflection);
    m_bumpName = std::move(bump);
}
