#include "designer/workspace/angular_input.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr pf::ColorRef kFaceColour = pf::rgb(255, 255, 255);
constexpr pf::ColorRef kHandColour = pf::rgb(0, 0, 160);
constexpr pf::ColorRef kTickColour = pf::rgb(128, 128, 128);

pf::Point PointOnCircle(pf::Point centre, double radius, double radians)
{
    return {centre.x + static_cast<int32_t>(std::lround(radius * std::cos(radians))),
            centre.y - static_cast<int32_t>(std::lround(radius * std::sin(radians)))};
}

} // namespace

float NormaliseAngle(float radians)
{
    if (!std::isfinite(radians))
        return 0.0f;
    double a = std::fmod(static_cast<double>(radians), kTwoPi);
    if (a < 0.0)
        a += kTwoPi;
    // A tiny negative angle plus 2 pi rounds to 2 pi in single precision, which is outside the range.
    const float out = static_cast<float>(a);
    return out >= static_cast<float>(kTwoPi) ? 0.0f : out;
}

void CVTND_AngularInput::SetAngle(const float* radians)
{
    m_angle = NormaliseAngle(radians == nullptr ? 0.0f : *radians);
    invalidate(true);
}

pf::Rect CVTND_AngularInput::DialRect() const
{
    const pf::Rect client = clientRect();
    const int32_t side = static_cast<int32_t>(std::min(client.width(), client.height()));
    return pf::Rect::fromXywh(static_cast<int32_t>((client.width() - side) / 2),
                              static_cast<int32_t>((client.height() - side) / 2), side, side);
}

bool CVTND_AngularInput::TakeAngleAt(pf::Point client)
{
    const pf::Rect dial = DialRect();
    const double dx = client.x - (dial.l + dial.width() / 2.0);
    const double dy = (dial.t + dial.height() / 2.0) - client.y; // screen y grows downwards
    if (dx == 0.0 && dy == 0.0)
        return false;
    m_angle = NormaliseAngle(static_cast<float>(std::atan2(dy, dx)));
    invalidate(true);
    return true;
}

pf::LResult CVTND_AngularInput::handle(const pf::Msg& msg)
{
    using namespace workspace_messages;
    const pf::Hwnd self = hwnd();
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
        TakeAngleAt(pf::pointFromLParam(msg.lParam));
        SendToParent(*this, kAngleDragging, static_cast<pf::WParam>(id()), reinterpret_cast<pf::LParam>(&m_angle));
        return 0;
    case pf::WM_MOUSEMOVE:
        if (m_drag.IsActive() && TakeAngleAt(pf::pointFromLParam(msg.lParam)))
            SendToParent(*this, kAngleDragging, static_cast<pf::WParam>(id()), reinterpret_cast<pf::LParam>(&m_angle));
        return 0;
    case pf::WM_LBUTTONUP:
        if (m_drag.End(*this) && isAlive(self, this))
            SendToParent(*this, kAngleReleased, static_cast<pf::WParam>(id()), reinterpret_cast<pf::LParam>(&m_angle));
        return 0;
    case pf::WM_CAPTURECHANGED:
        m_drag.CaptureChanged(msg, *this);
        return 0;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_AngularInput::Paint()
{
    pf::PaintDc dc(*this);
    dc.fillRect(clientRect(), pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    const pf::Rect dial = DialRect().inflatedBy(-1, -1);
    if (dial.width() < 4)
        return;
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::getSysColor(pf::COLOR_BTNSHADOW)));
    dc.selectBrush(pf::createSolidBrush(isEnabled() ? kFaceColour : pf::getSysColor(pf::COLOR_BTNFACE)));
    dc.ellipse(dial);
    const pf::Point centre{static_cast<int32_t>(dial.l + dial.width() / 2),
                           static_cast<int32_t>(dial.t + dial.height() / 2)};
    const double radius = static_cast<double>(dial.width()) / 2.0 - 1.0;
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, kTickColour));
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double a = quarter * std::numbers::pi / 2.0;
        dc.moveTo(PointOnCircle(centre, radius * 0.8, a));
        dc.lineTo(PointOnCircle(centre, radius, a));
    }
    const pf::ColorRef hand = isEnabled() ? kHandColour : pf::getSysColor(pf::COLOR_GRAYTEXT);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 2, hand));
    const pf::Point tip = PointOnCircle(centre, radius * 0.85, m_angle);
    dc.moveTo(centre);
    dc.lineTo(tip);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, hand));
    dc.selectBrush(pf::createSolidBrush(hand));
    dc.ellipse({tip.x - 3, tip.y - 3, tip.x + 4, tip.y + 4});
    dc.ellipse({centre.x - 2, centre.y - 2, centre.x + 3, centre.y + 3});
}
