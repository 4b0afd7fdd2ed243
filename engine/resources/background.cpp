#include "engine/resources/background.h"

#include <atomic>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/texture.h"

namespace {

const CVTN_TagRegistration kRegistration(MakeTag("BGDI"), &CreateContainer<SWbackground>);

std::atomic<uint64_t> g_nextSerial{1};

} // namespace

SWbackground::SWbackground() : m_serial(g_nextSerial.fetch_add(1, std::memory_order_relaxed))
{
    AddTypeTag(MakeTag("BGDI"));
    RegisterListener(kNotifyChanged, MakeTag("TXTR"));
}

SWbackground::SWbackground(uint32_t packedColour) : SWbackground()
{
    m_colour = packedColour & 0x00FFFFFFu;
}

SWbackground::SWbackground(std::unique_ptr<SWtexture> texture, uint32_t mode) : SWbackground()
{
    m_mode = mode == kModeTile ? kModeTile : kModeStretch;
    SetTexture(std::move(texture));
    m_version = 1; // a new background starts at 1 whatever it was built from
}

std::unique_ptr<SWbackground> SWbackground::SWbackgroundFromTexture(std::unique_ptr<SWtexture> texture, uint32_t mode)
{
    return std::make_unique<SWbackground>(std::move(texture), mode);
}

SWbackground::~SWbackground()
{
    UnregisterAllListeners(); // before the children go, so that their last notices find no one
}

void SWbackground::SetColour(uint32_t packedColour)
{
    packedColour &= 0x00FFFFFFu;
    if (packedColour == m_colour)
        return;
    m_colour = packedColour;
    RaiseVersion();
}

void SWbackground::SetTexture(std::unique_ptr<SWtexture> texture)
{
    if (m_texture != nullptr) {
        SWtexture* const old = m_texture;
        m_texture = nullptr;
        old->Detach();
        std::unique_ptr<SWtexture> detached(old); // ours again once detached; deleted as the tree would have
    }
    if (texture != nullptr && AddChild(texture.get()))
        m_texture = texture.release();
    RaiseVersion();
}

void SWbackground::SetMode(uint32_t mode)
{
    const uint32_t stored = mode == kModeTile ? kModeTile : kModeStretch;
    if (stored == m_mode)
        return;
    m_mode = stored;
    RaiseVersion();
}

uint32_t SWbackground::ReleaseReference()
{
    if (m_referenceCount > 0)
        --m_referenceCount;
    return m_referenceCount;
}

void SWbackground::RaiseVersion()
{
    ++m_version;
    if (m_version == 0)
        m_version = 1;
}

bool SWbackground::CheckVersion(const SWbackground& background, uint32_t& cachedStamp)
{
    const bool differed = cachedStamp != background.m_version;
    cachedStamp = background.m_version;
    return differed;
}

void SWbackground::Notify(uint32_t code, CVTN_Container* sender)
{
    if (code == kNotifyChanged && sender != nullptr && sender == m_texture) {
        RaiseVersion();
        return;
    }
    CVTN_Container::Notify(code, sender);
}
