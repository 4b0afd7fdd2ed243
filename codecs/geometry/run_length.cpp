#include "codecs/geometry/run_length.h"

#include <algorithm>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/bit_width.h"
#include "codecs/geometry/bit_writer.h"
#include "codecs/geometry/px_result.h"

namespace px {

namespace {

constexpr int32_t kNoDeltaEscape = 0x7FFFFFFE;

bool IsZeroItem(const DataItem& item)
{
    return item.mode == kModeDelta && item.value == 0;
}

struct Run {
    uint32_t value = 0;
    uint64_t length = 0;
};

template <typename T> std::vector<Run> RunsOf(std::span<const T> values)
{
    std::vector<Run> runs;
    for (size_t i = 0; i < values.size();) {
        size_t j = i;
        while (j < values.size() && values[j] == values[i])
            ++j;
        runs.push_back({static_cast<uint32_t>(values[i]), j - i});
        i = j;
    }
    return runs;
}

// The longest stretch of short runs, where a short last run joins the stretch before it.
template <typename IsShort> uint64_t LongestStretch(const std::vector<Run>& runs, IsShort isShort)
{
    uint64_t longest = 0;
    uint64_t pending = 0;
    for (const Run& run : runs) {
        if (isShort(run)) {
            pending += run.length;
            longest = std::max(longest, pending);
        } else {
            pending = 0;
        }
    }
    return longest;
}

} // namespace

int EncodeZeroRuns(BitWriter& out, std::vector<DataItem>& items, uint32_t minRun)
{
    int64_t smallest = INT64_MAX;
    for (const DataItem& item : items)
        if (item.mode == kModeDelta)
            smallest = std::min<int64_t>(smallest, item.value);
    if (smallest == INT32_MIN)
        return PXERR_INVALIDGEOMETRY; // no room below the smallest value for the escape
    const int32_t escape = smallest == INT64_MAX ? kNoDeltaEscape : static_cast<int32_t>(smallest - 1);
    std::vector<DataItem> compact;
    std::vector<uint32_t> runs;
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        while (j < items.size() && IsZeroItem(items[j]))
            ++j;
        if (j - i >= std::max<uint32_t>(minRun, 1)) {
            compact.push_back({escape, kModeDelta, 0});
            runs.push_back(static_cast<uint32_t>(j - i));
            i = j;
        } else if (j > i) {
            compact.insert(compact.end(), items.begin() + static_cast<ptrdiff_t>(i),
                           items.begin() + static_cast<ptrdiff_t>(j));
            i = j;
        } else {
            compact.push_back(items[i++]);
        }
    }
    items = std::move(compact);
    out.Put32(static_cast<uint32_t>(items.size()));
    out.Put32(static_cast<uint32_t>(escape));
    const int result = EncodeIntegerData(out, items);
    if (result != PX_OK)
        return result;
    WriteIntArray(out, runs);
    return PX_OK;
}

int DecodeZeroRuns(BitReader& in, std::span<DataItem> out)
{
    const uint32_t count = in.GetBits(32);
    const int32_t escape = in.GetSigned32();
    if (in.Overrun() || count > out.size())
        return PX_ERR;
    std::vector<DataItem> compact(count);
    if (DecodeIntegerData(in, compact) != PX_OK)
        return PX_ERR;
    std::vector<uint32_t> runs;
    if (ReadIntArray(in, out.size(), runs) != PX_OK)
        return PX_ERR;
    size_t written = 0;
    size_t nextRun = 0;
    for (const DataItem& item : compact) {
        if (item.value != escape) {
            if (written == out.size())
                return PX_ERR;
            out[written++] = {item.value, kModeDelta, 0};
            continue;
        }
        if (nextRun == runs.size() || runs[nextRun] > out.size() - written)
            return PX_ERR;
        for (uint32_t k = 0; k < runs[nextRun]; ++k)
            out[written++] = {0, kModeDelta, 0};
        ++nextRun;
    }
    return written == out.size() && nextRun == runs.size() ? PX_OK : PX_ERR;
}

void WriteIntArray(BitWriter& out, std::span<const uint32_t> values)
{
    const uint64_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    const uint32_t width = BitWidth(largest + 1);
    out.PutBits(width, 5);
    out.Put32(static_cast<uint32_t>(values.size()));
    for (const uint32_t value : values)
        out.PutBits(value, width);
}

int ReadIntArray(BitReader& in, uint64_t maxCount, std::vector<uint32_t>& out)
{
    out.clear();
    const uint32_t width = in.GetBits(5);
    const uint32_t count = in.GetBits(32);
    if (in.Overrun() || width > 32 || count > maxCount || static_cast<uint64_t>(count) * width > in.RemainingBits())
        return PX_ERR;
    out.resize(count);
    for (uint32_t& value : out)
        value = in.GetBits(width);
    return in.Overrun() ? PX_ERR : PX_OK;
}

void EncodeFlagRuns(BitWriter& out, std::span<const uint8_t> flags)
{
    out.Put32(static_cast<uint32_t>(flags.size()));
    if (flags.empty())
        return;
    const std::vector<Run> runs = RunsOf(flags);
    uint64_t longestZeros = 0;
    uint64_t longestOnes = 0;
    for (const Run& run : runs)
        (run.value ? longestOnes : longestZeros) = std::max(run.value ? longestOnes : longestZeros, run.length);
    const uint32_t widthZeros = BitWidth(longestZeros + 1);
    const uint32_t widthOnes = BitWidth(longestOnes + 1);
    const auto isShort = [&](const Run& run) { return run.length < (run.value ? widthOnes : widthZeros); };
    const uint32_t widthStretch = BitWidth(LongestStretch(runs, isShort) + 1);
    out.PutBits(widthZeros, 5);
    out.PutBits(widthOnes, 5);
    out.PutBits(widthStretch, 5);
    std::vector<uint8_t> pending;
    for (size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        if (isShort(run) && r + 1 < runs.size()) {
            pending.insert(pending.end(), run.length, static_cast<uint8_t>(run.value));
            continue;
        }
        if (!pending.empty()) {
            out.PutBit(1);
            out.PutBits(static_cast<uint32_t>(pending.size() - 1), widthStretch);
            for (const uint8_t flag : pending)
                out.PutBit(flag);
            pending.clear();
        }
        out.PutBit(0);
        out.PutBit(run.value);
        out.PutBits(static_cast<uint32_t>(run.length - 1), run.value ? widthOnes : widthZeros);
    }
}

int DecodeFlagRuns(BitReader& in, uint64_t maxCount, std::vector<uint8_t>& out)
{
    out.clear();
    const uint32_t count = in.GetBits(32);
    if (in.Overrun() || count > maxCount)
        return PX_ERR;
    if (count == 0)
        return PX_OK;
    const uint32_t widthZeros = in.GetBits(5);
    const uint32_t widthOnes = in.GetBits(5);
    const uint32_t widthStretch = in.GetBits(5);
    out.reserve(count);
    while (out.size() < count) {
        if (in.Overrun())
            return PX_ERR;
        if (in.GetBit() == 1) {
            const uint64_t length = static_cast<uint64_t>(in.GetBits(widthStretch)) + 1;
            if (length > count - out.size() || length > in.RemainingBits())
                return PX_ERR;
            for (uint64_t k = 0; k < length; ++k)
                out.push_back(static_cast<uint8_t>(in.GetBit()));
        } else {
            const uint32_t value = in.GetBit();
            const uint64_t length = static_cast<uint64_t>(in.GetBits(value ? widthOnes : widthZeros)) + 1;
            if (length > count - out.size())
                return PX_ERR;
            out.insert(out.end(), length, static_cast<uint8_t>(value));
        }
    }
    return in.Overrun() ? PX_ERR : PX_OK;
}

int EncodeValueRuns(BitWriter& out, std::span<const uint32_t> values)
{
    const uint64_t largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    if (largest >= UINT32_MAX - 1)
        return PXERR_INVALIDGEOMETRY;
    out.Put32(static_cast<uint32_t>(values.size()));
    if (values.empty())
        return PX_OK;
    const std::vector<Run> runs = RunsOf(values);
    uint64_t longestRun = 0;
    for (const Run& run : runs)
        longestRun = std::max(longestRun, run.length);
    const uint32_t widthRun = BitWidth(longestRun + 1);
    const uint32_t widthValue = BitWidth(largest + 2); // room for the stretch marker largest + 1
    const uint32_t widthCounted = BitWidth(largest + 1);
    const uint32_t widthStretch =
        BitWidth(LongestStretch(runs, [&](const Run& run) { return widthRun > run.length * widthCounted; }) + 1);
    const auto isShort = [&](const Run& run) { return widthRun > run.length * widthValue; };
    out.Put32(static_cast<uint32_t>(largest));
    out.PutBits(widthRun, 5);
    out.PutBits(widthStretch, 5);
    std::vector<uint32_t> pending;
    for (size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        if (isShort(run) && r + 1 < runs.size()) {
            pending.insert(pending.end(), run.length, run.value);
            continue;
        }
        if (!pending.empty()) {
            out.PutBits(static_cast<uint32_t>(largest + 1), widthValue);
            out.PutBits(static_cast<uint32_t>(pending.size() - 1), widthStretch);
            for (const uint32_t value : pending)
                out.PutBits(value, widthValue);
            pending.clear();
        }
        out.PutBits(run.value, widthValue);
        out.PutBits(static_cast<uint32_t>(run.length - 1), widthRun);
    }
    return PX_OK;
}

int DecodeValueRuns(BitReader& in, uint64_t maxCount, std::vector<uint32_t>& out)
{
    out.clear();
    const uint32_t count = in.GetBits(32);
    if (in.Overrun() || count > maxCount)
        return PX_ERR;
    if (count == 0)
        return PX_OK;
    const uint64_t largest = in.GetBits(32);
    const uint32_t widthRun = in.GetBits(5);
    const uint32_t widthStretch = in.GetBits(5);
    const uint32_t widthValue = BitWidth(largest + 2);
    if (widthValue > 32)
        return PX_ERR;
    out.reserve(count);
    while (out.size() < count) {
        if (in.Overrun())
            return PX_ERR;
        const uint32_t x = in.GetBits(widthValue);
        if (x > largest) {
            const uint64_t length = static_cast<uint64_t>(in.GetBits(widthStretch)) + 1;
            if (length > count - out.size() || length > in.RemainingBits())
                return PX_ERR;
            for (uint64_t k = 0; k < length; ++k) {
                const uint32_t value = in.GetBits(widthValue);
                if (value > largest)
                    return PX_ERR;
                out.push_back(value);
            }
        } else {
            const uint64_t length = static_cast<uint64_t>(in.GetBits(widthRun)) + 1;
            if (length > count - out.size())
                return PX_ERR;
            out.insert(out.end(), length, x);
        }
    }
    return in.Overrun() ? PX_ERR : PX_OK;
}

} // namespace px
