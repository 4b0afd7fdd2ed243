// Any text read as each of the seven value types: it must never crash, and a value's written text must read back
// to the same text (four decimals in, four decimals out).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/core/typed_value_data.h"
#include "engine/core/typed_value_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const uint32_t types[] = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                              kTypeVector, kTypeQuaternion, kTypeMatrix};
    for (const uint32_t type : types) {
        const TypedValueData value = ParseTypedValueText(text, type);
        const std::string written = TypedValueText(value);
        if (TypedValueText(ParseTypedValueText(written, type)) != written)
            std::abort();
        for (const uint32_t other : types)
            if (ConvertTypedData(value, other).type != other)
                std::abort();
    }
    return 0;
}
