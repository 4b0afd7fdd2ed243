// vortan-res filter lzss|deflate encode|decode IN OUT [--max-bytes N]: one block through a filter, with its sizes and
// speed. An encoded file holds the u32 uncompressed size (little-endian) and then the block, as the container stores
// it. A block is decoded only within N bytes (the world reader's default unless given): a stated size beyond it is
// refused before anything is reserved.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-res/command_table.h"
#include "engine/resources/block_filter.h"
#include "platform/base/atomic_file.h"
#include "testsupport/tools/tool_input.h"
#include "testsupport/tools/tool_world.h"

namespace {

constexpr const char* kFilterUsage = "usage: vortan-res filter lzss|deflate encode|decode IN OUT [--max-bytes N]";

std::optional<BlockFilter> FilterNamed(std::string_view name)
{
    if (name == "lzss")
        return BlockFilter::kLzss;
    if (name == "deflate")
        return BlockFilter::kDeflate;
    return std::nullopt;
}

const char* StatusText(BlockFilterStatus status)
{
    switch (status) {
    case BlockFilterStatus::kOk:
        return "ok";
    case BlockFilterStatus::kBadArgument:
        return "unknown filter";
    case BlockFilterStatus::kSizeBeyondReach:
        return "stated size beyond what the block can hold";
    case BlockFilterStatus::kDamaged:
        return "damaged block";
    case BlockFilterStatus::kOutOfMemory:
        return "out of memory";
    }
    return "unknown";
}

int RunFilter(std::span<char* const> given)
{
    std::vector<char*> args(given.begin(), given.end());
    std::string limitError;
    if (!tooltest::TakeReadLimitOptions(args, limitError))
        return ReportToolError(kExitUsage, limitError);
    if (tooltest::ToolReadLimits().maxPixels != SWreadlimits::kDefaultMaxPixels)
        return ReportToolError(kExitUsage, "filter takes no --max-pixels: a block is bytes");
    const uint64_t maxBytes = tooltest::ToolReadLimits().maxBytes;
    if (args.size() != 4)
        return ReportToolError(kExitUsage, kFilterUsage);
    const std::optional<BlockFilter> filter = FilterNamed(args[0]);
    const std::string_view direction = args[1];
    if (!filter || (direction != "encode" && direction != "decode"))
        return ReportToolError(kExitUsage, kFilterUsage);
    std::string readError;
    const std::optional<std::vector<uint8_t>> input = tooltest::ReadInput(args[2], readError);
    if (!input)
        return ReportToolError(kExitRefused, readError);

    std::vector<uint8_t> output;
    const auto start = std::chrono::steady_clock::now();
    if (direction == "encode") {
        if (input->size() > 0xFFFFFFFFu)
            return ReportToolError(kExitRefused, "input larger than a block's u32 size");
        const std::optional<std::vector<uint8_t>> block = EncodeBlock(*filter, *input);
        if (!block)
            return ReportToolError(kExitFailed, "the filter failed (out of memory)");
        const auto size = static_cast<uint32_t>(input->size());
        output = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size >> 16),
                  static_cast<uint8_t>(size >> 24)};
        output.insert(output.end(), block->begin(), block->end());
    } else {
        if (input->size() < 4)
            return ReportToolError(kExitRefused, std::string("cannot read ") + args[2] + ": no stated size");
        const uint32_t size =
            (*input)[0] | ((*input)[1] << 8) | ((*input)[2] << 16) | (static_cast<uint32_t>((*input)[3]) << 24);
        const BlockFilterStatus status =
            DecodeBlock(*filter, std::span<const uint8_t>(*input).subspan(4), size, maxBytes, output);
        if (status == BlockFilterStatus::kSizeBeyondReach && size > maxBytes)
            return ReportToolError(kExitRefused, std::string("cannot decode ") + args[2] + ": it states " +
                                                     std::to_string(size) + " bytes, more than the limit of " +
                                                     std::to_string(maxBytes));
        if (status != BlockFilterStatus::kOk)
            return ReportToolError(kExitRefused, std::string("cannot decode ") + args[2] + ": " + StatusText(status));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::string error;
    if (!pf::writeFileAtomically(args[3], std::string_view(reinterpret_cast<const char*>(output.data()), output.size()),
                                 &error))
        return ReportToolError(kExitRefused, error);
    const size_t plain = direction == "encode" ? input->size() : output.size();
    const size_t packed = direction == "encode" ? output.size() : input->size();
    std::printf("input=%zu output=%zu ratio=%.4f mb_per_s=%.1f\n", input->size(), output.size(),
                plain > 0 ? static_cast<double>(packed) / static_cast<double>(plain) : 0.0,
                seconds > 0 ? static_cast<double>(plain) / 1e6 / seconds : 0.0);
    return kExitDone;
}

const bool kRegistered =
    RegisterResToolCommand({"filter", "", "lzss|deflate encode|decode IN OUT [--max-bytes N]", &RunFilter});

} // namespace
