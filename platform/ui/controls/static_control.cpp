#include "platform/ui/controls/static_control.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"

namespace pf {

IconRef StaticControl::setIcon(IconRef icon)
{
    IconRef previous = std::move(m_icon);
    m_icon = std::move(icon);
    invalidate(true);
    return previous;
}

LResult StaticControl::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint fills as the parent answers
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if ((style() & SS_NOTIFY) != 0)
            notifyCommand(msg.message == WM_LBUTTONDOWN ? STN_CLICKED : STN_DBLCLK);
        return 0;
    case STM_SETICON:
        return reinterpret_cast<LResult>(
            setIcon(msg.lParam != 0 ? *reinterpret_cast<const IconRef*>(msg.lParam) : nullptr).get());
    default:
        return Control::handle(msg);
    }
}

void StaticControl::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    const uint32_t type = style() & SS_TYPEMASK;
    if (type == SS_ETCHEDHORZ) {
        drawEtchedLine(dc, {r.l, r.t}, static_cast<int32_t>(r.width()), false);
        return;
    }
    fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
    if (type == SS_ICON) {
        if (m_icon != nullptr)
            drawIcon(dc, {0, 0}, *m_icon);
        return;
    }
    if (type == SS_BLACKRECT) {
        dc.fillRect(r, createSolidBrush(0));
        return;
    }
    const uint32_t align = type == SS_CENTER ? 1 : (type == SS_RIGHT ? 2 : 0);
    const Size extent = dc.getTextExtent(text());
    int32_t x = align == 1 ? static_cast<int32_t>((r.width() - extent.cx) / 2) : (align == 2 ? r.r - extent.cx : 0);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(r);
    if (isEnabled())
        dc.textOut(x, 0, text());
    else
        drawEtchedText(dc, x, 0, text());
    dc.restoreDc(saved);
}

} // namespace pf
