#include "designer/workspace/static_line.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"

pf::LResult CVTND_StaticLine::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_StaticLine::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect r = clientRect();
    fillBackground(dc, r, pf::WM_CTLCOLORSTATIC, pf::getSysColor(pf::COLOR_BTNFACE));
    const pf::Brush shadow = pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNSHADOW));
    const pf::Brush highlight = pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNHIGHLIGHT));
    if (r.width() >= r.height()) {
        const int32_t y = r.t + static_cast<int32_t>((r.height() - 2) / 2);
        dc.fillRect({r.l, y, r.r, y + 1}, shadow);
        dc.fillRect({r.l, y + 1, r.r, y + 2}, highlight);
    } else {
        const int32_t x = r.l + static_cast<int32_t>((r.width() - 2) / 2);
        dc.fillRect({x, r.t, x + 1, r.b}, shadow);
        dc.fillRect({x + 1, r.t, x + 2, r.b}, highlight);
    }
}
