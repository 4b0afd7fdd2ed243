#include "designer/workspace/dock_drag.h"

#include <algorithm>
#include <cstdlib>

#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen_dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/ui.h"

CVTND_DockDrag::~CVTND_DockDrag()
{
    End();
}

void CVTND_DockDrag::Begin(pf::Point press, const pf::Rect& floatShape)
{
    End();
    m_press = press;
    m_floatShape = floatShape;
}

bool CVTND_DockDrag::IsBeyondDragDistance(pf::Point screen) const
{
    return std::abs(screen.x - m_press.x) > pf::getSystemMetrics(pf::SM_CXDRAG) ||
           std::abs(screen.y - m_press.y) > pf::getSystemMetrics(pf::SM_CYDRAG);
}

CVTND_DockTarget CVTND_DockDrag::FloatingAt(pf::Point screen) const
{
    return {std::nullopt, m_floatShape.offsetBy(screen.x - m_press.x, screen.y - m_press.y)};
}

void CVTND_DockDrag::Show(const CVTND_DockTarget& target)
{
    if (m_shown == target)
        return;
    if (m_shown)
        DrawOutline(*m_shown);
    m_shown = target;
    DrawOutline(target);
}

std::optional<CVTND_DockTarget> CVTND_DockDrag::End()
{
    const std::optional<CVTND_DockTarget> last = m_shown;
    if (m_shown)
        DrawOutline(*m_shown);
    m_shown.reset();
    return last;
}

void CVTND_DockDrag::DrawOutline(const CVTND_DockTarget& target)
{
    if (!pf::hasUi())
        return;
    const pf::Rect r = target.rect;
    const int32_t edge =
        std::min<int32_t>(target.side ? kDockedOutline : kFloatOutline,
                          static_cast<int32_t>(std::min(r.width(), r.height()) / 2)); // the sides never overlap
    if (edge <= 0)
        return;
    pf::ScreenDc dc;
    // Not a plain inversion: that turns the views' mid-grey background into the same grey. Flipping the two high
    // bits of each channel moves every colour by at least a quarter of the range.
    dc.selectBrush(pf::createSolidBrush(pf::rgb(0xC0, 0xC0, 0xC0)));
    dc.patBlt({r.l, r.t, r.r, r.t + edge}, pf::PATINVERT);
    dc.patBlt({r.l, r.b - edge, r.r, r.b}, pf::PATINVERT);
    dc.patBlt({r.l, r.t + edge, r.l + edge, r.b - edge}, pf::PATINVERT);
    dc.patBlt({r.r - edge, r.t + edge, r.r, r.b - edge}, pf::PATINVERT);
}
