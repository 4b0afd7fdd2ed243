#include "engine/behaviour/variable_operators.h"

#include <string>

#include "engine/behaviour/property.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/vector.h"

namespace {

bool IsRotationType(uint32_t type)
{
    return type == kTypeQuaternion || type == kTypeMatrix;
}

// -- Reading an operand as a type, and a result of a type: the conversions every get and set of a variable makes.

float AsFloat(const TypedValueData& v)
{
    return ConvertTypedData(v, kTypeFloat).elements[0];
}

int32_t AsInteger(const TypedValueData& v)
{
    return ConvertTypedData(v, kTypeInteger).integer;
}

bool AsBoolean(const TypedValueData& v)
{
    return ConvertTypedData(v, kTypeBoolean).integer != 0;
}

SWvector AsVector(const TypedValueData& v)
{
    return ConvertTypedData(v, kTypeVector).Vector();
}

// A result of type holding value, as a new variable of that type takes it when assigned.
TypedValueData Holding(uint32_t type, const TypedValueData& value)
{
    TypedValueData result = TypedValueData::Default(type);
    AssignTypedData(result, value);
    return result;
}

TypedValueData HoldingVector(uint32_t type, float x, float y, float z)
{
    return Holding(type, TypedValueData::OfVector({x, y, z}));
}

// -- Rows

TypedValueData StringRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    const std::string left = ConvertTypedData(l, kTypeString).text;
    if (op == SWproperty::kOperatorAdd)
        return Holding(kTypeString, TypedValueData::OfString(left + ConvertTypedData(r, kTypeString).text));
    return Holding(kTypeString, TypedValueData::OfString(left));
}

// A number on the left, a vector on the right: "+" and "*" give vectors, "-" and "/" the left's own type.
TypedValueData NumberByVector(const TypedValueData& l, const TypedValueData& r, int op, uint32_t numberType)
{
    const float n = AsFloat(l);
    const SWvector v = AsVector(r);
    switch (op) {
    case SWproperty::kOperatorAdd:
        return HoldingVector(kTypeVector, v.x + n, v.y + n, v.z + n);
    case SWproperty::kOperatorMultiply:
        return Holding(kTypeVector,
                       numberType == kTypeInteger ? TypedValueData::OfInteger(0) : TypedValueData::OfFloat(0.0f));
    case SWproperty::kOperatorSubtract:
        return HoldingVector(numberType, v.x - n, v.y - n, v.z - n);
    default:
        return TypedValueData::Default(numberType);
    }
}

TypedValueData FloatByFloat(const TypedValueData& l, const TypedValueData& r, int op)
{
    const float a = AsFloat(l);
    const float b = AsFloat(r);
    if (op < SWproperty::kOperatorAdd || op > SWproperty::kOperatorDivide)
        return TypedValueData::Default(kTypeFloat);
    return Holding(kTypeFloat, TypedValueData::OfFloat(FloatCell(a, b, op)));
}

TypedValueData IntegerRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    if (r.type == kTypeString || r.type == kTypeInteger || r.type == kTypeBoolean) {
        const int32_t a = AsInteger(l);
        const int32_t b = AsInteger(r);
        if (op < SWproperty::kOperatorAdd || op > SWproperty::kOperatorDivide)
            return TypedValueData::Default(kTypeInteger);
        return Holding(kTypeInteger, TypedValueData::OfInteger(IntegerCell(a, b, op)));
    }
    if (r.type == kTypeFloat)
        return FloatByFloat(l, r, op);
    if (r.type == kTypeVector)
        return NumberByVector(l, r, op, kTypeInteger);
    return TypedValueData::Default(kTypeInteger); // quaternion, matrix: 0
}

TypedValueData BooleanRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    const bool a = AsBoolean(l);
    const bool b = AsBoolean(r);
    if (op < SWproperty::kOperatorAdd || op > SWproperty::kOperatorDivide)
        return TypedValueData::Default(kTypeBoolean);
    return Holding(kTypeBoolean, TypedValueData::OfBoolean(BooleanCell(a, b, op)));
}

TypedValueData FloatRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    if (r.type == kTypeVector)
        return NumberByVector(l, r, op, kTypeFloat);
    if (IsRotationType(r.type))
        return TypedValueData::Default(kTypeFloat); // 0
    return FloatByFloat(l, r, op);
}

TypedValueData VectorByNumber(const SWvector& a, float s, int op)
{
    switch (op) {
    case SWproperty::kOperatorAdd:
        return HoldingVector(kTypeVector, a.x + s, a.y + s, a.z + s);
    case SWproperty::kOperatorSubtract:
        return HoldingVector(kTypeVector, a.x - s, a.y - s, a.z - s);
    case SWproperty::kOperatorMultiply:
        return HoldingVector(kTypeVector, a.x * s, a.y * s, a.z * s);
    case SWproperty::kOperatorDivide: {
        const float inverse = 1.0f / s; // a zero divisor gives infinities and not-a-numbers, as the row says
        return HoldingVector(kTypeVector, a.x * inverse, a.y * inverse, a.z * inverse);
    }
    default:
        return TypedValueData::Default(kTypeVector);
    }
}

TypedValueData VectorRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    const SWvector a = AsVector(l);
    if (IsRotationType(r.type)) {
        SWmatrix moved;
        SWmatrix::Translation(a.x, a.y, a.z).Multiply(moved, ConvertTypedData(r, kTypeMatrix).Matrix());
        const SWvector t = moved.GetTranslation();
        if (op >= SWproperty::kOperatorAdd && op <= SWproperty::kOperatorDivide)
            return HoldingVector(kTypeVector, t.x, t.y, t.z);
        return TypedValueData::Default(kTypeVector);
    }
    if (IsScalarType(r.type))
        return VectorByNumber(a, AsFloat(r), op);
    const SWvector b = AsVector(r); // string or vector
    switch (op) {
    case SWproperty::kOperatorAdd:
        return HoldingVector(kTypeVector, a.x + b.x, a.y + b.y, a.z + b.z);
    case SWproperty::kOperatorSubtract:
        return HoldingVector(kTypeVector, a.x - b.x, a.y - b.y, a.z - b.z);
    case SWproperty::kOperatorMultiply:
        return Holding(kTypeVector, TypedValueData::OfFloat(a.Dot(b)));
    case SWproperty::kOperatorDivide:
        return HoldingVector(kTypeVector, 0.0f, 0.0f, 0.0f);
    default:
        return TypedValueData::Default(kTypeVector);
    }
}

TypedValueData QuaternionRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    if (r.type == kTypeVector) {
        if (op != SWproperty::kOperatorMultiply)
            return TypedValueData::Default(kTypeVector);
        SWmatrix rotation;
        ConvertTypedData(l, kTypeQuaternion).Quaternion().ToMatrix(rotation);
        const SWvector v = AsVector(r);
        SWmatrix moved;
        rotation.Multiply(moved, SWmatrix::Translation(v.x, v.y, v.z));
        const SWvector t = moved.GetTranslation();
        return HoldingVector(kTypeVector, t.x, t.y, t.z);
    }
    if (IsScalarType(r.type) || op != SWproperty::kOperatorMultiply)
        return TypedValueData::Default(kTypeQuaternion);
    const CVTN_Quaternion a = ConvertTypedData(l, kTypeQuaternion).Quaternion();
    const CVTN_Quaternion b = ConvertTypedData(r, kTypeQuaternion).Quaternion();
    CVTN_Quaternion product;
    a.Multiply(product, b);
    return Holding(kTypeQuaternion, TypedValueData::OfQuaternion(product));
}

TypedValueData MatrixRow(const TypedValueData& l, const TypedValueData& r, int op)
{
    if (r.type == kTypeVector) {
        if (op != SWproperty::kOperatorMultiply)
            return TypedValueData::Default(kTypeVector);
        const SWvector t = ConvertTypedData(l, kTypeMatrix).Matrix().TransformPoint(AsVector(r));
        return HoldingVector(kTypeVector, t.x, t.y, t.z);
    }
    if (IsScalarType(r.type) || op != SWproperty::kOperatorMultiply)
        return TypedValueData::Default(kTypeMatrix);
    SWmatrix product;
    ConvertTypedData(l, kTypeMatrix).Matrix().Multiply(product, ConvertTypedData(r, kTypeMatrix).Matrix());
    return Holding(kTypeMatrix, TypedValueData::OfMatrix(product));
}

} // namespace

bool ApplyVariableOperator(const TypedValueData& left, const TypedValueData& right, int op, TypedValueData& out)
{
    if (left.type == kTypeString) {
        out = StringRow(left, right, op);
        return true;
    }
    if (!IsTypedValueType(left.type) || !IsTypedValueType(right.type))
        return false;
    switch (left.type) {
    case kTypeInteger:
        out = IntegerRow(left, right, op);
        break;
    case kTypeBoolean:
        out = BooleanRow(left, right, op);
        break;
    case kTypeFloat:
        out = FloatRow(left, right, op);
        break;
    case kTypeVector:
        out = VectorRow(left, right, op);
        break;
    case kTypeQuaternion:
        out = QuaternionRow(left, right, op);
        break;
    default:
        out = MatrixRow(left, right, op);
        break;
    }
    return true;
}
