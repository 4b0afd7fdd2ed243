// Installs the block filters as the document container's payload filters while the program starts: the container
// lives in the engine core, below the filters, and learns of them here.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/resources/block_filter.h"

namespace {

std::optional<std::vector<uint8_t>> EncodePayload(uint8_t kind, std::span<const uint8_t> input)
{
    if (kind != static_cast<uint8_t>(BlockFilter::kLzss) && kind != static_cast<uint8_t>(BlockFilter::kDeflate))
        return std::nullopt;
    return EncodeBlock(static_cast<BlockFilter>(kind), input);
}

PayloadStatus DecodePayload(uint8_t kind, std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                            std::vector<uint8_t>& out)
{
    if (kind != static_cast<uint8_t>(BlockFilter::kLzss) && kind != static_cast<uint8_t>(BlockFilter::kDeflate))
        return PayloadStatus::kUnknownCompression;
    switch (DecodeBlock(static_cast<BlockFilter>(kind), input, expectedBytes, maxBytes, out)) {
    case BlockFilterStatus::kOk:
        return PayloadStatus::kOk;
    case BlockFilterStatus::kBadArgument:
        return PayloadStatus::kUnknownCompression;
    case BlockFilterStatus::kSizeBeyondReach:
        return PayloadStatus::kSizeRefused;
    case BlockFilterStatus::kDamaged:
        return PayloadStatus::kDamaged;
    case BlockFilterStatus::kOutOfMemory:
        return PayloadStatus::kOutOfMemory;
    }
    return PayloadStatus::kDamaged;
}

constexpr SWpayloadfilter kBlockFilters = {&EncodePayload, &DecodePayload};

const bool kInstalled = [] {
    SetPayloadFilter(&kBlockFilters);
    return true;
}();

} // namespace
