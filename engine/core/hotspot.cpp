#include "engine/core/hotspot.h"

#include <algorithm>

#include "engine/core/world.h"
#include "engine/resources/texture.h"

SWhotspot::SWhotspot() : SWnode(kKindHotspot) {}

SWhotspot::~SWhotspot() = default;

void SWhotspot::SetTextureName(std::optional<std::string> name)
{
    m_textureName = std::move(name);
    m_texture = nullptr;
}

SWtexture* SWhotspot::GetTexture()
{
    if (m_texture == nullptr && m_textureName)
        if (SWworld* world = GetWorld())
            m_texture = world->FindTextureByName(*m_textureName);
    return m_texture;
}

void SWhotspot::SetImage(std::unique_ptr<SWtexture> image)
{
    m_picture = std::move(image);
    m_pictureWidth = m_picture ? m_picture->GetWidth() : 0;
    m_pictureHeight = m_picture ? m_picture->GetHeight() : 0;
}

void SWhotspot::SetPictureSize(int32_t width, int32_t height)
{
    const int32_t maxWidth = m_picture ? m_picture->GetWidth() : 0;
    const int32_t maxHeight = m_picture ? m_picture->GetHeight() : 0;
    m_pictureWidth = std::clamp(width, 0, maxWidth);
    m_pictureHeight = std::clamp(height, 0, maxHeight);
}

bool SWhotspot::SetLabelState(uint8_t state)
{
    if (state == m_label)
        return false;
    m_label = state;
    return true;
}
