#include "engine/resources/block_filter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include <zlib.h>

#if VORTAN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

constexpr int kHashBits = 14;
constexpr uint32_t kHashSize = 1u << kHashBits;
constexpr int kMaxChain = 48; // candidates tried per position: beyond this the ratio barely moves
constexpr int32_t kNoPosition = -1;
constexpr uint32_t kItemsPerGroup = 8;
constexpr size_t kFirstInflateBytes = size_t{1} << 20; // a DEFLATE output's first size, unless stated smaller

uint32_t HashOf(const uint8_t* p)
{
    const uint32_t v =
        static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
}

// Hash chains over the last window of positions; prev is a ring indexed by position modulo the window.
class MatchFinder {
public:
    explicit MatchFinder(std::span<const uint8_t> input) : m_in(input)
    {
        m_head.fill(kNoPosition);
        m_prev.fill(kNoPosition);
    }

    void Insert(size_t pos)
    {
        if (pos + kLzssMinMatch > m_in.size())
            return;
        const uint32_t h = HashOf(&m_in[pos]);
        m_prev[pos % kLzssWindowBytes] = m_head[h];
        m_head[h] = static_cast<int32_t>(pos);
    }

    // The longest match for pos within the window: length (0 when shorter than the minimum) and distance.
    std::pair<uint32_t, uint32_t> Find(size_t pos) const
    {
        if (pos + kLzssMinMatch > m_in.size())
            return {0, 0};
        const size_t limit = std::min<size_t>(kLzssMaxMatch, m_in.size() - pos);
        uint32_t bestLength = 0, bestDistance = 0;
        int32_t candidate = m_head[HashOf(&m_in[pos])];
        for (int tries = 0; tries < kMaxChain && candidate != kNoPosition; ++tries) {
            const size_t cand = static_cast<size_t>(candidate);
            // A ring slot is reused only for a position a whole window later, which the distance test stops at.
            if (cand >= pos || pos - cand > kLzssWindowBytes)
                break;
            // Only a candidate that also matches at the best length so far can beat it: one comparison turns most
            // away, and the match chosen is the one the full comparison of every candidate would choose.
            if (bestLength == 0 || m_in[cand + bestLength] == m_in[pos + bestLength]) {
                size_t length = 0;
                while (length < limit && m_in[cand + length] == m_in[pos + length])
                    ++length;
                if (length > bestLength) {
                    bestLength = static_cast<uint32_t>(length);
                    bestDistance = static_cast<uint32_t>(pos - cand);
                    if (length == limit)
                        break;
                }
            }
            const int32_t next = m_prev[cand % kLzssWindowBytes];
            if (next >= candidate)
                break;
            candidate = next;
        }
        return bestLength >= kLzssMinMatch ? std::pair{bestLength, bestDistance} : std::pair{0u, 0u};
    }

private:
    std::span<const uint8_t> m_in;
    std::array<int32_t, kHashSize> m_head;
    std::array<int32_t, kLzssWindowBytes> m_prev;
};

BlockFilterStatus CheckClaim(uint64_t expectedBytes, uint64_t maxBytes, uint64_t reachBytes)
{
    if (expectedBytes > maxBytes || expectedBytes > reachBytes)
        return BlockFilterStatus::kSizeBeyondReach;
    if (expectedBytes > std::numeric_limits<size_t>::max())
        return BlockFilterStatus::kSizeBeyondReach;
    return BlockFilterStatus::kOk;
}

bool ResizeOutput(std::vector<uint8_t>& out, uint64_t bytes)
{
    try {
        out.assign(static_cast<size_t>(bytes), 0);
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    } catch (const std::length_error&) {
        out.clear();
        return false;
    }
}

BlockFilterStatus Fail(std::vector<uint8_t>& out, BlockFilterStatus status)
{
    out.clear();
    return status;
}

} // namespace

uint64_t LzssReachBytes(uint64_t inputBytes)
{
    return inputBytes > (UINT64_MAX - 64) / 9 ? UINT64_MAX : inputBytes * 9 + 64;
}

uint64_t DeflateReachBytes(uint64_t inputBytes)
{
    return inputBytes > (UINT64_MAX - 1024) / 1032 ? UINT64_MAX : inputBytes * 1032 + 1024;
}

std::vector<uint8_t> LzssEncode(std::span<const uint8_t> input)
{
    std::vector<uint8_t> out;
    out.reserve(input.size() + input.size() / kItemsPerGroup + 1);
    const auto finder = std::make_unique<MatchFinder>(input); // 80 KiB of tables: not on the stack
    size_t flagAt = 0;
    uint32_t items = kItemsPerGroup;
    size_t pos = 0;
    while (pos < input.size()) {
        if (items == kItemsPerGroup) {
            flagAt = out.size();
            out.push_back(0);
            items = 0;
        }
        const auto [length, distance] = finder->Find(pos);
        if (length == 0) {
            out[flagAt] = static_cast<uint8_t>(out[flagAt] | (1u << items));
            out.push_back(input[pos]);
            finder->Insert(pos);
            ++pos;
        } else {
            const uint32_t word = (distance - 1) | ((length - kLzssMinMatch) << 12);
            out.push_back(static_cast<uint8_t>(word));
            out.push_back(static_cast<uint8_t>(word >> 8));
            for (uint32_t i = 0; i < length; ++i)
                finder->Insert(pos + i);
            pos += length;
        }
        ++items;
    }
    return out;
}

BlockFilterStatus LzssDecode(std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                             std::vector<uint8_t>& out)
{
    out.clear();
    if (const BlockFilterStatus claim = CheckClaim(expectedBytes, maxBytes, LzssReachBytes(input.size()));
        claim != BlockFilterStatus::kOk)
        return claim;
    if (!ResizeOutput(out, expectedBytes))
        return BlockFilterStatus::kOutOfMemory;
    const size_t expected = out.size();
    size_t ip = 0, op = 0;
    while (op < expected) {
        if (ip >= input.size())
            return Fail(out, BlockFilterStatus::kDamaged);
        const uint8_t flags = input[ip++];
        for (uint32_t bit = 0; bit < kItemsPerGroup && op < expected; ++bit) {
            if ((flags >> bit) & 1u) {
                if (ip >= input.size())
                    return Fail(out, BlockFilterStatus::kDamaged);
                out[op++] = input[ip++];
                continue;
            }
            if (input.size() - ip < 2)
                return Fail(out, BlockFilterStatus::kDamaged);
            const uint32_t word = input[ip] | (static_cast<uint32_t>(input[ip + 1]) << 8);
            ip += 2;
            const size_t distance = (word & 0xFFFu) + 1;
            const size_t length = (word >> 12) + kLzssMinMatch;
            if (distance > op || length > expected - op)
                return Fail(out, BlockFilterStatus::kDamaged);
            if (distance >= length) {
                std::memcpy(&out[op], &out[op - distance], length);
                op += length;
            } else {
                // Byte by byte: the match overlaps the bytes it produces (a run).
                for (size_t i = 0; i < length; ++i, ++op)
                    out[op] = out[op - distance];
            }
        }
    }
    if (ip != input.size())
        return Fail(out, BlockFilterStatus::kDamaged); // bytes beyond the stated size: not the stream we wrote
    return BlockFilterStatus::kOk;
}

#if VORTAN_HAVE_LIBDEFLATE
// The zlib stream at the level that measured best on generated published worlds (designer_scale): level 6 of this
// compressor wrote files as small as zlib's best level (within a fraction of a percent) at about twenty times its
// speed, and as small as its own level 9 at nearly twice that speed. One compressor per thread, as publishing
// filters records on every core.
constexpr int kDeflateLevel = 6;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

std::optional<std::vector<uint8_t>> DeflateEncode(std::span<const uint8_t> input)
{
    thread_local const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kDeflateLevel));
    if (compressor == nullptr)
        return std::nullopt;
    try {
        std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), input.size()));
        const size_t written =
            libdeflate_zlib_compress(compressor.get(), input.data(), input.size(), out.data(), out.size());
        if (written == 0)
            return std::nullopt;
        out.resize(written);
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
#else
std::optional<std::vector<uint8_t>> DeflateEncode(std::span<const uint8_t> input)
{
    try {
        uLongf outBytes = compressBound(static_cast<uLong>(input.size()));
        std::vector<uint8_t> out(outBytes);
        static const uint8_t kNothing = 0;
        const Bytef* source = input.empty() ? &kNothing : input.data();
        if (compress2(out.data(), &outBytes, source, static_cast<uLong>(input.size()), Z_BEST_COMPRESSION) != Z_OK)
            return std::nullopt;
        out.resize(outBytes);
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
#endif

BlockFilterStatus DeflateDecode(std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                                std::vector<uint8_t>& out)
{
    out.clear();
    if (const BlockFilterStatus claim = CheckClaim(expectedBytes, maxBytes, DeflateReachBytes(input.size()));
        claim != BlockFilterStatus::kOk)
        return claim;
    if (input.empty())
        return BlockFilterStatus::kDamaged; // even an empty block has its header and checksum
    // The stated size is reserved as address space only, and the output is filled in as the stream inflates, from
    // what the input plausibly gives up to the size stated: a block that states much and holds little costs what
    // it holds, one that holds all it states costs that once (never a copy), and one that would inflate past its
    // size stops there.
    const auto expected = static_cast<size_t>(expectedBytes);
    size_t capacity = std::min<size_t>(expected, std::max<size_t>(kFirstInflateBytes, input.size() * 8));
    try {
        out.reserve(expected);
    } catch (const std::bad_alloc&) {
        return BlockFilterStatus::kOutOfMemory;
    } catch (const std::length_error&) {
        return BlockFilterStatus::kOutOfMemory;
    }
    if (!ResizeOutput(out, capacity))
        return BlockFilterStatus::kOutOfMemory;
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return Fail(out, BlockFilterStatus::kOutOfMemory);
    const auto end = [&](BlockFilterStatus status) {
        inflateEnd(&stream);
        return status == BlockFilterStatus::kOk ? status : Fail(out, status);
    };
    constexpr size_t kStep = size_t{1} << 30; // zlib counts in uInt
    size_t consumed = 0;
    size_t produced = 0;
    uint8_t spare = 0; // where a stream that states nothing would write its first byte too many
    for (;;) {
        if (stream.avail_in == 0 && consumed < input.size()) {
            const size_t n = std::min(kStep, input.size() - consumed);
            stream.next_in = const_cast<Bytef*>(input.data() + consumed);
            stream.avail_in = static_cast<uInt>(n);
            consumed += n;
        }
        if (produced == capacity && capacity < expected) {
            capacity = capacity > expected / 2 ? expected : capacity * 2;
            out.resize(capacity); // within what was reserved: no copy, and nothing to throw
        }
        const bool full = produced == capacity;
        const size_t room = full ? 1 : std::min(kStep, capacity - produced);
        stream.next_out = full ? &spare : out.data() + produced;
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_NO_FLUSH);
        const size_t wrote = room - stream.avail_out;
        if (full && wrote != 0)
            return end(BlockFilterStatus::kDamaged); // more than the size stated
        produced += wrote;
        if (result == Z_STREAM_END)
            break;
        if (result == Z_MEM_ERROR)
            return end(BlockFilterStatus::kOutOfMemory);
        if (result != Z_OK && result != Z_BUF_ERROR)
            return end(BlockFilterStatus::kDamaged);
        if (result == Z_BUF_ERROR && stream.avail_in == 0 && consumed == input.size())
            return end(BlockFilterStatus::kDamaged); // the stream ends early
    }
    // The stream must end exactly at the stated size and at the end of the input: anything else is not our block.
    const bool exact = produced == expected && stream.avail_in == 0 && consumed == input.size();
    return end(exact ? BlockFilterStatus::kOk : BlockFilterStatus::kDamaged);
}

std::optional<std::vector<uint8_t>> EncodeBlock(BlockFilter filter, std::span<const uint8_t> input)
{
    try {
        switch (filter) {
        case BlockFilter::kNone:
            return std::vector<uint8_t>(input.begin(), input.end());
        case BlockFilter::kLzss:
            return LzssEncode(input);
        case BlockFilter::kDeflate:
            return DeflateEncode(input);
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return std::nullopt;
}

BlockFilterStatus DecodeBlock(BlockFilter filter, std::span<const uint8_t> input, uint64_t expectedBytes,
                              uint64_t maxBytes, std::vector<uint8_t>& out)
{
    out.clear();
    switch (filter) {
    case BlockFilter::kNone:
        if (expectedBytes > maxBytes)
            return BlockFilterStatus::kSizeBeyondReach;
        if (expectedBytes != input.size())
            return BlockFilterStatus::kDamaged;
        if (!ResizeOutput(out, expectedBytes))
            return BlockFilterStatus::kOutOfMemory;
        std::copy(input.begin(), input.end(), out.begin());
        return BlockFilterStatus::kOk;
    case BlockFilter::kLzss:
        return LzssDecode(input, expectedBytes, maxBytes, out);
    case BlockFilter::kDeflate:
        return DeflateDecode(input, expectedBytes, maxBytes, out);
    }
    return BlockFilterStatus::kBadArgument;
}
