#pragma once
// A number typed into a field, read as every number field reads one, whether it is read at each key or at a button.
#include <cstdint>
#include <string_view>

namespace pf {

// A field that takes what is typed at each keystroke reads its whole text here: blanks around one number and a '+'
// before it, nothing else. kUnfinished is a start that more typing may finish ("", "+", "-", ".", "1e"): nothing is
// stored and nothing said until the focus leaves. Everything else that is not a finite number within [low, high] is
// kRefused.
enum class TypedKind : uint8_t { kNumber, kUnfinished, kRefused };
struct TypedNumber {
    TypedKind kind = TypedKind::kRefused;
    double value = 0.0; // kNumber only
};
TypedNumber ReadTypedNumber(std::string_view text, double low, double high);
// The same for a field that keeps whole numbers: one with a fraction is refused.
TypedNumber ReadTypedWholeNumber(std::string_view text, double low, double high);

} // namespace pf
