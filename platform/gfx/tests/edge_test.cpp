// The classic look's edges, etched lines and etched text, probed pixel by pixel at the sizes controls use.
#include "canvas_fixture.h"

#include "platform/gfx/edge.h"
#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/gfx/text/font_engine.h"

#include <gtest/gtest.h>

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

struct Ring {
    int32_t topLeft;
    int32_t bottomRight;
};

struct EdgeCase {
    EdgeKind kind;
    std::vector<Ring> rings; // outer first
};

// The rules of the look, written out: what each edge shows on its lit and its shaded sides.
const std::vector<EdgeCase>& edgeCases()
{
    static const std::vector<EdgeCase> cases = {
        {EdgeKind::kRaisedOuter, {{COLOR_3DLIGHT, COLOR_3DDKSHADOW}}},
        {EdgeKind::kRaisedInner, {{COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW}}},
        {EdgeKind::kSunkenOuter, {{COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT}}},
        {EdgeKind::kSunkenInner, {{COLOR_3DDKSHADOW, COLOR_3DLIGHT}}},
        {EdgeKind::kRaised, {{COLOR_3DLIGHT, COLOR_3DDKSHADOW}, {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW}}},
        {EdgeKind::kSunken, {{COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT}, {COLOR_3DDKSHADOW, COLOR_3DLIGHT}}},
        {EdgeKind::kEtched, {{COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT}, {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW}}},
        {EdgeKind::kBump, {{COLOR_3DLIGHT, COLOR_3DDKSHADOW}, {COLOR_3DDKSHADOW, COLOR_3DLIGHT}}},
        {EdgeKind::kButton, {{COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW}, {COLOR_3DLIGHT, COLOR_BTNSHADOW}}},
        {EdgeKind::kButtonPushed, {{COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT}, {COLOR_BTNSHADOW, COLOR_3DLIGHT}}},
        {EdgeKind::kFlat, {{COLOR_BTNSHADOW, COLOR_BTNSHADOW}}},
    };
    return cases;
}

TEST(Edge, EveryRingIsLitOnTopAndLeftAndShadedOnBottomAndRight)
{
    for (const EdgeCase& c : edgeCases()) {
        for (const int32_t side : kSizes) {
            SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.kind) << " side " << side);
            CanvasBuffer canvas(side + 4, side + 4);
            canvas.surface()->fill(kUntouched);
            SurfaceDc dc(canvas.surface());
            const Rect r = Rect::fromXywh(2, 2, side, side);
            const int32_t rings = static_cast<int32_t>(c.rings.size());
            EXPECT_EQ(drawEdge(dc, r, c.kind), r.inflatedBy(-rings, -rings));
            const auto at = [&](int32_t x, int32_t y) { return canvas.surface()->pixel(x, y); };
            for (int32_t i = 0; i < rings; ++i) {
                const uint32_t lit = sys(c.rings[static_cast<size_t>(i)].topLeft);
                const uint32_t shaded = sys(c.rings[static_cast<size_t>(i)].bottomRight);
                const int32_t lo = 2 + i;
                const int32_t hi = 2 + side - 1 - i;
                const int32_t mid = 2 + side / 2;
                EXPECT_EQ(at(mid, lo), lit) << "top, ring " << i;
                EXPECT_EQ(at(lo, mid), lit) << "left, ring " << i;
                EXPECT_EQ(at(lo, lo), lit) << "top-left corner, ring " << i;
                EXPECT_EQ(at(mid, hi), shaded) << "bottom, ring " << i;
                EXPECT_EQ(at(hi, mid), shaded) << "right, ring " << i;
                EXPECT_EQ(at(hi, lo), shaded) << "the top-right corner belongs to the right side, ring " << i;
                EXPECT_EQ(at(lo, hi), shaded) << "the bottom-left corner belongs to the bottom, ring " << i;
            }
            EXPECT_EQ(at(2 + rings, 2 + rings), kUntouched) << "inside the rings";
            EXPECT_EQ(at(1, 1), kUntouched) << "outside the rectangle";
            EXPECT_TRUE(canvas.canaryIntact());
        }
        CanvasBuffer tiny(4, 4);
        SurfaceDc dc(tiny.surface());
        EXPECT_TRUE(drawEdge(dc, {0, 0, 2, 2}, c.kind).isEmpty()) << "no room inside";
        EXPECT_TRUE(drawEdge(dc, {3, 3, 1, 1}, c.kind).isEmpty()) << "a reversed rectangle draws nothing";
    }
}

TEST(EtchedLine, ShadowThenHighlightBelowOrRightOfIt)
{
    CanvasBuffer canvas(20, 20);
    canvas.surface()->fill(kUntouched);
    SurfaceDc dc(canvas.surface());
    drawEtchedLine(dc, {2, 3}, 10, false);
    drawEtchedLine(dc, {15, 2}, 12, true);
    const Surface32& s = *canvas.surface();
    for (int32_t x = 2; x < 12; ++x) {
        EXPECT_EQ(s.pixel(x, 3), sys(COLOR_BTNSHADOW)) << x;
        EXPECT_EQ(s.pixel(x, 4), sys(COLOR_BTNHIGHLIGHT)) << x;
    }
    EXPECT_EQ(s.pixel(12, 3), kUntouched);
    EXPECT_EQ(s.pixel(1, 3), kUntouched);
    for (int32_t y = 2; y < 14; ++y) {
        EXPECT_EQ(s.pixel(15, y), sys(COLOR_BTNSHADOW)) << y;
        EXPECT_EQ(s.pixel(16, y), sys(COLOR_BTNHIGHLIGHT)) << y;
    }
    EXPECT_EQ(s.pixel(15, 14), kUntouched);
}

TEST(EtchedText, ShadowOverItsHighlightOnePixelDownAndRight)
{
    FixedFontEngine fixed;
    setFontEngine(&fixed);
    constexpr int32_t kWidth = 60;
    constexpr int32_t kHeight = 24;
    CanvasBuffer plain(kWidth, kHeight);
    plain.surface()->fill(kUntouched);
    SurfaceDc plainDc(plain.surface());
    plainDc.setBkMode(TRANSPARENT);
    plainDc.setTextColor(rgb(1, 2, 3));
    plainDc.textOut(4, 4, "Ab c");

    CanvasBuffer etched(kWidth, kHeight);
    etched.surface()->fill(kUntouched);
    SurfaceDc dc(etched.surface());
    dc.setTextColor(rgb(9, 9, 9));
    dc.setBkMode(OPAQUE);
    drawEtchedText(dc, 4, 4, "Ab c");
    EXPECT_EQ(dc.textColor(), rgb(9, 9, 9));
    EXPECT_EQ(dc.bkMode(), OPAQUE);
    setFontEngine(nullptr);

    const auto ink = [&](int32_t x, int32_t y) {
        return x >= 0 && y >= 0 && plain.surface()->pixel(x, y) == pixelFromColorRef(rgb(1, 2, 3));
    };
    int64_t shadows = 0, highlights = 0;
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            uint32_t expected = kUntouched;
            if (ink(x, y))
                expected = sys(COLOR_BTNSHADOW);
            else if (ink(x - 1, y - 1))
                expected = sys(COLOR_BTNHIGHLIGHT);
            shadows += expected == sys(COLOR_BTNSHADOW) ? 1 : 0;
            highlights += expected == sys(COLOR_BTNHIGHLIGHT) ? 1 : 0;
            EXPECT_EQ(etched.surface()->pixel(x, y), expected) << x << ", " << y;
        }
    }
    EXPECT_GT(shadows, 20);
    EXPECT_GT(highlights, 10);
}

} // namespace
