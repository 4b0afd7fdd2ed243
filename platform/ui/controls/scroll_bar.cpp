#include "platform/ui/controls/scroll_bar.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

bool ScrollBar::isVertical() const
{
    return (style() & SBS_VERT) != 0;
}

void ScrollBar::setInfo(const ScrollInfo& info, bool redraw)
{
    m_info = info;
    m_info.nMax = std::max(m_info.nMax, m_info.nMin);
    const int32_t top =
        m_info.nPage > 0 ? std::max(m_info.nMin, m_info.nMax - static_cast<int32_t>(m_info.nPage) + 1) : m_info.nMax;
    m_info.nPos = std::clamp(m_info.nPos, m_info.nMin, top);
    if (redraw)
        invalidate(true);
}

std::optional<int32_t> ScrollBar::requestedPosition(int32_t code, int32_t trackPos, int32_t line) const
{
    const int32_t page =
        m_info.nPage > 0 ? static_cast<int32_t>(m_info.nPage) : std::max(1, (m_info.nMax - m_info.nMin) / 10);
    const int32_t top =
        m_info.nPage > 0 ? std::max(m_info.nMin, m_info.nMax - static_cast<int32_t>(m_info.nPage) + 1) : m_info.nMax;
    int64_t pos = m_info.nPos;
    switch (code) {
    case SB_LINEUP:
        pos -= line;
        break;
    case SB_LINEDOWN:
        pos += line;
        break;
    case SB_PAGEUP:
        pos -= page;
        break;
    case SB_PAGEDOWN:
        pos += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        pos = trackPos;
        break;
    case SB_TOP:
        pos = m_info.nMin;
        break;
    case SB_BOTTOM:
        pos = top;
        break;
    default:
        return std::nullopt;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(pos, m_info.nMin, top));
}

int32_t ScrollBar::setPosition(int32_t pos, bool redraw)
{
    const int32_t previous = m_info.nPos;
    ScrollInfo next = m_info;
    next.nPos = pos;
    setInfo(next, redraw);
    return previous;
}

void ScrollBar::setRange(int32_t minPos, int32_t maxPos, bool redraw)
{
    ScrollInfo next = m_info;
    next.nMin = minPos;
    next.nMax = maxPos;
    setInfo(next, redraw);
}

Rect ScrollBar::arrowRect(bool up) const
{
    const Rect r = clientRect();
    const int32_t side = static_cast<int32_t>(isVertical() ? r.width() : r.height());
    if (isVertical())
        return up ? Rect{0, 0, r.r, side} : Rect{0, r.b - side, r.r, r.b};
    return up ? Rect{0, 0, side, r.b} : Rect{r.r - side, 0, r.r, r.b};
}

Rect ScrollBar::thumbRect() const
{
    const Rect up = arrowRect(true);
    const Rect down = arrowRect(false);
    const int32_t start = isVertical() ? up.b : up.r;
    const int32_t length = std::max(0, (isVertical() ? down.t : down.l) - start);
    const int64_t span = int64_t{m_info.nMax} - m_info.nMin + 1;
    const int32_t thumb = std::min(
        length, std::max(8, m_info.nPage > 0 ? static_cast<int32_t>(length * int64_t{m_info.nPage} / span) : 16));
    const int64_t travel = std::max<int64_t>(1, span - std::max<int64_t>(1, m_info.nPage));
    const int32_t pos = m_dragging ? m_dragPos : m_info.nPos;
    const int32_t at = start + static_cast<int32_t>((length - thumb) * (int64_t{pos} - m_info.nMin) / travel);
    const Rect r = clientRect();
    return isVertical() ? Rect{0, at, r.r, at + thumb} : Rect{at, 0, at + thumb, r.b};
}

int32_t ScrollBar::posFromPoint(Point p) const
{
    const Rect up = arrowRect(true);
    const Rect down = arrowRect(false);
    const Rect thumb = thumbRect();
    const int32_t start = isVertical() ? up.b : up.r;
    const int32_t thumbLength = static_cast<int32_t>(isVertical() ? thumb.height() : thumb.width());
    const int32_t length = (isVertical() ? down.t : down.l) - start - thumbLength;
    return scrollPosAtOffset(m_info, int64_t{isVertical() ? p.y : p.x} - m_grab - start, length);
}

void ScrollBar::notifyScroll(int32_t code, int32_t pos)
{
    if (Window* p = parent())
        p->send(isVertical() ? WM_VSCROLL : WM_HSCROLL, makeWParam(code, pos), static_cast<LParam>(hwnd()));
}

LResult ScrollBar::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const Point p = pointFromLParam(msg.lParam);
        ui().setCapture(self);
        m_tracking = true;
        if (arrowRect(true).contains(p) || arrowRect(false).contains(p)) {
            const bool up = arrowRect(true).contains(p);
            m_heldArrow = up ? 1 : 2;
            m_heldInside = true;
            invalidate(true);
            notifyScroll(up ? SB_LINEUP : SB_LINEDOWN, 0);
        } else if (thumbRect().contains(p)) {
            m_dragging = true;
            m_dragPos = m_info.nPos;
            m_grab = isVertical() ? p.y - thumbRect().t : p.x - thumbRect().l;
        } else {
            const Rect t = thumbRect();
            notifyScroll((isVertical() ? p.y < t.t : p.x < t.l) ? SB_PAGEUP : SB_PAGEDOWN, 0);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_heldArrow != 0) {
            const bool inside = arrowRect(m_heldArrow == 1).contains(pointFromLParam(msg.lParam));
            if (inside != m_heldInside) {
                m_heldInside = inside;
                invalidate(true);
            }
        }
        if (m_dragging) {
            const int32_t next = posFromPoint(pointFromLParam(msg.lParam));
            if (next != m_dragPos) {
                m_dragPos = next;
                invalidate(true);
                notifyScroll(SB_THUMBTRACK, next);
            }
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!m_tracking)
            return 0;
        m_tracking = false;
        m_heldArrow = 0;
        const bool dragged = m_dragging;
        m_dragging = false;
        if (ui().capture() == self)
            ui().releaseCapture();
        if (dragged && isAlive(self, this))
            notifyScroll(SB_THUMBPOSITION, m_dragPos);
        if (isAlive(self, this))
            notifyScroll(SB_ENDSCROLL, 0);
        if (isAlive(self, this))
            invalidate(true);
        return 0;
    }
    case WM_KEYDOWN: {
        // A focused bar moves as its arrows and track do.
        int32_t code = -1;
        if (msg.wParam == VK_LEFT || msg.wParam == VK_UP)
            code = SB_LINEUP;
        else if (msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN)
            code = SB_LINEDOWN;
        else if (msg.wParam == VK_PRIOR || msg.wParam == VK_NEXT)
            code = msg.wParam == VK_PRIOR ? SB_PAGEUP : SB_PAGEDOWN;
        if (code < 0 || !isEnabled())
            return 0;
        notifyScroll(code, 0);
        if (isAlive(self, this))
            notifyScroll(SB_ENDSCROLL, 0);
        return 0;
    }
    case SBM_SETPOS:
        return setPosition(static_cast<int32_t>(msg.wParam), msg.lParam != 0);
    case SBM_GETPOS:
        return m_info.nPos;
    case SBM_SETRANGE:
        setRange(static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam), false);
        return 0;
    default:
        return Control::handle(msg);
    }
}

void ScrollBar::paint()
{
    PaintDc dc(*this);
    const bool scrolls = m_info.nMax > m_info.nMin;
    const Rect thumb = scrolls ? thumbRect() : Rect{};
    drawScrollBar(dc, {clientRect(), isVertical(), thumb, m_heldInside ? m_heldArrow : 0, isEnabled()});
    if (ui().focus() == hwnd() && !thumb.isEmpty())
        dc.drawFocusRect(thumb.inflatedBy(-2, -2));
}

} // namespace pf
