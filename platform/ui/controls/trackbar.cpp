#include "platform/ui/controls/trackbar.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

namespace {

constexpr int32_t kMargin = 8; // from each end of the control to the channel's end
constexpr int32_t kThumbLength = 10;
constexpr int32_t kThumbBreadth = 18;

} // namespace

bool Trackbar::isVertical() const
{
    return (style() & TBS_VERT) != 0;
}

void Trackbar::setRange(int32_t minPos, int32_t maxPos, bool redraw)
{
    m_min = minPos;
    m_max = std::max(minPos, maxPos);
    m_pos = std::clamp(m_pos, m_min, m_max);
    if (redraw)
        invalidate(true);
}

void Trackbar::setPos(int32_t pos)
{
    m_pos = std::clamp(pos, m_min, m_max);
    invalidate(true);
}

void Trackbar::setTicFreq(int32_t freq)
{
    m_ticFreq = std::max(1, freq);
    invalidate(true);
}

int32_t Trackbar::channelLength() const
{
    const Rect r = clientRect();
    return std::max<int32_t>(1, static_cast<int32_t>(isVertical() ? r.height() : r.width()) - 2 * kMargin);
}

Point Trackbar::pointForPos(int32_t pos) const
{
    const Rect r = clientRect();
    const int64_t span = std::max<int64_t>(1, int64_t{m_max} - m_min);
    const int32_t along = kMargin + static_cast<int32_t>((int64_t{pos} - m_min) * channelLength() / span);
    return isVertical() ? Point{static_cast<int32_t>(r.width() / 2), along}
                        : Point{along, static_cast<int32_t>(r.height() / 2)};
}

int32_t Trackbar::posFromPoint(Point p) const
{
    const int32_t along = (isVertical() ? p.y : p.x) - kMargin;
    const int64_t span = int64_t{m_max} - m_min;
    const int64_t pos = m_min + (int64_t{along} * span + channelLength() / 2) / channelLength();
    return static_cast<int32_t>(std::clamp<int64_t>(pos, m_min, m_max));
}

Rect Trackbar::thumbRect() const
{
    const Point c = pointForPos(m_pos);
    return isVertical()
               ? Rect{c.x - kThumbBreadth / 2, c.y - kThumbLength / 2, c.x + kThumbBreadth / 2, c.y + kThumbLength / 2}
               : Rect{c.x - kThumbLength / 2, c.y - kThumbBreadth / 2, c.x + kThumbLength / 2, c.y + kThumbBreadth / 2};
}

void Trackbar::scroll(int32_t code)
{
    Window* p = parent();
    if (p == nullptr)
        return;
    const bool withPos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
    p->send(isVertical() ? WM_VSCROLL : WM_HSCROLL, makeWParam(code, withPos ? m_pos : 0), static_cast<LParam>(hwnd()));
}

bool Trackbar::releaseDrag()
{
    const Hwnd self = hwnd();
    const Drag drag = m_drag;
    m_drag = Drag::kNone;
    if (ui().capture() == self)
        ui().releaseCapture();
    if (!isAlive(self, this) || drag == Drag::kNone)
        return false;
    if (drag == Drag::kThumb) {
        scroll(TB_THUMBPOSITION);
        if (!isAlive(self, this))
            return false;
    }
    scroll(TB_ENDTRACK);
    if (!isAlive(self, this))
        return false;
    NMHDR header{};
    header.code = NM_RELEASEDCAPTURE;
    notify(header);
    return true;
}

LResult Trackbar::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        ui().setFocus(self);
        if (!isAlive(self, this))
            return 0;
        const Point p = pointFromLParam(msg.lParam);
        ui().setCapture(self);
        if (thumbRect().contains(p)) {
            m_drag = Drag::kThumb;
            const Point c = pointForPos(m_pos);
            m_grabOffset = isVertical() ? p.y - c.y : p.x - c.x;
            return 0;
        }
        m_drag = Drag::kChannel;
        const bool before = (isVertical() ? p.y : p.x) < (isVertical() ? pointForPos(m_pos).y : pointForPos(m_pos).x);
        setPos(before ? m_pos - m_page : m_pos + m_page);
        scroll(before ? TB_PAGEUP : TB_PAGEDOWN);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (m_drag != Drag::kThumb)
            return 0;
        Point p = pointFromLParam(msg.lParam);
        (isVertical() ? p.y : p.x) -= m_grabOffset;
        const int32_t next = posFromPoint(p);
        if (next != m_pos) {
            setPos(next);
            scroll(TB_THUMBTRACK);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        releaseDrag();
        return 0;
    case WM_CAPTURECHANGED:
        if (m_drag != Drag::kNone && static_cast<Hwnd>(msg.lParam) != self)
            releaseDrag();
        return 0;
    case WM_KEYDOWN: {
        int32_t code = -1;
        int32_t next = m_pos;
        switch (msg.wParam) {
        case VK_LEFT:
        case VK_UP:
            code = TB_LINEUP;
            next -= m_line;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            code = TB_LINEDOWN;
            next += m_line;
            break;
        case VK_PRIOR:
            code = TB_PAGEUP;
            next -= m_page;
            break;
        case VK_NEXT:
            code = TB_PAGEDOWN;
            next += m_page;
            break;
        case VK_HOME:
            code = TB_TOP;
            next = m_min;
            break;
        case VK_END:
            code = TB_BOTTOM;
            next = m_max;
            break;
        default:
            return 0;
        }
        setPos(next);
        scroll(code);
        return 0;
    }
    case WM_KEYUP:
        switch (msg.wParam) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            scroll(TB_ENDTRACK);
            return 0;
        default:
            return 0;
        }
    case TBM_GETPOS:
        return m_pos;
    case TBM_SETPOS:
        setPos(static_cast<int32_t>(msg.lParam));
        return 0;
    case TBM_SETRANGE:
        setRange(static_cast<int16_t>(loWord(static_cast<uintptr_t>(msg.lParam))),
                 static_cast<int16_t>(hiWord(static_cast<uintptr_t>(msg.lParam))), msg.wParam != 0);
        return 0;
    case TBM_SETRANGEMIN:
        setRange(static_cast<int32_t>(msg.lParam), m_max, msg.wParam != 0);
        return 0;
    case TBM_SETRANGEMAX:
        setRange(m_min, static_cast<int32_t>(msg.lParam), msg.wParam != 0);
        return 0;
    case TBM_GETRANGEMIN:
        return m_min;
    case TBM_GETRANGEMAX:
        return m_max;
    case TBM_SETTICFREQ:
        setTicFreq(static_cast<int32_t>(msg.wParam));
        return 0;
    case TBM_SETPAGESIZE: {
        const int32_t old = m_page;
        m_page = static_cast<int32_t>(msg.lParam);
        return old;
    }
    case TBM_SETLINESIZE: {
        const int32_t old = m_line;
        m_line = static_cast<int32_t>(msg.lParam);
        return old;
    }
    default:
        return Control::handle(msg);
    }
}

void Trackbar::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
    // The channel reaches half a thumb past the first and last positions, sunken round a one-pixel white groove.
    const Point a = pointForPos(m_min);
    const Point b = pointForPos(m_max);
    const int32_t reach = kThumbLength / 2;
    const Rect channel = isVertical() ? Rect{a.x - 2, a.y - reach, a.x + 3, b.y + reach + 1}
                                      : Rect{a.x - reach, a.y - 2, b.x + reach + 1, a.y + 3};
    dc.fillRect(channel, createSolidBrush(getSysColor(COLOR_WINDOW)));
    drawEdge(dc, channel, EdgeKind::kSunken);
    const Brush tickBrush = createSolidBrush(getSysColor(isEnabled() ? COLOR_BTNTEXT : COLOR_BTNSHADOW));
    const int64_t ticks = (int64_t{m_max} - m_min) / m_ticFreq;
    for (int64_t i = 0; i <= ticks && ticks <= 1000; ++i) {
        const Point t = pointForPos(static_cast<int32_t>(m_min + i * m_ticFreq));
        const Rect tick = isVertical() ? Rect{r.r - 4, t.y, r.r - 1, t.y + 1} : Rect{t.x, r.b - 4, t.x + 1, r.b - 1};
        dc.fillRect(tick, tickBrush);
    }
    drawPointedThumb(dc, thumbRect(), isVertical(), m_drag == Drag::kThumb);
    if (ui().focus() == hwnd())
        dc.drawFocusRect(r);
}

} // namespace pf
