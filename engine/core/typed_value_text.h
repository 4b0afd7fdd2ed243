#pragma once
// The text forms of typed values: the string column and row of the conversion table in typed_value_data.h. Both
// are locale-free, so a designer running under a locale with a decimal comma still writes "1.5000,2.0000,3.0000".
#include <cstdint>
#include <string>
#include <string_view>

struct TypedValueData;

std::string TypedValueText(const TypedValueData& value);                  // the string column of the table
TypedValueData ParseTypedValueText(std::string_view text, uint32_t type); // the string row of the table
