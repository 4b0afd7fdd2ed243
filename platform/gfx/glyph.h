#pragma once
// The one-colour marks that controls and menus draw: the tick of a check box or a checked menu item, the dot of a
// radio button, arrows, and the drop arrow of a combo box. Each is drawn from the box it is given at any size: it is
// centred there and sized from the box's smaller side, so a control passes a box made from its own height.
#include "platform/base/color.h"
#include "platform/base/rect.h"

namespace pf {

class Dc;

enum class Glyph {
    kTick,    // fills the square: a short stroke down to the lowest point, a long one up to the top right
    kDot,     // a disc the square's width across
    kArrowUp, // a solid triangle of rows 1, 3, 5, ... pixels wide, about a quarter of the side high
    kArrowDown,
    kArrowLeft,
    kArrowRight,
    kDropArrow, // a combo box's button: the down arrow
};

void drawGlyph(Dc& dc, const Rect& box, Glyph glyph, ColorRef color);
// A glyph on a disabled control: highlight one pixel down and right, then shadow, as etched text is drawn.
void drawEtchedGlyph(Dc& dc, const Rect& box, Glyph glyph);
// Whether the disc of the given diameter, centred in a square of `side`, covers pixel (x, y) of the square: the
// test that draws dots and the round wells of radio buttons, so rings of one centre nest without gaps.
bool discCovers(int32_t side, int32_t diameter, int32_t x, int32_t y);

} // namespace pf
