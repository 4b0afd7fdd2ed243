// Glyphs and the framed pictures made of them, probed at the sizes controls use: a tick lies on its two strokes, a
// radio well is round and its dot centred, arrows point their way, pushed and disabled buttons show it.
#include "canvas_fixture.h"

#include "platform/gfx/frame_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using namespace pf;
using pf::testing::CanvasBuffer;

constexpr uint32_t kUntouched = 0x00123456u; // no system colour
constexpr int32_t kSizes[] = {13, 16, 20};

uint32_t sys(int32_t index)
{
    return pixelFromColorRef(getSysColor(index));
}

struct Canvas {
    explicit Canvas(int32_t side, uint32_t fill = kUntouched) : buffer(side, side), dc(buffer.surface())
    {
        buffer.surface()->fill(fill);
    }
    uint32_t at(int32_t x, int32_t y) const { return buffer.surface()->pixel(x, y); }
    std::vector<Point> pixelsOf(uint32_t color, const Rect& within) const
    {
        std::vector<Point> out;
        for (int32_t y = within.t; y < within.b; ++y)
            for (int32_t x = within.l; x < within.r; ++x)
                if (at(x, y) == color)
                    out.push_back({x, y});
        return out;
    }
    CanvasBuffer buffer;
    SurfaceDc dc;
};

// Column by column, the tick's pixels: one run each, all as tall, falling a pixel a column to the lowest point left
// of the middle, then rising a pixel a column to the top right corner.
void expectTickShape(const Canvas& c, const Rect& mark, uint32_t color)
{
    int32_t thickness = -1;
    std::vector<int32_t> tops;
    for (int32_t x = mark.l; x < mark.r; ++x) {
        std::vector<int32_t> ys;
        for (int32_t y = mark.t; y < mark.b; ++y)
            if (c.at(x, y) == color)
                ys.push_back(y);
        ASSERT_FALSE(ys.empty()) << "column " << x;
        EXPECT_EQ(ys.back() - ys.front() + 1, static_cast<int32_t>(ys.size())) << "one run in column " << x;
        if (thickness < 0)
            thickness = static_cast<int32_t>(ys.size());
        EXPECT_EQ(static_cast<int32_t>(ys.size()), thickness) << "column " << x;
        tops.push_back(ys.front());
    }
    size_t lowest = 0;
    for (size_t i = 1; i < tops.size(); ++i)
        if (tops[i] > tops[lowest])
            lowest = i;
    EXPECT_LT(lowest, tops.size() / 2) << "the short stroke is on the left";
    EXPECT_GE(lowest, 1u);
    for (size_t i = 1; i < tops.size(); ++i)
        EXPECT_EQ(tops[i] - tops[i - 1], i <= lowest ? 1 : -1) << "45-degree strokes, column " << i;
    EXPECT_EQ(tops.back(), mark.t) << "the long stroke ends at the top";
    EXPECT_EQ(tops[lowest] + thickness, mark.b) << "the lowest point touches the bottom";
    EXPECT_GE(thickness, 2);
}

TEST(CheckBoxGlyph, TickLiesOnItsTwoStrokesInASunkenWhiteWell)
{
    for (const int32_t side : kSizes) {
        SCOPED_TRACE(side);
        Canvas c(side + 2);
        const Rect box = Rect::fromXywh(1, 1, side, side);
        drawCheckBox(c.dc, box, 1, false, true);
        EXPECT_EQ(c.at(1 + side / 2, 1), sys(COLOR_BTNSHADOW)) << "sunken: shadow on top";
        EXPECT_EQ(c.at(1 + side / 2, side), sys(COLOR_BTNHIGHLIGHT)) << "highlight at the bottom";
        EXPECT_EQ(c.at(1 + side / 2, 2), sys(COLOR_3DDKSHADOW));
        const Rect mark = box.inflatedBy(-3, -3);
        expectTickShape(c, mark, sys(COLOR_BTNTEXT));
        EXPECT_EQ(c.at(mark.l, mark.t), sys(COLOR_WINDOW)) << "the well is white where the tick is not";
        EXPECT_EQ(c.at(0, 0), kUntouched);

        Canvas clear(side + 2);
        drawCheckBox(clear.dc, box, 0, false, true);
        // Black and white are also the edge's dark shadow and highlight: look inside the rings only.
        const Rect well = box.inflatedBy(-2, -2);
        EXPECT_TRUE(clear.pixelsOf(sys(COLOR_BTNTEXT), well).empty()) << "no tick when clear";
        EXPECT_EQ(clear.pixelsOf(sys(COLOR_WINDOW), well).size(), static_cast<size_t>((side - 4) * (side - 4)));

        Canvas grey(side + 2);
        drawCheckBox(grey.dc, box, 1, true, false);
        expectTickShape(grey, mark, sys(COLOR_BTNSHADOW));
        EXPECT_EQ(grey.at(mark.l, mark.t), sys(COLOR_BTNFACE)) << "a disabled box has a grey well";
        Canvas third(side + 2);
        drawCheckBox(third.dc, box, 2, false, true);
        expectTickShape(third, mark, sys(COLOR_BTNSHADOW));
    }
}

TEST(RadioGlyph, WellIsRoundAndItsDotCentred)
{
    for (const int32_t side : kSizes) {
        SCOPED_TRACE(side);
        Canvas c(side, sys(COLOR_BTNFACE));
        drawRadioButton(c.dc, {0, 0, side, side}, true, false, true);
        for (const Point corner : {Point{0, 0}, Point{side - 1, 0}, Point{0, side - 1}, Point{side - 1, side - 1}})
            EXPECT_EQ(c.at(corner.x, corner.y), sys(COLOR_BTNFACE)) << "corner " << corner.x << ", " << corner.y;
        EXPECT_EQ(c.at(side / 2, side / 2), sys(COLOR_BTNTEXT)) << "the dot at the centre";
        EXPECT_EQ(c.at(side / 2, 0), sys(COLOR_BTNSHADOW)) << "lit from the top left: shadow on top";
        EXPECT_EQ(c.at(0, side / 2), sys(COLOR_BTNSHADOW));
        EXPECT_EQ(c.at(side / 2, side - 1), sys(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(c.at(side - 1, side / 2), sys(COLOR_BTNHIGHLIGHT));
        // Round: the well's pixels are the same under both mirrors, and its rows widen then narrow.
        int32_t previousWidth = 0;
        for (int32_t y = 0; y < side; ++y) {
            int32_t width = 0;
            for (int32_t x = 0; x < side; ++x) {
                const bool in = c.at(x, y) != sys(COLOR_BTNFACE);
                EXPECT_EQ(in, c.at(side - 1 - x, y) != sys(COLOR_BTNFACE)) << x << ", " << y;
                EXPECT_EQ(in, c.at(x, side - 1 - y) != sys(COLOR_BTNFACE)) << x << ", " << y;
                width += in ? 1 : 0;
            }
            if (y < side / 2) {
                EXPECT_GE(width, previousWidth) << "row " << y;
            }
            previousWidth = width;
        }
        std::vector<Point> dot; // inside the inner ring, whose dark shadow is black too
        for (const Point p : c.pixelsOf(sys(COLOR_BTNTEXT), {0, 0, side, side}))
            if (discCovers(side, side - 4, p.x, p.y))
                dot.push_back(p);
        int64_t sumX = 0, sumY = 0;
        for (const Point p : dot) {
            sumX += 2 * p.x + 1;
            sumY += 2 * p.y + 1;
        }
        EXPECT_EQ(sumX, int64_t{side} * static_cast<int64_t>(dot.size())) << "the dot is centred across";
        EXPECT_EQ(sumY, int64_t{side} * static_cast<int64_t>(dot.size())) << "the dot is centred down";
        EXPECT_GE(dot.size(), 12u);

        Canvas clear(side, sys(COLOR_BTNFACE));
        drawRadioButton(clear.dc, {0, 0, side, side}, false, false, true);
        EXPECT_EQ(clear.at(side / 2, side / 2), sys(COLOR_WINDOW)) << "an empty white well";
        Canvas disabled(side, sys(COLOR_BTNFACE));
        drawRadioButton(disabled.dc, {0, 0, side, side}, true, true, false);
        EXPECT_EQ(disabled.at(side / 2, side / 2), sys(COLOR_BTNSHADOW)) << "a grey dot";
        EXPECT_EQ(disabled.at(side / 2, 3), sys(COLOR_BTNFACE)) << "in a grey well";
    }
}

// Rows (or columns, for left and right) of 1, 3, 5, ... pixels from the point to the base, on one centre line.
void expectArrow(const Canvas& c, const Rect& box, Glyph glyph, uint32_t color)
{
    const bool vertical = glyph == Glyph::kArrowUp || glyph == Glyph::kArrowDown || glyph == Glyph::kDropArrow;
    const bool pointFirst = glyph == Glyph::kArrowUp || glyph == Glyph::kArrowLeft;
    std::map<int32_t, std::vector<int32_t>> lines; // along the arrow -> across it
    for (const Point p : c.pixelsOf(color, box))
        lines[vertical ? p.y : p.x].push_back(vertical ? p.x : p.y);
    ASSERT_GE(lines.size(), 3u);
    std::vector<int32_t> widths;
    std::vector<int32_t> centres;
    for (const auto& [along, across] : lines) {
        widths.push_back(static_cast<int32_t>(across.size()));
        centres.push_back(across.front() + across.back());
    }
    if (!pointFirst)
        std::reverse(widths.begin(), widths.end());
    for (size_t i = 0; i < widths.size(); ++i)
        EXPECT_EQ(widths[i], static_cast<int32_t>(2 * i + 1)) << "line " << i << " from the point";
    for (const int32_t centre : centres)
        EXPECT_EQ(centre, centres.front()) << "one centre line";
    const int32_t boxCentre = vertical ? box.l + box.r - 1 : box.t + box.b - 1;
    EXPECT_LE(std::abs(centres.front() - boxCentre), 1) << "centred in the box";
}

TEST(ArrowGlyph, EachPointsItsWayCentredInItsBox)
{
    for (const int32_t side : kSizes) {
        for (const Glyph g :
             {Glyph::kArrowUp, Glyph::kArrowDown, Glyph::kArrowLeft, Glyph::kArrowRight, Glyph::kDropArrow}) {
            SCOPED_TRACE(::testing::Message() << "side " << side << " glyph " << static_cast<int>(g));
            Canvas c(side + 2);
            drawGlyph(c.dc, Rect::fromXywh(1, 1, side, side), g, rgb(0, 0, 0));
            expectArrow(c, Rect::fromXywh(1, 1, side, side), g, 0);
            EXPECT_EQ(c.pixelsOf(0, {0, 0, side + 2, side + 2}).size(),
                      c.pixelsOf(0, {1, 1, side + 1, side + 1}).size())
                << "nothing outside the box";
        }
    }
}

TEST(ArrowButton, PushedShowsItsEdgeInvertedOrFlatAndMovesTheArrow)
{
    for (const int32_t side : kSizes) {
        SCOPED_TRACE(side);
        const Rect r{0, 0, side, side};
        Canvas up(side), pushed(side), flat(side), disabled(side);
        drawArrowButton(up.dc, r, Glyph::kArrowUp, false, true);
        drawArrowButton(pushed.dc, r, Glyph::kArrowUp, true, true);
        drawArrowButton(flat.dc, r, Glyph::kArrowUp, true, true, true);
        drawArrowButton(disabled.dc, r, Glyph::kArrowUp, false, false);
        EXPECT_EQ(up.at(side / 2, 0), sys(COLOR_BTNHIGHLIGHT)) << "raised: highlight on top";
        EXPECT_EQ(up.at(side - 1, side / 2), sys(COLOR_3DDKSHADOW)) << "dark shadow on the right";
        EXPECT_EQ(pushed.at(side / 2, 0), sys(COLOR_3DDKSHADOW)) << "pushed: the edge inverted";
        EXPECT_EQ(pushed.at(side - 1, side / 2), sys(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(flat.at(side / 2, 0), sys(COLOR_BTNSHADOW)) << "flat: one shadow ring";
        EXPECT_EQ(flat.at(side - 1, side / 2), sys(COLOR_BTNSHADOW));
        const Rect face = r.inflatedBy(-2, -2); // the edges' dark shadow is black like the arrow
        expectArrow(up, face, Glyph::kArrowUp, sys(COLOR_BTNTEXT));
        const std::vector<Point> a = up.pixelsOf(sys(COLOR_BTNTEXT), face);
        const std::vector<Point> b = flat.pixelsOf(sys(COLOR_BTNTEXT), face);
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i)
            EXPECT_EQ((Point{a[i].x + 1, a[i].y + 1}), b[i]) << "the arrow moves one pixel down and right";
        EXPECT_TRUE(disabled.pixelsOf(sys(COLOR_BTNTEXT), face).empty()) << "a disabled arrow is etched";
        expectArrow(disabled, face, Glyph::kArrowUp, sys(COLOR_BTNSHADOW));
    }
}

TEST(PushButtonFrame, DefaultOutlineThenRaisedEdgeInvertedWhilePushed)
{
    Canvas c(30), pushed(30);
    const Rect r{2, 2, 28, 24};
    EXPECT_EQ(drawPushButtonFrame(c.dc, r, true, false), r.inflatedBy(-3, -3));
    drawPushButtonFrame(pushed.dc, r, true, true);
    for (const Canvas* k : {&c, &pushed}) {
        EXPECT_EQ(k->at(10, 2), sys(COLOR_WINDOWFRAME)) << "the dark outline on top";
        EXPECT_EQ(k->at(27, 10), sys(COLOR_WINDOWFRAME)) << "and on the right";
        EXPECT_EQ(k->at(10, 10), sys(COLOR_BTNFACE));
    }
    EXPECT_EQ(c.at(10, 3), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(c.at(10, 22), sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(pushed.at(10, 3), sys(COLOR_3DDKSHADOW)) << "pushed: dark where it was lit";
    EXPECT_EQ(pushed.at(10, 22), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pushed.at(10, 4), sys(COLOR_BTNSHADOW));
    Canvas plain(30);
    EXPECT_EQ(drawPushButtonFrame(plain.dc, r, false, false), r.inflatedBy(-2, -2));
    EXPECT_EQ(plain.at(10, 2), sys(COLOR_BTNHIGHLIGHT)) << "no outline: the edge is outermost";
}

TEST(ScrollBarPicture, ArrowsAtBothEndsAndARaisedThumbOnADitheredTrack)
{
    Canvas c(120);
    const Rect bar{0, 0, 120, 16};
    drawScrollBar(c.dc, {bar, false, {50, 0, 70, 16}, 0, true});
    const Rect firstFace{2, 2, 14, 14}; // inside the arrow buttons' edges, whose dark shadow is black too
    const Rect secondFace{106, 2, 118, 14};
    expectArrow(c, firstFace, Glyph::kArrowLeft, sys(COLOR_BTNTEXT));
    expectArrow(c, secondFace, Glyph::kArrowRight, sys(COLOR_BTNTEXT));
    EXPECT_EQ(c.at(55, 0), sys(COLOR_BTNHIGHLIGHT)) << "the thumb is raised";
    EXPECT_EQ(c.at(55, 15), sys(COLOR_3DDKSHADOW));
    for (int32_t x = 20; x < 40; ++x) {
        const uint32_t here = c.at(x, 7);
        EXPECT_TRUE(here == sys(COLOR_BTNHIGHLIGHT) || here == sys(COLOR_BTNFACE)) << x;
        EXPECT_NE(here, c.at(x + 1, 7)) << "a checkerboard across";
        EXPECT_NE(here, c.at(x, 8)) << "and down";
    }
    const Rect tall{0, 0, 16, 20};
    EXPECT_EQ(scrollArrowRect(tall, true, true), (Rect{0, 0, 16, 10})) << "too short for two squares: halves";
    EXPECT_EQ(scrollArrowRect(tall, true, false), (Rect{0, 10, 16, 20}));
}

TEST(PointedThumb, RaisedWithItsPointTowardsTheTicks)
{
    Canvas down(30), right(30);
    drawPointedThumb(down.dc, {5, 3, 15, 21}, false, false);
    drawPointedThumb(right.dc, {3, 5, 21, 15}, true, false);
    const Surface32& d = *down.buffer.surface();
    const Surface32& r = *right.buffer.surface();
    for (int32_t i = 0; i < 30; ++i)
        for (int32_t j = 0; j < 30; ++j)
            EXPECT_EQ(d.pixel(i, j), r.pixel(j, i)) << "pointing right is pointing down transposed";
    EXPECT_EQ(down.at(5, 3), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(down.at(14, 3), sys(COLOR_3DDKSHADOW)) << "the top-right corner is shaded";
    EXPECT_EQ(down.at(5, 12), sys(COLOR_BTNHIGHLIGHT)) << "left side";
    EXPECT_EQ(down.at(14, 12), sys(COLOR_3DDKSHADOW)) << "right side";
    // The point: each lower row one pixel narrower on both sides, lit on the left slope, shaded on the right.
    int32_t lastWidth = 10;
    for (int32_t y = 17; y < 21; ++y) {
        int32_t l = 5, rr = 14;
        while (l < 15 && down.at(l, y) == kUntouched)
            ++l;
        while (rr >= 5 && down.at(rr, y) == kUntouched)
            --rr;
        EXPECT_EQ(rr - l + 1, lastWidth - 2) << "row " << y;
        lastWidth = rr - l + 1;
        EXPECT_EQ(down.at(l, y), sys(COLOR_BTNHIGHLIGHT)) << "row " << y;
        EXPECT_EQ(down.at(rr, y), sys(COLOR_3DDKSHADOW)) << "row " << y;
    }
    EXPECT_EQ(down.at(5, 20), kUntouched) << "the point leaves the corners alone";
}

TEST(SizeGrip, RidgesOnlyInTheBottomRightTriangle)
{
    for (const int32_t side : kSizes) {
        SCOPED_TRACE(side);
        Canvas c(side);
        drawSizeGrip(c.dc, {0, 0, side, side});
        int32_t highlights = 0, shadows = 0;
        for (int32_t y = 0; y < side; ++y) {
            for (int32_t x = 0; x < side; ++x) {
                const uint32_t p = c.at(x, y);
                if (x + y < side - 1) {
                    EXPECT_EQ(p, kUntouched) << x << ", " << y;
                }
                highlights += p == sys(COLOR_BTNHIGHLIGHT) ? 1 : 0;
                shadows += p == sys(COLOR_BTNSHADOW) ? 1 : 0;
            }
        }
        EXPECT_GE(highlights, 3 * 3) << "three ridges, each with its lit diagonal";
        EXPECT_GT(shadows, highlights);
        EXPECT_EQ(c.at(side - 1, side - 1), kUntouched) << "the corner pixel is left clear";
    }
}

} // namespace
