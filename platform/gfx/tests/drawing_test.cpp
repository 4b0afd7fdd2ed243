#include "canvas_fixture.h"

#include "platform/gfx/memory_dc.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>

namespace {

using pf::Point;
using pf::Rect;
using pf::testing::CanvasBuffer;

constexpr uint32_t kWhite = 0x00FFFFFFu;

std::set<std::pair<int, int>> pixelsDifferentFrom(const CanvasBuffer& canvas, uint32_t background)
{
    std::set<std::pair<int, int>> out;
    const pf::Surface32& s = *canvas.surface();
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.pixel(x, y) != background)
                out.insert({x, y});
    return out;
}

// ---- mix modes and raster operations

TEST(RasterOps, EveryMixModeFollowsItsTruthTable)
{
    // With pen bits 1100 and destination bits 1010 the result bits are the code's table c - 1 itself.
    for (int32_t code = pf::R2_BLACK; code <= pf::R2_WHITE; ++code) {
        SCOPED_TRACE(code);
        CanvasBuffer canvas(4, 1);
        canvas.surface()->setPixel(0, 0, 0x77AAAAAAu);
        pf::SurfaceDc dc(canvas.surface());
        dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(0xCC, 0xCC, 0xCC)));
        dc.setROP2(code);
        dc.moveTo({0, 0});
        dc.lineTo({1, 0});
        const uint32_t nibble = static_cast<uint32_t>(code - 1);
        const uint32_t expected = code == pf::R2_NOP ? 0x77AAAAAAu : 0x00010101u * (0x11u * nibble);
        EXPECT_EQ(canvas.surface()->pixel(0, 0), expected) << "byte 3 is cleared by every mode that draws";
    }
}

TEST(RasterOps, BlitsFollowTheirTruthTablesOnAllFourBytes)
{
    // Pattern 0xF0, source 0xCC, destination 0xAA: each result byte is the operation's table byte.
    const uint32_t operations[] = {pf::SRCCOPY,   pf::SRCPAINT,  pf::SRCAND,    pf::SRCINVERT, pf::PATCOPY,
                                   pf::PATINVERT, pf::DSTINVERT, pf::BLACKNESS, pf::WHITENESS, 0x00B8074Au};
    for (const uint32_t rop : operations) {
        SCOPED_TRACE(rop);
        CanvasBuffer source(2, 2);
        source.surface()->fill(0xCCCCCCCCu);
        CanvasBuffer dest(2, 2);
        dest.surface()->fill(0xAAAAAAAAu);
        pf::SurfaceDc sourceDc(source.surface());
        pf::SurfaceDc destDc(dest.surface());
        destDc.selectBrush(pf::createSolidBrush(pf::rgb(0xF0, 0xF0, 0xF0)));
        EXPECT_TRUE(destDc.bitBlt(0, 0, 1, 1, sourceDc, 0, 0, rop));
        const uint32_t table = (rop >> 16) & 0xFF;
        const uint32_t rgbPart = 0x010101u * table;
        // The pattern's byte 3 is 0, so byte 3 follows the table with pattern bits 0.
        const uint32_t alpha = pf::applyRop3(static_cast<uint8_t>(table), 0, 0xCCCCCCCCu, 0xAAAAAAAAu) >> 24;
        EXPECT_EQ(dest.surface()->pixel(0, 0), (alpha << 24) | rgbPart);
        EXPECT_EQ(dest.surface()->pixel(1, 0), 0xAAAAAAAAu) << "outside the blit";
    }
}

TEST(RasterOps, PatBltRefusesOperationsThatReadASource)
{
    CanvasBuffer canvas(2, 2);
    pf::SurfaceDc dc(canvas.surface());
    EXPECT_FALSE(dc.patBlt({0, 0, 2, 2}, pf::SRCCOPY));
    EXPECT_EQ(canvas.surface()->pixel(0, 0), 0u);
}

// ---- half-open geometry

TEST(HalfOpenShapes, FillRectCoversExactlyLeftTopToRightBottomExclusive)
{
    CanvasBuffer canvas(12, 12);
    pf::SurfaceDc dc(canvas.surface());
    dc.setROP2(pf::R2_XORPEN); // ignored by fillRect
    dc.fillRect({2, 3, 6, 8}, pf::createSolidBrush(pf::rgb(255, 255, 255)));
    std::set<std::pair<int, int>> expected;
    for (int y = 3; y < 8; ++y)
        for (int x = 2; x < 6; ++x)
            expected.insert({x, y});
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0), expected);
    dc.fillRect({2, 3, 6, 8}, pf::createSolidBrush(pf::rgb(255, 255, 255)));
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0), expected) << "a pattern copy, not a mix";
}

TEST(HalfOpenShapes, RectangleOutlineStaysInsideAndBrushFillsTheRest)
{
    CanvasBuffer canvas(12, 12);
    pf::SurfaceDc dc(canvas.surface());
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(255, 0, 0)));
    dc.selectBrush(pf::createSolidBrush(pf::rgb(0, 0, 255)));
    dc.rectangle({2, 3, 7, 9});
    const pf::Surface32& s = *canvas.surface();
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool inBox = x >= 2 && x <= 6 && y >= 3 && y <= 8;
            const bool onEdge = inBox && (x == 2 || x == 6 || y == 3 || y == 8);
            const uint32_t expected = !inBox ? 0u : onEdge ? 0x00FF0000u : 0x000000FFu;
            ASSERT_EQ(s.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(HalfOpenShapes, HollowBrushAndNullPenRectangles)
{
    CanvasBuffer canvas(12, 12);
    canvas.surface()->fill(0x00123456u);
    pf::SurfaceDc dc(canvas.surface());
    dc.selectBrush(std::get<pf::Brush>(pf::getStockObject(pf::NULL_BRUSH)));
    dc.rectangle({1, 1, 6, 6});
    EXPECT_EQ(canvas.surface()->pixel(3, 3), 0x00123456u) << "hollow brush leaves the interior";
    EXPECT_EQ(canvas.surface()->pixel(1, 1), 0u);

    dc.selectPen(std::get<pf::Pen>(pf::getStockObject(pf::NULL_PEN)));
    dc.selectBrush(std::get<pf::Brush>(pf::getStockObject(pf::WHITE_BRUSH)));
    dc.rectangle({7, 7, 11, 11});
    EXPECT_EQ(canvas.surface()->pixel(7, 7), kWhite);
    EXPECT_EQ(canvas.surface()->pixel(9, 9), kWhite);
    EXPECT_EQ(canvas.surface()->pixel(10, 9), 0x00123456u) << "without a pen the fill stops one pixel short";
    EXPECT_EQ(canvas.surface()->pixel(9, 10), 0x00123456u);
}

// ---- lines

std::set<std::pair<int, int>> drawnLine(Point from, Point to, int32_t style = pf::PS_SOLID, int32_t width = 1)
{
    CanvasBuffer canvas(64, 64);
    pf::SurfaceDc dc(canvas.surface());
    dc.selectPen(pf::createPen(style, width, pf::rgb(255, 255, 255)));
    dc.moveTo(from);
    dc.lineTo(to);
    EXPECT_EQ(dc.currentPosition(), to);
    return pixelsDifferentFrom(canvas, 0);
}

TEST(Lines, EndPointIsExcludedAndEveryStepDrawsOnePixel)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(2, 61);
    for (int trial = 0; trial < 300; ++trial) {
        const Point from{coordinate(random), coordinate(random)};
        const Point to{coordinate(random), coordinate(random)};
        SCOPED_TRACE(::testing::Message() << from.x << "," << from.y << " -> " << to.x << "," << to.y);
        const auto pixels = drawnLine(from, to);
        const int dx = to.x - from.x;
        const int dy = to.y - from.y;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        ASSERT_EQ(pixels.size(), static_cast<size_t>(steps));
        if (steps == 0)
            continue;
        EXPECT_TRUE(pixels.count({from.x, from.y}));
        EXPECT_FALSE(pixels.count({to.x, to.y}));
        for (const auto& [x, y] : pixels) {
            // Within half a pixel of the ideal line along the minor axis.
            if (std::abs(dx) >= std::abs(dy)) {
                const double ideal = from.y + static_cast<double>(x - from.x) * dy / dx;
                EXPECT_LE(std::abs(y - ideal), 0.5 + 1e-9);
            } else {
                const double ideal = from.x + static_cast<double>(y - from.y) * dx / dy;
                EXPECT_LE(std::abs(x - ideal), 0.5 + 1e-9);
            }
        }
    }
}

TEST(Lines, ClosedPolylineUnderXorHitsEachJointOnce)
{
    CanvasBuffer canvas(16, 16);
    pf::SurfaceDc dc(canvas.surface());
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(255, 255, 255)));
    dc.setROP2(pf::R2_XORPEN);
    const std::array<Point, 5> path = {Point{2, 2}, Point{12, 2}, Point{12, 9}, Point{2, 9}, Point{2, 2}};
    dc.polyline(path);
    for (const Point corner : {Point{2, 2}, Point{12, 2}, Point{12, 9}, Point{2, 9}})
        EXPECT_EQ(canvas.surface()->pixel(corner.x, corner.y), kWhite) << corner.x << "," << corner.y;
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0).size(), 2u * (10 + 7));
}

TEST(Lines, DottedPenAlternatesThreeOnThreeOffFromEachStart)
{
    const auto pixels = drawnLine({0, 5}, {20, 5}, pf::PS_DOT);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(pixels.count({x, 5}) == 1, (x / 3) % 2 == 0) << x;
    EXPECT_EQ(drawnLine({0, 5}, {20, 5}, pf::PS_DOT, 3).size(), 60u) << "styled pens wider than 1 draw solid";
}

TEST(Lines, WideLineIsABandOfThePenWidth)
{
    const auto horizontal = drawnLine({10, 20}, {30, 20}, pf::PS_SOLID, 3);
    EXPECT_EQ(horizontal.size(), 20u * 3);
    for (int x = 10; x < 30; ++x)
        for (int y = 19; y <= 21; ++y)
            EXPECT_TRUE(horizontal.count({x, y}));
    const auto vertical = drawnLine({10, 10}, {10, 40}, pf::PS_SOLID, 4);
    EXPECT_EQ(vertical.size(), 30u * 4);
    const auto diagonal = drawnLine({10, 10}, {40, 40}, pf::PS_SOLID, 5);
    const double area = 30 * std::sqrt(2.0) * 5; // length x width
    EXPECT_GT(static_cast<double>(diagonal.size()), area * 0.95);
    EXPECT_LT(static_cast<double>(diagonal.size()), area * 1.05);
}

// ---- XOR restores every pixel

void drawRandomShape(pf::Dc& dc, std::mt19937& random, int extent)
{
    std::uniform_int_distribution<int> coordinate(-extent / 4, extent + extent / 4);
    auto point = [&] { return Point{coordinate(random), coordinate(random)}; };
    const int32_t styles[] = {pf::PS_SOLID, pf::PS_DOT, pf::PS_DASH};
    dc.selectPen(pf::createPen(styles[random() % 3], static_cast<int32_t>(random() % 5), pf::rgb(255, 160, 40)));
    dc.selectBrush(random() % 4 == 0 ? pf::Brush{pf::BS_NULL, 0} : pf::createSolidBrush(pf::rgb(10, 200, 99)));
    dc.setPolyFillMode(random() % 2 == 0 ? pf::ALTERNATE : pf::WINDING);
    switch (random() % 6) {
    case 0:
        dc.moveTo(point());
        dc.lineTo(point());
        break;
    case 1: {
        const std::array<Point, 5> points = {point(), point(), point(), point(), point()};
        dc.polyline(points);
        break;
    }
    case 2: {
        const std::array<Point, 6> points = {point(), point(), point(), point(), point(), point()};
        dc.polygon(points);
        break;
    }
    case 3:
        dc.rectangle({coordinate(random), coordinate(random), coordinate(random), coordinate(random)});
        break;
    case 4:
        dc.ellipse({coordinate(random), coordinate(random), coordinate(random), coordinate(random)});
        break;
    default:
        dc.drawFocusRect({coordinate(random), coordinate(random), coordinate(random), coordinate(random)});
        break;
    }
}

TEST(XorDrawing, EveryShapeDrawnTwiceRestoresEveryPixel)
{
    std::mt19937 random(2024);
    int changed = 0;
    for (int trial = 0; trial < 600; ++trial) {
        SCOPED_TRACE(trial);
        CanvasBuffer canvas(48, 40);
        canvas.fillPattern(static_cast<uint32_t>(trial) * 977u);
        const std::vector<uint32_t> before = canvas.pixels();
        pf::SurfaceDc dc(canvas.surface(), {3, 2}, pf::Region(Rect{0, 0, 48, 40}));
        dc.setROP2(trial % 3 == 0 ? pf::R2_NOT : pf::R2_XORPEN);
        if (trial % 2 == 1)
            dc.intersectClipRect({5, 4, 30, 33});
        if (trial % 5 == 2) {
            const pf::Region holes = pf::subtracted(pf::Region(Rect{0, 0, 40, 40}), pf::Region(Rect{10, 10, 20, 20}));
            dc.selectClipRgn(&holes);
        }
        std::mt19937 replay = random;
        drawRandomShape(dc, random, 48);
        changed += canvas.pixels() != before ? 1 : 0;
        drawRandomShape(dc, replay, 48);
        ASSERT_EQ(canvas.pixels(), before);
        ASSERT_TRUE(canvas.canaryIntact());
    }
    EXPECT_GT(changed, 400) << "most shapes must have drawn something for the property to mean anything";
}

// ---- clipping holds at any coordinate

TEST(Clipping, HugeAndNegativeCoordinatesNeverWriteOutsideClipAndSurface)
{
    constexpr int32_t kHuge = 1 << 30;
    CanvasBuffer canvas(40, 30);
    pf::SurfaceDc dc(canvas.surface(), {0, 0}, pf::Region(Rect{0, 0, 40, 30}));
    dc.intersectClipRect({5, 5, 30, 20});
    dc.selectPen(pf::createPen(pf::PS_SOLID, 7, pf::rgb(255, 255, 255)));
    dc.selectBrush(pf::createSolidBrush(pf::rgb(255, 255, 255)));
    dc.setTextColor(pf::rgb(255, 255, 255));
    const std::array<Point, 4> farPoints = {Point{-kHuge, -kHuge}, Point{kHuge, -kHuge + 3}, Point{kHuge, kHuge},
                                            Point{-kHuge + 5, kHuge}};
    for (int width : {1, 7}) {
        dc.selectPen(pf::createPen(width == 1 ? pf::PS_DOT : pf::PS_SOLID, width, pf::rgb(255, 255, 255)));
        dc.moveTo({-kHuge, -kHuge});
        dc.lineTo({kHuge, kHuge - 7});
        dc.moveTo({kHuge, -kHuge});
        dc.lineTo({-kHuge, 12});
        dc.polyline(farPoints);
        dc.polygon(farPoints);
        dc.rectangle({-kHuge, -kHuge, kHuge, kHuge});
        dc.ellipse({-kHuge, -kHuge, kHuge, kHuge / 2});
        dc.ellipse({-3, -40, 12, 90});
    }
    dc.fillRect({-kHuge, -kHuge, kHuge, kHuge}, pf::createSolidBrush(pf::rgb(1, 2, 3)));
    dc.patBlt({-kHuge, -kHuge, kHuge, kHuge}, pf::PATINVERT);
    dc.drawFocusRect({-kHuge, -kHuge, kHuge, kHuge});
    dc.textOut(-kHuge, -kHuge, "far away");
    dc.textOut(2, 8, "clipped text");
    dc.setViewportOrg({INT32_MAX, INT32_MIN}); // logical + origin overflows 32 bits
    dc.moveTo({INT32_MAX, INT32_MIN});
    dc.lineTo({INT32_MIN, INT32_MAX});
    dc.rectangle({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    dc.setViewportOrg({0, 0});
    EXPECT_TRUE(canvas.canaryIntact());
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            if (!(x >= 5 && x < 30 && y >= 5 && y < 20)) {
                ASSERT_EQ(canvas.surface()->pixel(x, y), 0u) << x << "," << y;
            }
    EXPECT_NE(canvas.surface()->pixel(10, 10), 0u) << "the clip's inside was drawn";
}

TEST(Clipping, VisibleRegionAndOriginBoundEveryDrawing)
{
    CanvasBuffer canvas(32, 32);
    const pf::Region visible = pf::subtracted(pf::Region(Rect{4, 4, 28, 28}), pf::Region(Rect{10, 10, 20, 20}));
    pf::SurfaceDc dc(canvas.surface(), {4, 4}, visible);
    dc.fillRect({-100, -100, 100, 100}, pf::createSolidBrush(pf::rgb(255, 255, 255)));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(canvas.surface()->pixel(x, y) != 0, visible.contains({x, y})) << x << "," << y;
    EXPECT_EQ(dc.getClipBox(), (Rect{0, 0, 24, 24})) << "logical coordinates: the origin is taken off";
    dc.setViewportOrg({2, 3});
    EXPECT_EQ(dc.getClipBox(), (Rect{-2, -3, 22, 21}));
}

TEST(Clipping, SaveAndRestoreBringBackClipAndPen)
{
    CanvasBuffer canvas(16, 16);
    pf::SurfaceDc dc(canvas.surface());
    const int32_t level = dc.saveDc();
    dc.intersectClipRect({0, 0, 4, 4});
    dc.selectPen(pf::createPen(pf::PS_DOT, 1, pf::rgb(1, 2, 3)));
    dc.saveDc();
    dc.intersectClipRect({2, 2, 3, 3});
    EXPECT_EQ(dc.getClipBox(), (Rect{2, 2, 3, 3}));
    EXPECT_TRUE(dc.restoreDc(level));
    EXPECT_EQ(dc.getClipBox(), (Rect{0, 0, 16, 16}));
    EXPECT_EQ(dc.pen().style, pf::PS_SOLID);
    EXPECT_FALSE(dc.restoreDc(-1)) << "nothing left to restore";
}

// ---- filled shapes

bool insideByReference(std::span<const Point> poly, int x, int y, int32_t mode)
{
    int crossings = 0;
    int winding = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Point a = poly[i];
        const Point b = poly[(i + 1) % poly.size()];
        if (a.y == b.y)
            continue;
        const bool down = a.y < b.y;
        const Point top = down ? a : b;
        const Point bottom = down ? b : a;
        if (y < top.y || y >= bottom.y)
            continue;
        // The crossing lies at or left of x when (x - top.x)(bottom.y - top.y) >= (y - top.y)(bottom.x - top.x).
        if (int64_t{x - top.x} * (bottom.y - top.y) >= int64_t{y - top.y} * (bottom.x - top.x)) {
            ++crossings;
            winding += down ? 1 : -1;
        }
    }
    return mode == pf::WINDING ? winding != 0 : crossings % 2 == 1;
}

TEST(FilledShapes, PolygonFillMatchesPointInPolygonInBothModes)
{
    std::mt19937 random(31);
    std::uniform_int_distribution<int> coordinate(-3, 33);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<Point> poly(3 + random() % 6);
        for (Point& p : poly)
            p = {coordinate(random), coordinate(random)};
        for (const int32_t mode : {pf::ALTERNATE, pf::WINDING}) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << " mode " << mode);
            CanvasBuffer canvas(30, 30);
            pf::SurfaceDc dc(canvas.surface());
            dc.selectPen(std::get<pf::Pen>(pf::getStockObject(pf::NULL_PEN)));
            dc.selectBrush(pf::createSolidBrush(pf::rgb(255, 255, 255)));
            dc.setPolyFillMode(mode);
            dc.polygon(poly);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 30; ++x)
                    ASSERT_EQ(canvas.surface()->pixel(x, y) == kWhite, insideByReference(poly, x, y, mode))
                        << x << "," << y;
        }
    }
}

TEST(FilledShapes, PolygonOfARectangleFillsTheHalfOpenBox)
{
    CanvasBuffer canvas(12, 12);
    pf::SurfaceDc dc(canvas.surface());
    dc.selectPen(std::get<pf::Pen>(pf::getStockObject(pf::NULL_PEN)));
    dc.selectBrush(pf::createSolidBrush(pf::rgb(255, 255, 255)));
    const std::array<Point, 4> box = {Point{2, 3}, Point{9, 3}, Point{9, 8}, Point{2, 8}};
    dc.polygon(box);
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0).size(), 7u * 5);
    EXPECT_EQ(canvas.surface()->pixel(8, 7), kWhite);
    EXPECT_EQ(canvas.surface()->pixel(9, 7), 0u);
}

TEST(FilledShapes, EllipseTouchesItsBoxAndOutlineAndInteriorPartitionIt)
{
    for (const Rect box : {Rect{2, 3, 22, 13}, Rect{1, 1, 12, 24}, Rect{5, 5, 6, 9}, Rect{3, 3, 5, 5}}) {
        SCOPED_TRACE(::testing::Message() << box.l << "," << box.t << "," << box.r << "," << box.b);
        CanvasBuffer canvas(26, 26);
        pf::SurfaceDc dc(canvas.surface());
        dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(255, 0, 0)));
        dc.selectBrush(pf::createSolidBrush(pf::rgb(0, 0, 255)));
        dc.ellipse(box);
        int minX = 99, minY = 99, maxX = -1, maxY = -1;
        const pf::Surface32& s = *canvas.surface();
        for (int y = 0; y < 26; ++y) {
            for (int x = 0; x < 26; ++x) {
                if (s.pixel(x, y) == 0)
                    continue;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                if (s.pixel(x, y) == 0x000000FFu) { // interior: all four neighbours drawn
                    EXPECT_NE(s.pixel(x - 1, y), 0u);
                    EXPECT_NE(s.pixel(x + 1, y), 0u);
                    EXPECT_NE(s.pixel(x, y - 1), 0u);
                    EXPECT_NE(s.pixel(x, y + 1), 0u);
                }
                // Symmetric about the box's centre.
                EXPECT_NE(s.pixel(box.l + box.r - 1 - x, y), 0u);
                EXPECT_NE(s.pixel(x, box.t + box.b - 1 - y), 0u);
            }
        }
        EXPECT_EQ(minX, box.l);
        EXPECT_EQ(maxX, box.r - 1);
        EXPECT_EQ(minY, box.t);
        EXPECT_EQ(maxY, box.b - 1);
    }
}

TEST(FilledShapes, FocusRectangleIsDottedAndRemovesItself)
{
    CanvasBuffer canvas(12, 12);
    pf::SurfaceDc dc(canvas.surface());
    dc.drawFocusRect({1, 1, 9, 7});
    const auto dots = pixelsDifferentFrom(canvas, 0);
    EXPECT_EQ(dots.size(), 12u) << "every other pixel of the 24-pixel frame";
    for (const auto& [x, y] : dots)
        EXPECT_EQ((x + y) % 2, 0);
    dc.drawFocusRect({1, 1, 9, 7});
    EXPECT_TRUE(pixelsDifferentFrom(canvas, 0).empty());
}

TEST(FilledShapes, Draw3dRectLightsTopLeftAndShadesBottomRight)
{
    CanvasBuffer canvas(8, 8);
    pf::SurfaceDc dc(canvas.surface());
    dc.draw3dRect({1, 1, 6, 5}, pf::rgb(255, 255, 255), pf::rgb(128, 128, 128));
    const pf::Surface32& s = *canvas.surface();
    EXPECT_EQ(s.pixel(1, 1), kWhite);
    EXPECT_EQ(s.pixel(4, 1), kWhite);
    EXPECT_EQ(s.pixel(1, 3), kWhite);
    EXPECT_EQ(s.pixel(5, 1), 0x00808080u) << "the right column runs the full height";
    EXPECT_EQ(s.pixel(1, 4), 0x00808080u) << "the bottom row runs the full width";
    EXPECT_EQ(s.pixel(3, 2), 0u);
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0).size(), 5u * 2 + 2u * 2);
}

// ---- blits

TEST(Blits, OverlappingCopyWithinOneSurfaceReadsTheOldPixels)
{
    CanvasBuffer canvas(10, 10);
    canvas.fillPattern(5);
    const std::vector<uint32_t> before = canvas.pixels();
    pf::SurfaceDc dc(canvas.surface());
    ASSERT_TRUE(dc.bitBlt(2, 3, 7, 6, dc, 0, 0, pf::SRCCOPY));
    for (int y = 3; y < 9; ++y)
        for (int x = 2; x < 9; ++x)
            ASSERT_EQ(canvas.surface()->pixel(x, y), before[static_cast<size_t>((y - 3) * 10 + (x - 2))]);
}

TEST(Blits, SourceOutsideItsBitmapLeavesTheDestination)
{
    pf::MemoryDc source;
    source.select(pf::DibSection::create(4, 4));
    source.fillRect({0, 0, 4, 4}, pf::createSolidBrush(pf::rgb(255, 255, 255)));
    CanvasBuffer canvas(10, 10);
    pf::SurfaceDc dc(canvas.surface());
    dc.bitBlt(0, 0, 10, 10, source, -2, -1, pf::SRCCOPY);
    std::set<std::pair<int, int>> expected;
    for (int y = 1; y < 5; ++y)
        for (int x = 2; x < 6; ++x)
            expected.insert({x, y});
    EXPECT_EQ(pixelsDifferentFrom(canvas, 0), expected);
}

TEST(Blits, StretchBltRepeatsNearestPixels)
{
    CanvasBuffer source(2, 2);
    source.surface()->setPixel(0, 0, 0x00000001u);
    source.surface()->setPixel(1, 0, 0x00000002u);
    source.surface()->setPixel(0, 1, 0x00000003u);
    source.surface()->setPixel(1, 1, 0x00000004u);
    CanvasBuffer dest(6, 4);
    pf::SurfaceDc sourceDc(source.surface());
    pf::SurfaceDc destDc(dest.surface());
    ASSERT_TRUE(destDc.stretchBlt({0, 0, 6, 4}, sourceDc, {0, 0, 2, 2}, pf::SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dest.surface()->pixel(x, y), static_cast<uint32_t>(1 + x / 3 + 2 * (y / 2))) << x << "," << y;
}

TEST(DeviceContexts, MemoryDcSelectsSectionsAndReportsTheDisplay)
{
    pf::MemoryDc dc;
    EXPECT_TRUE(dc.isValid());
    const pf::DibSectionRef bitmap = pf::DibSection::create(5, 3, 32, false);
    ASSERT_NE(bitmap, nullptr);
    const pf::DibSectionRef first = dc.select(bitmap);
    EXPECT_EQ(first->width(), 1);
    EXPECT_EQ(dc.getClipBox(), (Rect{0, 0, 5, 3}));
    dc.setPixel({0, 0}, pf::rgb(9, 8, 7));
    EXPECT_EQ(bitmap->surface().pixel(0, 0), 0x00090807u);
    uint32_t lastMemoryRow = 0;
    std::memcpy(&lastMemoryRow, bitmap->bits() + 2 * 5 * 4, 4);
    EXPECT_EQ(lastMemoryRow, 0x00090807u) << "bottom-up memory holds row 0 last";
    EXPECT_EQ(dc.getDeviceCaps(pf::LOGPIXELSX), 96);
    EXPECT_EQ(dc.select(nullptr), nullptr);
    EXPECT_EQ(dc.bitmap(), bitmap);
}

TEST(DeviceContexts, DibSectionRefusesImpossibleSizes)
{
    EXPECT_EQ(pf::DibSection::create(0, 5), nullptr);
    EXPECT_EQ(pf::DibSection::create(5, -5), nullptr);
    EXPECT_EQ(pf::DibSection::create(5, 5, 24), nullptr);
    EXPECT_EQ(pf::DibSection::create(1 << 16, 1 << 16), nullptr);
    const pf::BitmapInfoHeader header = pf::DibSection::create(7, 2, 32, true)->header();
    EXPECT_EQ(header.biHeight, -2) << "top-down sections describe themselves with a negative height";
    EXPECT_EQ(header.biBitCount, 32);
}

} // namespace
