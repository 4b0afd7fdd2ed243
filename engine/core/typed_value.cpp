#include "engine/core/typed_value.h"

#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_bound.h"
#include "engine/core/typed_value_owned.h"
#include "engine/core/vector.h"

void TypedValue::SetFromMatrix(const SWmatrix& m)
{
    Set(TypedValueData::OfMatrix(m));
}

void TypedValue::SetFromQuaternion(const CVTN_Quaternion& q)
{
    Set(TypedValueData::OfQuaternion(q));
}

void TypedValue::SetFromVector(float x, float y, float z)
{
    Set(TypedValueData::OfVector({x, y, z}));
}

void TypedValue::SetFromFloat(float value)
{
    Set(TypedValueData::OfFloat(value));
}

void TypedValue::SetFromString(std::string_view text)
{
    Set(TypedValueData::OfString(text));
}

void TypedValue::SetFromBool(bool value)
{
    Set(TypedValueData::OfBoolean(value));
}

void TypedValue::SetFromInt(int32_t value)
{
    Set(TypedValueData::OfInteger(value));
}

void TypedValue::SetFromValue(const TypedValue& other)
{
    Set(other.Get());
}

void TypedValue::GetAsMatrix(SWmatrix& out) const
{
    out = ConvertTypedData(Get(), kTypeMatrix).Matrix();
}

void TypedValue::GetAsQuaternion(CVTN_Quaternion& out) const
{
    out = ConvertTypedData(Get(), kTypeQuaternion).Quaternion();
}

void TypedValue::GetAsVector(SWvector& out) const
{
    out = ConvertTypedData(Get(), kTypeVector).Vector();
}

void TypedValue::GetAsFloat(float& out) const
{
    out = ConvertTypedData(Get(), kTypeFloat).elements[0];
}

void TypedValue::GetAsString(std::string& out) const
{
    out = ConvertTypedData(Get(), kTypeString).text;
}

void TypedValue::GetAsBool(bool& out) const
{
    out = ConvertTypedData(Get(), kTypeBoolean).integer != 0;
}

void TypedValue::GetAsInt(int32_t& out) const
{
    out = ConvertTypedData(Get(), kTypeInteger).integer;
}

void TypedValue::SetTargetIndex(int16_t) {}

TypedValueData TypedValue::ReadTarget(uint32_t type, int16_t index) const
{
    return ReadTypedElement(Get(), type, index);
}

void TypedValue::WriteTarget(const TypedValueData& value, int16_t index)
{
    TypedValueData whole = Get();
    WriteTypedElement(whole, value, index);
    Set(whole);
}

std::unique_ptr<TypedValue> CreateTypedValue(uint32_t type)
{
    if (!IsTypedValueType(type))
        return nullptr;
    return std::make_unique<TypedValueOwned>(type);
}

std::unique_ptr<TypedValue> CreateBoundTypedValue(uint32_t type, TypedValueTarget& target, int flag)
{
    if (!IsTypedValueType(type))
        return nullptr;
    return std::make_unique<TypedValueBound>(type, target, flag);
}
