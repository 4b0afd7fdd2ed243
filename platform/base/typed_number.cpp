#include "platform/base/typed_number.h"

#include <charconv>
#include <cmath>

namespace pf {

TypedNumber ReadTypedNumber(std::string_view text, double low, double high)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+'))
            return {}; // from_chars would take the "-1" of "+-1"
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // A number so small that the float every field keeps it in holds 0 (1e-50) is not taken for 0 unsaid.
    if (error == std::errc() && end == text.data() + text.size())
        return std::isfinite(value) && value >= low && value <= high &&
                       (value == 0.0 || static_cast<float>(value) != 0.0f)
                   ? TypedNumber{TypedKind::kNumber, value}
                   : TypedNumber{};
    // What a number may start with: a sign, a point, or digits and an exponent still open. A sign is a start even
    // where no negative is taken: refused at once, it let the digits after it be taken ("-1" stored 1).
    const bool sign = !text.empty() && text.front() == '-';
    const std::string_view rest = text.substr(sign ? 1 : 0);
    const std::string_view after(end, static_cast<size_t>(text.data() + text.size() - end));
    const bool open = rest.empty() || rest == "." ||
                      (error == std::errc() && (after == "e" || after == "E" || after == "e-" || after == "E-" ||
                                                after == "e+" || after == "E+"));
    // An emptied field, or a lone sign, is where a new number starts: refused at each key, "+" said so before the
    // "4" of "+4" was typed.
    return open ? TypedNumber{TypedKind::kUnfinished} : TypedNumber{};
}

TypedNumber ReadTypedWholeNumber(std::string_view text, double low, double high)
{
    const TypedNumber typed = ReadTypedNumber(text, low, high);
    return typed.kind == TypedKind::kNumber && typed.value != std::trunc(typed.value) ? TypedNumber{} : typed;
}

} // namespace pf
