#pragma once
// The framed pictures controls are made of, drawn in one place so that every control looks alike: push-button
// frames, the wells of check boxes and radio buttons, arrow buttons, a trackbar's pointed thumb, a scroll bar with
// its arrows and dithered track, and the size grip. Each takes its size from the rectangle it is given.
#include "platform/base/rect.h"
#include "platform/gfx/glyph.h"

namespace pf {

class Dc;

// A push button: the dark outline of the default (or focused) button, then its raised edge -- inverted while the
// button is held down -- around a face fill. Returns the face inside the edge; a caption there moves one pixel
// down and right while pushed.
Rect drawPushButtonFrame(Dc& dc, const Rect& r, bool outlined, bool pushed);

// The side of a check box's or radio button's square for a control of that height: 13 at the usual 16 pixels,
// growing with taller controls, never taller than the control.
int32_t checkMarkSide(int32_t controlHeight);
// A sunken square well, white (face when grey: held down or disabled), with a tick when `check` is 1 and a grey
// tick on a face well when it is 2 (indeterminate).
void drawCheckBox(Dc& dc, const Rect& box, int32_t check, bool greyWell, bool enabled);
// A round sunken well in the square `box`, its corners left as they were, with a dot in the middle when checked.
void drawRadioButton(Dc& dc, const Rect& box, bool checked, bool greyWell, bool enabled);

// A raised button holding an arrow. Held down it is inverted, or with `flatWhenPushed` (scroll bars) a flat
// shadow ring; either way the arrow moves one pixel down and right. Disabled arrows are etched.
void drawArrowButton(Dc& dc, const Rect& r, Glyph arrow, bool pushed, bool enabled, bool flatWhenPushed = false);

// A trackbar's thumb: raised, with a point towards the ticks (down, or right when `pointsRight`) whose two slopes
// are lit like the sides they continue. Its face is light while it is dragged.
void drawPointedThumb(Dc& dc, const Rect& r, bool pointsRight, bool pushed);

struct ScrollBarLook {
    Rect bar; // the whole bar, arrows included
    bool vertical = false;
    Rect thumb;              // empty: no thumb (nothing to scroll)
    int32_t pushedArrow = 0; // 0 none, 1 the up or left arrow, 2 the down or right one
    bool enabled = true;
};
// Arrow buttons at both ends (squares of the bar's breadth, shorter when the bar is too short for two), the thumb
// raised on a dithered track.
void drawScrollBar(Dc& dc, const ScrollBarLook& look);
Rect scrollArrowRect(const Rect& bar, bool vertical, bool first); // where drawScrollBar puts an arrow button
void drawDitheredTrack(Dc& dc, const Rect& r); // highlight and face in a checkerboard fixed to logical (0, 0)
void drawSizeGrip(Dc& dc, const Rect& r);      // three ridges across the bottom-right square of r

} // namespace pf
