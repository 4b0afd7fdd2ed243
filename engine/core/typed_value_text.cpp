#include "engine/core/typed_value_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/core/typed_value_data.h"

// Numbers go through std::to_chars and std::from_chars, which never consult the process locale.

namespace {

constexpr size_t kNumberChars = 64; // the longest "%.4f" of a float is 45 characters

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWithWord(std::string_view text, std::string_view word)
{
    if (text.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != word[i])
            return false;
    }
    return true;
}

// from_chars leaves the value alone when the number is beyond the type's range; scanf gives infinity or zero.
template <typename T> T BeyondRange(std::string_view number)
{
    long double wide = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), wide);
    if (error == std::errc()) {
        if (std::fabs(wide) > std::numeric_limits<T>::max())
            return std::copysign(std::numeric_limits<T>::infinity(), static_cast<T>(wide < 0 ? -1 : 1));
        return static_cast<T>(wide);
    }
    // Beyond even long double: tiny when its exponent is negative, else huge.
    const size_t e = number.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
    const T magnitude = tiny ? T(0) : std::numeric_limits<T>::infinity();
    return number.front() == '-' ? -magnitude : magnitude;
}

// scanf's "%f" at pos: white space, an optional sign, then the longest number. Moves pos past it; false, with
// pos unchanged, when there is none.
template <typename T> bool ScanNumber(std::string_view text, size_t& pos, T& out)
{
    size_t p = pos;
    while (p < text.size() && IsCSpace(text[p]))
        ++p;
    if (p < text.size() && text[p] == '+') {
        ++p;
        if (p < text.size() && text[p] == '-')
            return false; // from_chars would take the "-1" of "+-1"
    }
    const char* const first = text.data() + p;
    T value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error == std::errc::invalid_argument)
        return false;
    if (error == std::errc::result_out_of_range)
        value = BeyondRange<T>(std::string_view(first, static_cast<size_t>(end - first)));
    out = value;
    pos = static_cast<size_t>(end - text.data());
    return true;
}

// "%f,%f,...": stops at the first number that fails or at a missing comma; out keeps what was not read.
void ScanNumberList(std::string_view text, float* out, int count)
{
    size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',')
                return;
            ++pos;
        }
        if (!ScanNumber(text, pos, out[i]))
            return;
    }
}

bool ParseBoolean(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos]))
        ++pos;
    if (StartsWithWord(text.substr(pos), "true"))
        return true;
    if (StartsWithWord(text.substr(pos), "false"))
        return false;
    float number = 0.0f;
    return ScanNumber(text, pos, number) && number != 0.0f;
}

void AppendFixed4(std::string& out, float value)
{
    char buffer[kNumberChars];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    if (error == std::errc())
        out.append(buffer, end);
}

std::string ElementsText(const TypedValueData& value, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ',';
        AppendFixed4(text, value.elements[i]);
    }
    return text;
}

} // namespace

std::string TypedValueText(const TypedValueData& value)
{
    switch (value.type) {
    case kTypeString:
        return value.text;
    case kTypeInteger:
        return std::to_string(value.integer); // "%d"; integers have no locale-dependent characters
    case kTypeBoolean:
        return value.integer != 0 ? "1" : "0";
    case kTypeFloat:
        return ElementsText(value, 1);
    case kTypeVector:
    case kTypeQuaternion:
    case kTypeMatrix:
        return ElementsText(value, TypedElementCount(value.type));
    default:
        return {};
    }
}

TypedValueData ParseTypedValueText(std::string_view text, uint32_t type)
{
    TypedValueData value = TypedValueData::Default(type);
    size_t pos = 0;
    switch (type) {
    case kTypeString:
        value.text = text;
        break;
    case kTypeInteger: {
        double number = 0.0; // wide enough for every 32-bit integer
        if (ScanNumber(text, pos, number))
            value.integer = TruncateToInt32(number);
        break;
    }
    case kTypeBoolean:
        value.integer = ParseBoolean(text) ? 1 : 0;
        break;
    case kTypeFloat:
        ScanNumber(text, pos, value.elements[0]);
        break;
    case kTypeVector:
    case kTypeQuaternion:
    case kTypeMatrix:
        ScanNumberList(text, value.elements.data(), TypedElementCount(type));
        break;
    default:
        break;
    }
    return value;
}
