#include "designer/workspace/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

std::string FormatNumberG(double value)
{
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    if (error != std::errc())
        return "0";
    const std::string text(buffer, end);
    return text.find('e') == std::string::npos ? text : FormatNumberPlain(value);
}

std::string FormatNumberPlain(double value)
{
    char buffer[400]; // the longest double written out: 309 digits before the point, 324 after
    const auto single = static_cast<float>(value);
    // A float's own shortest digits: the double it widens to would show digits nobody typed.
    const auto [end, error] = std::isfinite(single) && static_cast<double>(single) == value
                                  ? std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::fixed)
                                  : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
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
