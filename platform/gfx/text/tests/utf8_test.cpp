#include "platform/gfx/text/utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Decoding, ValidAndInvalidSequences)
{
    constexpr char32_t R = pf::kReplacementCharacter;
    const struct {
        const char* name;
        std::string bytes;
        std::u32string expected;
    } cases[] = {
        {"ascii", "Ab1", U"Ab1"},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u00E9\u20AC\U0001F600"},
        {"stray continuation", "a\x80z", {U'a', R, U'z'}},
        {"truncated at the end", "a\xE2\x82", {U'a', R}},
        {"truncated before ascii", "\xE2\x82z", {R, U'z'}},
        {"overlong slash", "\xC0\xAF", {R, R}},
        {"overlong three bytes", "\xE0\x80\xAF", {R, R, R}},
        {"surrogate", "\xED\xA0\x80", {R, R, R}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
        {"invalid lead", "\xFF\xFE", {R, R}},
        {"embedded zero", std::string("a\0b", 3), {U'a', U'\0', U'b'}},
        {"largest", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pf::decodeUtf8(c.bytes), c.expected) << c.name;
}

} // namespace
