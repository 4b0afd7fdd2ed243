#include "platform/ui/controls/tree_view.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/gfx/surface_dc.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

namespace pf {

namespace {

constexpr int32_t kIndent = 19;

// Labels are as wide as their text in the control's font, the default GUI font, plus a margin each side.
int32_t labelWidth(const std::string& text)
{
    const MemoryDc measure;
    return measure.getTextExtent(text).cx + 6;
}
constexpr uint32_t kStateImageMask = 0xF000;
constexpr uint32_t kMaxDepth = 256; // deeper trees are drawn at this depth

uint32_t stateImageBits(uint32_t index)
{
    return (index & 15u) << 12;
}

// The check box pictures of TVS_CHECKBOXES, drawn as a dialog's check boxes are: index 0 unused, 1 unchecked,
// 2 checked; opaque over the box only.
ImageListRef makeCheckBoxImages()
{
    constexpr int32_t kSide = 16;
    const Rect box{2, 2, 15, 15};
    ImageListRef list = ImageList::create(kSide, kSide, ILC_COLOR32, 3, 0);
    for (int32_t picture = 0; picture < 3; ++picture) {
        auto surface = std::make_shared<Surface32>(kSide, kSide);
        SurfaceDc dc(surface);
        if (picture > 0)
            drawCheckBox(dc, box, picture == 2 ? BST_CHECKED : BST_UNCHECKED, false, true);
        std::vector<uint32_t> argb(kSide * kSide, 0);
        std::vector<uint8_t> mask(kSide * kSide, 1);
        for (int32_t y = box.t; y < box.b && picture > 0; ++y) {
            for (int32_t x = box.l; x < box.r; ++x) {
                argb[static_cast<size_t>(y * kSide + x)] = 0xFF000000u | surface->pixel(x, y);
                mask[static_cast<size_t>(y * kSide + x)] = 0;
            }
        }
        list->addIcon(*Icon::create(kSide, kSide, std::move(argb), std::move(mask)));
    }
    return list;
}

} // namespace

TreeItem TreeView::insertItem(TreeItem parent, TreeItem after, std::string_view text, int32_t image,
                              int32_t selectedImage, LParam data)
{
    if (parent == 0)
        parent = TVI_ROOT;
    if (parent != TVI_ROOT && !exists(parent))
        return 0;
    std::vector<TreeItem>& siblings = parent == TVI_ROOT ? m_roots : m_items[parent].children;
    auto at = siblings.end();
    if (after == TVI_FIRST) {
        at = siblings.begin();
    } else if (after == TVI_SORT) {
        at = std::find_if(siblings.begin(), siblings.end(),
                          [&](TreeItem s) { return compareNoCase(m_items[s].text, text) > 0; });
    } else if (after != TVI_LAST && after != 0) {
        const auto found = std::find(siblings.begin(), siblings.end(), after);
        if (found == siblings.end())
            return 0;
        at = found + 1;
    }
    const TreeItem item = m_next++;
    siblings.insert(at, item);
    Node node;
    node.parent = parent;
    node.text = text;
    node.image = image;
    node.selectedImage = selectedImage < 0 ? image : selectedImage;
    node.data = data;
    if ((style() & TVS_CHECKBOXES) != 0) {
        ensureStateImages();
        node.state = stateImageBits(1);
    }
    m_items.add(item, std::move(node));
    reshaped();
    invalidate(true);
    return item;
}

void TreeView::Items::add(TreeItem item, Node node)
{
    if (m_count == 0) {
        m_slots.clear();
        m_first = item;
    }
    m_slots.resize(item - m_first + 1);
    m_slots.back() = {std::move(node), true};
    ++m_count;
}

void TreeView::Items::erase(TreeItem item)
{
    if (!contains(item))
        return;
    m_slots[item - m_first] = {};
    if (--m_count == 0)
        m_slots.clear();
}

void TreeView::Items::clear()
{
    m_slots.clear();
    m_count = 0;
}

void TreeView::removeSubtree(TreeItem item)
{
    if (!exists(item))
        return;
    const std::vector<TreeItem> children = m_items[item].children;
    for (const TreeItem c : children)
        removeSubtree(c);
    m_items.erase(item);
}

bool TreeView::deleteItem(TreeItem item)
{
    const Hwnd self = hwnd();
    if (item == TVI_ROOT) {
        if (m_selected != 0)
            changeSelection(0, TVC_UNKNOWN);
        if (!isAlive(self, this))
            return false;
        m_items.clear();
        m_roots.clear();
        m_selected = 0;
        m_top = 0;
        reshaped();
        invalidate(true);
        return true;
    }
    if (!exists(item))
        return false;
    if (m_selected != 0) {
        // A selection inside the removed branch moves off it first.
        for (TreeItem s = m_selected; s != TVI_ROOT && exists(s); s = m_items[s].parent) {
            if (s == item) {
                changeSelection(0, TVC_UNKNOWN);
                break;
            }
        }
        if (!isAlive(self, this) || !exists(item))
            return false;
    }
    const TreeItem parent = m_items[item].parent;
    std::vector<TreeItem>& siblings = parent == TVI_ROOT ? m_roots : m_items[parent].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    removeSubtree(item);
    reshaped();
    invalidate(true);
    return true;
}

std::string TreeView::getItemText(TreeItem item) const
{
    return exists(item) ? m_items.at(item).text : std::string();
}

bool TreeView::setItemText(TreeItem item, std::string_view text)
{
    if (!exists(item))
        return false;
    m_items[item].text = text;
    invalidate(true);
    return true;
}

LParam TreeView::getItemData(TreeItem item) const
{
    return exists(item) ? m_items.at(item).data : 0;
}

bool TreeView::setItemData(TreeItem item, LParam data)
{
    if (!exists(item))
        return false;
    m_items[item].data = data;
    return true;
}

bool TreeView::setItemImage(TreeItem item, int32_t image, int32_t selectedImage)
{
    if (!exists(item))
        return false;
    m_items[item].image = image;
    m_items[item].selectedImage = selectedImage;
    invalidate(true);
    return true;
}

int32_t TreeView::getItemImage(TreeItem item) const
{
    return exists(item) ? m_items.at(item).image : -1;
}

uint32_t TreeView::getItemState(TreeItem item, uint32_t mask) const
{
    return exists(item) ? m_items.at(item).state & mask : 0;
}

bool TreeView::setItemState(TreeItem item, uint32_t state, uint32_t mask)
{
    if (!exists(item))
        return false;
    Node& n = m_items[item];
    n.state = (n.state & ~mask) | (state & mask);
    if ((mask & TVIS_EXPANDED) != 0)
        reshaped();
    invalidate(true);
    return true;
}

bool TreeView::getCheck(TreeItem item) const
{
    return ((getItemState(item, kStateImageMask) >> 12) & 15) == 2;
}

bool TreeView::setCheck(TreeItem item, bool checked)
{
    return setItemState(item, stateImageBits(checked ? 2 : 1), kStateImageMask);
}

bool TreeView::expand(TreeItem item, uint32_t code)
{
    if (!exists(item))
        return false;
    Node& n = m_items[item];
    const bool open = code == TVE_EXPAND || (code == TVE_TOGGLE && (n.state & TVIS_EXPANDED) == 0);
    if (code != TVE_EXPAND && code != TVE_COLLAPSE && code != TVE_TOGGLE)
        return false;
    n.state = open ? (n.state | TVIS_EXPANDED) : (n.state & ~TVIS_EXPANDED);
    reshaped();
    invalidate(true);
    return true;
}

bool TreeView::isExpanded(TreeItem item) const
{
    return (getItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

TVITEM TreeView::describe(TreeItem item) const
{
    TVITEM out;
    if (!exists(item))
        return out;
    const Node& n = m_items.at(item);
    out.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
    out.hItem = item;
    out.state = n.state;
    out.lParam = n.data;
    out.iImage = n.image;
    out.iSelectedImage = n.selectedImage;
    return out;
}

bool TreeView::changeSelection(TreeItem item, uint32_t action)
{
    const Hwnd self = hwnd();
    if (item == m_selected)
        return true;
    NMTREEVIEW nm;
    nm.hdr.code = TVN_SELCHANGING;
    nm.action = action;
    nm.itemOld = describe(m_selected);
    nm.itemNew = describe(item);
    if (notify(nm.hdr) != 0 || !isAlive(self, this))
        return false;
    if (exists(m_selected))
        m_items[m_selected].state &= ~TVIS_SELECTED;
    m_selected = exists(item) ? item : 0;
    if (m_selected != 0)
        m_items[m_selected].state |= TVIS_SELECTED;
    invalidate(true);
    NMTREEVIEW done;
    done.hdr.code = TVN_SELCHANGED;
    done.action = action;
    done.itemOld = nm.itemOld;
    done.itemNew = describe(m_selected);
    notify(done.hdr);
    return isAlive(self, this);
}

bool TreeView::selectItem(TreeItem item)
{
    if (item != 0 && !exists(item))
        return false;
    // Selecting makes the item shown: its ancestors open.
    for (TreeItem p = item != 0 ? m_items[item].parent : TVI_ROOT; p != TVI_ROOT; p = m_items[p].parent) {
        if ((m_items[p].state & TVIS_EXPANDED) == 0)
            reshaped();
        m_items[p].state |= TVIS_EXPANDED;
    }
    if (!changeSelection(item, TVC_UNKNOWN))
        return false;
    showSelection();
    return true;
}

TreeItem TreeView::getParentItem(TreeItem item) const
{
    if (!exists(item))
        return 0;
    const TreeItem p = m_items.at(item).parent;
    return p == TVI_ROOT ? 0 : p;
}

TreeItem TreeView::getChildItem(TreeItem item) const
{
    const std::vector<TreeItem>* list =
        item == TVI_ROOT || item == 0 ? &m_roots : (exists(item) ? &m_items.at(item).children : nullptr);
    return list == nullptr || list->empty() ? 0 : list->front();
}

TreeItem TreeView::getNextSiblingItem(TreeItem item) const
{
    if (!exists(item))
        return 0;
    const TreeItem p = m_items.at(item).parent;
    const std::vector<TreeItem>& list = p == TVI_ROOT ? m_roots : m_items.at(p).children;
    const auto at = std::find(list.begin(), list.end(), item);
    return at == list.end() || at + 1 == list.end() ? 0 : *(at + 1);
}

void TreeView::collect(TreeItem parent, int32_t depth) const
{
    const std::vector<TreeItem>& list = parent == TVI_ROOT ? m_roots : m_items.at(parent).children;
    for (const TreeItem item : list) {
        const Node& n = m_items.at(item);
        n.row = static_cast<int32_t>(m_rows.size());
        m_rows.emplace_back(item, depth);
        if ((n.state & TVIS_EXPANDED) != 0 && static_cast<uint32_t>(depth) < kMaxDepth)
            collect(item, depth + 1);
    }
}

// Painting, hit testing and every key's move read the rows many times between changes of the tree: a panel of tens
// of thousands of items gathers them once per change, not once per question.
const TreeView::Rows& TreeView::rows() const
{
    if (m_rowsStale) {
        m_rows.clear();
        collect(TVI_ROOT, 0);
        m_rowsStale = false;
    }
    return m_rows;
}

int32_t TreeView::rowOf(TreeItem item) const
{
    if (!exists(item))
        return -1;
    const Rows& all = rows();
    const int32_t row = m_items.at(item).row;
    return row >= 0 && row < static_cast<int32_t>(all.size()) && all[static_cast<size_t>(row)].first == item ? row : -1;
}

std::vector<TreeItem> TreeView::visibleItems() const
{
    std::vector<TreeItem> out;
    for (const auto& [item, depth] : rows())
        out.push_back(item);
    return out;
}

TreeItem TreeView::getFirstVisibleItem() const
{
    const Rows& all = rows();
    return m_top < static_cast<int32_t>(all.size()) ? all[static_cast<size_t>(m_top)].first : 0;
}

int32_t TreeView::indentOf(int32_t depth) const
{
    const bool rootLines = (style() & TVS_LINESATROOT) != 0;
    return (depth + (rootLines ? 1 : 0)) * kIndent;
}

bool TreeView::getItemRect(TreeItem item, Rect& out, bool textOnly) const
{
    const int32_t row = rowOf(item);
    if (row < 0)
        return false;
    const int32_t y = (row - m_top) * getItemHeight();
    if (!textOnly) {
        out = {0, y, static_cast<int32_t>(clientRect().width()), y + getItemHeight()};
        return true;
    }
    int32_t x = indentOf(rows()[static_cast<size_t>(row)].second) + 2;
    if (m_state != nullptr)
        x += 16;
    if (m_normal != nullptr)
        x += 18;
    out = {x, y, x + labelWidth(m_items.at(item).text), y + getItemHeight()};
    return true;
}

TreeItem TreeView::hitTest(TVHITTESTINFO& info) const
{
    info.flags = TVHT_NOWHERE;
    info.hItem = 0;
    if (!clientRect().contains(info.pt))
        return 0;
    const Rows& all = rows();
    const int32_t row = m_top + info.pt.y / getItemHeight();
    if (row < 0 || row >= static_cast<int32_t>(all.size()))
        return 0;
    const auto [item, depth] = all[static_cast<size_t>(row)];
    info.hItem = item;
    int32_t x = indentOf(depth);
    if (info.pt.x < x) {
        const bool hasButton = (style() & TVS_HASBUTTONS) != 0 && !m_items.at(item).children.empty();
        info.flags = hasButton && info.pt.x >= x - kIndent ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
        return item;
    }
    x += 2;
    if (m_state != nullptr) {
        if (info.pt.x < x + 16) {
            info.flags = TVHT_ONITEMSTATEICON;
            return item;
        }
        x += 16;
    }
    if (m_normal != nullptr) {
        if (info.pt.x < x + 18) {
            info.flags = TVHT_ONITEMICON;
            return item;
        }
        x += 18;
    }
    Rect label;
    getItemRect(item, label, true);
    info.flags = info.pt.x < label.r ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
    return item;
}

int32_t TreeView::shownRows() const
{
    return std::max<int32_t>(1, static_cast<int32_t>(clientRect().height() / getItemHeight()));
}

void TreeView::syncScrollBar(size_t rowCount)
{
    // The bar clamps its position as the view's first row is clamped: to the rows less a page.
    if ((style() & WS_VSCROLL) != 0)
        m_top = setScrollInfo(SB_VERT, {0, std::max<int32_t>(0, static_cast<int32_t>(rowCount) - 1),
                                        static_cast<uint32_t>(shownRows()), m_top});
}

bool TreeView::scrollLines(int32_t lines)
{
    const int32_t count = static_cast<int32_t>(rows().size());
    const int32_t shown = shownRows();
    const int32_t next = std::clamp(m_top + lines, 0, std::max(0, count - shown));
    if (next == m_top)
        return false;
    m_top = next;
    invalidate(true);
    return true;
}

void TreeView::showSelection()
{
    const int32_t row = rowOf(m_selected);
    if (row < 0)
        return;
    if (row < m_top)
        m_top = row;
    else if (row >= m_top + shownRows())
        m_top = row - shownRows() + 1;
    syncScrollBar(rows().size());
    invalidate(true);
}

bool TreeView::expandByUser(TreeItem item, uint32_t code)
{
    const bool was = isExpanded(item);
    if (!expand(item, code) || isExpanded(item) == was)
        return false;
    NMTREEVIEW nm;
    nm.hdr.code = TVN_ITEMEXPANDED;
    nm.action = was ? TVE_COLLAPSE : TVE_EXPAND;
    nm.itemNew = describe(item);
    notify(nm.hdr);
    return true;
}

// Each key costs a look at the selected item, its parent or first child, and one row of the gathered rows: a tree of
// tens of thousands of items moves as fast as a small one.
void TreeView::onKey(uint32_t key)
{
    const Rows& all = rows();
    if (all.empty())
        return;
    if (key == VK_SPACE && (style() & TVS_CHECKBOXES) != 0) {
        // The row showing the focus: the selected one, or the top row before anything is selected.
        const TreeItem item =
            m_selected != 0 && rowOf(m_selected) >= 0
                ? m_selected
                : all[static_cast<size_t>(std::clamp<int32_t>(m_top, 0, static_cast<int32_t>(all.size()) - 1))].first;
        setCheck(item, !getCheck(item));
        return;
    }
    const int32_t last = static_cast<int32_t>(all.size()) - 1;
    // A selection under a closed item moves from the nearest shown ancestor, as a person sees it there.
    TreeItem current = m_selected;
    while (current != 0 && rowOf(current) < 0)
        current = getParentItem(current);
    const int32_t row = rowOf(current);
    std::optional<int32_t> next = navigationTarget(key, row, std::max(1, shownRows() - 1), last);
    const bool opens = key == VK_RIGHT || key == VK_ADD;
    const bool closes = key == VK_LEFT || key == VK_SUBTRACT;
    if (current == 0 && (opens || closes)) {
        next = 0; // nothing selected yet: the first row is
    } else if (current != 0) {
        const bool hasChildren = !m_items[current].children.empty();
        const bool open = hasChildren && isExpanded(current);
        if (opens && hasChildren && !open)
            expandByUser(current, TVE_EXPAND);
        else if (closes && open)
            expandByUser(current, TVE_COLLAPSE);
        else if (key == VK_RIGHT && open)
            next = rowOf(m_items[current].children.front());
        else if (key == VK_LEFT && getParentItem(current) != 0)
            next = rowOf(getParentItem(current));
    }
    if (!next || *next < 0)
        return;
    const TreeItem target = all[static_cast<size_t>(*next)].first;
    if (changeSelection(target, TVC_BYKEYBOARD))
        showSelection();
}

ImageListRef TreeView::setImageList(ImageListRef list, int32_t which)
{
    ImageListRef& slot = which == TVSIL_STATE ? m_state : m_normal;
    ImageListRef previous = std::move(slot);
    slot = std::move(list);
    invalidate(true);
    return previous;
}

ImageListRef TreeView::getImageList(int32_t which) const
{
    return which == TVSIL_STATE ? m_state : m_normal;
}

void TreeView::ensureStateImages()
{
    if (m_state == nullptr)
        m_state = makeCheckBoxImages();
}

LResult TreeView::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CREATE:
        if ((style() & TVS_CHECKBOXES) != 0)
            ensureStateImages();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ui().setFocus(self);
        if (!isAlive(self, this))
            return 0;
        TVHITTESTINFO info;
        info.pt = pointFromLParam(msg.lParam);
        const TreeItem item = hitTest(info);
        if (item == 0)
            return 0;
        if (info.flags == TVHT_ONITEMBUTTON || (msg.message == WM_LBUTTONDBLCLK && !m_items[item].children.empty())) {
            expandByUser(item, TVE_TOGGLE);
            return 0;
        }
        if (info.flags == TVHT_ONITEMSTATEICON && (style() & TVS_CHECKBOXES) != 0) {
            setCheck(item, !getCheck(item));
            NMHDR click{};
            click.code = NM_CLICK;
            notify(click);
            return 0;
        }
        if (!changeSelection(item, TVC_BYMOUSE))
            return 0;
        if (msg.message == WM_LBUTTONDOWN && exists(item)) {
            m_pressItem = item;
            m_pressPoint = info.pt;
            ui().setCapture(self);
        }
        NMHDR click{};
        click.code = msg.message == WM_LBUTTONDOWN ? NM_CLICK : NM_DBLCLK;
        notify(click);
        return 0;
    }
    case WM_RBUTTONDOWN: {
        TVHITTESTINFO info;
        info.pt = pointFromLParam(msg.lParam);
        const TreeItem item = hitTest(info);
        if (item != 0 && item != m_selected && !changeSelection(item, TVC_BYMOUSE))
            return 0;
        NMHDR click{};
        click.code = NM_RCLICK;
        notify(click);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (m_pressItem == 0 || (msg.wParam & MK_LBUTTON) == 0)
            return 0;
        const Point p = pointFromLParam(msg.lParam);
        if (std::abs(p.x - m_pressPoint.x) <= fixedSystemMetric(SM_CXDRAG) &&
            std::abs(p.y - m_pressPoint.y) <= fixedSystemMetric(SM_CYDRAG))
            return 0;
        const TreeItem item = std::exchange(m_pressItem, 0);
        if (ui().capture() == self)
            ui().releaseCapture(); // the receiver of the drag takes the capture
        if (!exists(item))
            return 0;
        NMTREEVIEW nm;
        nm.hdr.code = TVN_BEGINDRAG;
        nm.itemNew = describe(item);
        nm.ptDrag = m_pressPoint;
        notify(nm.hdr);
        return 0;
    }
    case WM_KEYDOWN:
        if (msg.wParam == VK_RETURN) {
            NMHDR enter{};
            enter.code = NM_RETURN;
            notify(enter);
            return 0;
        }
        onKey(static_cast<uint32_t>(msg.wParam));
        return 0;
    case WM_LBUTTONUP:
        m_pressItem = 0;
        if (ui().capture() == self)
            ui().releaseCapture();
        return 0;
    case WM_VSCROLL:
        scrollLines(scrollRequest(msg.wParam, m_top, shownRows()) - m_top);
        syncScrollBar(rows().size());
        return 0;
    case WM_SIZE: // the frame, bar included, paints before the client: the bar must be in step already
        syncScrollBar(rows().size());
        return Control::handle(msg);
    case TVM_EXPAND:
        return expand(static_cast<TreeItem>(msg.lParam), static_cast<uint32_t>(msg.wParam)) ? 1 : 0;
    case TVM_HITTEST:
        return msg.lParam != 0 ? static_cast<LResult>(hitTest(*reinterpret_cast<TVHITTESTINFO*>(msg.lParam))) : 0;
    case TVM_DELETEITEM:
        return deleteItem(static_cast<TreeItem>(msg.lParam)) ? 1 : 0;
    case TVM_GETCOUNT:
        return getCount();
    case TVM_GETITEMHEIGHT:
        return getItemHeight();
    default:
        return Control::handle(msg);
    }
}

void TreeView::paint()
{
    const Rows& all = rows();
    syncScrollBar(all.size());
    PaintDc dc(*this);
    const Rect r = clientRect();
    dc.fillRect(r, createSolidBrush(getSysColor(COLOR_WINDOW)));
    dc.setBkMode(TRANSPARENT);
    const bool focused = ui().focus() == hwnd();
    const Pen linePen = createPen(PS_DOT, 1, getSysColor(COLOR_BTNSHADOW));
    for (int32_t i = m_top; i < static_cast<int32_t>(all.size()); ++i) {
        const auto [item, depth] = all[static_cast<size_t>(i)];
        const Node& n = m_items.at(item);
        const int32_t y = (i - m_top) * getItemHeight();
        if (y >= r.b)
            break;
        int32_t x = indentOf(depth);
        if ((style() & TVS_HASLINES) != 0 && x > 0) {
            dc.selectPen(linePen);
            dc.moveTo({x - kIndent / 2, y});
            dc.lineTo({x - kIndent / 2, y + getItemHeight() / 2});
            dc.lineTo({x, y + getItemHeight() / 2});
        }
        if ((style() & TVS_HASBUTTONS) != 0 && !n.children.empty() && x > 0) {
            const Rect box = Rect::fromXywh(x - kIndent / 2 - 4, y + 4, 9, 9);
            dc.fillRect(box, createSolidBrush(getSysColor(COLOR_WINDOW)));
            dc.draw3dRect(box, getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNSHADOW));
            dc.fillRect({box.l + 2, box.t + 4, box.r - 2, box.t + 5}, createSolidBrush(0));
            if ((n.state & TVIS_EXPANDED) == 0)
                dc.fillRect({box.l + 4, box.t + 2, box.l + 5, box.b - 2}, createSolidBrush(0));
        }
        x += 2;
        if (m_state != nullptr) {
            const int32_t stateImage = static_cast<int32_t>((n.state >> 12) & 15);
            if (stateImage > 0)
                m_state->draw(dc, stateImage, {x, y}, ILD_TRANSPARENT);
            x += 16;
        }
        const bool selected = item == m_selected;
        if (m_normal != nullptr) {
            const int32_t image = selected ? n.selectedImage : n.image;
            if (image >= 0)
                m_normal->draw(dc, image, {x, y}, ILD_TRANSPARENT | (n.state & 0x0F00));
            x += 18;
        }
        Rect label{x, y, x + labelWidth(n.text), y + getItemHeight()};
        if (selected)
            dc.fillRect(label, createSolidBrush(getSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE)));
        dc.setTextColor(
            getSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : (isEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT)));
        drawText(dc, label.inflatedBy(-2, 0), n.text, 0);
        if (focused && (selected || (m_selected == 0 && i == m_top)))
            dc.drawFocusRect(label); // before a selection the top row shows where the keys start
    }
    if (focused && all.empty())
        dc.drawFocusRect({r.l + 2, r.t + 2, r.r - 2, r.t + 2 + getItemHeight()}); // where the first row will be
    drawClientEdge(dc);
}

} // namespace pf
