#include "platform/base/error_text.h"

#include <cstring>

namespace pf {

namespace {

// strerror_r comes in two shapes; either is thread-safe where strerror is not.
[[maybe_unused]] const char* PickErrorText(int result, const char* buffer)
{
    return result == 0 ? buffer : "unknown error";
}
[[maybe_unused]] const char* PickErrorText(const char* result, const char*)
{
    return result;
}

} // namespace

std::string errorText(int errnoValue)
{
    char buffer[256] = {};
    return PickErrorText(::strerror_r(errnoValue, buffer, sizeof buffer), buffer);
}

} // namespace pf
