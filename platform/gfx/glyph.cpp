#include "platform/gfx/glyph.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"

#include <algorithm>

namespace pf {

namespace {

int32_t sideOf(const Rect& box)
{
    return static_cast<int32_t>(std::clamp<int64_t>(std::min(box.width(), box.height()), 0, 4096));
}

// The square of `side` centred in the box (rounded towards the top left).
Point squareOrigin(const Rect& box, int32_t side)
{
    return {box.l + static_cast<int32_t>((box.width() - side) / 2),
            box.t + static_cast<int32_t>((box.height() - side) / 2)};
}

// Two strokes, each `thick` pixels tall in every column: the short one down to the lowest point at column d - 1,
// the long one up to the top right corner. At side 7 this is the familiar 7 x 7 tick of three-pixel strokes.
void drawTick(Dc& dc, const Rect& box, const Brush& brush)
{
    const int32_t side = sideOf(box);
    if (side < 2)
        return;
    const Point o = squareOrigin(box, side);
    const int32_t thick = std::max(1, (side + 2) / 3);
    const int32_t down = std::max(1, (side + 2) / 3); // columns of the short stroke, the lowest point included
    for (int32_t i = 0; i < side; ++i) {
        const int32_t fromBottom = i < down ? down - 1 - i : i - (down - 1);
        const int32_t top = o.y + side - thick - fromBottom;
        const int32_t clippedTop = std::max(top, o.y);
        dc.fillRect({o.x + i, clippedTop, o.x + i + 1, top + thick}, brush);
    }
}

void drawDot(Dc& dc, const Rect& box, const Brush& brush)
{
    const int32_t side = sideOf(box);
    const Point o = squareOrigin(box, side);
    for (int32_t y = 0; y < side; ++y) {
        int32_t x0 = 0;
        while (x0 < side && !discCovers(side, side, x0, y))
            ++x0;
        if (x0 < side - x0)
            dc.fillRect({o.x + x0, o.y + y, o.x + side - x0, o.y + y + 1}, brush);
    }
}

// Row j from the base counts 2 (h - 1 - j) + 1 pixels: the point is one pixel, the base 2h - 1.
void drawArrow(Dc& dc, const Rect& box, Glyph glyph, const Brush& brush)
{
    const int32_t side = sideOf(box);
    const int32_t depth = std::max(1, (side + 2) / 4);
    const int32_t breadth = 2 * depth - 1;
    const bool vertical = glyph == Glyph::kArrowUp || glyph == Glyph::kArrowDown || glyph == Glyph::kDropArrow;
    const int32_t width = vertical ? breadth : depth;
    const int32_t height = vertical ? depth : breadth;
    const Point o{box.l + static_cast<int32_t>((box.width() - width) / 2),
                  box.t + static_cast<int32_t>((box.height() - height) / 2)};
    for (int32_t j = 0; j < depth; ++j) {
        const int32_t half = glyph == Glyph::kArrowUp || glyph == Glyph::kArrowLeft ? j : depth - 1 - j;
        const int32_t from = depth - 1 - half;
        const int32_t to = depth + half; // excluded
        if (vertical)
            dc.fillRect({o.x + from, o.y + j, o.x + to, o.y + j + 1}, brush);
        else
            dc.fillRect({o.x + j, o.y + from, o.x + j + 1, o.y + to}, brush);
    }
}

} // namespace

bool discCovers(int32_t side, int32_t diameter, int32_t x, int32_t y)
{
    // Twice the distance of the pixel's centre from the square's centre, against the diameter: integers only.
    const int64_t dx = 2 * int64_t{x} + 1 - side;
    const int64_t dy = 2 * int64_t{y} + 1 - side;
    return diameter > 0 && dx * dx + dy * dy < int64_t{diameter} * diameter;
}

void drawGlyph(Dc& dc, const Rect& box, Glyph glyph, ColorRef color)
{
    const Brush brush = createSolidBrush(color);
    switch (glyph) {
    case Glyph::kTick:
        drawTick(dc, box, brush);
        return;
    case Glyph::kDot:
        drawDot(dc, box, brush);
        return;
    case Glyph::kArrowUp:
    case Glyph::kArrowDown:
    case Glyph::kArrowLeft:
    case Glyph::kArrowRight:
    case Glyph::kDropArrow:
        drawArrow(dc, box, glyph, brush);
        return;
    }
}

void drawEtchedGlyph(Dc& dc, const Rect& box, Glyph glyph)
{
    drawGlyph(dc, box.offsetBy(1, 1), glyph, getSysColor(COLOR_BTNHIGHLIGHT));
    drawGlyph(dc, box, glyph, getSysColor(COLOR_BTNSHADOW));
}

} // namespace pf
