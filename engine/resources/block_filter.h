#pragma once
// The block filters that stored records may pass through: bytes in, bytes out. The caller keeps the uncompressed
// size beside the filtered bytes (the container's u32 size, or a row's own field) and hands it back to decode.
//
// LZSS (ours): a 4096-byte window, matches of 3 to 18 bytes. Items come in groups of up to eight, each group led by
// a flag byte whose bits, least significant first, say literal (1) or match (0). A literal is its byte; a match is
// a little-endian u16: bits 0-11 the distance back minus 1, bits 12-15 the length minus 3.
// DEFLATE: the zlib format (two header bytes, the deflate stream, the Adler-32 checksum) at level 9.
//
// A decoder produces exactly the expected size or fails. An expected size is a claim: it is refused before
// anything is reserved when it exceeds the caller's bound or what the format can reach from the input given, and
// DEFLATE's output grows as the stream inflates, so a block costs what it holds, never more than its claim.
// Every function may be called on any thread at once; none keeps state between calls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

enum class BlockFilter : uint8_t {
    kNone = 0, // stored as it is
    kLzss = 1,
    kDeflate = 2,
};

enum class BlockFilterStatus : int {
    kOk = 0,
    kBadArgument = 1,     // the filter kind is unknown
    kSizeBeyondReach = 2, // the expected size exceeds the bound or what the input can hold
    kDamaged = 3,         // the bytes are not a complete stream of exactly the expected size
    kOutOfMemory = 4,
};

inline constexpr uint32_t kLzssWindowBytes = 4096;
inline constexpr uint32_t kLzssMinMatch = 3;
inline constexpr uint32_t kLzssMaxMatch = 18;

// The largest output an input of inputBytes can decode to, with margin (see the header comment).
uint64_t LzssReachBytes(uint64_t inputBytes);    // 9 x input + 64
uint64_t DeflateReachBytes(uint64_t inputBytes); // 1032 x input + 1024

// The filtered bytes; nullopt when memory ran out or zlib refused. kNone copies.
std::optional<std::vector<uint8_t>> EncodeBlock(BlockFilter filter, std::span<const uint8_t> input);

// out receives exactly expectedBytes on kOk and is empty otherwise. maxBytes is the caller's ceiling.
BlockFilterStatus DecodeBlock(BlockFilter filter, std::span<const uint8_t> input, uint64_t expectedBytes,
                              uint64_t maxBytes, std::vector<uint8_t>& out);

std::vector<uint8_t> LzssEncode(std::span<const uint8_t> input); // may throw std::bad_alloc
BlockFilterStatus LzssDecode(std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                             std::vector<uint8_t>& out);
std::optional<std::vector<uint8_t>> DeflateEncode(std::span<const uint8_t> input);
BlockFilterStatus DeflateDecode(std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                                std::vector<uint8_t>& out);
