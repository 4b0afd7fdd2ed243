#include "designer/workspace/in_position_input.h"

#include <algorithm>
#include <cmath>

#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr pf::ColorRef kCrossColour = pf::rgb(160, 160, 160);
constexpr pf::ColorRef kMarkColour = pf::rgb(200, 0, 0);
constexpr int32_t kMarkRadius = 4;

float ClampFraction(float v)
{
    return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
}

} // namespace

void CVTND_InPositionInput::SetPoint(float x, float y)
{
    m_point = {ClampFraction(x), ClampFraction(y)};
    invalidate(true);
}

pf::Rect CVTND_InPositionInput::AreaRect() const
{
    // Inside the edge by the mark's radius, so a point at a corner still shows its whole mark.
    return clientRect().inflatedBy(-2 - kMarkRadius, -2 - kMarkRadius);
}

void CVTND_InPositionInput::TakePointAt(pf::Point client)
{
    const pf::Rect area = AreaRect();
    const double w = std::max<double>(1.0, static_cast<double>(area.width() - 1));
    const double h = std::max<double>(1.0, static_cast<double>(area.height() - 1));
    m_point = {ClampFraction(static_cast<float>((client.x - area.l) / w)),
               ClampFraction(static_cast<float>((client.y - area.t) / h))};
    invalidate(true);
}

pf::LResult CVTND_InPositionInput::handle(const pf::Msg& msg)
{
    using namespace workspace_messages;
    const pf::Hwnd self = hwnd();
    const auto sendPoint = [this](uint32_t message) {
        SendToParent(*this, message, static_cast<pf::WParam>(id()), reinterpret_cast<pf::LParam>(m_point.data()));
    };
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_LBUTTONDOWN:
        if (!isEnabled())
            return 0;
        m_drag.Begin(*this);
        TakePointAt(pf::pointFromLParam(msg.lParam));
        sendPoint(kPointDragging);
        return 0;
    case pf::WM_MOUSEMOVE:
        if (m_drag.IsActive()) {
            TakePointAt(pf::pointFromLParam(msg.lParam));
            sendPoint(kPointDragging);
        }
        return 0;
    case pf::WM_LBUTTONUP:
        if (m_drag.End(*this) && isAlive(self, this))
            sendPoint(kPointReleased);
        return 0;
    case pf::WM_CAPTURECHANGED:
        m_drag.CaptureChanged(msg, *this);
        return 0;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_InPositionInput::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect inside = pf::drawEdge(dc, clientRect(), pf::EdgeKind::kSunken);
    dc.fillRect(inside, pf::createSolidBrush(pf::getSysColor(isEnabled() ? pf::COLOR_WINDOW : pf::COLOR_BTNFACE)));
    const pf::Rect area = AreaRect();
    if (area.isEmpty())
        return;
    const pf::Point at{area.l + static_cast<int32_t>(std::lround(m_point[0] * (area.width() - 1))),
                       area.t + static_cast<int32_t>(std::lround(m_point[1] * (area.height() - 1)))};
    dc.selectPen(pf::createPen(pf::PS_DOT, 1, kCrossColour));
    dc.moveTo({inside.l, at.y});
    dc.lineTo({inside.r, at.y});
    dc.moveTo({at.x, inside.t});
    dc.lineTo({at.x, inside.b});
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(inside);
    const pf::ColorRef mark = isEnabled() ? kMarkColour : pf::getSysColor(pf::COLOR_GRAYTEXT);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 2, mark));
    dc.selectBrush(pf::Brush{pf::BS_NULL, 0});
    dc.ellipse({at.x - kMarkRadius, at.y - kMarkRadius, at.x + kMarkRadius + 1, at.y + kMarkRadius + 1});
    dc.restoreDc(saved);
}
