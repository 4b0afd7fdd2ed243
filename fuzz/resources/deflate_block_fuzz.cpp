// DEFLATE blocks (the zlib format): any bytes decode to exactly the size they claim or fail, never read or write out of
// bounds; and any bytes encode to a block that decodes to them again. Input: u32 claimed size (little-endian), then the
// block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "engine/resources/block_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint32_t claimed = (data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24));
    const std::span<const uint8_t> block(data + 4, size - 4);
    std::vector<uint8_t> out;
    const BlockFilterStatus status = DeflateDecode(block, claimed, 1u << 24, out);
    if (status == BlockFilterStatus::kOk ? out.size() != claimed : !out.empty())
        std::abort();

    const std::optional<std::vector<uint8_t>> encoded = DeflateEncode(block);
    if (!encoded)
        std::abort();
    if (DeflateDecode(*encoded, block.size(), UINT64_MAX, out) != BlockFilterStatus::kOk ||
        !std::equal(out.begin(), out.end(), block.begin(), block.end()))
        std::abort();
    return 0;
}
