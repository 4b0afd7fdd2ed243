#pragma once
// List views in report, icon and small-icon layout. Every state change, programmatic or the user's, sends
// LVN_ITEMCHANGING then LVN_ITEMCHANGED (iItem, uOldState, uNewState, uChanged = LVIF_STATE); a moving single
// selection reports the old item's deselection first. deleteAllItems sends LVN_DELETEALLITEMS instead. A left press
// on an item that moves more than SM_CXDRAG x SM_CYDRAG sends LVN_BEGINDRAG once, with no capture held after.
// Callback texts (LPSTR_TEXTCALLBACK) are asked for with LVN_GETDISPINFO whenever they are needed: a callback item's
// label, and each of its sub-items whose text was never set.
#include "platform/base/color.h"
#include "platform/gfx/image_list.h"
#include "platform/ui/controls/control.h"

#include <optional>
#include <string>
#include <vector>

namespace pf {

struct LVITEM {
    uint32_t mask = 0; // LVIF_TEXT, LVIF_IMAGE, LVIF_PARAM, LVIF_STATE
    int32_t iItem = 0;
    int32_t iSubItem = 0;
    uint32_t state = 0;
    uint32_t stateMask = 0;
    char* pszText = nullptr; // LPSTR_TEXTCALLBACK asks the parent
    int32_t cchTextMax = 0;
    int32_t iImage = 0;
    LParam lParam = 0;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int32_t iItem = -1;
    int32_t iSubItem = 0;
    uint32_t uNewState = 0;
    uint32_t uOldState = 0;
    uint32_t uChanged = 0;
    Point ptAction;
    LParam lParam = 0;
};

struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
};

char* lpstrTextCallback(); // LPSTR_TEXTCALLBACK: a marker pointer, never read

// An icon view's label as it is drawn in width pixels: at most two lines, broken at spaces, the last one that cannot
// hold the rest ended with "...".
std::vector<std::string> iconLabelLines(Dc& dc, std::string_view text, int32_t width);

class ListView : public Control {
public:
    static constexpr int32_t kTextMax = 260;

    int32_t insertColumn(int32_t index, std::string_view heading, int32_t width, int32_t format = 0);
    int32_t columnCount() const { return static_cast<int32_t>(m_columns.size()); }
    // In the report view a header divider is dragged to size its column, and a double click on it fits the column to
    // its widest text.
    int32_t columnWidth(int32_t column) const;
    // Each column as wide as its widest entry (heading included) where the client has room; where it has not, the
    // narrow columns keep theirs and the wide ones share the rest alike (their texts end with "..."). The last
    // column reaches the right edge. Call after the items change.
    void fitColumnsToContent();
    int32_t insertItem(const LVITEM& item); // the index, or -1
    int32_t insertItem(int32_t index, std::string_view text, int32_t image = -1);
    int32_t insertCallbackItem(int32_t index, int32_t image, LParam data);
    bool setItemText(int32_t item, int32_t subItem, std::string_view text);
    std::string getItemText(int32_t item, int32_t subItem); // asks the parent for callback texts
    bool setItem(const LVITEM& item);
    bool deleteItem(int32_t item);
    bool deleteAllItems();
    int32_t getItemCount() const { return static_cast<int32_t>(m_items.size()); }
    LParam getItemData(int32_t item) const;
    bool setItemData(int32_t item, LParam data);
    int32_t getItemImage(int32_t item) const;
    bool setItemState(int32_t item, uint32_t state, uint32_t mask); // item -1: every item
    uint32_t getItemState(int32_t item, uint32_t mask) const;
    int32_t getNextSelected(int32_t after = -1) const; // LVNI_SELECTED
    int32_t getSelectedCount() const;
    Rect getItemRect(int32_t item, int32_t code) const; // LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL
    int32_t hitTest(Point client, uint32_t* outFlags = nullptr) const;
    bool ensureVisible(int32_t item);
    bool redrawItems(int32_t first, int32_t last);
    ImageListRef setImageList(ImageListRef list, int32_t which); // LVSIL_NORMAL, LVSIL_SMALL; null detaches
    ImageListRef getImageList(int32_t which) const;
    void setBkColor(ColorRef c);
    void setTextColor(ColorRef c);
    void setTextBkColor(ColorRef c);
    int32_t topIndex() const { return m_top; }
    // With WS_VSCROLL the view keeps its own scroll bar in step with its rows and scrolls by it (WM_VSCROLL).
    bool scrollToRow(int32_t row); // the first row shown, clamped; false when nothing moved
    uint32_t viewType() const { return style() & 3; }

protected:
    LResult handle(const Msg& msg) override;

private:
    struct Column {
        std::string heading;
        int32_t width;
        int32_t format;
    };
    struct Item {
        std::vector<std::string> texts; // by sub-item
        bool callback = false;
        int32_t image = -1;
        LParam data = 0;
        uint32_t state = 0;
    };
    bool changeState(int32_t item, uint32_t state, uint32_t mask); // false when the parent refused or it died
    bool selectOnly(int32_t item);
    Rect cellOf(int32_t item) const;
    int32_t rowHeight() const;
    int32_t headerHeight() const;
    int32_t perRow() const;
    int32_t rowCount() const;  // rows of items in the current layout
    int32_t shownRows() const; // rows that fit below the header, at least one
    void syncScrollBar();
    void offerCellText(Point client); // the tip for a cut label or sub-item under the pointer
    void paint();
    void drawIconLabel(Dc& dc, const Rect& r, const std::string& text);
    int32_t dividerAt(Point client) const; // the column whose header's right edge is there; -1 for none
    void fitColumn(int32_t column);

    std::vector<Column> m_columns;
    std::vector<Item> m_items;
    ImageListRef m_normal;
    ImageListRef m_small;
    ColorRef m_bk = CLR_NONE;
    ColorRef m_text = CLR_NONE;
    ColorRef m_textBk = CLR_NONE;
    int32_t m_top = 0;
    int32_t m_pressItem = -1;
    Point m_pressPoint;
    bool m_dragSent = false;
    int32_t m_sizing = -1; // the column whose divider is dragged
    int32_t m_sizingFrom = 0;
    int32_t m_sizingWidth = 0;
};

} // namespace pf
