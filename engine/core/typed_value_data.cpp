#include "engine/core/typed_value_data.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/vector.h"

namespace {

constexpr int kTranslationIndex[3] = {3, 7, 11};
constexpr int kRotationIndex[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};

bool IsOneElementType(uint32_t type)
{
    return type == kTypeInteger || type == kTypeBoolean || type == kTypeFloat;
}

// The one element of an integer, boolean or float, or the first element of a vector, quaternion or matrix.
float FirstElementOf(const TypedValueData& from)
{
    if (from.type == kTypeInteger || from.type == kTypeBoolean)
        return static_cast<float>(from.integer);
    return from.elements[0];
}

int32_t IntegerOf(const TypedValueData& from)
{
    if (from.type == kTypeInteger || from.type == kTypeBoolean)
        return from.integer;
    return TruncateToInt32(from.elements[0]);
}

bool BooleanOf(const TypedValueData& from)
{
    if (from.type == kTypeInteger || from.type == kTypeBoolean)
        return from.integer != 0;
    return from.elements[0] != 0.0f; // not-a-number is true, as a C test of a float is
}

void AssignIntoVector(TypedValueData& into, const TypedValueData& from)
{
    if (from.type == kTypeQuaternion)
        std::copy_n(from.elements.begin(), 3, into.elements.begin());
    else if (from.type == kTypeMatrix)
        for (int i = 0; i < 3; ++i)
            into.elements[i] = from.elements[kTranslationIndex[i]];
    else
        into.elements[0] = FirstElementOf(from);
}

void AssignIntoQuaternion(TypedValueData& into, const TypedValueData& from)
{
    if (from.type == kTypeVector) {
        std::copy_n(from.elements.begin(), 3, into.elements.begin());
    } else if (from.type == kTypeMatrix) {
        CVTN_Quaternion q;
        q.FromMatrix(from.Matrix());
        into.elements[0] = q.x, into.elements[1] = q.y, into.elements[2] = q.z, into.elements[3] = q.w;
    } else {
        into.elements[0] = FirstElementOf(from);
    }
}

void AssignIntoMatrix(TypedValueData& into, const TypedValueData& from)
{
    if (from.type == kTypeVector) {
        for (int i = 0; i < 3; ++i)
            into.elements[kTranslationIndex[i]] = from.elements[i];
    } else if (from.type == kTypeQuaternion) {
        // Typed in by hand, a quaternion is rarely of unit length; unnormalised it would scale and shear.
        SWmatrix rotation;
        from.Quaternion().Normalize().ToMatrix(rotation);
        for (const int i : kRotationIndex)
            into.elements[i] = rotation[i];
    } else {
        into.elements[0] = FirstElementOf(from);
    }
}

} // namespace

TypedValueData TypedValueData::Default(uint32_t type)
{
    TypedValueData value;
    value.type = type;
    if (type == kTypeQuaternion)
        value.elements[3] = 1.0f;
    if (type == kTypeMatrix)
        value = OfMatrix(SWmatrix());
    return value;
}

TypedValueData TypedValueData::OfString(std::string_view text)
{
    TypedValueData value = Default(kTypeString);
    value.text = text;
    return value;
}

TypedValueData TypedValueData::OfInteger(int32_t integer)
{
    TypedValueData value = Default(kTypeInteger);
    value.integer = integer;
    return value;
}

TypedValueData TypedValueData::OfBoolean(bool boolean)
{
    TypedValueData value = Default(kTypeBoolean);
    value.integer = boolean ? 1 : 0;
    return value;
}

TypedValueData TypedValueData::OfFloat(float f)
{
    TypedValueData value = Default(kTypeFloat);
    value.elements[0] = f;
    return value;
}

TypedValueData TypedValueData::OfVector(const SWvector& v)
{
    TypedValueData value = Default(kTypeVector);
    value.elements[0] = v.x, value.elements[1] = v.y, value.elements[2] = v.z;
    return value;
}

TypedValueData TypedValueData::OfQuaternion(const CVTN_Quaternion& q)
{
    TypedValueData value = Default(kTypeQuaternion);
    value.elements[0] = q.x, value.elements[1] = q.y, value.elements[2] = q.z, value.elements[3] = q.w;
    return value;
}

TypedValueData TypedValueData::OfMatrix(const SWmatrix& m)
{
    TypedValueData value;
    value.type = kTypeMatrix;
    std::copy_n(m.Data(), 16, value.elements.begin());
    return value;
}

SWvector TypedValueData::Vector() const
{
    return {elements[0], elements[1], elements[2]};
}

CVTN_Quaternion TypedValueData::Quaternion() const
{
    return {elements[0], elements[1], elements[2], elements[3]};
}

SWmatrix TypedValueData::Matrix() const
{
    return SWmatrix(elements);
}

bool IsTypedValueType(uint32_t type)
{
    switch (type) {
    case kTypeString:
    case kTypeInteger:
    case kTypeBoolean:
    case kTypeFloat:
    case kTypeVector:
    case kTypeQuaternion:
    case kTypeMatrix:
        return true;
    default:
        return false;
    }
}

int TypedElementCount(uint32_t type)
{
    switch (type) {
    case kTypeInteger:
    case kTypeBoolean:
    case kTypeFloat:
        return 1;
    case kTypeVector:
        return 3;
    case kTypeQuaternion:
        return 4;
    case kTypeMatrix:
        return 16;
    default:
        return 0;
    }
}

int32_t TruncateToInt32(double value)
{
    // A plain cast of a value out of range, or of not-a-number, is undefined behaviour.
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

void AssignTypedData(TypedValueData& into, const TypedValueData& from)
{
    if (!IsTypedValueType(into.type) || !IsTypedValueType(from.type))
        return;
    if (into.type == from.type) {
        into = from;
        return;
    }
    if (from.type == kTypeString) {
        into = ParseTypedValueText(from.text, into.type);
        return;
    }
    switch (into.type) {
    case kTypeString:
        into.text = TypedValueText(from);
        break;
    case kTypeInteger:
        into.integer = IntegerOf(from);
        break;
    case kTypeBoolean:
        into.integer = BooleanOf(from) ? 1 : 0;
        break;
    case kTypeFloat:
        into.elements[0] = FirstElementOf(from);
        break;
    case kTypeVector:
        AssignIntoVector(into, from);
        break;
    case kTypeQuaternion:
        AssignIntoQuaternion(into, from);
        break;
    case kTypeMatrix:
        AssignIntoMatrix(into, from);
        break;
    }
}

TypedValueData ConvertTypedData(const TypedValueData& from, uint32_t type)
{
    TypedValueData value = TypedValueData::Default(type);
    AssignTypedData(value, from);
    return value;
}

TypedValueData ReadTypedElement(const TypedValueData& whole, uint32_t type, int16_t index)
{
    const int count = TypedElementCount(whole.type);
    if (!IsOneElementType(type) || count <= 1)
        return ConvertTypedData(whole, type);
    TypedValueData value = TypedValueData::Default(type);
    if (index >= 0 && index < count)
        AssignTypedData(value, TypedValueData::OfFloat(whole.elements[index]));
    return value;
}

void WriteTypedElement(TypedValueData& whole, const TypedValueData& value, int16_t index)
{
    const int count = TypedElementCount(whole.type);
    if (!IsOneElementType(value.type) || count <= 1) {
        AssignTypedData(whole, value);
        return;
    }
    if (index >= 0 && index < count)
        whole.elements[index] = FirstElementOf(value);
}
