#pragma once
// Popup menus drawn by the layer: each level a "popupmenu" window of its own, chosen with the mouse or the keys,
// closed unchosen by a click outside or Esc. The choice goes back through the MenuChooser contract, so
// Menu::trackPopup posts it or returns it exactly as with the scripted chooser. Needs no display.
#include "platform/ui/providers/providers.h"

namespace pf {

class Dc;

inline constexpr int32_t kMenuItemHeight = 20;
inline constexpr int32_t kMenuSeparatorHeight = 8;

class LiveMenuChooser final : public MenuChooser {
public:
    // Runs the nested loop until an item is chosen (its id), the menu is dismissed or a quit is posted (0).
    uint32_t choose(Hwnd owner, const std::vector<MenuItem>& items, Point point, uint32_t flags) override;
};

// Where each item of a menu level lies in its window's client area; separators are thinner.
std::vector<Rect> menuItemRects(const std::vector<MenuItem>& items, int32_t width);
// A menu level's client area: the inner ring of its raised frame, the items with their tick or radio marks and
// sub-menu arrows, etched separators, grayed items etched; `highlight` (-1: none) is lit.
void drawMenuLevel(Dc& dc, const Rect& client, const std::vector<MenuItem>& items, int32_t highlight);

} // namespace pf
