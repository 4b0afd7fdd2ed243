#pragma once
// Tree views with buttons, lines and check boxes. Items are handles that are never reused. Selection changes,
// programmatic ones too, send TVN_SELCHANGING (non-zero cancels) and TVN_SELCHANGED with the action (TVC_UNKNOWN,
// or TVC_BYMOUSE for a click). A click on an item's button expands or collapses it with TVN_ITEMEXPANDED.
// TVS_CHECKBOXES makes the control's own state images: 1 unchecked, 2 checked (state bits 12-15); a click on the
// state icon toggles them and sends NM_CLICK. A right press selects the item under it and sends NM_RCLICK. A left
// press on an item that moves more than SM_CXDRAG x SM_CYDRAG sends TVN_BEGINDRAG once (itemNew and ptDrag, the press
// point), with no capture held after, as list views do.
// With the focus, keys move the selection over the shown rows (TVC_BYKEYBOARD) and scroll it into view: Up, Down,
// Home, End, Page Up, Page Down; Right opens a closed item with children or goes to the first child of an open one,
// Left closes an open one or goes to the parent; the keypad's plus and minus open and close. A key's opening or
// closing sends TVN_ITEMEXPANDED as the button's does.
#include "platform/gfx/image_list.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/controls/string_list.h"

#include <string>
#include <vector>

namespace pf {

using TreeItem = uintptr_t;
constexpr TreeItem TVI_ROOT = 0xFFFF0000u;
constexpr TreeItem TVI_FIRST = 0xFFFF0001u;
constexpr TreeItem TVI_LAST = 0xFFFF0002u;
constexpr TreeItem TVI_SORT = 0xFFFF0003u;

struct TVITEM {
    uint32_t mask = 0;
    TreeItem hItem = 0;
    uint32_t state = 0;
    uint32_t stateMask = 0;
    int32_t iImage = 0;
    int32_t iSelectedImage = 0;
    LParam lParam = 0;
};

struct NMTREEVIEW {
    NMHDR hdr;
    uint32_t action = 0;
    TVITEM itemOld;
    TVITEM itemNew;
    Point ptDrag;
};

struct TVHITTESTINFO {
    Point pt;
    uint32_t flags = 0;
    TreeItem hItem = 0;
};

class TreeView : public Control {
public:
    TreeItem insertItem(TreeItem parent, TreeItem after, std::string_view text, int32_t image = -1,
                        int32_t selectedImage = -1, LParam data = 0); // 0 when the parent or anchor is unknown
    bool deleteItem(TreeItem item);                                   // TVI_ROOT: every item
    bool deleteAllItems() { return deleteItem(TVI_ROOT); }
    bool exists(TreeItem item) const { return m_items.contains(item); }
    std::string getItemText(TreeItem item) const;
    bool setItemText(TreeItem item, std::string_view text);
    LParam getItemData(TreeItem item) const;
    bool setItemData(TreeItem item, LParam data);
    bool setItemImage(TreeItem item, int32_t image, int32_t selectedImage);
    int32_t getItemImage(TreeItem item) const; // -1 for none or an unknown item
    uint32_t getItemState(TreeItem item, uint32_t mask) const;
    bool setItemState(TreeItem item, uint32_t state, uint32_t mask);
    bool getCheck(TreeItem item) const; // state image 2
    bool setCheck(TreeItem item, bool checked);
    bool expand(TreeItem item, uint32_t code); // TVE_COLLAPSE, TVE_EXPAND, TVE_TOGGLE; no notification
    bool isExpanded(TreeItem item) const;
    bool selectItem(TreeItem item); // notifies with TVC_UNKNOWN; 0 clears the selection
    TreeItem getSelectedItem() const { return m_selected; }
    TreeItem getParentItem(TreeItem item) const;
    TreeItem getChildItem(TreeItem item) const; // TVI_ROOT: the first root item
    TreeItem getNextSiblingItem(TreeItem item) const;
    TreeItem getFirstVisibleItem() const;
    int32_t getCount() const { return static_cast<int32_t>(m_items.size()); }
    int32_t getItemHeight() const { return 16; }
    bool getItemRect(TreeItem item, Rect& out, bool textOnly) const; // false when not shown
    TreeItem hitTest(TVHITTESTINFO& info) const;
    bool scrollLines(int32_t lines); // line scrolling, as WM_VSCROLL SB_LINEDOWN / UP do
    int32_t topRow() const { return m_top; }
    // With WS_VSCROLL the view keeps its own scroll bar in step with its shown rows and scrolls by it.
    ImageListRef setImageList(ImageListRef list, int32_t which); // TVSIL_NORMAL, TVSIL_STATE
    ImageListRef getImageList(int32_t which) const;
    std::vector<TreeItem> visibleItems() const; // the shown rows in order, scrolled ones included

protected:
    LResult handle(const Msg& msg) override;

private:
    struct Node {
        TreeItem parent = TVI_ROOT;
        // The item's place in the shown rows when they were last gathered; stale once it is hidden, so it is
        // checked against them (rowOf).
        mutable int32_t row = -1;
        std::vector<TreeItem> children;
        std::string text;
        int32_t image = -1;
        int32_t selectedImage = -1;
        LParam data = 0;
        uint32_t state = 0;
    };
    // The items by handle in one array: handles are made in order and never reused, so an item's place is its
    // handle less the first one held. Removed items leave empty places until the view is emptied; a refill of a
    // large panel then costs no search and no allocation per item.
    class Items {
    public:
        bool contains(TreeItem item) const
        {
            return item >= m_first && item - m_first < m_slots.size() && m_slots[item - m_first].live;
        }
        Node& operator[](TreeItem item) { return m_slots[item - m_first].node; } // an item held
        const Node& at(TreeItem item) const { return m_slots[item - m_first].node; }
        void add(TreeItem item, Node node); // item: a handle above every one held
        void erase(TreeItem item);
        void clear();
        size_t size() const { return m_count; }

    private:
        struct Slot {
            Node node;
            bool live = false;
        };
        std::vector<Slot> m_slots;
        TreeItem m_first = 0;
        size_t m_count = 0;
    };

    using Rows = std::vector<std::pair<TreeItem, int32_t>>; // the shown rows in order: item and depth

    bool changeSelection(TreeItem item, uint32_t action);
    void collect(TreeItem parent, int32_t depth) const;
    const Rows& rows() const;                        // gathered again only after the shown rows changed
    void reshaped() { m_rowsStale = true; }          // items added, removed, opened or closed
    int32_t rowOf(TreeItem item) const;              // -1 when the item is not shown
    void showSelection();                            // scrolled into view, when it is shown
    bool expandByUser(TreeItem item, uint32_t code); // notifies TVN_ITEMEXPANDED; false when nothing changed
    void onKey(uint32_t key);
    int32_t depthOf(TreeItem item) const;
    int32_t indentOf(int32_t depth) const;
    TVITEM describe(TreeItem item) const;
    void removeSubtree(TreeItem item);
    void ensureStateImages();
    void paint();
    int32_t shownRows() const;
    void syncScrollBar(size_t rowCount); // rowCount: rows().size(), which the caller has at hand

    Items m_items;
    std::vector<TreeItem> m_roots;
    mutable Rows m_rows;
    mutable bool m_rowsStale = true;
    TreeItem m_next = 1;
    TreeItem m_selected = 0;
    int32_t m_top = 0;
    TreeItem m_pressItem = 0; // the item a left press may drag; 0 when none
    Point m_pressPoint;
    ImageListRef m_normal;
    ImageListRef m_state;
};

} // namespace pf
