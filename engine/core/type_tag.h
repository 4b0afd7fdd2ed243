#pragma once
// Four-character type tags. A tag is a u32 whose little-endian bytes spell its text, so "WRLD" reads the same in
// memory, in a file and in a hex dump. Many record tags are four decimal digits ("7300").
#include <cstdint>
#include <string>

// The tag whose bytes spell text, first character in the lowest byte: MakeTag("WRLD").
constexpr uint32_t MakeTag(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24);
}

// Closes a list of records; a stream also answers it at the end of a record.
inline constexpr uint32_t kTagEnd = MakeTag("END ");

// The four characters of a tag, for messages and tests; a byte outside printable ASCII shows as '?'.
std::string TagText(uint32_t tag);
