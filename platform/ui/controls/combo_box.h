#pragma once
// Combo boxes (drop-down lists, sorted or not; "comboboxex" adds an image list). A click opens the list
// (CBN_DROPDOWN), a click on an item chooses it: the index changes, CBN_SELCHANGE when it changed, then
// CBN_CLOSEUP as the list closes. Arrow keys choose too, in the open list as well; F4 opens and closes the list,
// and Enter or Esc close an open list without reaching the dialog's buttons. setCurSel never notifies.
#include "platform/gfx/image_list.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/controls/string_list.h"

#include <memory>

namespace pf {

class ComboBox : public Control {
public:
    void resetContent();
    int32_t addString(std::string_view text);
    int32_t insertString(int32_t index, std::string_view text);
    int32_t deleteString(int32_t index); // the count left, or CB_ERR
    int32_t getCount() const { return m_items.count(); }
    int32_t getCurSel() const { return m_curSel; }
    int32_t setCurSel(int32_t index); // CB_ERR (and no selection) when out of range
    std::string getLBText(int32_t index) const;
    intptr_t getItemData(int32_t index) const; // CB_ERR when out of range
    bool setItemData(int32_t index, intptr_t data);
    int32_t findStringExact(int32_t start, std::string_view text) const { return m_items.findStringExact(start, text); }
    int32_t findExact(std::string_view text) const { return m_items.findExact(text); }
    int32_t selectString(int32_t start, std::string_view prefix);
    bool isDroppedDown() const { return m_dropList != kNoWindow; }
    bool showDropDown(bool show);           // user-like: notifies
    Rect dropItemRect(int32_t index) const; // screen coordinates of an item in the open list

    // "comboboxex": item images
    ImageListRef setImageList(ImageListRef list);
    bool setItemImage(int32_t index, int32_t image);

    void chooseByUser(int32_t index); // what a click on an open list's item does

protected:
    LResult handle(const Msg& msg) override;
    bool preTranslateMessage(const Msg& msg) override;
    int32_t itemHeight() const { return 16; }

private:
    friend class DropList;
    void paint();
    void closeUp();

    StringList m_items;
    std::vector<int32_t> m_images;
    ImageListRef m_imageList;
    int32_t m_curSel = -1;
    Hwnd m_dropList = kNoWindow;
    std::unique_ptr<Window> m_dropListObject; // the open list's object; its window is m_dropList
};

} // namespace pf
