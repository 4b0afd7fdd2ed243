#include "platform/ui/controls/list_box.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>

namespace pf {

bool ListBox::isMultiple() const
{
    return (style() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

void ListBox::resetContent()
{
    m_items.clear();
    m_single = m_anchor = -1;
    m_top = 0;
    invalidate(true);
}

int32_t ListBox::addString(std::string_view text)
{
    m_items.setSorted((style() & LBS_SORT) != 0);
    const int32_t at = m_items.add(text);
    if (m_single >= at)
        ++m_single;
    invalidate(true);
    return at;
}

int32_t ListBox::insertString(int32_t index, std::string_view text)
{
    const int32_t at = m_items.insert(index, text);
    if (at < 0)
        return LB_ERR;
    if (m_single >= at)
        ++m_single;
    invalidate(true);
    return at;
}

int32_t ListBox::deleteString(int32_t index)
{
    if (!m_items.remove(index))
        return LB_ERR;
    if (m_single == index)
        m_single = -1;
    else if (m_single > index)
        --m_single;
    invalidate(true);
    return m_items.count();
}

int32_t ListBox::getCurSel() const
{
    return isMultiple() ? m_anchor : m_single;
}

int32_t ListBox::setCurSel(int32_t index)
{
    if (isMultiple())
        return LB_ERR;
    m_single = m_items.isValid(index) ? index : -1;
    invalidate(true);
    return m_single >= 0 ? m_single : LB_ERR;
}

bool ListBox::setSel(int32_t index, bool select)
{
    if (!isMultiple())
        return false;
    if (index == -1) {
        for (int32_t i = 0; i < m_items.count(); ++i)
            m_items.at(i).selected = select;
    } else if (m_items.isValid(index)) {
        m_items.at(index).selected = select;
        m_anchor = index;
    } else {
        return false;
    }
    invalidate(true);
    return true;
}

bool ListBox::getSel(int32_t index) const
{
    if (!m_items.isValid(index))
        return false;
    return isMultiple() ? m_items.at(index).selected : index == m_single;
}

int32_t ListBox::getSelCount() const
{
    if (!isMultiple())
        return LB_ERR;
    int32_t n = 0;
    for (int32_t i = 0; i < m_items.count(); ++i)
        n += m_items.at(i).selected ? 1 : 0;
    return n;
}

std::vector<int32_t> ListBox::getSelItems() const
{
    std::vector<int32_t> out;
    for (int32_t i = 0; i < m_items.count(); ++i)
        if (getSel(i))
            out.push_back(i);
    return out;
}

std::string ListBox::getText(int32_t index) const
{
    return m_items.isValid(index) ? m_items.at(index).text : std::string();
}

intptr_t ListBox::getItemData(int32_t index) const
{
    return m_items.isValid(index) ? m_items.at(index).data : LB_ERR;
}

bool ListBox::setItemData(int32_t index, intptr_t data)
{
    if (!m_items.isValid(index))
        return false;
    m_items.at(index).data = data;
    return true;
}

Rect ListBox::getItemRect(int32_t index) const
{
    const int32_t row = index - m_top;
    return {0, row * itemHeight(), clientRect().r, (row + 1) * itemHeight()};
}

bool ListBox::setTopIndex(int32_t index)
{
    const int32_t next = std::clamp(index, 0, std::max(0, getCount() - shownRows()));
    if (next == m_top)
        return false;
    m_top = next;
    invalidate(true);
    return true;
}

int32_t ListBox::shownRows() const
{
    return std::max<int32_t>(1, static_cast<int32_t>(clientRect().height()) / itemHeight());
}

int32_t ListBox::itemFromPoint(Point client) const
{
    if (client.y < 0)
        return -1;
    const int32_t index = m_top + client.y / itemHeight();
    return m_items.isValid(index) ? index : -1;
}

void ListBox::clickItem(int32_t index)
{
    const std::vector<int32_t> before = getSelItems();
    if (!isMultiple()) {
        m_single = index;
    } else if ((style() & LBS_MULTIPLESEL) != 0 || ui().getKeyState(VK_CONTROL) < 0) {
        m_items.at(index).selected = !m_items.at(index).selected;
        m_anchor = index;
    } else if (ui().getKeyState(VK_SHIFT) < 0 && m_anchor >= 0) {
        for (int32_t i = 0; i < m_items.count(); ++i)
            m_items.at(i).selected = i >= std::min(m_anchor, index) && i <= std::max(m_anchor, index);
    } else {
        for (int32_t i = 0; i < m_items.count(); ++i)
            m_items.at(i).selected = i == index;
        m_anchor = index;
    }
    invalidate(true);
    notifyIfChanged(before);
}

void ListBox::keyItem(uint32_t key)
{
    const std::optional<int32_t> target =
        navigationTarget(key, getCurSel(), std::max(1, shownRows() - 1), getCount() - 1);
    if (!target)
        return;
    const int32_t next = *target;
    const std::vector<int32_t> before = getSelItems();
    if (!isMultiple()) {
        m_single = next;
    } else {
        m_anchor = next;
        if ((style() & LBS_EXTENDEDSEL) != 0)
            for (int32_t i = 0; i < m_items.count(); ++i)
                m_items.at(i).selected = i == next;
    }
    if (next < m_top)
        setTopIndex(next);
    else if (next >= m_top + shownRows())
        setTopIndex(next - shownRows() + 1);
    syncScrollBar();
    invalidate(true);
    notifyIfChanged(before);
}

void ListBox::syncScrollBar()
{
    // Items deleted since the last paint may leave the top past the last full page.
    m_top = std::clamp(m_top, 0, std::max(0, getCount() - shownRows()));
    if ((style() & WS_VSCROLL) != 0)
        m_top = setScrollInfo(SB_VERT, {0, std::max(0, getCount() - 1), static_cast<uint32_t>(shownRows()), m_top});
}

void ListBox::notifyIfChanged(const std::vector<int32_t>& before)
{
    if (getSelItems() != before && (style() & LBS_NOTIFY) != 0)
        notifyCommand(LBN_SELCHANGE);
}

LResult ListBox::handle(const Msg& msg)
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
        const int32_t index = itemFromPoint(pointFromLParam(msg.lParam));
        if (isAlive(self, this) && index >= 0)
            clickItem(index);
        return 0;
    }
    case WM_KEYDOWN:
        keyItem(static_cast<uint32_t>(msg.wParam));
        return 0;
    case WM_VSCROLL:
        setTopIndex(scrollRequest(msg.wParam, m_top, shownRows()));
        syncScrollBar();
        return 0;
    case WM_LBUTTONDBLCLK:
        if ((style() & LBS_NOTIFY) != 0)
            notifyCommand(LBN_DBLCLK);
        return 0;
    case LB_ADDSTRING:
        return addString(msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    case LB_INSERTSTRING:
        return insertString(static_cast<int32_t>(msg.wParam),
                            msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    case LB_DELETESTRING:
        return deleteString(static_cast<int32_t>(msg.wParam));
    case LB_RESETCONTENT:
        resetContent();
        return 0;
    case LB_GETCOUNT:
        return getCount();
    case LB_GETCURSEL:
        return getCurSel();
    case LB_SETCURSEL:
        return setCurSel(static_cast<int32_t>(msg.wParam));
    case LB_SETSEL:
        return setSel(static_cast<int32_t>(msg.lParam), msg.wParam != 0) ? 0 : LB_ERR;
    case LB_GETSEL:
        return getSel(static_cast<int32_t>(msg.wParam)) ? 1 : 0;
    case LB_GETSELCOUNT:
        return getSelCount();
    case LB_GETSELITEMS: {
        const std::vector<int32_t> items = getSelItems();
        const size_t n = std::min<size_t>(items.size(), msg.wParam);
        if (msg.lParam != 0)
            std::copy_n(items.begin(), n, reinterpret_cast<int32_t*>(msg.lParam));
        return static_cast<LResult>(n);
    }
    case LB_GETITEMDATA:
        return getItemData(static_cast<int32_t>(msg.wParam));
    case LB_SETITEMDATA:
        return setItemData(static_cast<int32_t>(msg.wParam), msg.lParam) ? 0 : LB_ERR;
    case LB_FINDSTRINGEXACT:
        return findStringExact(static_cast<int32_t>(msg.wParam),
                               msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
    default:
        return Control::handle(msg);
    }
}

void ListBox::paint()
{
    syncScrollBar();
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_WINDOW)));
    dc.setBkMode(TRANSPARENT);
    const bool focused = ui().focus() == hwnd();
    for (int32_t i = m_top; i < m_items.count(); ++i) {
        const Rect row = getItemRect(i);
        if (row.t >= r.b)
            break;
        const bool selected = getSel(i);
        if (selected)
            dc.fillRect(row, createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
        dc.setTextColor(
            getSysColor(!isEnabled() ? COLOR_GRAYTEXT : (selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
        dc.textOut(row.l + 2, row.t + 2, m_items.at(i).text);
    }
    // The focus shows on the current row, and on the top row (empty or not) before anything is chosen.
    const Rect focusRow = getItemRect(getCurSel() >= 0 ? getCurSel() : m_top).intersected(r);
    if (focused && !focusRow.isEmpty())
        dc.drawFocusRect(focusRow);
    drawClientEdge(dc);
}

} // namespace pf
