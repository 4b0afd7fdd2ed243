#include "engine/core/typed_value_owned.h"

#include <cassert>

#include "engine/core/matrix.h"

TypedValueOwned::TypedValueOwned(uint32_t type) : TypedValue(type), m_data(TypedValueData::Default(type))
{
    assert(IsTypedValueType(type) && "a typed value has one of the seven type codes; CreateTypedValue checks");
}

void TypedValueOwned::Set(const TypedValueData& value)
{
    AssignTypedData(m_data, value);
}

TypedValueString::TypedValueString(std::string_view text) : TypedValueOwned(kTypeString)
{
    SetFromString(text);
}

TypedValueMatrix::TypedValueMatrix(const SWmatrix& m) : TypedValueOwned(kTypeMatrix)
{
    SetFromMatrix(m);
}
