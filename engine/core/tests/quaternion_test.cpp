#include "engine/core/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/core/tests/maths_test_support.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

SWmatrix MatrixOf(const CVTN_Quaternion& q)
{
    SWmatrix m;
    q.ToMatrix(m);
    return m;
}

// Axes and angles that reach every branch of the matrix conversion, half turns included.
std::vector<CVTN_Quaternion> Rotations()
{
    const SWvector axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, -1, 1}, {1, 1, 1}, {-2, 0.5f, 3}};
    const float angles[] = {0.0f, 1e-4f, 0.3f, kPi / 2.0f, 2.0f, kPi - 1e-3f, kPi, -kPi, 4.0f, 2.0f * kPi - 0.1f};
    std::vector<CVTN_Quaternion> rotations;
    for (const SWvector& axis : axes)
        for (const float angle : angles)
            rotations.push_back(CVTN_Quaternion::FromAxisAngle(axis, angle));
    return rotations;
}

float AngleOf(const CVTN_Quaternion& q)
{
    return 2.0f * std::acos(std::fmin(1.0f, std::fabs(q.w)));
}

} // namespace

TEST(QuaternionMatrix, AxisRotationsMatchMatrixRotations)
{
    const SWvector axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis)
        for (const float angle : {0.25f, -1.0f, kPi / 2.0f, kPi}) {
            SCOPED_TRACE(testing::Message() << "axis " << axis << " angle " << angle);
            EXPECT_TRUE(MatricesNear(MatrixOf(CVTN_Quaternion::FromAxisAngle(axes[axis], angle)),
                                     SWmatrix::Rotation(angle, axis)));
        }
}

TEST(QuaternionMatrix, ToMatrixReplacesTranslation)
{
    SWmatrix m = SWmatrix::Translation(4.0f, 5.0f, 6.0f);
    CVTN_Quaternion().ToMatrix(m);
    EXPECT_EQ(m, SWmatrix());
}

TEST(QuaternionMatrix, FromMatrixRoundTripsEveryRotation)
{
    for (const CVTN_Quaternion& q : Rotations()) {
        SCOPED_TRACE(testing::Message() << q.x << " " << q.y << " " << q.z << " " << q.w);
        CVTN_Quaternion back(9.0f, 9.0f, 9.0f, 9.0f);
        back.FromMatrix(MatrixOf(q));
        EXPECT_TRUE(SameRotation(back, q, 2e-5f));
        EXPECT_GE(back.w, 0.0f);
        EXPECT_NEAR(back.Norm(), 1.0f, 1e-6f);
        EXPECT_TRUE(MatricesNear(MatrixOf(back), MatrixOf(q)));
    }
}

TEST(QuaternionMatrix, FromMatrixIgnoresScaleAndTranslation)
{
    const CVTN_Quaternion q = CVTN_Quaternion::FromAxisAngle({1, 2, 3}, 2.5f);
    SWmatrix m;
    MatrixOf(q).Multiply(m, SWmatrix::Scaling(3.0f, 0.5f, 7.0f));
    m.SetTranslation(10.0f, -20.0f, 30.0f);
    CVTN_Quaternion back;
    back.FromMatrix(m);
    EXPECT_TRUE(SameRotation(back, q));
}

TEST(QuaternionMatrix, DegenerateMatrixGivesIdentity)
{
    CVTN_Quaternion back(0.5f, 0.5f, 0.5f, 0.5f);
    back.FromMatrix(SWmatrix::Scaling(1.0f, 0.0f, 1.0f));
    EXPECT_EQ(back, CVTN_Quaternion());
}

TEST(QuaternionMultiply, ComposesLikeMatrices)
{
    const CVTN_Quaternion a = CVTN_Quaternion::FromAxisAngle({0, 0, 1}, 0.8f);
    const CVTN_Quaternion b = CVTN_Quaternion::FromAxisAngle({1, 1, 0}, -2.1f);
    CVTN_Quaternion ab;
    EXPECT_EQ(&a.Multiply(ab, b), &ab);
    SWmatrix expected;
    MatrixOf(a).Multiply(expected, MatrixOf(b));
    EXPECT_TRUE(MatricesNear(MatrixOf(ab), expected));
}

TEST(QuaternionMultiply, HamiltonProductWithScalarLast)
{
    const CVTN_Quaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
    CVTN_Quaternion out;
    EXPECT_EQ(i.Multiply(out, j), k);
    EXPECT_EQ(j.Multiply(out, i), CVTN_Quaternion(0, 0, -1, 0));
    EXPECT_EQ(i.Multiply(out, i), CVTN_Quaternion(0, 0, 0, -1));
}

TEST(QuaternionMultiply, OutMayAliasThisOrOther)
{
    const CVTN_Quaternion a(0.1f, 0.2f, 0.3f, 0.9f);
    const CVTN_Quaternion b(-0.4f, 0.5f, 0.1f, 0.7f);
    CVTN_Quaternion expected;
    a.Multiply(expected, b);

    CVTN_Quaternion intoThis = a;
    intoThis.Multiply(intoThis, b);
    EXPECT_EQ(intoThis, expected);
    CVTN_Quaternion intoOther = b;
    a.Multiply(intoOther, intoOther);
    EXPECT_EQ(intoOther, expected);
}

TEST(QuaternionSlerp, EndPointsAreTheInputs)
{
    const std::vector<CVTN_Quaternion> rotations = Rotations();
    for (size_t i = 0; i + 1 < rotations.size(); i += 3) {
        const CVTN_Quaternion& from = rotations[i];
        const CVTN_Quaternion& to = rotations[i + 1];
        SCOPED_TRACE(i);
        EXPECT_TRUE(SameRotation(from.Slerp(to, 0.0f), from));
        EXPECT_TRUE(SameRotation(from.Slerp(to, 1.0f), to));
    }
}

TEST(QuaternionSlerp, HalfwayIsHalfTheAngle)
{
    const CVTN_Quaternion identity;
    const CVTN_Quaternion quarter = CVTN_Quaternion::FromAxisAngle({0, 0, 1}, kPi / 2.0f);
    EXPECT_TRUE(SameRotation(identity.Slerp(quarter, 0.5f), CVTN_Quaternion::FromAxisAngle({0, 0, 1}, kPi / 4.0f)));
    EXPECT_TRUE(SameRotation(identity.Slerp(quarter, 0.25f), CVTN_Quaternion::FromAxisAngle({0, 0, 1}, kPi / 8.0f)));
}

TEST(QuaternionSlerp, TakesTheShortWayRound)
{
    // -q is the same quarter turn; the path must still be a quarter turn, not three quarters.
    const CVTN_Quaternion q = CVTN_Quaternion::FromAxisAngle({0, 1, 0}, kPi / 2.0f);
    const CVTN_Quaternion negated(-q.x, -q.y, -q.z, -q.w);
    const CVTN_Quaternion halfway = CVTN_Quaternion().Slerp(negated, 0.5f);
    EXPECT_NEAR(AngleOf(halfway), kPi / 4.0f, 1e-5f);
}

TEST(QuaternionSlerp, NearlyEqualEndsStayUnitLength)
{
    const CVTN_Quaternion a = CVTN_Quaternion::FromAxisAngle({1, 0, 0}, 0.5f);
    const CVTN_Quaternion b = CVTN_Quaternion::FromAxisAngle({1, 0, 0}, 0.5f + 1e-6f);
    for (const float t : {0.0f, 0.3f, 1.0f}) {
        const CVTN_Quaternion r = a.Slerp(b, t);
        EXPECT_NEAR(r.Norm(), 1.0f, 1e-6f);
        EXPECT_TRUE(SameRotation(r, a, 1e-5f));
    }
}
