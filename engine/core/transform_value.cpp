#include "engine/core/transform_value.h"

#include <cmath>

#include "engine/core/quaternion.h"

TypedValueData TypedValueTransform::Get() const
{
    return TypedValueData::OfMatrix(m_matrix);
}

void TypedValueTransform::Set(const TypedValueData& value)
{
    TypedValueData whole = TypedValueData::OfMatrix(m_matrix);
    AssignTypedData(whole, value);
    m_matrix = whole.Matrix();
}

void TypedValueTransform::WriteTarget(const TypedValueData& value, int16_t index)
{
    if (value.type != kTypeQuaternion) {
        TypedValue::WriteTarget(value, index);
        return;
    }
    // Column c of the 3x3 part is where axis c goes: its length is that axis's scale.
    float scale[3];
    for (int c = 0; c < 3; ++c)
        scale[c] = std::sqrt(m_matrix[c] * m_matrix[c] + m_matrix[4 + c] * m_matrix[4 + c] +
                             m_matrix[8 + c] * m_matrix[8 + c]);
    CVTN_Quaternion q = value.Quaternion();
    q.Normalize();
    SWmatrix rotation;
    q.ToMatrix(rotation);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m_matrix[4 * r + c] = rotation[4 * r + c] * scale[c];
}
