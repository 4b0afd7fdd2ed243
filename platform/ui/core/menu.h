#pragma once
// Menus: items with command ids, states and popups, loaded from the resource registry by number. A Menu is a
// handle: copies share the same items, so a check made through a sub-menu shows in the loaded menu.
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class Window;

// With MF_CHECKED, the item's mark is a radio dot instead of a tick: one choice of a group.
constexpr uint32_t MFT_RADIOCHECK = 0x200;

// A popup of a frame's menu bar: besides a command, the chooser may answer with a move along the bar (Left and Right
// at its first level, the pointer over another title, Escape back to the selected bar). Command ids are 16-bit, so
// the moves lie above them.
constexpr uint32_t TPM_MENUBAR = 0x10000;
constexpr uint32_t TPM_SELECTFIRST = 0x20000;   // opened from the keyboard: the first item lit
constexpr uint32_t TPM_SELECTCHECKED = 0x40000; // a choice of one: the checked item lit, the arrows step from it
constexpr uint32_t kMenuBarPrevious = 0x10001;
constexpr uint32_t kMenuBarNext = 0x10002;
constexpr uint32_t kMenuBarBack = 0x10003;
constexpr uint32_t kMenuBarTitle = 0x20000; // | the position of the title the pointer moved onto
constexpr bool isMenuBarMove(uint32_t chosen)
{
    return chosen > 0xFFFF;
}
// Asked of a menu bar's owner while its popup is open: wParam, lParam = a screen point; answers 1 + the position of
// another title of the bar there, 0 for none or the open one.
constexpr uint32_t kMsgMenuBarHitTest = 0xC000 + 9;

struct MenuItem {
    uint32_t id = 0; // command id; 0 for separators and popups
    std::string text;
    uint32_t flags = 0;          // MF_GRAYED, MF_DISABLED, MF_CHECKED (MFT_RADIOCHECK: a dot), MF_SEPARATOR
    std::vector<MenuItem> popup; // the items of a popup; empty for a command
    bool isPopup() const { return !popup.empty(); }
    bool isChoosable() const { return (flags & 0x803u) == 0 && !isPopup(); } // not grayed, disabled, separator
};

class Menu {
public:
    Menu() = default;
    explicit Menu(std::vector<MenuItem> items);
    static Menu load(uint32_t resourceId); // a fresh copy of the registered template; empty when unknown

    bool isNull() const { return m_items == nullptr; }
    int32_t itemCount() const;
    const std::vector<MenuItem>& items() const;
    Menu subMenu(int32_t position) const; // shares the popup's items; null when not a popup
    // Previous MF_CHECKED state, or -1 when the item does not exist; MF_BYPOSITION picks by position.
    int32_t checkItem(uint32_t idOrPosition, uint32_t flags);
    int32_t enableItem(uint32_t idOrPosition, uint32_t flags);       // MF_GRAYED or MF_DISABLED; MF_ENABLED = 0
    uint32_t itemState(uint32_t idOrPosition, uint32_t flags) const; // 0xFFFFFFFF when missing
    // Adds item at the end of this menu's items; false for a null menu. A sub-menu taken of one of those items
    // before is left pointing at moved storage: take it again.
    bool appendItem(MenuItem item);
    // Hands the items to the menu chooser. Without TPM_RETURNCMD the choice is posted to the owner as
    // WM_COMMAND(id, 0) and arrives after this returns (1 when chosen); with it the id is returned, nothing posted.
    uint32_t trackPopup(uint32_t flags, Point screenPoint, Window& owner) const;

private:
    MenuItem* find(uint32_t idOrPosition, uint32_t flags) const;
    Menu(std::shared_ptr<std::vector<MenuItem>> root, std::vector<MenuItem>* items);

    std::shared_ptr<std::vector<MenuItem>> m_root; // keeps the whole tree alive for a sub-menu
    std::vector<MenuItem>* m_items = nullptr;      // within m_root
};

bool isChoosableCommand(const std::vector<MenuItem>& items, uint32_t id); // enabled, not a separator or popup

} // namespace pf
