#pragma once
// Byte-stream blocks: a 12-byte header (length, byte count, method) and the bytes coded by the adaptive
// arithmetic coder (alphabet 257, the bytes read as signed), by DEFLATE, or copied. Under 0x0800 the encoder codes
// both ways and keeps the smaller (DEFLATE on a tie), or a copy when neither beats the input; the method field
// then names the choice, else it holds the caller's mode word.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class ArithCoder;

namespace sound {

inline constexpr uint32_t kByteStreamAlphabet = 257;

// Appends one byte-stream block. Allocation failures throw std::bad_alloc.
void EncodeByteStream(std::span<const uint8_t> bytes, uint32_t mode, ArithCoder& arith, std::vector<uint8_t>& out);

// Decodes the byte-stream block that fills `block` exactly. Its stated count must not exceed maxCount; out holds
// the count's bytes afterwards. False, with out empty, for a damaged block.
bool DecodeByteStream(std::span<const uint8_t> block, size_t maxCount, ArithCoder& arith, std::vector<uint8_t>& out);

// The DEFLATE settings of the stream: level 9, window bits 15, memory level 9, filtered strategy. False when zlib
// fails; out is then as it was.
bool DeflateBytes(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);

// Inflates a whole zlib stream into exactly out.size() bytes; false for a damaged stream, one that ends short, or
// one that holds more.
bool InflateBytes(std::span<const uint8_t> stream, std::span<uint8_t> out);

} // namespace sound
