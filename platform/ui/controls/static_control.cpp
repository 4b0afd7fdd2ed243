#include "platform/ui/controls/static_control.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"

namespace pf {

namespace {

// The text in lines no wider than width, broken at spaces, where the control holds two lines or more and one line
// is too narrow for it: a long note ran off the edge of a two-line field. A word wider than the width stands alone.
std::vector<std::string> linesOf(Dc& dc, const std::string& text, int32_t width, bool roomForMore)
{
    const auto widthOf = [&dc](const std::string& t) { return static_cast<int32_t>(dc.getTextExtent(t).cx); };
    if (!roomForMore || widthOf(text) <= width)
        return {text};
    std::vector<std::string> lines(1);
    size_t at = 0;
    while (at <= text.size()) {
        const size_t space = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, space - at);
        std::string& line = lines.back();
        const std::string joined = line.empty() ? word : line + " " + word;
        if (line.empty() || widthOf(joined) <= width)
            line = joined;
        else
            lines.push_back(word);
        at = space + 1;
    }
    return lines;
}

} // namespace

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
    const auto lineHeight = static_cast<int32_t>(dc.getTextExtent("A").cy);
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(r);
    int32_t y = 0;
    for (const std::string& line :
         linesOf(dc, text(), static_cast<int32_t>(r.width()), r.height() >= 2 * static_cast<int64_t>(lineHeight))) {
        const Size extent = dc.getTextExtent(line);
        const int32_t x =
            align == 1 ? static_cast<int32_t>((r.width() - extent.cx) / 2) : (align == 2 ? r.r - extent.cx : 0);
        if (isEnabled())
            dc.textOut(x, y, line);
        else
            drawEtchedText(dc, x, y, line);
        y += lineHeight;
    }
    dc.restoreDc(saved);
}

} // namespace pf
