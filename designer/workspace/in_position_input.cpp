#include "designer/workspace/in_position_input.h"

#include <algorithm>
#include <cmath>

#include "designer/workspace/control_edges.h"
#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr pf::ColorRef kCrossColour = pf::rgb(160, 160, 160);
constexpr pf::ColorRef kMarkColour = pf::rgb(200, 0, 0);

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
    return clientRect().inflatedBy(-2, -2);
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
        pf::ui().setCapture(self);
        m_dragging = true;
        TakePointAt(pf::pointFromLParam(msg.lParam));
        sendPoint(kPointDragging);
        return 0;
    case pf::WM_MOUSEMOVE:
        if (m_dragging) {
            TakePointAt(pf::pointFromLParam(msg.lParam));
            sendPoint(kPointDragging);
        }
        return 0;
    case pf::WM_LBUTTONUP:
        if (!m_dragging)
            return 0;
        m_dragging = false;
        if (pf::ui().capture() == self)
            pf::ui().releaseCapture();
        if (isAlive(self, this))
            sendPoint(kPointReleased);
        return 0;
    case pf::WM_CAPTURECHANGED:
        if (static_cast<pf::Hwnd>(msg.lParam) != self)
            m_dragging = false;
        return 0;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_InPositionInput::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect area = DrawSunkenEdge(dc, clientRect());
    dc.fillRect(area, pf::createSolidBrush(pf::getSysColor(isEnabled() ? pf::COLOR_WINDOW : pf::COLOR_BTNFACE)));
    if (area.isEmpty())
        return;
    const pf::Point at{area.l + static_cast<int32_t>(std::lround(m_point[0] * (area.width() - 1))),
                       area.t + static_cast<int32_t>(std::lround(m_point[1] * (area.height() - 1)))};
    dc.selectPen(pf::createPen(pf::PS_DOT, 1, kCrossColour));
    dc.moveTo({area.l, at.y});
    dc.lineTo({area.r, at.y});
    dc.moveTo({at.x, area.t});
    dc.lineTo({at.x, area.b});
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(area);
    const pf::ColorRef mark = isEnabled() ? kMarkColour : pf::getSysColor(pf::COLOR_GRAYTEXT);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 2, mark));
    dc.selectBrush(pf::Brush{pf::BS_NULL, 0});
    dc.ellipse({at.x - 4, at.y - 4, at.x + 5, at.y + 5});
    dc.restoreDc(saved);
}
