#pragma once
// List boxes: single selection, or several with LBS_MULTIPLESEL (a click toggles) or LBS_EXTENDEDSEL (a click
// selects one, Ctrl toggles, Shift extends). LBN_SELCHANGE with LBS_NOTIFY only when a user's click or key changes
// the selection; programmatic calls never notify. The arrow, Page, Home and End keys move the selection of a single
// box, the caret of a several-selection one (an extended box selects it alone), and keep it in view; with WS_VSCROLL
// the box keeps its own bar in step with its items and scrolls by it.
#include "platform/ui/controls/control.h"
#include "platform/ui/controls/string_list.h"

namespace pf {

class ListBox : public Control {
public:
    void resetContent();
    int32_t addString(std::string_view text);
    int32_t insertString(int32_t index, std::string_view text);
    int32_t deleteString(int32_t index); // the count left, or LB_ERR
    int32_t getCount() const { return m_items.count(); }
    int32_t getCurSel() const; // single selection: the selected item; -1 none
    int32_t setCurSel(int32_t index);
    bool setSel(int32_t index, bool select); // several selections; -1: every item
    bool getSel(int32_t index) const;
    int32_t getSelCount() const;
    std::vector<int32_t> getSelItems() const;
    std::string getText(int32_t index) const;
    intptr_t getItemData(int32_t index) const;
    bool setItemData(int32_t index, intptr_t data);
    int32_t findStringExact(int32_t start, std::string_view text) const { return m_items.findStringExact(start, text); }
    int32_t findExact(std::string_view text) const { return m_items.findExact(text); }
    int32_t getTopIndex() const { return m_top; }
    bool setTopIndex(int32_t index); // clamped so that a full page shows where there are enough items
    int32_t shownRows() const;       // whole rows the client area holds, at least 1
    int32_t itemHeight() const { return 16; }
    Rect getItemRect(int32_t index) const;     // client coordinates
    int32_t itemFromPoint(Point client) const; // -1 below the last item
    bool isMultiple() const;

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    void clickItem(int32_t index);
    void keyItem(uint32_t key);
    void syncScrollBar();
    void notifyIfChanged(const std::vector<int32_t>& before);

    StringList m_items;
    int32_t m_single = -1;
    int32_t m_anchor = -1;
    int32_t m_top = 0;
};

} // namespace pf
