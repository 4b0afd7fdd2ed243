#include "platform/ui/controls/list_view.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace pf {

namespace {

constexpr int32_t kIconCellWidth = 76;
constexpr int32_t kIconCellHeight = 64;
constexpr int32_t kSmallCellWidth = 120;

int32_t widthOf(Dc& dc, std::string_view text)
{
    return static_cast<int32_t>(dc.getTextExtent(text).cx);
}

} // namespace

std::vector<std::string> iconLabelLines(Dc& dc, std::string_view text, int32_t width)
{
    std::vector<std::string> lines(1);
    size_t at = 0;
    while (at <= text.size()) {
        const size_t space = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, space - at);
        std::string& line = lines.back();
        const std::string joined = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (line.empty() || widthOf(dc, joined) <= width)
            line = joined;
        else
            lines.emplace_back(word);
        at = space + 1;
    }
    if (lines.size() > 2) {
        for (size_t i = 2; i < lines.size(); ++i)
            lines[1] += " " + lines[i];
        lines.resize(2);
    }
    for (std::string& line : lines)
        if (widthOf(dc, line) > width)
            line = fitWithEllipsis(dc, line, width);
    return lines;
}

char* lpstrTextCallback()
{
    static char marker = 0;
    return &marker;
}

int32_t ListView::insertColumn(int32_t index, std::string_view heading, int32_t width, int32_t format)
{
    index = std::clamp(index, 0, columnCount());
    m_columns.insert(m_columns.begin() + index, Column{std::string(heading), width, format});
    invalidate(true);
    return index;
}

int32_t ListView::columnWidth(int32_t column) const
{
    return column >= 0 && column < columnCount() ? m_columns[static_cast<size_t>(column)].width : 0;
}

void ListView::fitColumnsToContent()
{
    if (m_columns.empty())
        return;
    MemoryDc measure;
    const auto widthOf = [&](std::string_view text) { return static_cast<int32_t>(measure.getTextExtent(text).cx); };
    // As fitColumn: the icon, the gaps either side of it and the label's own margins. Two pixels short, every name
    // of a fitted first column ended in "..." with room to spare in the columns beside it.
    const int32_t iconRoom = (m_small != nullptr ? 16 : 0) + 8;
    std::vector<int32_t> wanted;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        int32_t widest = widthOf(m_columns[c].heading) + 10;
        for (int32_t i = 0; i < getItemCount(); ++i)
            widest = std::max(widest, widthOf(getItemText(i, static_cast<int32_t>(c))) + (c == 0 ? iconRoom : 6));
        wanted.push_back(widest);
    }
    // Narrow columns get all they want; the wide ones share what is left alike.
    int32_t left = static_cast<int32_t>(clientRect().width()) - 4;
    std::vector<size_t> order(m_columns.size());
    for (size_t c = 0; c < order.size(); ++c)
        order[c] = c;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return wanted[a] < wanted[b]; });
    for (size_t k = 0; k < order.size(); ++k) {
        const int32_t share = std::max(left / static_cast<int32_t>(order.size() - k), 24);
        m_columns[order[k]].width = std::min(wanted[order[k]], share);
        left -= m_columns[order[k]].width;
    }
    if (left > 0)
        m_columns.back().width += left; // the last column reaches the edge
    invalidate(true);
}

int32_t ListView::insertItem(const LVITEM& item)
{
    const int32_t index = std::clamp(item.iItem, 0, getItemCount());
    Item it;
    if ((item.mask & LVIF_TEXT) != 0) {
        it.callback = item.pszText == lpstrTextCallback();
        it.texts.push_back(it.callback || item.pszText == nullptr ? std::string() : std::string(item.pszText));
    } else {
        it.texts.emplace_back();
    }
    if ((item.mask & LVIF_IMAGE) != 0)
        it.image = item.iImage;
    if ((item.mask & LVIF_PARAM) != 0)
        it.data = item.lParam;
    if ((item.mask & LVIF_STATE) != 0)
        it.state = item.state & item.stateMask;
    m_items.insert(m_items.begin() + index, std::move(it));
    syncScrollBar();
    invalidate(true);
    return index;
}

int32_t ListView::insertItem(int32_t index, std::string_view text, int32_t image)
{
    const std::string copy(text);
    LVITEM item;
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<char*>(copy.c_str());
    item.iImage = image;
    return insertItem(item);
}

int32_t ListView::insertCallbackItem(int32_t index, int32_t image, LParam data)
{
    LVITEM item;
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = lpstrTextCallback();
    item.iImage = image;
    item.lParam = data;
    return insertItem(item);
}

bool ListView::setItemText(int32_t item, int32_t subItem, std::string_view text)
{
    if (item < 0 || item >= getItemCount() || subItem < 0 || subItem > 255)
        return false;
    Item& it = m_items[static_cast<size_t>(item)];
    if (it.texts.size() <= static_cast<size_t>(subItem))
        it.texts.resize(static_cast<size_t>(subItem) + 1);
    it.texts[static_cast<size_t>(subItem)] = text;
    if (subItem == 0)
        it.callback = false;
    invalidate(true);
    return true;
}

std::string ListView::getItemText(int32_t item, int32_t subItem)
{
    if (item < 0 || item >= getItemCount())
        return {};
    const Item& it = m_items[static_cast<size_t>(item)];
    // A callback item asks for its label and for every sub-item whose text was never set.
    if (!it.callback || (subItem != 0 && static_cast<size_t>(subItem) < it.texts.size()))
        return static_cast<size_t>(subItem) < it.texts.size() ? it.texts[static_cast<size_t>(subItem)] : std::string();
    if (subItem < 0)
        return {};
    char buffer[kTextMax] = {};
    NMLVDISPINFO info;
    info.hdr.code = LVN_GETDISPINFO;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = item;
    info.item.iSubItem = subItem;
    info.item.pszText = buffer;
    info.item.cchTextMax = kTextMax;
    info.item.lParam = it.data;
    notify(info.hdr);
    // The handler fills the buffer or points pszText at its own text, as the callers do either way.
    if (info.item.pszText == nullptr)
        return {};
    return std::string(info.item.pszText,
                       strnlen(info.item.pszText, info.item.pszText == buffer ? kTextMax - 1 : 4096));
}

bool ListView::setItem(const LVITEM& item)
{
    if (item.iItem < 0 || item.iItem >= getItemCount())
        return false;
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.pszText != lpstrTextCallback())
        setItemText(item.iItem, item.iSubItem, item.pszText);
    Item& it = m_items[static_cast<size_t>(item.iItem)];
    if ((item.mask & LVIF_IMAGE) != 0)
        it.image = item.iImage;
    if ((item.mask & LVIF_PARAM) != 0)
        it.data = item.lParam;
    if ((item.mask & LVIF_STATE) != 0)
        return setItemState(item.iItem, item.state, item.stateMask);
    invalidate(true);
    return true;
}

bool ListView::deleteItem(int32_t item)
{
    if (item < 0 || item >= getItemCount())
        return false;
    m_items.erase(m_items.begin() + item);
    if (m_pressItem == item)
        m_pressItem = -1;
    syncScrollBar();
    invalidate(true);
    return true;
}

bool ListView::deleteAllItems()
{
    const Hwnd self = hwnd();
    NMLISTVIEW nm;
    nm.hdr.code = LVN_DELETEALLITEMS;
    nm.iItem = -1;
    notify(nm.hdr);
    if (!isAlive(self, this))
        return false;
    m_items.clear();
    m_top = 0;
    m_pressItem = -1;
    syncScrollBar();
    invalidate(true);
    return true;
}

LParam ListView::getItemData(int32_t item) const
{
    return item >= 0 && item < getItemCount() ? m_items[static_cast<size_t>(item)].data : 0;
}

bool ListView::setItemData(int32_t item, LParam data)
{
    if (item < 0 || item >= getItemCount())
        return false;
    m_items[static_cast<size_t>(item)].data = data;
    return true;
}

int32_t ListView::getItemImage(int32_t item) const
{
    return item >= 0 && item < getItemCount() ? m_items[static_cast<size_t>(item)].image : -1;
}

bool ListView::changeState(int32_t item, uint32_t state, uint32_t mask)
{
    const Hwnd self = hwnd();
    Item& it = m_items[static_cast<size_t>(item)];
    const uint32_t old = it.state;
    const uint32_t next = (old & ~mask) | (state & mask);
    if (next == old)
        return true;
    NMLISTVIEW nm;
    nm.hdr.code = LVN_ITEMCHANGING;
    nm.iItem = item;
    nm.uOldState = old;
    nm.uNewState = next;
    nm.uChanged = LVIF_STATE;
    nm.lParam = it.data;
    if (notify(nm.hdr) != 0 || !isAlive(self, this) || item >= getItemCount())
        return false;
    m_items[static_cast<size_t>(item)].state = next;
    invalidate(getItemRect(item, LVIR_BOUNDS), true);
    NMLISTVIEW done = nm;
    done.hdr = NMHDR{};
    done.hdr.code = LVN_ITEMCHANGED;
    notify(done.hdr);
    return isAlive(self, this);
}

bool ListView::setItemState(int32_t item, uint32_t state, uint32_t mask)
{
    const Hwnd self = hwnd();
    if (item == -1) {
        for (int32_t i = 0; i < getItemCount() && isAlive(self, this); ++i)
            changeState(i, state, mask);
        return isAlive(self, this);
    }
    if (item < 0 || item >= getItemCount())
        return false;
    // One selection (and one focus) at a time: the item losing it reports first.
    const bool single = (style() & LVS_SINGLESEL) != 0;
    for (const uint32_t bit : {LVIS_SELECTED, LVIS_FOCUSED}) {
        if ((mask & bit) == 0 || (state & bit) == 0 || (bit == LVIS_SELECTED && !single))
            continue;
        for (int32_t i = 0; i < getItemCount() && isAlive(self, this); ++i)
            if (i != item && (m_items[static_cast<size_t>(i)].state & bit) != 0)
                changeState(i, 0, bit);
    }
    return isAlive(self, this) && item < getItemCount() && changeState(item, state, mask);
}

uint32_t ListView::getItemState(int32_t item, uint32_t mask) const
{
    return item >= 0 && item < getItemCount() ? m_items[static_cast<size_t>(item)].state & mask : 0;
}

int32_t ListView::getNextSelected(int32_t after) const
{
    for (int32_t i = std::max(0, after + 1); i < getItemCount(); ++i)
        if ((m_items[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0)
            return i;
    return -1;
}

int32_t ListView::getSelectedCount() const
{
    return static_cast<int32_t>(
        std::count_if(m_items.begin(), m_items.end(), [](const Item& i) { return (i.state & LVIS_SELECTED) != 0; }));
}

int32_t ListView::rowHeight() const
{
    return viewType() == LVS_ICON ? kIconCellHeight : 17;
}

int32_t ListView::headerHeight() const
{
    return viewType() == LVS_REPORT ? 20 : 0;
}

int32_t ListView::rowCount() const
{
    return (getItemCount() + perRow() - 1) / perRow();
}

int32_t ListView::shownRows() const
{
    return std::max<int32_t>(1, static_cast<int32_t>((clientRect().height() - headerHeight()) / rowHeight()));
}

bool ListView::scrollToRow(int32_t row)
{
    const int32_t next = std::clamp(row, 0, std::max(0, rowCount() - shownRows()));
    if (next == m_top)
        return false;
    m_top = next;
    invalidate(true);
    return true;
}

void ListView::syncScrollBar()
{
    // The bar clamps its position as the view's first row is clamped: to the rows less a page.
    if ((style() & WS_VSCROLL) != 0)
        m_top = setScrollInfo(SB_VERT, {0, std::max(0, rowCount() - 1), static_cast<uint32_t>(shownRows()), m_top});
}

int32_t ListView::perRow() const
{
    const int32_t width = static_cast<int32_t>(clientRect().width());
    if (viewType() == LVS_ICON)
        return std::max(1, width / kIconCellWidth);
    if (viewType() == LVS_SMALLICON)
        return std::max(1, width / kSmallCellWidth);
    return 1;
}

Rect ListView::cellOf(int32_t item) const
{
    const int32_t row = item / perRow() - m_top;
    const int32_t column = item % perRow();
    const int32_t y = headerHeight() + row * rowHeight();
    if (viewType() == LVS_ICON)
        return Rect::fromXywh(column * kIconCellWidth, y, kIconCellWidth, kIconCellHeight);
    if (viewType() == LVS_SMALLICON)
        return Rect::fromXywh(column * kSmallCellWidth, y, kSmallCellWidth, rowHeight());
    int32_t width = 0;
    for (const Column& c : m_columns)
        width += c.width;
    return Rect::fromXywh(0, y, std::max(width, static_cast<int32_t>(clientRect().width())), rowHeight());
}

Rect ListView::getItemRect(int32_t item, int32_t code) const
{
    if (item < 0 || item >= getItemCount())
        return {};
    const Rect cell = cellOf(item);
    if (viewType() == LVS_ICON) {
        const Rect icon = Rect::fromXywh(cell.l + (kIconCellWidth - 32) / 2, cell.t + 2, 32, 32);
        const Rect label{cell.l + 2, icon.b + 2, cell.r - 2, cell.b - 2};
        return code == LVIR_ICON ? icon : (code == LVIR_LABEL ? label : cell);
    }
    const bool hasIcon = m_small != nullptr;
    const Rect icon = Rect::fromXywh(cell.l + 2, cell.t, hasIcon ? 16 : 0, 16);
    const int32_t firstColumn =
        viewType() == LVS_REPORT && !m_columns.empty() ? m_columns[0].width : static_cast<int32_t>(cell.width());
    const Rect label{icon.r + 2, cell.t, cell.l + firstColumn, cell.b};
    return code == LVIR_ICON ? icon : (code == LVIR_LABEL ? label : cell);
}

int32_t ListView::hitTest(Point client, uint32_t* outFlags) const
{
    if (outFlags != nullptr)
        *outFlags = LVHT_NOWHERE;
    for (int32_t i = 0; i < getItemCount(); ++i) {
        if (!getItemRect(i, LVIR_BOUNDS).contains(client))
            continue;
        if (outFlags != nullptr)
            *outFlags = getItemRect(i, LVIR_ICON).contains(client)    ? LVHT_ONITEMICON
                        : getItemRect(i, LVIR_LABEL).contains(client) ? LVHT_ONITEMLABEL
                                                                      : LVHT_ONITEMLABEL;
        return i;
    }
    return -1;
}

bool ListView::ensureVisible(int32_t item)
{
    if (item < 0 || item >= getItemCount())
        return false;
    const int32_t row = item / perRow();
    const int32_t visibleRows =
        std::max<int32_t>(1, static_cast<int32_t>((clientRect().height() - headerHeight()) / rowHeight()));
    if (row < m_top)
        m_top = row;
    else if (row >= m_top + visibleRows)
        m_top = row - visibleRows + 1;
    invalidate(true);
    return true;
}

bool ListView::redrawItems(int32_t first, int32_t last)
{
    for (int32_t i = std::max(0, first); i <= last && i < getItemCount(); ++i)
        invalidate(getItemRect(i, LVIR_BOUNDS), true);
    return true;
}

ImageListRef ListView::setImageList(ImageListRef list, int32_t which)
{
    ImageListRef& slot = which == LVSIL_SMALL ? m_small : m_normal;
    ImageListRef previous = std::move(slot);
    slot = std::move(list);
    invalidate(true);
    return previous;
}

ImageListRef ListView::getImageList(int32_t which) const
{
    return which == LVSIL_SMALL ? m_small : m_normal;
}

void ListView::setBkColor(ColorRef c)
{
    m_bk = c;
    invalidate(true);
}

void ListView::setTextColor(ColorRef c)
{
    m_text = c;
    invalidate(true);
}

void ListView::setTextBkColor(ColorRef c)
{
    m_textBk = c;
    invalidate(true);
}

bool ListView::selectOnly(int32_t item)
{
    const Hwnd self = hwnd();
    if ((style() & LVS_SINGLESEL) == 0)
        for (int32_t i = 0; i < getItemCount() && isAlive(self, this); ++i)
            if (i != item && (m_items[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0)
                changeState(i, 0, LVIS_SELECTED);
    return isAlive(self, this) && setItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

LResult ListView::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        ui().setFocus(self);
        if (!isAlive(self, this))
            return 0;
        const Point p = pointFromLParam(msg.lParam);
        if (const int32_t divider = msg.message != WM_RBUTTONDOWN ? dividerAt(p) : -1; divider >= 0) {
            if (msg.message == WM_LBUTTONDBLCLK) {
                fitColumn(divider);
            } else {
                m_sizing = divider;
                m_sizingFrom = p.x;
                m_sizingWidth = columnWidth(divider);
                ui().setCapture(self);
            }
            return 0;
        }
        const int32_t item = hitTest(p);
        if (item >= 0 && !selectOnly(item))
            return 0;
        NMLISTVIEW nm;
        nm.hdr.code =
            msg.message == WM_LBUTTONDOWN ? NM_CLICK : (msg.message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_RCLICK);
        nm.iItem = item;
        nm.ptAction = p;
        if (msg.message == WM_LBUTTONDOWN) {
            m_pressItem = item;
            m_pressPoint = p;
            m_dragSent = false;
            if (item >= 0)
                ui().setCapture(self);
        }
        notify(nm.hdr);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (m_sizing >= 0 && m_sizing < columnCount()) {
            m_columns[static_cast<size_t>(m_sizing)].width =
                std::max(0, m_sizingWidth + pointFromLParam(msg.lParam).x - m_sizingFrom);
            invalidate(true);
            return 0;
        }
        if (m_pressItem < 0 || m_dragSent || (msg.wParam & MK_LBUTTON) == 0) {
            offerCellText(pointFromLParam(msg.lParam));
            return 0;
        }
        const Point p = pointFromLParam(msg.lParam);
        if (std::abs(p.x - m_pressPoint.x) <= fixedSystemMetric(SM_CXDRAG) &&
            std::abs(p.y - m_pressPoint.y) <= fixedSystemMetric(SM_CYDRAG))
            return 0;
        m_dragSent = true;
        if (ui().capture() == self)
            ui().releaseCapture(); // the receiver of the drag takes the capture
        NMLISTVIEW nm;
        nm.hdr.code = LVN_BEGINDRAG;
        nm.iItem = m_pressItem;
        nm.ptAction = m_pressPoint;
        m_pressItem = -1;
        notify(nm.hdr);
        return 0;
    }
    case WM_LBUTTONUP:
        m_pressItem = -1;
        m_sizing = -1;
        if (ui().capture() == self)
            ui().releaseCapture();
        return 0;
    case WM_VSCROLL:
        scrollToRow(scrollRequest(msg.wParam, m_top, shownRows()));
        syncScrollBar();
        return 0;
    case WM_SIZE: // the frame, bar included, paints before the client: the bar must be in step already
        syncScrollBar();
        return Control::handle(msg);
    case WM_KEYDOWN: {
        if ((msg.wParam == VK_RETURN || msg.wParam == VK_SPACE) && getNextSelected() < 0 && getItemCount() > 0) {
            // With nothing selected, the keys take the item that shows the focus (the first before any holds it), as
            // a click on it would.
            const auto held = std::find_if(m_items.begin(), m_items.end(),
                                           [](const Item& it) { return (it.state & LVIS_FOCUSED) != 0; });
            const auto item = static_cast<int32_t>(held != m_items.end() ? held - m_items.begin() : 0);
            if (!selectOnly(item))
                return 0;
            ensureVisible(item);
        }
        if (msg.wParam == VK_SPACE)
            return 0;
        if (msg.wParam == VK_RETURN) {
            NMLISTVIEW enter{};
            enter.hdr.code = NM_RETURN;
            enter.iItem = getNextSelected();
            notify(enter.hdr);
            return 0;
        }
        const int32_t current = getNextSelected();
        const std::optional<int32_t> next = navigationTarget(
            static_cast<uint32_t>(msg.wParam), current, std::max(1, shownRows() - 1) * perRow(), getItemCount() - 1);
        if (next && *next != current && selectOnly(*next))
            ensureVisible(*next);
        return 0;
    }
    case LVM_GETITEMCOUNT:
        return getItemCount();
    case LVM_DELETEITEM:
        return deleteItem(static_cast<int32_t>(msg.wParam)) ? 1 : 0;
    case LVM_DELETEALLITEMS:
        return deleteAllItems() ? 1 : 0;
    case LVM_INSERTITEM:
        return msg.lParam != 0 ? insertItem(*reinterpret_cast<const LVITEM*>(msg.lParam)) : -1;
    case LVM_SETITEM:
        return msg.lParam != 0 && setItem(*reinterpret_cast<const LVITEM*>(msg.lParam)) ? 1 : 0;
    case LVM_SETITEMSTATE: {
        const auto* item = reinterpret_cast<const LVITEM*>(msg.lParam);
        return item != nullptr && setItemState(static_cast<int32_t>(static_cast<intptr_t>(msg.wParam)), item->state,
                                               item->stateMask)
                   ? 1
                   : 0;
    }
    case LVM_GETITEMSTATE:
        return getItemState(static_cast<int32_t>(msg.wParam), static_cast<uint32_t>(msg.lParam));
    case LVM_GETNEXTITEM:
        return getNextSelected(static_cast<int32_t>(static_cast<intptr_t>(msg.wParam)));
    case LVM_GETSELECTEDCOUNT:
        return getSelectedCount();
    case LVM_ENSUREVISIBLE:
        return ensureVisible(static_cast<int32_t>(msg.wParam)) ? 1 : 0;
    case LVM_REDRAWITEMS:
        return redrawItems(static_cast<int32_t>(msg.wParam), static_cast<int32_t>(msg.lParam)) ? 1 : 0;
    case LVM_GETITEMRECT: {
        auto* r = reinterpret_cast<Rect*>(msg.lParam);
        if (r == nullptr || msg.wParam >= static_cast<WParam>(getItemCount()))
            return 0;
        *r = getItemRect(static_cast<int32_t>(msg.wParam), r->l);
        return 1;
    }
    case LVM_SETBKCOLOR:
        setBkColor(static_cast<ColorRef>(msg.lParam));
        return 1;
    case LVM_SETTEXTCOLOR:
        setTextColor(static_cast<ColorRef>(msg.lParam));
        return 1;
    case LVM_SETTEXTBKCOLOR:
        setTextBkColor(static_cast<ColorRef>(msg.lParam));
        return 1;
    default:
        return Control::handle(msg);
    }
}

int32_t ListView::dividerAt(Point client) const
{
    constexpr int32_t kReach = 3; // pixels either side of the edge
    if (viewType() != LVS_REPORT || client.y < 0 || client.y >= headerHeight())
        return -1;
    int32_t edge = 0;
    for (int32_t c = 0; c < columnCount(); ++c) {
        edge += m_columns[static_cast<size_t>(c)].width;
        if (client.x >= edge - kReach && client.x <= edge + kReach)
            return c;
    }
    return -1;
}

// As wide as its heading and its widest text with the margins they are drawn with.
void ListView::fitColumn(int32_t column)
{
    WindowDc dc(*this);
    int32_t widest = widthOf(dc, m_columns[static_cast<size_t>(column)].heading) + 8;
    const int32_t margin = column == 0 ? (m_small != nullptr ? 16 : 0) + 8 : 8;
    for (int32_t i = 0; i < getItemCount(); ++i)
        widest = std::max(widest, widthOf(dc, getItemText(i, column)) + margin);
    m_columns[static_cast<size_t>(column)].width = widest;
    invalidate(true);
}

// Centred in r, the lines as a block: one line stands where a single centred line always stood.
void ListView::drawIconLabel(Dc& dc, const Rect& r, const std::string& text)
{
    const std::vector<std::string> lines = iconLabelLines(dc, text, static_cast<int32_t>(r.width()));
    const int32_t lineHeight = static_cast<int32_t>(dc.getTextExtent("A").cy);
    int32_t top = r.t + (static_cast<int32_t>(r.height()) - lineHeight * static_cast<int32_t>(lines.size())) / 2;
    for (const std::string& line : lines) {
        drawText(dc, {r.l, top, r.r, top + lineHeight}, line, 1);
        top += lineHeight;
    }
}

void ListView::offerCellText(Point client)
{
    const int32_t item = viewType() == LVS_ICON ? -1 : hitTest(client);
    if (item < 0) {
        offerWholeText({}, {}, 0);
        return;
    }
    const Rect label = getItemRect(item, LVIR_LABEL).inflatedBy(-2, 0);
    int32_t column = 0;
    Rect cell = label;
    if (viewType() == LVS_REPORT && client.x >= label.r) {
        int32_t x = m_columns.empty() ? 0 : m_columns[0].width;
        for (column = 1; column < columnCount() && client.x >= x + m_columns[static_cast<size_t>(column)].width;
             ++column)
            x += m_columns[static_cast<size_t>(column)].width;
        if (column >= columnCount()) {
            offerWholeText({}, {}, 0);
            return;
        }
        cell = {x + 4, label.t, x + m_columns[static_cast<size_t>(column)].width, label.b};
    }
    offerWholeText(cell, getItemText(item, column), static_cast<int32_t>(cell.width()));
}

void ListView::paint()
{
    syncScrollBar();
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(m_bk != CLR_NONE ? m_bk : getSysColor(COLOR_WINDOW)));
    dc.setBkMode(TRANSPARENT);
    if (viewType() == LVS_REPORT) {
        int32_t x = 0;
        for (const Column& c : m_columns) {
            const Rect h{x, 0, x + c.width, headerHeight()};
            dc.fillRect(h, createSolidBrush(getSysColor(COLOR_BTNFACE)));
            drawEdge(dc, h, EdgeKind::kButton);
            dc.setTextColor(getSysColor(COLOR_BTNTEXT));
            drawFaceText(dc, h.inflatedBy(-4, 0), c.heading, 0);
            x += c.width;
        }
    }
    const bool focused = ui().focus() == hwnd();
    bool focusShown = false;
    for (int32_t i = 0; i < getItemCount(); ++i) {
        const Rect bounds = getItemRect(i, LVIR_BOUNDS);
        if (bounds.b <= headerHeight() || bounds.t >= r.b)
            continue;
        const Item& it = m_items[static_cast<size_t>(i)];
        const bool selected = (it.state & LVIS_SELECTED) != 0 && (focused || (style() & LVS_SHOWSELALWAYS) != 0);
        const Rect label = getItemRect(i, LVIR_LABEL);
        if (selected)
            dc.fillRect(viewType() == LVS_REPORT ? Rect{label.l, bounds.t, bounds.r, bounds.b} : label,
                        createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
        else if (m_textBk != CLR_NONE)
            dc.fillRect(label, createSolidBrush(m_textBk));
        const ImageListRef& images = viewType() == LVS_ICON ? m_normal : m_small;
        if (images != nullptr && it.image >= 0)
            images->draw(dc, it.image, getItemRect(i, LVIR_ICON).topLeft(), selected ? ILD_BLEND50 : ILD_TRANSPARENT);
        dc.setTextColor(selected ? getSysColor(COLOR_HIGHLIGHTTEXT)
                                 : (m_text != CLR_NONE ? m_text : getSysColor(COLOR_WINDOWTEXT)));
        if (viewType() == LVS_ICON)
            drawIconLabel(dc, label.inflatedBy(-2, 0), getItemText(i, 0));
        else
            drawText(dc, label.inflatedBy(-2, 0), getItemText(i, 0), 0);
        if (viewType() == LVS_REPORT) {
            int32_t x = m_columns.empty() ? 0 : m_columns[0].width;
            for (int32_t c = 1; c < columnCount(); ++c) {
                drawText(dc, {x + 4, bounds.t, x + m_columns[static_cast<size_t>(c)].width, bounds.b},
                         getItemText(i, c), 0);
                x += m_columns[static_cast<size_t>(c)].width;
            }
        }
        if (focused && (it.state & LVIS_FOCUSED) != 0) {
            dc.drawFocusRect(label);
            focusShown = true;
        }
    }
    // Before any item holds the focus, the first one shows it; an empty list shows it round its rows.
    if (focused && !focusShown &&
        std::none_of(m_items.begin(), m_items.end(), [](const Item& it) { return (it.state & LVIS_FOCUSED) != 0; })) {
        const Rect rows{r.l + 2, headerHeight() + 2, r.r - 2, r.b - 2};
        const Rect first = getItemCount() > 0 ? getItemRect(0, LVIR_LABEL).intersected(rows) : rows;
        if (!first.isEmpty())
            dc.drawFocusRect(first);
    }
    drawClientEdge(dc);
}

} // namespace pf
