#pragma once
// The value of a typed value, whatever its type, and the conversions between the seven types. The conversion
// table below is the one contract for every set and get of a typed value, the variables' operator table and
// comparisons, and the text that users read and type.
//
// Elements: a vector has 3 (x, y, z), a quaternion 4 (x, y, z, w), a matrix 16 (row-major, translation in 3, 7,
// 11); integer, boolean and float are one element; a string has none.
//
// Assigning a value of type FROM into a value of type INTO (AssignTypedData; every set operation):
//
//  into \ from | string       | integer i | boolean b    | float f  | vector v         | quaternion q  | matrix M
//  ------------+--------------+-----------+--------------+----------+------------------+---------------+------------
//  string      | copy         | "%d"      | "1" / "0"    | "%.4f"   | "%.4f,%.4f,%.4f" | 4 x "%.4f"    | 16 x "%.4f"
//  integer     | number, tr.  | copy      | 1 / 0        | tr. f    | tr. v.x          | tr. q.x       | tr. M[0]
//  boolean     | word, number | i != 0    | copy         | f != 0   | v.x != 0         | q.x != 0      | M[0] != 0
//  float       | number       | i         | 1 / 0        | copy     | v.x              | q.x           | M[0]
//  vector      | 3 numbers    | x := i    | x := 1 / 0   | x := f   | copy             | xyz := q.xyz  | translation
//  quaternion  | 4 numbers    | x := i    | x := 1 / 0   | x := f   | xyz := v         | copy          | rotation
//  matrix      | 16 numbers   | [0] := i  | [0] := 1 / 0 | [0] := f | transl. := v     | 3x3 := rot. q | copy
//
//  - tr.: toward zero, saturated at the 32-bit limits; not-a-number gives 0. f != 0 is true for not-a-number.
//  - Reading a value as another type (ConvertTypedData; every get operation) assigns it into that type's default:
//    "", 0, false, 0.0, (0, 0, 0), (0, 0, 0, 1), the identity. So a float read as a vector is (f, 0, 0), a vector
//    read as a matrix is its translation matrix, a quaternion read as a matrix its rotation without translation.
//  - "x := f" and the like write the elements that the source supplies and keep the others: setting a float into a
//    vector (1, 2, 3) gives (f, 2, 3); a vector set into a matrix moves it and keeps its rotation; a quaternion set
//    into a matrix replaces the 3x3 part (normalised first; a zero quaternion is the identity) and keeps the
//    translation. A matrix set into a quaternion is the rotation of its 3x3 part with the scale divided out.
//  - Text is read the way the C library's scanf reads "%f" in the "C" locale, whatever the process locale: white
//    space, an optional sign, digits with an optional point and exponent, or inf / nan; what follows is ignored. A
//    text without a number gives 0 (integer, float) or false. An integer takes the number truncated ("7.9" gives
//    7, "1e3" 1000). A boolean also takes the words true and false in any case. A vector, quaternion or matrix
//    reads numbers separated by single commas ("%f,%f,%f": white space may precede a number, not a comma) and
//    stops at the first that fails; the elements not read keep the type's default, not the old value. Written,
//    their elements are joined by commas.
//  - A type code outside the seven is neither converted to nor from: the value assigned into is left as it was.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class CVTN_Quaternion;
class SWmatrix;
class SWvector;

// Type bit codes, as stored in files. Codes read from a file may be anything, hence plain u32 constants.
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeInteger = 2;
constexpr uint32_t kTypeBoolean = 4;
constexpr uint32_t kTypeFloat = 8;
constexpr uint32_t kTypeVector = 16;
constexpr uint32_t kTypeQuaternion = 32;
constexpr uint32_t kTypeMatrix = 64;

struct TypedValueData {
    uint32_t type = kTypeInteger;
    int32_t integer = 0;                 // integer; boolean as 0 or 1
    std::array<float, 16> elements = {}; // float in [0]; vector x y z; quaternion x y z w; matrix in index order
    std::string text;                    // string

    static TypedValueData Default(uint32_t type); // see the table; an unknown code gives a value that converts to
                                                  // nothing
    static TypedValueData OfString(std::string_view text);
    static TypedValueData OfInteger(int32_t value);
    static TypedValueData OfBoolean(bool value);
    static TypedValueData OfFloat(float value);
    static TypedValueData OfVector(const SWvector& value);
    static TypedValueData OfQuaternion(const CVTN_Quaternion& value);
    static TypedValueData OfMatrix(const SWmatrix& value);

    SWvector Vector() const;            // elements 0..2, whatever the type
    CVTN_Quaternion Quaternion() const; // elements 0..3, whatever the type
    SWmatrix Matrix() const;            // elements 0..15, whatever the type
};

bool IsTypedValueType(uint32_t type);  // one of the seven codes
int TypedElementCount(uint32_t type);  // see above; 0 for string and unknown codes
int32_t TruncateToInt32(double value); // toward zero, saturated at the 32-bit limits; not-a-number gives 0

void AssignTypedData(TypedValueData& into, const TypedValueData& from);     // the table; into keeps its type
TypedValueData ConvertTypedData(const TypedValueData& from, uint32_t type); // from read as type

// Element access for bound values. A one-element type (integer, boolean, float) against a value with several
// elements means the element at index (nothing there: the type's default when read, ignored when written); every
// other pairing converts the whole value by the table, whatever the index.
TypedValueData ReadTypedElement(const TypedValueData& whole, uint32_t type, int16_t index);
void WriteTypedElement(TypedValueData& whole, const TypedValueData& value, int16_t index);
