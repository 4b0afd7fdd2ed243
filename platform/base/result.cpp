#include "platform/base/result.h"

namespace pf {

namespace {
thread_local uint32_t t_lastError = ERROR_SUCCESS;
}

uint32_t lastError()
{
    return t_lastError;
}
void setLastError(uint32_t code)
{
    t_lastError = code;
}

} // namespace pf
