#pragma once
// Text is UTF-8. Bytes that do not form a valid sequence (stray continuation bytes, truncated or overlong
// sequences, surrogates, values past U+10FFFF) decode to U+FFFD, one per maximal invalid subpart, so broken text
// still draws and measures without reading past its end.
#include <string>
#include <string_view>

namespace pf {

constexpr char32_t kReplacementCharacter = 0xFFFD;

std::u32string decodeUtf8(std::string_view text);

} // namespace pf
