#include "platform/base/region.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <random>

namespace {

using pf::Point;
using pf::Rect;
using pf::Region;

// Regions are checked against a plain bitmap of a small field, which cannot be wrong in the ways bands can.
constexpr int kField = 24;
using Bitmap = std::array<std::array<bool, kField>, kField>;

Bitmap bitmapOf(const Region& region)
{
    Bitmap out{};
    for (int y = 0; y < kField; ++y)
        for (int x = 0; x < kField; ++x)
            out[y][x] = region.contains({x - 4, y - 4});
    return out;
}

Bitmap paint(Bitmap out, const Rect& rect, bool value)
{
    for (int y = 0; y < kField; ++y)
        for (int x = 0; x < kField; ++x)
            if (rect.contains({x - 4, y - 4}))
                out[y][x] = value;
    return out;
}

Rect randomRect(std::mt19937& random)
{
    std::uniform_int_distribution<int> coordinate(-4, kField - 4);
    // Often empty or reversed, which must read as no pixels.
    return {coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
}

// The canonical form: bands sorted, spans sorted and apart, equal neighbouring bands merged.
void expectCanonical(const Region& region)
{
    const auto& rects = region.rects();
    for (size_t i = 0; i < rects.size(); ++i) {
        ASSERT_FALSE(rects[i].isEmpty());
        if (i == 0)
            continue;
        const Rect& prev = rects[i - 1];
        if (prev.t == rects[i].t) {
            EXPECT_EQ(prev.b, rects[i].b);
            EXPECT_LT(prev.r, rects[i].l) << "spans of a band must neither overlap nor touch";
        } else {
            EXPECT_LE(prev.b, rects[i].t) << "bands must not overlap";
        }
    }
}

TEST(RegionAlgebra, RandomOperationsMatchABitmap)
{
    std::mt19937 random(1234);
    for (int trial = 0; trial < 400; ++trial) {
        SCOPED_TRACE(trial);
        Region region;
        Bitmap expected{};
        for (int step = 0; step < 8; ++step) {
            const Rect rect = randomRect(random);
            switch (random() % 3) {
            case 0:
                region.unite(rect);
                expected = paint(expected, rect, true);
                break;
            case 1:
                region.subtract(rect);
                expected = paint(expected, rect, false);
                break;
            default: {
                const Rect first = randomRect(random);
                const Rect second = randomRect(random);
                region.intersect(Region(first).unite(second));
                const Bitmap mask = paint(paint(Bitmap{}, first, true), second, true);
                for (int y = 0; y < kField; ++y)
                    for (int x = 0; x < kField; ++x)
                        expected[y][x] = expected[y][x] && mask[y][x];
                break;
            }
            }
            ASSERT_EQ(bitmapOf(region), expected);
            expectCanonical(region);
        }
    }
}

TEST(RegionAlgebra, IntersectAndSubtractPartitionTheFirstOperand)
{
    std::mt19937 random(99);
    for (int trial = 0; trial < 300; ++trial) {
        Region a;
        Region b;
        for (int i = 0; i < 4; ++i) {
            a.unite(randomRect(random));
            b.unite(randomRect(random));
        }
        const Region both = pf::intersected(a, b);
        const Region onlyA = pf::subtracted(a, b);
        const Bitmap bitsA = bitmapOf(a);
        const Bitmap bitsB = bitmapOf(b);
        const Bitmap bitsBoth = bitmapOf(both);
        const Bitmap bitsOnlyA = bitmapOf(onlyA);
        for (int y = 0; y < kField; ++y) {
            for (int x = 0; x < kField; ++x) {
                ASSERT_EQ(bitsBoth[y][x], bitsA[y][x] && bitsB[y][x]);
                ASSERT_EQ(bitsOnlyA[y][x], bitsA[y][x] && !bitsB[y][x]);
            }
        }
        EXPECT_EQ(pf::united(both, onlyA), a) << "the canonical form makes equal pixel sets compare equal";
        EXPECT_EQ(both.area() + onlyA.area(), a.area());
        expectCanonical(both);
        expectCanonical(onlyA);
    }
}

TEST(RegionAlgebra, EqualPixelSetsBuiltDifferentlyCompareEqual)
{
    const Rect parts[] = {{0, 0, 5, 5}, {5, 0, 10, 5}, {0, 5, 10, 10}};
    EXPECT_EQ(Region::fromRects(parts), Region(Rect{0, 0, 10, 10}));
    EXPECT_EQ(Region::fromRects(parts).rects().size(), 1u);
}

TEST(RegionGeometry, HalfOpenEdgesAreExcluded)
{
    const Region region(Rect{2, 3, 6, 8});
    EXPECT_TRUE(region.contains({2, 3}));
    EXPECT_TRUE(region.contains({5, 7}));
    EXPECT_FALSE(region.contains({6, 7}));
    EXPECT_FALSE(region.contains({5, 8}));
    EXPECT_EQ(region.area(), 4 * 5);
    EXPECT_TRUE(Region(Rect{5, 5, 5, 9}).isEmpty());
}

TEST(RegionGeometry, OffsetMovesEveryPixelAndSaturatesAtTheLimits)
{
    Region region = Region::fromRects(std::array<Rect, 2>{Rect{0, 0, 4, 4}, Rect{6, 2, 8, 10}});
    Region moved = region;
    moved.offset(-3, 5);
    for (int y = -2; y < 12; ++y)
        for (int x = -2; x < 10; ++x)
            ASSERT_EQ(region.contains({x, y}), moved.contains({x - 3, y + 5}));

    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    Region edge(Rect{kMax - 10, 0, kMax - 2, 4});
    edge.offset(20, 0); // pushed past the limit: the pixels squeeze flat and vanish instead of wrapping around
    EXPECT_TRUE(edge.isEmpty() || edge.bounds().l > 0);
    Region huge(Rect{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30});
    huge.subtract(Rect{0, 0, 1, 1});
    EXPECT_FALSE(huge.contains({0, 0}));
    EXPECT_TRUE(huge.contains({1, 0}));
    EXPECT_EQ(huge.rects().size(), 4u);
}

TEST(RectGeometry, HalfOpenArithmeticHoldsAtHugeCoordinates)
{
    const Rect big{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
    EXPECT_EQ(big.width(), int64_t{1} << 31); // does not fit in 32 bits
    EXPECT_TRUE(big.contains(Point{(1 << 30) - 1, 0}));
    EXPECT_FALSE(big.contains(Point{1 << 30, 0}));
    EXPECT_EQ(big.intersected(Rect{10, 10, 20, 20}), (Rect{10, 10, 20, 20}));
    EXPECT_EQ((Rect{0, 0, 5, 5}).intersected(Rect{5, 0, 9, 5}), Rect{}) << "touching rectangles share no pixel";
    const Rect edge{std::numeric_limits<int32_t>::max() - 1, 0, std::numeric_limits<int32_t>::max(), 1};
    EXPECT_FALSE(edge.offsetBy(10, 0).contains(Point{std::numeric_limits<int32_t>::min(), 0}));
}

} // namespace
