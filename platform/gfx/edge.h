#pragma once
// The edges of the classic look: one-pixel rings lit from the top left, in the system colours. A raised ring is
// lighter on its top and left sides than on its bottom and right ones, a sunken ring the other way round; two rings
// make the edges of buttons, wells and window frames, and a sunken ring inside a raised one is the etched line of
// group boxes and separators. As in draw3dRect, a ring's top side stops before the top-right pixel and its left
// side before the bottom-left one: both corners belong to the bottom and right sides.
#include "platform/base/color.h"
#include "platform/base/rect.h"

#include <string_view>

namespace pf {

class Dc;

enum class EdgeKind {
    kRaisedOuter,  // light, dark shadow: the outer ring of a window frame
    kRaisedInner,  // highlight, shadow: a hot flat button
    kSunkenOuter,  // shadow, highlight: status panes, a pushed flat button
    kSunkenInner,  // dark shadow, light
    kRaised,       // window frames: raised outer, then raised inner
    kSunken,       // edits, lists, check-box wells: sunken outer, then sunken inner
    kEtched,       // group boxes: sunken outer, then raised inner
    kBump,         // raised outer, then sunken inner
    kButton,       // push buttons, arrow buttons, thumbs, tabs: highlight and dark shadow, then light and shadow
    kButtonPushed, // a push button held down: the button's rings with the colours of each side swapped
    kFlat,         // one shadow ring all round: an arrow button held down
};

struct EdgeColors {
    ColorRef topLeft = 0;
    ColorRef bottomRight = 0;
};

int32_t edgeWidth(EdgeKind kind);                       // pixels on each side: 1 or 2
EdgeColors edgeRingColors(EdgeKind kind, int32_t ring); // ring 0 is the outer one; ring 1 of a one-ring kind: ring 0
Rect drawEdge(Dc& dc, const Rect& r, EdgeKind kind);    // the rectangle inside the rings (empty when none is left)
void drawEtchedLine(Dc& dc, Point from, int32_t length, bool vertical); // shadow, then highlight below or right of it
// Disabled text as the classic look shows it: the text in highlight one pixel down and right, then in shadow over it.
// Transparent either way; the DC's text colour and background mode are kept.
void drawEtchedText(Dc& dc, int32_t x, int32_t y, std::string_view text);

} // namespace pf
