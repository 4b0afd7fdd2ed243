#include "platform/base/error_text.h"

#include <cstring>

#include <sys/stat.h>

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

const char* notAFileText(unsigned mode)
{
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a FIFO, not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a file";
    return "it is not a regular file";
}

} // namespace pf
