#include "designer/workspace/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

std::string FormatNumberG(double value)
{
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string FormatNumberInt(double value)
{
    const double truncated = std::trunc(value);
    if (!(truncated >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          truncated <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        return "0";
    return std::to_string(static_cast<int32_t>(truncated));
}
