#include "platform/display/screen_dc.h"

#include "platform/display/screen.h"

namespace pf {

ScreenDc::ScreenDc() : ScreenDc(screen()) {}

ScreenDc::ScreenDc(const Screen& screen)
    : Dc(nullptr, {}, std::nullopt, false), m_screen(screen), m_overlay(screen.overlay())
{
    screen.overlayDrawerMade();
    setTarget(m_overlay.get(), {}, std::nullopt);
}

ScreenDc::~ScreenDc()
{
    m_screen.overlayDrawerGone();
}

bool ScreenDc::permits(RasterUse use, uint32_t code) const
{
    switch (use) {
    case RasterUse::kMix:
        return code == static_cast<uint32_t>(R2_XORPEN) || code == static_cast<uint32_t>(R2_NOT);
    case RasterUse::kBlit:
        return code == PATINVERT || code == DSTINVERT;
    case RasterUse::kFocusRect:
        return true;
    default:
        return false;
    }
}

} // namespace pf
