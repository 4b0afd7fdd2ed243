// Variables: the operator table's edge cases, comparisons, the change test, cloning and initialising.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "engine/behaviour/property.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/vector.h"

namespace {

std::unique_ptr<SWproperty> Int(int32_t value)
{
    auto v = std::make_unique<SWproperty>(kTypeInteger);
    v->AssignInt(value);
    return v;
}

std::unique_ptr<SWproperty> Float(float value)
{
    auto v = std::make_unique<SWproperty>(kTypeFloat);
    v->AssignFloat(value);
    return v;
}

std::unique_ptr<SWproperty> Bool(bool value)
{
    auto v = std::make_unique<SWproperty>(kTypeBoolean);
    v->AssignBool(value);
    return v;
}

std::unique_ptr<SWproperty> Text(const char* text)
{
    return SWproperty::SWpropertyFromText(text);
}

std::unique_ptr<SWproperty> Vector(float x, float y, float z)
{
    auto v = std::make_unique<SWproperty>(kTypeVector);
    v->AssignVector(x, y, z);
    return v;
}

} // namespace

TEST(PropertyOperators, StringPlusIntegerAppendsAndMinusKeepsLeft)
{
    const auto sum = Text("abc")->ApplyOperator(*Int(12), SWproperty::kOperatorAdd);
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(sum->GetType(), kTypeString);
    EXPECT_EQ(sum->GetAsString(), "abc12");
    const auto difference = Text("abc")->ApplyOperator(*Int(12), SWproperty::kOperatorSubtract);
    EXPECT_EQ(difference->GetAsString(), "abc");
}

TEST(PropertyOperators, IntegerDivisionTruncatesTowardZeroAndByZeroIsZero)
{
    EXPECT_EQ(Int(7)->ApplyOperator(*Int(2), SWproperty::kOperatorDivide)->GetAsInt(), 3);
    EXPECT_EQ(Int(-7)->ApplyOperator(*Int(2), SWproperty::kOperatorDivide)->GetAsInt(), -3);
    EXPECT_EQ(Int(7)->ApplyOperator(*Int(0), SWproperty::kOperatorDivide)->GetAsInt(), 0);
    const auto mixed = Int(7)->ApplyOperator(*Float(2.0f), SWproperty::kOperatorDivide);
    EXPECT_EQ(mixed->GetType(), kTypeFloat);
    EXPECT_FLOAT_EQ(mixed->GetAsFloat(), 3.5f);
}

TEST(PropertyOperators, IntegerArithmeticWrapsAndSmallestByMinusOneIsItself)
{
    EXPECT_EQ(Int(INT_MIN)->ApplyOperator(*Int(-1), SWproperty::kOperatorDivide)->GetAsInt(), INT_MIN);
    EXPECT_EQ(Int(INT_MAX)->ApplyOperator(*Int(1), SWproperty::kOperatorAdd)->GetAsInt(), INT_MIN);
    EXPECT_EQ(Int(INT_MIN)->ApplyOperator(*Int(1), SWproperty::kOperatorSubtract)->GetAsInt(), INT_MAX);
    EXPECT_EQ(Int(0x10000)->ApplyOperator(*Int(0x10000), SWproperty::kOperatorMultiply)->GetAsInt(), 0);
}

TEST(PropertyOperators, BooleanRows)
{
    EXPECT_FALSE(Bool(true)->ApplyOperator(*Bool(true), SWproperty::kOperatorSubtract)->GetAsBool());
    EXPECT_TRUE(Bool(true)->ApplyOperator(*Bool(false), SWproperty::kOperatorSubtract)->GetAsBool());
    EXPECT_TRUE(Bool(false)->ApplyOperator(*Bool(true), SWproperty::kOperatorAdd)->GetAsBool());
    EXPECT_FALSE(Bool(true)->ApplyOperator(*Bool(false), SWproperty::kOperatorDivide)->GetAsBool());
}

TEST(PropertyOperators, VectorDividedByZeroIsNotFinite)
{
    const auto result = Vector(1, 0, -1)->ApplyOperator(*Int(0), SWproperty::kOperatorDivide);
    const SWvector v = result->GetAsVector();
    EXPECT_TRUE(std::isinf(v.x));
    EXPECT_TRUE(std::isnan(v.y));
    EXPECT_TRUE(std::isinf(v.z));
}

TEST(PropertyOperators, RotationAndMatrixRowsMoveVectors)
{
    auto turn = std::make_unique<SWproperty>(kTypeQuaternion);
    turn->AssignQuaternion(CVTN_Quaternion::FromAxisAngle({0, 0, 1}, static_cast<float>(M_PI / 2)));
    const SWvector rotated = turn->ApplyOperator(*Vector(1, 0, 0), SWproperty::kOperatorMultiply)->GetAsVector();
    EXPECT_NEAR(rotated.x, 0.0f, 1e-6f);
    EXPECT_NEAR(rotated.y, 1.0f, 1e-6f);

    auto moved = std::make_unique<SWproperty>(kTypeMatrix);
    moved->AssignMatrix(SWmatrix::Translation(10, 20, 30));
    const SWvector point = moved->ApplyOperator(*Vector(1, 2, 3), SWproperty::kOperatorMultiply)->GetAsVector();
    EXPECT_EQ(point, SWvector(11, 22, 33));
    // A vector plus any matrix is the vector plus the matrix's translation; a quaternion adds nothing.
    EXPECT_EQ(Vector(1, 2, 3)->ApplyOperator(*moved, SWproperty::kOperatorDivide)->GetAsVector(), SWvector(11, 22, 33));
    EXPECT_EQ(Vector(1, 2, 3)->ApplyOperator(*turn, SWproperty::kOperatorAdd)->GetAsVector(), SWvector(1, 2, 3));
}

TEST(PropertyOperators, UnknownTypesGiveNoResultAndUnknownOperatorTheDefault)
{
    SWproperty broken(3);
    EXPECT_FALSE(broken.HasValues());
    EXPECT_EQ(broken.ApplyOperator(*Int(1), SWproperty::kOperatorAdd), nullptr);
    EXPECT_EQ(Int(1)->ApplyOperator(broken, SWproperty::kOperatorAdd), nullptr);
    EXPECT_EQ(Text("a")->ApplyOperator(broken, SWproperty::kOperatorAdd)->GetAsString(), "a");
    EXPECT_EQ(Int(5)->ApplyOperator(*Int(1), 9)->GetAsInt(), 0);
}

TEST(PropertyCompare, CodesByLeftType)
{
    EXPECT_EQ(Vector(3, 4, 0)->Compare(*Vector(0, 0, 5)), SWproperty::kCompareEqual);
    EXPECT_EQ(Text("a")->Compare(*Text("b")), 10);
    EXPECT_EQ(Text("b")->Compare(*Text("a")), 6);
    EXPECT_EQ(Bool(true)->Compare(*Bool(false)), SWproperty::kCompareDifferent);
    EXPECT_EQ(Int(-1)->Compare(*Int(1)), 10);
    EXPECT_EQ(Float(NAN)->Compare(*Float(1)), 10);
    EXPECT_EQ(Float(2)->Compare(*Int(1)), 6);
    EXPECT_EQ(SWproperty(3).Compare(*Int(1)), SWproperty::kCompareDifferent);
}

TEST(PropertyChange, InitialisingIsNoChangeAndAssigningADifferentTextIs)
{
    SWproperty v(kTypeString);
    v.SetStringAll("one");
    EXPECT_FALSE(v.HasChanged());
    v.AssignString("two");
    EXPECT_TRUE(v.HasChanged());
    v.AssignString("two");
    EXPECT_FALSE(v.HasChanged());
    v.AssignString("three");
    v.ResetToInitial();
    EXPECT_EQ(v.GetAsString(), "one");
}

TEST(PropertyChange, ThroughABoundViewTheTargetDecides)
{
    SWproperty matrix(kTypeMatrix);
    SWproperty position(kTypeVector, matrix, 0);
    EXPECT_FALSE(position.HasChanged());
    position.AssignVector(1, 2, 3);
    EXPECT_TRUE(position.HasChanged());
    EXPECT_EQ(matrix.GetAsMatrix().GetTranslation(), SWvector(1, 2, 3));
}

TEST(PropertyClone, OwnStorageTakesInitialThenCurrentAndBoundStaysBound)
{
    SWproperty source(kTypeInteger);
    source.SetAllFromData(TypedValueData::OfInteger(1));
    source.AssignInt(5);
    const auto copy = source.Clone();
    EXPECT_EQ(copy->GetAsInt(), 5);
    EXPECT_EQ(copy->GetPreviousData().integer, 1);
    EXPECT_EQ(copy->GetInitialData().integer, 1);

    SWproperty matrix(kTypeMatrix);
    SWproperty view(kTypeVector, matrix, -1);
    const auto viewCopy = view.Clone();
    EXPECT_EQ(viewCopy->GetTarget(), &matrix);
    EXPECT_EQ(viewCopy->GetIndex(), 0);
    viewCopy->AssignVector(4, 5, 6);
    EXPECT_EQ(matrix.GetAsMatrix().GetTranslation(), SWvector(4, 5, 6));
}

TEST(PropertyInitialise, SetAllOnABoundVariableDoesNothing)
{
    SWproperty matrix(kTypeMatrix);
    SWproperty view(kTypeFloat, matrix, 3);
    view.SetFloatAll(9.0f);
    view.ResetToInitial();
    EXPECT_EQ(matrix.GetAsMatrix()[3], 0.0f);
    view.AssignFloat(9.0f);
    EXPECT_EQ(matrix.GetAsMatrix()[3], 9.0f);
}

TEST(PropertyType, SetTypeOnATargetKeepsItsViewsWorking)
{
    SWproperty target(kTypeVector);
    SWproperty view(kTypeFloat, target, 1);
    ASSERT_TRUE(target.SetType(kTypeMatrix));
    view.AssignFloat(4.0f);
    EXPECT_EQ(target.GetAsMatrix()[1], 4.0f);
    EXPECT_FALSE(target.SetType(5));
    EXPECT_EQ(target.GetType(), kTypeMatrix);
}
