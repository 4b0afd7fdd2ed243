#include "platform/ui/controls/control.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

LResult Control::notifyCommand(int32_t code)
{
    Window* p = parent();
    if (p == nullptr)
        return 0;
    return p->send(WM_COMMAND, makeWParam(id(), code), static_cast<LParam>(hwnd()));
}

LResult Control::notify(NMHDR& header)
{
    header.hwndFrom = hwnd();
    header.idFrom = static_cast<uintptr_t>(id());
    Window* p = parent();
    if (p == nullptr)
        return 0;
    return p->send(WM_NOTIFY, static_cast<WParam>(id()), reinterpret_cast<LParam>(&header));
}

bool Control::isAlive(Hwnd self, const Window* object)
{
    return self != kNoWindow && hasUi() && ui().window(self) == object;
}

ColorRef Control::textColor() const
{
    return getSysColor(isEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
}

void Control::fillBackground(Dc& dc, const Rect& r, uint32_t ctlColorMessage, ColorRef fallback)
{
    dc.setTextColor(textColor());
    dc.setBkColor(fallback);
    Window* p = parent();
    const Brush* brush =
        p == nullptr ? nullptr
                     : brushFromResult(p->send(ctlColorMessage, wParamFromDc(&dc), static_cast<LParam>(hwnd())));
    if (brush == nullptr) {
        dc.fillRect(r, createSolidBrush(fallback));
        return;
    }
    if (!brush->isHollow())
        dc.fillRect(r, *brush);
}

void Control::drawText(Dc& dc, const Rect& r, std::string_view text, uint32_t align)
{
    const Size extent = dc.getTextExtent(text);
    int32_t x = r.l;
    if (align == 1)
        x = r.l + static_cast<int32_t>((r.width() - extent.cx) / 2);
    else if (align == 2)
        x = r.r - extent.cx;
    const int32_t y = r.t + static_cast<int32_t>((r.height() - extent.cy) / 2);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(r);
    dc.textOut(x, y, text);
    dc.restoreDc(saved);
}

std::vector<Window*> groupOf(Window& member)
{
    Window* p = member.parent();
    if (p == nullptr)
        return {&member};
    std::vector<Window*> siblings;
    for (const Hwnd h : p->children())
        if (Window* w = ui().window(h))
            siblings.push_back(w);
    const auto self = std::find(siblings.begin(), siblings.end(), &member);
    if (self == siblings.end())
        return {&member};
    auto first = self;
    while (first != siblings.begin() && ((*first)->style() & WS_GROUP) == 0)
        --first;
    auto last = self + 1;
    while (last != siblings.end() && ((*last)->style() & WS_GROUP) == 0)
        ++last;
    return {first, last};
}

LResult Control::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        invalidate(true);
        return 0;
    default:
        return Window::handle(msg);
    }
}

} // namespace pf
