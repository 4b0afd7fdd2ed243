#pragma once
// The variables' operator table: what "+", "-", "*" and "/" (codes 0 to 3) give between two values of the seven
// types, worked on values rather than on variables, so that an expression applies it without making a variable for
// every operator. SWproperty::ApplyOperator is this table on two variables' current values.
//
// The left operand's type picks the row:
//   string   "+" joins the two as text; any other operator gives the left text
//   integer  with an integer, boolean or string: integer arithmetic, wrapping, division toward zero (by 0: 0);
//            with a float: float arithmetic; with a vector: the number-by-vector cell; quaternion, matrix: 0
//   boolean  "+" or, "-" and-not, "*" and "/" and
//   float    with a vector: the number-by-vector cell; quaternion, matrix: 0; otherwise float arithmetic (by 0: 0)
//   vector   with a rotation: the vector moved by it; with a number: each element with it; with a vector or
//            string: "+" and "-" by element, "*" the dot product (a float), "/" the zero vector
//   quaternion with a vector: "*" turns the vector; with a quaternion: "*" the product; otherwise the identity
//   matrix   with a vector: "*" carries the point; with a matrix or quaternion: "*" the product; otherwise identity
// Number by vector: "+" adds the number to each element, "-" gives the number's type holding x minus the number,
// "*" a zero vector, "/" the number's type holding 0. An operator code outside 0 to 3 gives the row type's default.
// A type code outside the seven has no row (unless the left is a string): the table answers nothing.
//
// The one-number types (integer, boolean, float) also have a form of their own that needs no TypedValueData: the
// same cells, for the expressions that only ever meet numbers.
#include <climits>
#include <cstdint>

#include "engine/core/typed_value_data.h"

// left operator right into out, whose type is the row's result type; false, out untouched: the table has no row.
bool ApplyVariableOperator(const TypedValueData& left, const TypedValueData& right, int op, TypedValueData& out);

// An integer, boolean or float value: integer and boolean in integer (as stored, a boolean normally 0 or 1), float in
// number.
struct SWscalarvalue {
    uint32_t type;
    int32_t integer;
    float number;
};

inline bool IsScalarType(uint32_t type) // integer, boolean or float
{
    return type == kTypeInteger || type == kTypeBoolean || type == kTypeFloat;
}

// -- The cells of the one-number rows, shared by both forms of the table

// Two's-complement arithmetic: user expressions may overflow, which must neither trap nor be undefined.
inline int32_t IntegerCell(int32_t a, int32_t b, int op)
{
    const auto ua = static_cast<uint32_t>(a);
    const auto ub = static_cast<uint32_t>(b);
    switch (op) {
    case 0:
        return static_cast<int32_t>(ua + ub);
    case 1:
        return static_cast<int32_t>(ua - ub);
    case 2:
        return static_cast<int32_t>(ua * ub);
    case 3:
        if (b == 0)
            return 0;
        if (a == INT32_MIN && b == -1)
            return INT32_MIN; // the one quotient that does not fit; the hardware would trap
        return a / b;
    default:
        return 0;
    }
}

inline float FloatCell(float a, float b, int op)
{
    switch (op) {
    case 0:
        return a + b;
    case 1:
        return a - b;
    case 2:
        return a * b;
    case 3:
        return b == 0.0f ? 0.0f : a / b;
    default:
        return 0.0f;
    }
}

inline bool BooleanCell(bool a, bool b, int op)
{
    switch (op) {
    case 0:
        return a || b;
    case 1:
        return a && !b;
    case 2:
    case 3:
        return a && b;
    default:
        return false;
    }
}

// The table's cell for two one-number values: the same result as ApplyVariableOperator, bit for bit. A boolean
// left operand gives a boolean; an integer with an integer or boolean an integer; anything with a float a float.
inline SWscalarvalue ApplyScalarOperator(const SWscalarvalue& left, const SWscalarvalue& right, int op)
{
    // Read as another type: a float as an integer truncates; a float as a boolean is true unless 0 (so
    // not-a-number is true); an integer or boolean as a float converts.
    const auto asFloat = [](const SWscalarvalue& v) {
        return v.type == kTypeFloat ? v.number : static_cast<float>(v.integer);
    };
    const auto asBoolean = [](const SWscalarvalue& v) {
        return v.type == kTypeFloat ? v.number != 0.0f : v.integer != 0;
    };
    if (left.type == kTypeBoolean)
        return {kTypeBoolean, BooleanCell(asBoolean(left), asBoolean(right), op) ? 1 : 0, 0.0f};
    if (left.type == kTypeInteger && right.type != kTypeFloat)
        return {kTypeInteger, IntegerCell(left.integer, right.integer, op), 0.0f};
    return {kTypeFloat, 0, FloatCell(asFloat(left), asFloat(right), op)};
}
