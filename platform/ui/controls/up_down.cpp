#include "platform/ui/controls/up_down.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <charconv>

namespace pf {

Hwnd UpDown::setBuddy(Hwnd buddy)
{
    const Hwnd previous = m_buddy;
    m_buddy = buddy;
    Window* b = ui().window(buddy);
    if (b != nullptr && (style() & UDS_ALIGNRIGHT) != 0) {
        const Rect br = b->windowRect();
        const int32_t width = static_cast<int32_t>(windowRect().width());
        Window::setPos(HWND_TOP, {br.r, br.t, br.r + width, br.b}, SWP_NOZORDER);
    }
    // The spin starts from what its buddy shows: writing its own position there would be taken for typing, and a
    // field that keeps no 0 would refuse it as its dialog opens.
    readBuddy();
    return previous;
}

void UpDown::setRange32(int32_t lower, int32_t upper)
{
    m_lower = lower;
    m_upper = upper;
}

int32_t UpDown::setPos(int32_t pos)
{
    const int32_t previous = m_pos;
    m_pos = std::clamp(pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    writeBuddy();
    return previous;
}

void UpDown::writeBuddy()
{
    Window* b = ui().window(m_buddy);
    if (b != nullptr && (style() & UDS_SETBUDDYINT) != 0)
        b->setText(std::to_string(m_pos));
}

void UpDown::readBuddy()
{
    const Window* b = ui().window(m_buddy);
    if (b == nullptr || (style() & UDS_SETBUDDYINT) == 0)
        return;
    const std::string& t = b->text();
    int32_t value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (error == std::errc() && end == t.data() + t.size() && !t.empty())
        m_pos = value;
}

void UpDown::step(int32_t delta)
{
    const Hwnd self = hwnd();
    readBuddy();
    if (m_upper < m_lower)
        delta = -delta; // an inverted range runs the other way
    NMUPDOWN nm;
    nm.hdr.code = UDN_DELTAPOS;
    nm.iPos = m_pos;
    nm.iDelta = delta;
    if (notify(nm.hdr) != 0 || !isAlive(self, this))
        return;
    const int32_t low = std::min(m_lower, m_upper);
    const int32_t high = std::max(m_lower, m_upper);
    int64_t next = int64_t{m_pos} + nm.iDelta;
    if ((style() & UDS_WRAP) != 0 && (next < low || next > high))
        next = next < low ? high : low;
    m_pos = static_cast<int32_t>(std::clamp<int64_t>(next, low, high));
    writeBuddy();
    if (!isAlive(self, this))
        return;
    if (Window* p = parent())
        p->send((style() & UDS_HORZ) != 0 ? WM_HSCROLL : WM_VSCROLL, makeWParam(SB_THUMBPOSITION, m_pos),
                static_cast<LParam>(self));
}

Rect UpDown::arrowRect(bool up) const
{
    const Rect r = clientRect();
    if ((style() & UDS_HORZ) != 0) {
        const int32_t mid = static_cast<int32_t>(r.width() / 2);
        return up ? Rect{mid, 0, r.r, r.b} : Rect{0, 0, mid, r.b};
    }
    const int32_t mid = static_cast<int32_t>(r.height() / 2);
    return up ? Rect{0, 0, r.r, mid} : Rect{0, mid, r.r, r.b};
}

LResult UpDown::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const bool up = arrowRect(true).contains(pointFromLParam(msg.lParam));
        ui().setCapture(self);
        m_pressed = true;
        m_pressedUp = up;
        invalidate(true);
        step(up ? 1 : -1);
        return 0;
    }
    case WM_LBUTTONUP:
        if (!m_pressed)
            return 0;
        m_pressed = false;
        if (ui().capture() == self)
            ui().releaseCapture();
        invalidate(true);
        if (Window* p = parent(); p != nullptr && isAlive(self, this))
            p->send((style() & UDS_HORZ) != 0 ? WM_HSCROLL : WM_VSCROLL, makeWParam(SB_ENDSCROLL, m_pos),
                    static_cast<LParam>(self));
        return 0;
    case UDM_SETBUDDY:
        return static_cast<LResult>(setBuddy(static_cast<Hwnd>(msg.wParam)));
    case UDM_GETBUDDY:
        return static_cast<LResult>(m_buddy);
    case UDM_SETRANGE32:
        setRange32(static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam));
        return 0;
    case UDM_SETPOS:
        return setPos(static_cast<int32_t>(msg.lParam));
    case UDM_SETPOS32:
        return setPos(static_cast<int32_t>(msg.lParam));
    case UDM_GETPOS:
    case UDM_GETPOS32:
        readBuddy();
        return m_pos;
    default:
        return Control::handle(msg);
    }
}

void UpDown::paint()
{
    PaintDc dc(*this);
    const bool horizontal = (style() & UDS_HORZ) != 0;
    for (const bool up : {true, false}) {
        const Glyph arrow =
            horizontal ? (up ? Glyph::kArrowRight : Glyph::kArrowLeft) : (up ? Glyph::kArrowUp : Glyph::kArrowDown);
        drawArrowButton(dc, arrowRect(up), arrow, m_pressed && m_pressedUp == up, isEnabled());
    }
}

} // namespace pf
