#include "engine/resources/texture.h"

#include "engine/core/type_tag.h"

SWtexture::SWtexture()
{
    AddTypeTag(MakeTag("TXTR"));
}

SWtexture::~SWtexture()
{
    SetDeviceTexture(nullptr);
}

bool SWtexture::IsValid() const
{
    return m_width > 0 && m_height > 0 && GetPixels() != nullptr;
}

std::span<const uint8_t> SWtexture::GetFalloff() const
{
    return {};
}

void SWtexture::Touch()
{
    ++m_stamp;
    if (m_stamp == kStampNeverBuilt)
        ++m_stamp;
    NotifyListeners(kNotifyChanged);
}

SWdevicetexturebase* SWtexture::GetImage()
{
    if (m_device != nullptr && m_device->GetFlag() == 0)
        SetDeviceTexture(nullptr);
    return m_device;
}

void SWtexture::SetDeviceTexture(SWdevicetexturebase* device)
{
    if (device == m_device)
        return;
    if (device != nullptr)
        device->AddRef();
    SWdevicetexturebase* const old = m_device;
    m_device = device;
    if (old != nullptr)
        old->Release();
}

bool SWtexture::IsAcceptedSize(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxPixels;
}

void SWtexture::SetSize(int32_t width, int32_t height)
{
    m_width = width;
    m_height = height;
}

std::unique_ptr<SWtexture> CloneTextureObject(const SWtexture* texture)
{
    return texture != nullptr ? texture->Clone() : nullptr;
}
