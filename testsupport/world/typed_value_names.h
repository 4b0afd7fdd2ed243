#pragma once
// The names the developer tools print for the types of typed values.
#include <cstdint>

namespace worldtest {

const char* TypedValueTypeName(uint32_t type); // "string", "integer", ... "matrix"; "unknown" for another number

} // namespace worldtest
