#include "render/d3d8/device_texture.h"

SWdevicetexture::SWdevicetexture(const SWtexture* source) : m_source(source) {}

SWdevicetexture::~SWdevicetexture() = default;

void SWdevicetexture::Release()
{
    if (--m_references <= 0)
        delete this;
}

bool SWdevicetexture::Validate()
{
    if (m_source == nullptr)
        return false;
    const uint32_t stamp = m_source->GetStamp();
    if (stamp == m_builtFor)
        return true;
    for (int attempt = 1; attempt <= kUploadAttempts; ++attempt) {
        if (Upload()) {
            m_builtFor = stamp;
            return true;
        }
        if (attempt < kUploadAttempts)
            FreeMemory();
    }
    return false;
}
