#include "engine/core/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "engine/core/tests/maths_test_support.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Neither symmetric nor affine, so that a transposed or reversed product cannot pass.
SWmatrix Sample(float seed)
{
    SWmatrix m;
    for (int i = 0; i < 16; ++i)
        m[i] = std::sin(seed * static_cast<float>(i + 1)) * 3.0f + (i % 5 == 0 ? 4.0f : 0.0f);
    return m;
}

SWmatrix Product(const SWmatrix& a, const SWmatrix& b)
{
    SWmatrix out;
    a.Multiply(out, b);
    return out;
}

} // namespace

TEST(MatrixMultiply, OtherIsAppliedFirst)
{
    const SWmatrix move = SWmatrix::Translation(10.0f, 0.0f, 0.0f);
    const SWmatrix turn = SWmatrix::Rotation(kPi / 2.0f, 2);
    EXPECT_TRUE(VectorsNear(Product(move, turn).TransformPoint({1.0f, 0.0f, 0.0f}), {10.0f, 1.0f, 0.0f}));
    EXPECT_TRUE(VectorsNear(Product(turn, move).TransformPoint({1.0f, 0.0f, 0.0f}), {0.0f, 11.0f, 0.0f}));
}

TEST(MatrixMultiply, RowByColumnOnFullMatrices)
{
    const SWmatrix a = Sample(0.3f);
    const SWmatrix b = Sample(1.7f);
    const SWmatrix p = Product(a, b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            const float expected =
                a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] + a[4 * r + 3] * b[12 + c];
            EXPECT_NEAR(p[4 * r + c], expected, 1e-4f) << r << "," << c;
        }
}

TEST(MatrixMultiply, OutMayAliasThisOrOther)
{
    const SWmatrix a = Sample(0.3f);
    const SWmatrix b = Sample(1.7f);
    const SWmatrix expected = Product(a, b);

    SWmatrix intoThis = a;
    EXPECT_EQ(&intoThis.Multiply(intoThis, b), &intoThis);
    EXPECT_EQ(intoThis, expected);

    SWmatrix intoOther = b;
    a.Multiply(intoOther, intoOther);
    EXPECT_EQ(intoOther, expected);

    SWmatrix square = a;
    square.Multiply(square, square);
    EXPECT_EQ(square, Product(a, a));

    SWmatrix post = a;
    EXPECT_EQ(&post.PostMultiply(b), &post);
    EXPECT_EQ(post, expected);
}

TEST(MatrixInvert, RoundTripGivesIdentity)
{
    const std::vector<SWmatrix> cases = {
        SWmatrix(),
        SWmatrix::Translation(1.0f, -2.0f, 3.5f),
        SWmatrix::Scaling(2.0f, 0.5f, -4.0f),
        SWmatrix::Shearing(0.7f, -0.3f),
        SWmatrix::Scaling(1e-6f, 1e6f, 1.0f), // badly scaled is not singular
        Product(Product(SWmatrix::Translation(5.0f, 6.0f, 7.0f), SWmatrix::Rotation(0.9f, 1)),
                SWmatrix::Scaling(3.0f, 3.0f, 0.25f)),
        Sample(0.3f),
        Sample(2.9f),
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        SWmatrix inverse;
        EXPECT_EQ(&cases[i].Invert(inverse), &inverse);
        EXPECT_TRUE(MatricesNear(Product(cases[i], inverse), SWmatrix(), 1e-4f));
        EXPECT_TRUE(MatricesNear(Product(inverse, cases[i]), SWmatrix(), 1e-4f));
    }
}

TEST(MatrixInvert, FarFromTheOriginIsNotSingular)
{
    SWmatrix inverse;
    SWmatrix::Translation(1e6f, -2e6f, 5e5f).Invert(inverse);
    EXPECT_EQ(inverse, SWmatrix::Translation(-1e6f, 2e6f, -5e5f));

    const SWmatrix placed = Product(SWmatrix::Translation(3e7f, 1e7f, -2e7f), SWmatrix::Rotation(0.6f, 1));
    placed.Invert(inverse);
    EXPECT_NE(inverse, SWmatrix());
    EXPECT_TRUE(VectorsNear(inverse.TransformPoint(placed.TransformPoint({1.0f, 2.0f, 3.0f})), {1.0f, 2.0f, 3.0f},
                            4.0f)); // float spacing at 3e7 is 2
}

TEST(MatrixInvert, OutMayAliasThis)
{
    const SWmatrix a = Sample(0.3f);
    SWmatrix expected;
    a.Invert(expected);
    SWmatrix m = a;
    m.Invert(m);
    EXPECT_EQ(m, expected);
}

TEST(MatrixInvert, SingularOrNotFiniteGivesIdentity)
{
    SWmatrix duplicateRows = Sample(0.3f);
    duplicateRows.SetRow(3, duplicateRows[0], duplicateRows[1], duplicateRows[2], duplicateRows[3]);
    SWmatrix withNaN = Sample(0.3f);
    withNaN[6] = std::numeric_limits<float>::quiet_NaN();
    SWmatrix withInfinity = Sample(0.3f);
    withInfinity[9] = std::numeric_limits<float>::infinity();
    SWmatrix zeros;
    for (int i = 0; i < 16; ++i)
        zeros[i] = 0.0f;
    const struct {
        const char* name;
        SWmatrix m;
    } cases[] = {
        {"all zero", zeros},
        {"flattened axis", SWmatrix::Scaling(1.0f, 0.0f, 1.0f)},
        {"two equal rows", duplicateRows},
        {"not a number", withNaN},
        {"infinity", withInfinity},
        {"inverse beyond float", SWmatrix::Scaling(1e-39f, 1.0f, 1.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SWmatrix out = Sample(5.0f);
        c.m.Invert(out);
        EXPECT_EQ(out, SWmatrix());
    }
}

TEST(MatrixElement, OneBasedRowThenColumn)
{
    SWmatrix m;
    m.SetElement(1, 4, 7.0f);
    m.SetElement(3, 2, -2.0f);
    EXPECT_EQ(m[3], 7.0f);
    EXPECT_EQ(m[9], -2.0f);
    EXPECT_EQ(m.GetElement(1, 4), 7.0f);
    EXPECT_EQ(m.GetElement(3, 2), -2.0f);
    EXPECT_EQ(m.GetElement(4, 4), 1.0f);
}

TEST(MatrixElement, OutsideOneToFourIsIgnored)
{
    const SWmatrix before = Sample(0.3f);
    SWmatrix m = before;
    for (const auto& [row, column] : {std::pair{0, 1}, {1, 0}, {5, 1}, {1, 5}, {-1, -1}}) {
        EXPECT_EQ(m.GetElement(row, column), 0.0f);
        m.SetElement(row, column, 99.0f);
    }
    m.SetRow(0, 1, 2, 3, 4);
    m.SetRow(5, 1, 2, 3, 4);
    m.SetColumn(0, 1, 2, 3, 4);
    m.SetColumn(5, 1, 2, 3, 4);
    EXPECT_EQ(m, before);
}

TEST(MatrixElement, RowsAndColumnsAreOneBased)
{
    SWmatrix m;
    m.SetRow(2, 1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_EQ(m.GetElement(2, 1), 1.0f);
    EXPECT_EQ(m.GetElement(2, 4), 4.0f);
    m.SetColumn(4, 5.0f, 6.0f, 7.0f, 8.0f);
    EXPECT_EQ(m.GetTranslation(), SWvector(5.0f, 6.0f, 7.0f));
    EXPECT_EQ(m[15], 8.0f);
}

TEST(MatrixTranslation, LivesInElementsThreeSevenEleven)
{
    const SWmatrix t = SWmatrix::Translation(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(t[3], 1.0f);
    EXPECT_EQ(t[7], 2.0f);
    EXPECT_EQ(t[11], 3.0f);
    EXPECT_EQ(t.TransformPoint({1.0f, 1.0f, 1.0f}), SWvector(2.0f, 3.0f, 4.0f));
    EXPECT_EQ(t.TransformDirection({1.0f, 1.0f, 1.0f}), SWvector(1.0f, 1.0f, 1.0f));

    SWmatrix m = Sample(0.3f);
    const SWmatrix before = m;
    m.CopyTranslation(t);
    EXPECT_EQ(m.GetTranslation(), SWvector(1.0f, 2.0f, 3.0f));
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15})
        EXPECT_EQ(m[i], before[i]) << i;
}

TEST(MatrixRotation, RightHandRuleAboutEachAxis)
{
    const float quarter = kPi / 2.0f;
    EXPECT_TRUE(VectorsNear(SWmatrix::Rotation(quarter, 0).TransformPoint({0, 1, 0}), {0, 0, 1}));
    EXPECT_TRUE(VectorsNear(SWmatrix::Rotation(quarter, 1).TransformPoint({0, 0, 1}), {1, 0, 0}));
    EXPECT_TRUE(VectorsNear(SWmatrix::Rotation(quarter, 2).TransformPoint({1, 0, 0}), {0, 1, 0}));
}

TEST(MatrixRotation, ReplacesTheWholeMatrix)
{
    SWmatrix m = Sample(0.3f);
    EXPECT_EQ(&m.SetRotation(0.4f, 1), &m);
    EXPECT_EQ(m.GetTranslation(), SWvector());
    EXPECT_EQ(m.GetElement(2, 2), 1.0f);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
    m.SetRotation(0.4f, 3);
    EXPECT_EQ(m, SWmatrix());
}

TEST(MatrixCombineSeparate, RotationsMultiplyTranslationsAdd)
{
    const SWmatrix a = Product(SWmatrix::Translation(1.0f, 2.0f, 3.0f), SWmatrix::Rotation(0.5f, 2));
    const SWmatrix b = Product(SWmatrix::Translation(10.0f, 20.0f, 30.0f), SWmatrix::Rotation(-1.2f, 0));
    SWmatrix expected = Product(SWmatrix::Rotation(0.5f, 2), SWmatrix::Rotation(-1.2f, 0));
    expected.SetTranslation(11.0f, 22.0f, 33.0f);

    SWmatrix out = Sample(0.3f); // whatever it held must not leak into the result
    SWmatrix::CombineSeparate(a, b, out);
    EXPECT_TRUE(MatricesNear(out, expected));

    SWmatrix intoA = a;
    SWmatrix::CombineSeparate(intoA, b, intoA);
    EXPECT_TRUE(MatricesNear(intoA, expected));
}

TEST(MatrixReexpressInFrame, RigidFrameWithoutTranslationIsConjugation)
{
    const SWmatrix t = Product(SWmatrix::Translation(1.0f, 2.0f, 3.0f), SWmatrix::Rotation(0.7f, 0));
    const SWmatrix q = SWmatrix::Rotation(1.1f, 2);
    SWmatrix qInverse;
    q.Invert(qInverse);
    EXPECT_TRUE(MatricesNear(SWmatrix::ReexpressInFrame(t, q), Product(Product(q, t), qInverse)));
}

TEST(MatrixReexpressInFrame, TranslationIsTheFramesImageOfThePoint)
{
    const SWmatrix t = Product(SWmatrix::Translation(1.0f, 2.0f, 3.0f), SWmatrix::Scaling(2.0f, 1.0f, 1.0f));
    const SWmatrix q = Product(Product(SWmatrix::Translation(-4.0f, 5.0f, 0.5f), SWmatrix::Rotation(0.3f, 1)),
                               SWmatrix::Scaling(1.0f, 3.0f, 1.0f));
    const SWmatrix r = SWmatrix::ReexpressInFrame(t, q);
    EXPECT_TRUE(VectorsNear(r.GetTranslation(), q.TransformPoint({1.0f, 2.0f, 3.0f})));
    // q's translation moves the point but never enters the 3x3 part.
    SWmatrix qRotation = q;
    qRotation.SetTranslation(0.0f, 0.0f, 0.0f);
    SWmatrix qInverse;
    qRotation.Invert(qInverse);
    SWmatrix tRotation = t;
    tRotation.SetTranslation(0.0f, 0.0f, 0.0f);
    SWmatrix expected = Product(Product(qRotation, tRotation), qInverse);
    expected.CopyTranslation(r);
    EXPECT_TRUE(MatricesNear(r, expected, 1e-4f));
}
