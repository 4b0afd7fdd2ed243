#include "designer/workspace/color_button.h"

#include <algorithm>
#include <cmath>

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

// The dialog's sixteen custom colours, kept for the whole run as the colour dialog of every button shares them.
std::array<pf::ColorRef, 16>& CustomColours()
{
    static std::array<pf::ColorRef, 16> colours{};
    return colours;
}

} // namespace

uint8_t CVTND_ColorButton::ChannelToByte(float channel)
{
    const float c = std::isnan(channel) ? 0.0f : std::clamp(channel, 0.0f, 1.0f);
    return static_cast<uint8_t>(static_cast<int32_t>(c * 255.0f + 0.5f));
}

void CVTND_ColorButton::SetColor(float red, float green, float blue, float fourth)
{
    m_rgb = {red, green, blue};
    m_fourth = fourth;
    invalidate(true);
}

pf::ColorRef CVTND_ColorButton::GetColorRef() const
{
    return pf::rgb(ChannelToByte(m_rgb[0]), ChannelToByte(m_rgb[1]), ChannelToByte(m_rgb[2]));
}

bool CVTND_ColorButton::ChooseColor(pf::Window* owner)
{
    const std::optional<pf::ColorRef> chosen =
        pf::chooseColor({owner != nullptr ? owner->hwnd() : pf::kNoWindow, GetColorRef(),
                         pf::CC_RGBINIT | pf::CC_FULLOPEN, &CustomColours()});
    if (!chosen)
        return false;
    SetColor(ByteToChannel(pf::getRValue(*chosen)), ByteToChannel(pf::getGValue(*chosen)),
             ByteToChannel(pf::getBValue(*chosen)), m_fourth);
    return true;
}

pf::LResult CVTND_ColorButton::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_PAINT) {
        Paint();
        return 0;
    }
    return pf::Button::handle(msg);
}

void CVTND_ColorButton::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect client = clientRect();
    dc.fillRect(client, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    const pf::Rect face =
        isPushed() ? pf::drawEdge(dc, client, pf::EdgeKind::kSunken) : pf::drawEdge(dc, client, pf::EdgeKind::kButton);
    const int32_t shift = isPushed() ? 1 : 0;
    const pf::Rect swatch = face.inflatedBy(-3, -3).offsetBy(shift, shift);
    if (swatch.isEmpty())
        return;
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::getSysColor(isEnabled() ? pf::COLOR_BTNTEXT : pf::COLOR_GRAYTEXT)));
    dc.selectBrush(pf::createSolidBrush(isEnabled() ? GetColorRef() : pf::getSysColor(pf::COLOR_BTNFACE)));
    dc.rectangle(swatch);
    if (pf::ui().focus() == hwnd())
        dc.drawFocusRect(face.inflatedBy(-1, -1));
}
