#include "platform/ui/controls/status_bar.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"

#include <algorithm>

namespace pf {

bool StatusBar::setParts(const std::vector<int32_t>& rightEdges)
{
    if (rightEdges.empty() || rightEdges.size() > 256)
        return false;
    m_edges = rightEdges;
    m_texts.resize(rightEdges.size());
    invalidate(true);
    return true;
}

bool StatusBar::setText(int32_t pane, std::string_view text)
{
    if (pane < 0 || pane >= partCount())
        return false;
    m_texts[static_cast<size_t>(pane)] = text;
    invalidate(paneRect(pane), true);
    return true;
}

std::string StatusBar::paneText(int32_t pane) const
{
    return pane >= 0 && pane < partCount() ? m_texts[static_cast<size_t>(pane)] : std::string();
}

Rect StatusBar::paneRect(int32_t pane) const
{
    if (pane < 0 || pane >= partCount())
        return {};
    const Rect r = clientRect();
    const int32_t left = pane == 0 ? 0 : m_edges[static_cast<size_t>(pane - 1)];
    const int32_t right = m_edges[static_cast<size_t>(pane)] < 0 ? r.r : m_edges[static_cast<size_t>(pane)];
    return {left, 0, right, r.b};
}

void StatusBar::placeAtBottomOf(const Rect& parentClient)
{
    setPos(HWND_TOP, {parentClient.l, parentClient.b - kHeight, parentClient.r, parentClient.b}, SWP_NOZORDER);
}

LResult StatusBar::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE: {
        const Point p = pointFromLParam(msg.lParam);
        for (int32_t i = 0; i < partCount(); ++i)
            if (const Rect r = textRect(i); r.contains(p)) {
                offerWholeText(r, m_texts[static_cast<size_t>(i)], static_cast<int32_t>(r.width()));
                return 0;
            }
        offerWholeText({}, {}, 0);
        return 0;
    }
    case SB_SETTEXT:
        return setText(static_cast<int32_t>(msg.wParam & 0xFF),
                       msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "")
                   ? 1
                   : 0;
    case WM_SETTEXT:
        Window::defaultHandle(msg);
        setText(0, text());
        return 1;
    default:
        return Control::handle(msg);
    }
}

bool StatusBar::showsSizeGrip() const
{
    const Window* top = parent() != nullptr ? parent()->topLevel() : nullptr;
    return top != nullptr && (top->style() & WS_THICKFRAME) != 0;
}

Rect StatusBar::textRect(int32_t pane) const
{
    Rect r = paneRect(pane).inflatedBy(-1, -2);
    if (pane == partCount() - 1 && showsSizeGrip())
        r.r = std::max(r.l, std::min(r.r, clientRect().r - static_cast<int32_t>(clientRect().height())));
    return r.inflatedBy(-3, 0);
}

void StatusBar::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_BTNFACE)));
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(getSysColor(COLOR_BTNTEXT));
    const int32_t grip = showsSizeGrip() ? static_cast<int32_t>(r.height()) : 0;
    for (int32_t i = 0; i < partCount(); ++i) {
        drawEdge(dc, textRect(i).inflatedBy(3, 0), EdgeKind::kSunkenOuter);
        drawText(dc, textRect(i), m_texts[static_cast<size_t>(i)], 0);
    }
    if (grip > 0)
        drawSizeGrip(dc, {r.r - grip, r.t, r.r, r.b});
}

} // namespace pf
