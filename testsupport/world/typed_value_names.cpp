#include "testsupport/world/typed_value_names.h"

#include "engine/core/typed_value_data.h"

namespace worldtest {

const char* TypedValueTypeName(uint32_t type)
{
    switch (type) {
    case kTypeString:
        return "string";
    case kTypeInteger:
        return "integer";
    case kTypeBoolean:
        return "boolean";
    case kTypeFloat:
        return "float";
    case kTypeVector:
        return "vector";
    case kTypeQuaternion:
        return "quaternion";
    case kTypeMatrix:
        return "matrix";
    default:
        return "unknown";
    }
}

} // namespace worldtest
