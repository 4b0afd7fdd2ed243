#include "render/d3d8/d3d8_texture.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"
#include "render/d3d8/d3d8_surface.h"

namespace {

std::atomic<int> g_liveTextures{0};

// Drops a reference on every path out of the upload.
template <class T> struct Held {
    T* object = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (object != nullptr)
            object->Release();
    }
};

} // namespace

SWd3d8texture::SWd3d8texture(const SWtexture& source, SWd3d8surface* surface, SWtexturemanager* manager)
    : SWdevicetexture(&source), m_imageWidth(static_cast<uint32_t>(std::max(0, source.GetWidth()))),
      m_imageHeight(static_cast<uint32_t>(std::max(0, source.GetHeight()))),
      m_paddedWidth(PaddedSide(source.GetWidth())), m_paddedHeight(PaddedSide(source.GetHeight())),
      m_exact(m_paddedWidth == m_imageWidth && m_paddedHeight == m_imageHeight), m_surface(surface),
      m_format(surface != nullptr ? surface->FindFormat(8, 8, 8, 8) : 0), m_manager(manager)
{
    g_liveTextures.fetch_add(1);
}

SWd3d8texture::~SWd3d8texture()
{
    if (m_texture != nullptr)
        m_texture->Release();
    g_liveTextures.fetch_sub(1);
}

uint32_t SWd3d8texture::PaddedSide(int32_t side)
{
    uint32_t padded = 1;
    while (static_cast<int64_t>(padded) < side && padded < (1u << 30))
        padded <<= 1;
    return padded;
}

int SWd3d8texture::LiveCount()
{
    return g_liveTextures.load();
}

void SWd3d8texture::Evict()
{
    Invalidate();
    if (m_texture != nullptr)
        m_texture->Release();
    m_texture = nullptr;
    m_surface = nullptr;
    m_manager = nullptr;
}

void SWd3d8texture::FreeMemory()
{
    if (m_manager != nullptr)
        m_manager->EvictOldest(this);
}

// Every failure releases what this attempt took (the device, the staging texture), and a staging texture whose
// lock fails is never written.
bool SWd3d8texture::Upload()
{
    if (m_surface == nullptr || m_source == nullptr || m_format == 0 || m_imageWidth == 0 || m_imageHeight == 0)
        return false;
    Held<pf::IDirect3DDevice8> device;
    device.object = m_surface->GetDevice();
    if (device.object == nullptr)
        return false;
    if (m_texture == nullptr && !pf::succeeded(device.object->CreateTexture(
                                    m_paddedWidth, m_paddedHeight, 1, 0, m_format, pf::D3DPOOL_DEFAULT, &m_texture))) {
        m_texture = nullptr;
        return false;
    }
    Held<pf::IDirect3DTexture8> staging;
    if (!pf::succeeded(device.object->CreateTexture(m_paddedWidth, m_paddedHeight, 1, 0, m_format,
                                                    pf::D3DPOOL_SYSTEMMEM, &staging.object)) ||
        staging.object == nullptr) {
        staging.object = nullptr;
        return false;
    }
    if (!CopyImage(staging.object))
        return false;
    return pf::succeeded(device.object->UpdateTexture(staging.object, m_texture));
}

bool SWd3d8texture::CopyImage(pf::IDirect3DTexture8* staging) const
{
    const uint32_t* pixels = m_source->GetPixels();
    if (pixels == nullptr || m_source->GetWidth32() != m_imageWidth || m_source->GetHeight32() != m_imageHeight)
        return false;
    pf::D3DLOCKED_RECT locked;
    if (!pf::succeeded(staging->LockRect(0, &locked, nullptr, 0)) || locked.pBits == nullptr ||
        locked.Pitch < static_cast<int32_t>(m_paddedWidth * 4)) {
        if (locked.pBits != nullptr)
            staging->UnlockRect(0);
        return false;
    }
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    const size_t rowBytes = size_t{m_paddedWidth} * 4;
    const size_t imageBytes = size_t{m_imageWidth} * 4;
    for (uint32_t y = 0; y < m_paddedHeight; ++y) {
        uint8_t* row = bits + size_t{y} * static_cast<uint32_t>(locked.Pitch);
        // Rows and columns past the image are zeroed, so that filtering with wrap reads black, not old memory.
        if (y < m_imageHeight) {
            std::memcpy(row, pixels + size_t{y} * m_imageWidth, imageBytes);
            std::memset(row + imageBytes, 0, rowBytes - imageBytes);
        } else {
            std::memset(row, 0, rowBytes);
        }
    }
    staging->UnlockRect(0);
    return true;
}

SWtexturemanager::~SWtexturemanager()
{
    Clear();
}

SWd3d8texture* SWtexturemanager::CreateTexture(SWtexture& texture)
{
    if (m_owner == nullptr)
        return nullptr;
    auto* made = new (std::nothrow) SWd3d8texture(texture, m_owner, this);
    if (made == nullptr)
        return nullptr;
    try {
        m_textures.push_back(made);
    } catch (const std::bad_alloc&) {
        made->AddRef();
        made->Release();
        return nullptr;
    }
    made->AddRef();
    texture.SetDeviceTexture(made);
    return made;
}

void SWtexturemanager::Clear()
{
    while (!m_textures.empty())
        EvictAt(m_textures.size() - 1);
}

bool SWtexturemanager::EvictOldest(const SWd3d8texture* keep)
{
    size_t oldest = m_textures.size();
    for (size_t i = 0; i < m_textures.size(); ++i) {
        if (m_textures[i] == keep)
            continue;
        if (oldest == m_textures.size() || m_textures[i]->GetLastUsed() < m_textures[oldest]->GetLastUsed())
            oldest = i;
    }
    if (oldest == m_textures.size())
        return false;
    EvictAt(oldest);
    ++m_evictions;
    return true;
}

void SWtexturemanager::EvictStale(uint32_t frame)
{
    for (size_t i = m_textures.size(); i-- > 0;)
        if (frame - m_textures[i]->GetLastUsed() > kStaleFrames)
            EvictAt(i);
}

void SWtexturemanager::EvictAt(size_t index)
{
    SWd3d8texture* texture = m_textures[index];
    m_textures.erase(m_textures.begin() + static_cast<ptrdiff_t>(index));
    texture->Evict();
    texture->Release();
}
