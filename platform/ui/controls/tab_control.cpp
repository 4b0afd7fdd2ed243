#include "platform/ui/controls/tab_control.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

namespace {

constexpr int32_t kTabHeight = 20;

// A tab header: face inside, highlight up its left side and across its top, dark shadow then shadow down its
// right; the two top corners are cut by a pixel and the bottom stays open onto the page.
void drawTabHeader(Dc& dc, const Rect& t)
{
    const Brush highlight = createSolidBrush(getSysColor(COLOR_BTNHIGHLIGHT));
    const Brush dark = createSolidBrush(getSysColor(COLOR_3DDKSHADOW));
    const Brush shadow = createSolidBrush(getSysColor(COLOR_BTNSHADOW));
    dc.fillRect({t.l + 1, t.t + 1, t.r - 1, t.b}, createSolidBrush(getSysColor(COLOR_BTNFACE)));
    dc.fillRect({t.l, t.t + 2, t.l + 1, t.b}, highlight);
    dc.fillRect({t.l + 1, t.t + 1, t.l + 2, t.t + 2}, highlight);
    dc.fillRect({t.l + 2, t.t, t.r - 2, t.t + 1}, highlight);
    dc.fillRect({t.r - 2, t.t + 1, t.r - 1, t.t + 2}, dark);
    dc.fillRect({t.r - 1, t.t + 2, t.r, t.b}, dark);
    dc.fillRect({t.r - 2, t.t + 2, t.r - 1, t.b}, shadow);
}

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

bool TabControl::selectAsUser(int32_t index)
{
    if (index < 0 || index >= getItemCount() || index == m_curSel)
        return false;
    const Hwnd self = hwnd();
    NMHDR changing{};
    changing.code = TCN_SELCHANGING;
    if (notify(changing) != 0 || !isAlive(self, this))
        return false;
    setCurSel(index);
    NMHDR changed{};
    changed.code = TCN_SELCHANGE;
    notify(changed);
    return true;
}

void TabControl::onKeyDown(uint8_t vk)
{
    const int32_t last = getItemCount() - 1;
    if (vk == VK_LEFT || vk == VK_RIGHT)
        selectAsUser(std::clamp(m_curSel + (vk == VK_LEFT ? -1 : 1), 0, last));
    else if (vk == VK_HOME || vk == VK_END)
        selectAsUser(vk == VK_HOME ? 0 : last);
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
    case WM_LBUTTONDOWN:
        ui().setFocus(self);
        if (isAlive(self, this))
            selectAsUser(hitTest(pointFromLParam(msg.lParam)));
        return 0;
    case WM_KEYDOWN:
        onKeyDown(static_cast<uint8_t>(msg.wParam));
        return 0;
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
    drawEdge(dc, {r.l, kTabHeight, r.r, r.b}, EdgeKind::kButton);
    dc.setBkMode(TRANSPARENT);
    dc.setTextColor(textColor());
    if (getItemCount() == 0 && ui().focus() == hwnd())
        dc.drawFocusRect({r.l + 2, r.t + 2, r.r - 2, kTabHeight - 2}); // tabs yet to come still show the focus
    // The chosen tab last: it stands two pixels wider and taller than its neighbours and overlaps them.
    for (int32_t pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < getItemCount(); ++i) {
            const bool chosen = i == m_curSel;
            if (chosen != (pass == 1))
                continue;
            Rect t = getItemRect(i);
            t = chosen ? Rect{t.l - 2, t.t, t.r + 2, t.b + 2} : Rect{t.l, t.t + 2, t.r, t.b};
            drawTabHeader(dc, t);
            const Rect caption = chosen ? Rect{t.l, t.t, t.r, t.b - 2} : t;
            drawFaceText(dc, caption, m_items[static_cast<size_t>(i)], 1);
            if (chosen && ui().focus() == hwnd())
                dc.drawFocusRect(caption.inflatedBy(-3, -3));
        }
    }
}

} // namespace pf
