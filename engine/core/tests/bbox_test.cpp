#include "engine/core/bbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/core/matrix.h"
#include "engine/core/tests/maths_test_support.h"

TEST(BoundingBoxEmpty, IsInsideOutInExtentsOrder)
{
    const SWbbox box;
    EXPECT_TRUE(box.IsEmpty());
    const std::array<float, 6> expected = {3.4028235e38f,  -3.4028235e38f, 3.4028235e38f,
                                           -3.4028235e38f, 3.4028235e38f,  -3.4028235e38f};
    EXPECT_EQ(box.Extents(), expected);
}

TEST(BoundingBoxEmpty, FirstPointBecomesTheBox)
{
    SWbbox box;
    EXPECT_TRUE(box.AddPoint({1.0f, -2.0f, 3.0f}));
    EXPECT_FALSE(box.IsEmpty());
    const std::array<float, 6> point = {1.0f, 1.0f, -2.0f, -2.0f, 3.0f, 3.0f};
    EXPECT_EQ(box.Extents(), point);
    EXPECT_FALSE(box.AddPoint({1.0f, -2.0f, 3.0f}));
}

TEST(BoundingBoxEmpty, TransformedStaysEmptyAndFinite)
{
    const SWmatrix m = SWmatrix::Rotation(0.7f, 1);
    const SWbbox moved = SWbbox().Transformed(m);
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_EQ(moved.Extents(), SWbbox().Extents());
    SWbbox grown;
    grown.AddBox(moved);
    EXPECT_TRUE(grown.IsEmpty());
}

TEST(BoundingBoxGrow, ExtentsFollowMinMaxOrder)
{
    SWbbox box;
    box.AddPoint({1.0f, 5.0f, -1.0f});
    box.AddPoint({-3.0f, 2.0f, 4.0f});
    const std::array<float, 6> expected = {-3.0f, 1.0f, 2.0f, 5.0f, -1.0f, 4.0f};
    EXPECT_EQ(box.Extents(), expected);
    EXPECT_EQ(box.Min(), SWvector(-3.0f, 2.0f, -1.0f));
    EXPECT_EQ(box.Max(), SWvector(1.0f, 5.0f, 4.0f));

    SWbbox other({10.0f, 0.0f, 0.0f}, {11.0f, 1.0f, 1.0f});
    box.AddBox(other);
    EXPECT_EQ(box.Max(), SWvector(11.0f, 5.0f, 4.0f));
    EXPECT_EQ(box.Min(), SWvector(-3.0f, 0.0f, -1.0f));
}

TEST(BoundingBoxCorners, BitsSelectTheMaximumPerAxis)
{
    SWbbox box({-1.0f, -2.0f, -3.0f}, {1.0f, 2.0f, 3.0f});
    box.ComputeCorners();
    EXPECT_EQ(box.Corners()[0], SWvector(-1.0f, -2.0f, -3.0f));
    EXPECT_EQ(box.Corners()[1], SWvector(1.0f, -2.0f, -3.0f));
    EXPECT_EQ(box.Corners()[2], SWvector(-1.0f, 2.0f, -3.0f));
    EXPECT_EQ(box.Corners()[4], SWvector(-1.0f, -2.0f, 3.0f));
    EXPECT_EQ(box.Corners()[7], SWvector(1.0f, 2.0f, 3.0f));
}

TEST(BoundingBoxCorners, TransformedCornersUseCurrentExtents)
{
    SWbbox box({0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f});
    box.ComputeCorners();
    box.SetExtents({0.0f, 2.0f, 0.0f, 2.0f, 0.0f, 2.0f}); // the stored corners are now stale
    const auto corners = box.GetTransformedCorners(SWmatrix::Translation(10.0f, 0.0f, 0.0f));
    EXPECT_EQ(corners[0], SWvector(10.0f, 0.0f, 0.0f));
    EXPECT_EQ(corners[7], SWvector(12.0f, 2.0f, 2.0f));
}

TEST(BoundingBoxTransform, RotatedBoxIsTheBoxOfItsCorners)
{
    const SWbbox box({0.0f, 0.0f, 0.0f}, {1.0f, 2.0f, 3.0f});
    SWmatrix m;
    SWmatrix::Translation(5.0f, 6.0f, 7.0f).Multiply(m, SWmatrix::Rotation(std::numbers::pi_v<float> / 2.0f, 2));
    const SWbbox moved = box.Transformed(m);
    // A quarter turn about Z sends x to y and y to -x.
    EXPECT_TRUE(VectorsNear(moved.Min(), {3.0f, 6.0f, 7.0f}));
    EXPECT_TRUE(VectorsNear(moved.Max(), {5.0f, 7.0f, 10.0f}));
}

TEST(BoundingBoxTransform, TiltedBoxGrows)
{
    const SWbbox box({-1.0f, -1.0f, -1.0f}, {1.0f, 1.0f, 1.0f});
    const SWbbox moved = box.Transformed(SWmatrix::Rotation(std::numbers::pi_v<float> / 4.0f, 0));
    EXPECT_NEAR(moved.Max().x, 1.0f, 1e-6f);
    EXPECT_NEAR(moved.Max().y, std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(moved.Min().z, -std::sqrt(2.0f), 1e-5f);
}
