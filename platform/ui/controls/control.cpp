#include "platform/ui/controls/control.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/tip_window.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <string>

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

namespace {

Point textOrigin(Dc& dc, const Rect& r, std::string_view text, uint32_t align)
{
    const Size extent = dc.getTextExtent(text);
    int32_t x = r.l;
    if (align == 1)
        x = r.l + static_cast<int32_t>((r.width() - extent.cx) / 2);
    else if (align == 2)
        x = r.r - extent.cx;
    return {x, r.t + static_cast<int32_t>((r.height() - extent.cy) / 2)};
}

} // namespace

std::string fitWithEllipsis(const Dc& dc, std::string_view text, int32_t width)
{
    const auto widthOf = [&](std::string_view t) { return static_cast<int32_t>(dc.getTextExtent(t).cx); };
    if (widthOf(text) <= width)
        return std::string(text);
    std::string line(text);
    while (!line.empty() && widthOf(line + "...") > width) {
        size_t last = line.size() - 1;
        while (last > 0 && (static_cast<uint8_t>(line[last]) & 0xC0) == 0x80)
            --last;
        line.resize(last);
    }
    return line + "...";
}

void Control::drawText(Dc& dc, const Rect& r, std::string_view text, uint32_t align)
{
    const std::string shown = fitWithEllipsis(dc, text, static_cast<int32_t>(r.width()));
    const Point at = textOrigin(dc, r, shown, align);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(r);
    dc.textOut(at.x, at.y, shown);
    dc.restoreDc(saved);
}

void Control::drawFaceText(Dc& dc, const Rect& r, std::string_view text, uint32_t align)
{
    if (isEnabled()) {
        drawText(dc, r, text, align);
        return;
    }
    const std::string shown = fitWithEllipsis(dc, text, static_cast<int32_t>(r.width()));
    const Point at = textOrigin(dc, r, shown, align);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect({r.l, r.t, r.r + 1, r.b + 1}); // room for the highlight below and right
    drawEtchedText(dc, at.x, at.y, shown);
    dc.restoreDc(saved);
}

Rect Control::drawClientEdge(Dc& dc)
{
    const Rect r = clientRect();
    const bool bordered = (style() & WS_BORDER) != 0;
    return drawEdge(dc, r, bordered ? EdgeKind::kSunkenInner : EdgeKind::kSunken);
}

void Control::paintNonClient(Dc& dc)
{
    Window::paintNonClient(dc);
    if (!isChild() || (style() & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) != WS_BORDER)
        return;
    drawEdge(dc, {0, 0, static_cast<int32_t>(windowRect().width()), static_cast<int32_t>(windowRect().height())},
             EdgeKind::kSunkenOuter);
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

void Control::offerWholeText(const Rect& cell, std::string_view text, int32_t room)
{
    pf::offerWholeText(*this, cell, text, room);
}

LResult Control::handle(const Msg& msg)
{
    switch (msg.message) {
    case kMsgMouseLeave:
    case WM_DESTROY:
        TipWindow::hide(this);
        return Window::handle(msg);
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        invalidate(true);
        return 0;
    default:
        return Window::handle(msg);
    }
}

std::optional<int32_t> navigationTarget(uint32_t key, int32_t current, int32_t page, int32_t last)
{
    int32_t next = current;
    switch (key) {
    case VK_UP:
        next = current - 1;
        break;
    case VK_DOWN:
        next = current + 1;
        break;
    case VK_PRIOR:
        next = current - page;
        break;
    case VK_NEXT:
        next = current + page;
        break;
    case VK_HOME:
        next = 0;
        break;
    case VK_END:
        next = last;
        break;
    default:
        return std::nullopt;
    }
    if (last < 0)
        return std::nullopt;
    return std::clamp(next, 0, last);
}

} // namespace pf
