#pragma once
// 4 x 4 f32 transform. Row-major storage, element (r, c) at index 4r + c; points are column vectors (p' = M p), so
// the translation sits in elements 3, 7 and 11 and A x B applies B first.

#include <array>
#include <span>

#include "engine/core/vector.h"

class SWchunkstream;

class SWmatrix {
public:
    SWmatrix();                                             // the identity
    explicit SWmatrix(std::span<const float, 16> elements); // in index order

    static SWmatrix Translation(float x, float y, float z); // identity with elements 3, 7, 11 given
    static SWmatrix Scaling(float sx, float sy, float sz);  // diagonal sx, sy, sz, 1
    static SWmatrix Shearing(float e2, float e6);           // identity with elements 2 and 6 given
    static SWmatrix Rotation(float angle, int axis);        // see SetRotation

    float& operator[](int index) { return m_e[index]; }      // 0..15, unchecked
    float operator[](int index) const { return m_e[index]; } // 0..15, unchecked
    const float* Data() const { return m_e.data(); }         // 16 floats in index order
    bool operator==(const SWmatrix& other) const = default;  // element by element; NaN is never equal

    SWmatrix& SetIdentity();                                        // returns this
    SWmatrix& Multiply(SWmatrix& out, const SWmatrix& other) const; // out = this x other; out may be this or other
    SWmatrix& PostMultiply(const SWmatrix& other);                  // this = this x other; returns this
    SWmatrix& Invert(SWmatrix& out) const; // out = inverse; out may be this. The identity when the determinant is 0,
                                           // not finite, or of rounding size (singular but for rounding), or when
                                           // the inverse overflows float

    SWvector GetTranslation() const;                // elements 3, 7, 11
    void SetTranslation(float x, float y, float z); // elements 3, 7, 11; the rest is kept
    void CopyTranslation(const SWmatrix& from);     // elements 3, 7, 11 of from

    float GetElement(int row, int column) const;                    // one-based 1..4; 0 outside
    void SetElement(int row, int column, float value);              // one-based 1..4; ignored outside
    void SetRow(int row, float a, float b, float c, float d);       // one-based 1..4; ignored outside
    void SetColumn(int column, float a, float b, float c, float d); // one-based 1..4, top to bottom; ignored outside
    SWmatrix& SetRotation(float angle, int axis); // radians about X (0), Y (1) or Z (2), right-hand rule; the whole
                                                  // matrix is replaced (translation cleared); another axis: identity

    SWvector TransformPoint(const SWvector& p) const;     // 3x3 part times p plus the translation; bottom row ignored
    SWvector TransformDirection(const SWvector& d) const; // 3x3 part times d

    // out's 3x3 part becomes a.R x b.R, its translation a.t + b.t, its bottom row 0, 0, 0, 1. Whatever out held
    // before is overwritten; out may be a or b.
    static void CombineSeparate(const SWmatrix& a, const SWmatrix& b, SWmatrix& out);
    // t seen from frame q: 3x3 part q.R x t.R x q.R^-1, translation q applied to t's translation as a point. A
    // singular q.R is inverted as the identity, as Invert does.
    static SWmatrix ReexpressInFrame(const SWmatrix& t, const SWmatrix& q);

    void Save(SWchunkstream& out) const; // 16 u32 words (the floats' bit patterns) in index order
    bool Load(SWchunkstream& in);        // false on a short read or a stream in error; the matrix is then unchanged

private:
    std::array<float, 16> m_e;
};
