#include "engine/core/typed_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numbers>
#include <string>

#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/tests/maths_test_support.h"
#include "engine/core/typed_value_bound.h"
#include "engine/core/typed_value_owned.h"
#include "engine/core/vector.h"

namespace {

using testing::_;
using testing::Return;

constexpr uint32_t kAllTypes[] = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                                  kTypeVector, kTypeQuaternion, kTypeMatrix};

SWmatrix QuarterTurnAboutZMovedTo(float x, float y, float z)
{
    SWmatrix m = SWmatrix::Rotation(std::numbers::pi_v<float> / 2.0f, 2);
    m.SetTranslation(x, y, z);
    return m;
}

float FloatOf(const TypedValue& value)
{
    float f = -1.0f;
    value.GetAsFloat(f);
    return f;
}

SWvector VectorOf(const TypedValue& value)
{
    SWvector v;
    value.GetAsVector(v);
    return v;
}

SWmatrix MatrixOf(const TypedValue& value)
{
    SWmatrix m;
    value.GetAsMatrix(m);
    return m;
}

std::string StringOf(const TypedValue& value)
{
    std::string text = "unset";
    value.GetAsString(text);
    return text;
}

// An engine object that exposes one of its fields as a target.
class MockTarget : public TypedValueTarget {
public:
    MOCK_METHOD(TypedValueData, ReadTarget, (uint32_t type, int16_t index), (const, override));
    MOCK_METHOD(void, WriteTarget, (const TypedValueData& value, int16_t index), (override));
};

} // namespace

TEST(TypedValueOwned, CreatedWithTheTypesDefault)
{
    for (const uint32_t type : kAllTypes) {
        SCOPED_TRACE(type);
        const auto value = CreateTypedValue(type);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->GetType(), type);
        EXPECT_EQ(value->Get().type, type);
    }
    EXPECT_EQ(StringOf(*CreateTypedValue(kTypeString)), "");
    EXPECT_EQ(StringOf(*CreateTypedValue(kTypeBoolean)), "0");
    EXPECT_EQ(StringOf(*CreateTypedValue(kTypeFloat)), "0.0000");
    CVTN_Quaternion q(1, 1, 1, 1);
    CreateTypedValue(kTypeQuaternion)->GetAsQuaternion(q);
    EXPECT_EQ(q, CVTN_Quaternion());
    EXPECT_EQ(MatrixOf(*CreateTypedValue(kTypeMatrix)), SWmatrix());
}

TEST(TypedValueOwned, UnknownTypeCodesCreateNothing)
{
    const auto target = CreateTypedValue(kTypeFloat);
    for (const uint32_t code : {0u, 3u, 6u, 128u, 0x80000000u}) {
        EXPECT_EQ(CreateTypedValue(code), nullptr) << code;
        EXPECT_EQ(CreateBoundTypedValue(code, *target, 1), nullptr) << code;
    }
}

TEST(TypedValueOwned, SetsConvertIntoTheValuesType)
{
    const auto value = CreateTypedValue(kTypeInteger);
    value->SetFromFloat(-3.9f);
    int32_t i = 0;
    value->GetAsInt(i);
    EXPECT_EQ(i, -3);
    value->SetFromString("  41 apples");
    EXPECT_EQ(StringOf(*value), "41");
    value->SetFromVector(8.5f, 1, 1);
    EXPECT_EQ(FloatOf(*value), 8.0f);
    value->SetFromBool(true);
    EXPECT_EQ(FloatOf(*value), 1.0f);
    value->SetFromMatrix(SWmatrix::Scaling(6, 1, 1));
    EXPECT_EQ(FloatOf(*value), 6.0f);
    value->SetFromQuaternion(CVTN_Quaternion(5, 0, 0, 1));
    EXPECT_EQ(FloatOf(*value), 5.0f);
    bool b = false;
    value->GetAsBool(b);
    EXPECT_TRUE(b);
}

TEST(TypedValueOwned, SetFromValueConvertsAndMayBeItself)
{
    const TypedValueString text("1.5,2.5,3.5");
    const auto vector = CreateTypedValue(kTypeVector);
    vector->SetFromValue(text);
    EXPECT_EQ(VectorOf(*vector), SWvector(1.5f, 2.5f, 3.5f));
    vector->SetFromValue(*vector);
    EXPECT_EQ(VectorOf(*vector), SWvector(1.5f, 2.5f, 3.5f));

    const TypedValueMatrix matrix(QuarterTurnAboutZMovedTo(4, 5, 6));
    EXPECT_EQ(matrix.GetType(), kTypeMatrix);
    vector->SetFromValue(matrix);
    EXPECT_EQ(VectorOf(*vector), SWvector(4, 5, 6));
    EXPECT_EQ(text.GetType(), kTypeString);
    EXPECT_EQ(StringOf(text), "1.5,2.5,3.5");
}

TEST(TypedValueBound, ScalarReadsAndWritesOneElementOfItsTarget)
{
    const auto target = CreateTypedValue(kTypeVector);
    target->SetFromVector(1, 2, 3);
    const auto y = CreateBoundTypedValue(kTypeFloat, *target, 1);
    y->SetTargetIndex(1);
    EXPECT_EQ(FloatOf(*y), 2.0f);

    y->SetFromFloat(20.0f);
    EXPECT_EQ(VectorOf(*target), SWvector(1, 20, 3));
    y->SetFromString("-4");
    EXPECT_EQ(VectorOf(*target), SWvector(1, -4, 3));

    // The index takes effect at once: nothing read earlier is kept.
    y->SetTargetIndex(2);
    EXPECT_EQ(FloatOf(*y), 3.0f);
    target->SetFromVector(7, 8, 9);
    EXPECT_EQ(FloatOf(*y), 9.0f);
}

TEST(TypedValueBound, IndexBeyondTheTargetReadsZeroAndWritesNothing)
{
    const auto target = CreateTypedValue(kTypeQuaternion);
    target->SetFromQuaternion(CVTN_Quaternion(1, 2, 3, 4));
    const auto component = CreateBoundTypedValue(kTypeInteger, *target, 1);
    for (const int16_t index : {int16_t{4}, int16_t{-1}, int16_t{32767}}) {
        SCOPED_TRACE(index);
        component->SetTargetIndex(index);
        EXPECT_EQ(FloatOf(*component), 0.0f);
        component->SetFromInt(99);
        CVTN_Quaternion q;
        target->GetAsQuaternion(q);
        EXPECT_EQ(q, CVTN_Quaternion(1, 2, 3, 4));
    }
    component->SetTargetIndex(3);
    EXPECT_EQ(FloatOf(*component), 4.0f);
}

TEST(TypedValueBound, VectorAndQuaternionViewsOfAMatrix)
{
    TypedValueMatrix transform(QuarterTurnAboutZMovedTo(1, 2, 3));
    const auto position = CreateBoundTypedValue(kTypeVector, transform, 1);
    const auto rotation = CreateBoundTypedValue(kTypeQuaternion, transform, 1);

    EXPECT_EQ(VectorOf(*position), SWvector(1, 2, 3));
    CVTN_Quaternion q;
    rotation->GetAsQuaternion(q);
    EXPECT_TRUE(SameRotation(q, CVTN_Quaternion::FromAxisAngle({0, 0, 1}, std::numbers::pi_v<float> / 2.0f)));

    position->SetFromVector(-1, -2, -3);
    EXPECT_TRUE(MatricesNear(MatrixOf(transform), QuarterTurnAboutZMovedTo(-1, -2, -3)));
    rotation->SetFromQuaternion(CVTN_Quaternion());
    EXPECT_TRUE(MatricesNear(MatrixOf(transform), SWmatrix::Translation(-1, -2, -3)));

    // A float set into the bound vector changes x of the translation alone.
    position->SetFromFloat(10.0f);
    EXPECT_TRUE(MatricesNear(MatrixOf(transform), SWmatrix::Translation(10, -2, -3)));
}

TEST(TypedValueBound, ChainsOfBoundValuesReachTheLastTarget)
{
    TypedValueMatrix transform(SWmatrix::Translation(1, 2, 3));
    const auto position = CreateBoundTypedValue(kTypeVector, transform, 1);
    const auto z = CreateBoundTypedValue(kTypeFloat, *position, 1);
    z->SetTargetIndex(2);
    EXPECT_EQ(FloatOf(*z), 3.0f);
    z->SetFromFloat(30.0f);
    EXPECT_EQ(MatrixOf(transform), SWmatrix::Translation(1, 2, 30));
    const auto text = CreateBoundTypedValue(kTypeString, *z, 1);
    EXPECT_EQ(StringOf(*text), "30.0000");
    text->SetFromString("0.5");
    EXPECT_EQ(MatrixOf(transform), SWmatrix::Translation(1, 2, 0.5f));
}

TEST(TypedValueBound, WholeValueConversionWithScalarTargets)
{
    const auto count = CreateTypedValue(kTypeInteger);
    count->SetFromInt(12);
    const auto asText = CreateBoundTypedValue(kTypeString, *count, 1);
    EXPECT_EQ(StringOf(*asText), "12");
    asText->SetFromString("40");
    int32_t i = 0;
    count->GetAsInt(i);
    EXPECT_EQ(i, 40);

    const auto asBool = CreateBoundTypedValue(kTypeBoolean, *count, 1);
    asBool->SetTargetIndex(5); // a one-element target has no elements to pick from
    bool b = false;
    asBool->GetAsBool(b);
    EXPECT_TRUE(b);
    asBool->SetFromBool(false);
    count->GetAsInt(i);
    EXPECT_EQ(i, 0);
}

TEST(TypedValueBound, ForwardsToAnyTarget)
{
    MockTarget target;
    const auto bound = CreateBoundTypedValue(kTypeFloat, target, 1);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(static_cast<TypedValueBound&>(*bound).GetBindFlag(), 1);
    bound->SetTargetIndex(3);

    EXPECT_CALL(target, ReadTarget(kTypeFloat, 3)).WillOnce(Return(TypedValueData::OfFloat(2.5f)));
    EXPECT_EQ(StringOf(*bound), "2.5000");

    EXPECT_CALL(target, ReadTarget(kTypeFloat, 3)).WillOnce(Return(TypedValueData::OfFloat(2.5f)));
    EXPECT_CALL(target, WriteTarget(_, 3)).WillOnce([](const TypedValueData& value, int16_t) {
        EXPECT_EQ(value.type, kTypeFloat);
        EXPECT_EQ(value.elements[0], 7.0f);
    });
    bound->SetFromInt(7);
}
