#include "engine/core/typed_value_bound.h"

TypedValueBound::TypedValueBound(uint32_t type, TypedValueTarget& target, int flag)
    : TypedValue(type), m_target(target), m_flag(flag)
{
}

TypedValueData TypedValueBound::Get() const
{
    return m_target.ReadTarget(GetType(), m_index);
}

void TypedValueBound::Set(const TypedValueData& value)
{
    // Through this value's own type, so that a partial set (a float into a bound vector) keeps the target's
    // other elements and the target sees the same conversion an owned value of this type would make.
    TypedValueData mine = Get();
    AssignTypedData(mine, value);
    m_target.WriteTarget(mine, m_index);
}

void TypedValueBound::SetTargetIndex(int16_t index)
{
    m_index = index;
}
