#include "platform/ui/controls/tab_control.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

namespace {

constexpr int32_t kTabHeight = 20;

} // namespace

int32_t TabControl::insertItem(int32_t index, std::string_view text)
{
    if (index < 0 || index > getItemCount())
        index = getItemCount();
    m_items.insert(m_items.begin() + index, std::string(text));
    if (m_curSel < 0)
        m_curSel = 0;
    else if (m_curSel >= index && getItemCount() > 1)
        ++m_curSel;
    invalidate(true);
    return index;
}

bool TabControl::deleteAllItems()
{
    m_items.clear();
    m_curSel = -1;
    invalidate(true);
    return true;
}

int32_t TabControl::setCurSel(int32_t index)
{
    if (index < 0 || index >= getItemCount())
        return -1;
    const int32_t previous = m_curSel;
    m_curSel = index;
    invalidate(true);
    return previous;
}

int32_t TabControl::tabWidth(int32_t index) const
{
    // Our flat look: text at the fixed six pixels a character, plus margins; a text-free tab keeps a minimum.
    return std::max(40, static_cast<int32_t>(m_items[static_cast<size_t>(index)].size()) * 6 + 16);
}

Rect TabControl::getItemRect(int32_t index) const
{
    if (index < 0 || index >= getItemCount())
        return {};
    int32_t x = 2;
    for (int32_t i = 0; i < index; ++i)
        x += tabWidth(i);
    return {x, 0, x + tabWidth(index), kTabHeight};
}

Rect TabControl::adjustRect(bool larger, const Rect& rect) const
{
    if (larger)
        return {rect.l - 2, rect.t - kTabHeight - 2, rect.r + 2, rect.b + 2};
    return {rect.l + 2, rect.t + kTabHeight + 2, rect.r - 2, rect.b - 2};
}

int32_t TabControl::hitTest(Point client) const
{
    for (int32_t i = 0; i < getItemCount(); ++i)
        if (getItemRect(i).contains(client))
            return i;
    return -1;
}

LResult TabControl::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const int32_t index = hitTest(pointFromLParam(msg.lParam));
        if (index < 0 || index == m_curSel)
            return 0;
        NMHDR changing{};
        changing.code = TCN_SELCHANGING;
        if (notify(changing) != 0 || !isAlive(self, this))
            return 0;
        setCurSel(index);
        NMHDR changed{};
        changed.code = TCN_SELCHANGE;
        notify(changed);
        return 0;
    }
    case TCM_GETITEMCOUNT:
        return getItemCount();
    case TCM_GETCURSEL:
        return getCurSel();
    case TCM_SETCURSEL:
        return setCurSel(static_cast<int32_t>(msg.wParam));
    case TCM_DELETEALLITEMS:
        return deleteAllItems() ? 1 : 0;
    default:
        return Control::handle(msg);
    }
}

void TabControl::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    fillBackground(dc, r, WM_CTLCOLORSTATIC, getSysColor(COLOR_BTNFACE));
    dc.draw3dRect({r.l, kTabHeight, r.r, r.b}, getSysColor(COLOR_BTNHIGHLIGHT), getSysColor(COLOR_3DDKSHADOW));
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(textColor());
    for (int32_t i = 0; i < getItemCount(); ++i) {
        Rect t = getItemRect(i);
        if (i == m_curSel)
            t = {t.l - 2, t.t, t.r + 2, t.b + 1};
        else
            t.t += 2;
        dc.fillRect(t, createSolidBrush(getSysColor(COLOR_BTNFACE)));
        dc.draw3dRect(t, getSysColor(COLOR_BTNHIGHLIGHT), getSysColor(COLOR_3DDKSHADOW));
        drawText(dc, t, m_items[static_cast<size_t>(i)], 1);
        if (i == m_curSel && ui().focus() == hwnd())
            dc.drawFocusRect(t.inflatedBy(-3, -3));
    }
}

} // namespace pf
