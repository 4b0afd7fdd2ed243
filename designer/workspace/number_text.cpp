#include "designer/workspace/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

float ParseNumberText(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start;
    const std::string_view number = text.substr(start);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Far too small reads as 0, far too large as the largest float of its sign.
        const bool tiny = number.find("e-") != std::string_view::npos || number.find("E-") != std::string_view::npos;
        const float largest = std::numeric_limits<float>::max();
        return tiny ? 0.0f : (number.starts_with('-') ? -largest : largest);
    }
    if (error != std::errc() || end == number.data())
        return 0.0f;
    if (std::isnan(value) || std::isinf(value))
        return static_cast<float>(value);
    // Converting a double beyond the float range is undefined, so it is brought within it first.
    const double largest = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -largest, largest));
}

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
