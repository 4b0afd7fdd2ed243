#pragma once
// TypedValueTransform: the storage of an object node's local matrix, as the three copies of its "Transform"
// variable. It is a matrix value with one difference from the general table: a quaternion written into it through
// a view replaces the rotation and keeps the length of each axis, so that a scaled node keeps its scale when a user
// expression turns it through "Rotation".
#include "engine/core/matrix.h"
#include "engine/core/typed_value.h"

//
// The matrix itself is the node's: the value reads and writes it in place, so that the node keeps its matrices
// whether or not the variable has been made.
class TypedValueTransform : public TypedValue {
public:
    explicit TypedValueTransform(SWmatrix& storage) : TypedValue(kTypeMatrix), m_matrix(storage) {}

    const SWmatrix& Matrix() const { return m_matrix; } // the fast way in for the node's updates
    void SetMatrix(const SWmatrix& m) { m_matrix = m; }

    TypedValueData Get() const override;
    void Set(const TypedValueData& value) override;
    void WriteTarget(const TypedValueData& value, int16_t index) override;

private:
    SWmatrix& m_matrix; // the node's, which outlives this value
};
