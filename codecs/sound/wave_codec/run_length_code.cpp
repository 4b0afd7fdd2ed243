#include "codecs/sound/wave_codec/run_length_code.h"

#include <algorithm>

namespace sound {
namespace {

constexpr size_t kMaxRun = 128;
constexpr uint8_t kLargeRun = 0x80;

bool IsSmall(int16_t value)
{
    return value >= -128 && value <= 127;
}

// A small run takes the small values that follow.
size_t SmallRunLength(std::span<const int16_t> values, size_t start)
{
    size_t end = start + 1;
    while (end < values.size() && end - start < kMaxRun && IsSmall(values[end]))
        ++end;
    return end - start;
}

// A large run goes on while the value or the one after it is large: a lone small value between large ones
// costs less inside the run than as a run of its own.
size_t LargeRunLength(std::span<const int16_t> values, size_t start)
{
    size_t end = start + 1;
    while (end < values.size() && end - start < kMaxRun) {
        const bool nextIsLarge = end + 1 < values.size() && !IsSmall(values[end + 1]);
        if (IsSmall(values[end]) && !nextIsLarge)
            break;
        ++end;
    }
    return end - start;
}

} // namespace

void RunLengthEncode(std::span<const int16_t> values, std::vector<uint8_t>& out)
{
    size_t i = 0;
    while (i < values.size()) {
        if (IsSmall(values[i])) {
            const size_t count = SmallRunLength(values, i);
            out.push_back(static_cast<uint8_t>(count - 1));
            for (size_t j = i; j < i + count; ++j)
                out.push_back(static_cast<uint8_t>(values[j] + 128));
            i += count;
        } else {
            const size_t count = LargeRunLength(values, i);
            out.push_back(static_cast<uint8_t>(kLargeRun + count - 1));
            for (size_t j = i; j < i + count; ++j) {
                const auto bits = static_cast<uint16_t>(values[j]);
                out.push_back(static_cast<uint8_t>(bits));
                out.push_back(static_cast<uint8_t>(bits >> 8));
            }
            i += count;
        }
    }
}

bool RunLengthDecode(std::span<const uint8_t> code, std::span<int16_t> out, size_t& outConsumed)
{
    size_t in = 0;
    size_t written = 0;
    while (written < out.size()) {
        if (in >= code.size())
            break;
        const uint8_t control = code[in++];
        const bool large = control >= kLargeRun;
        const size_t runValues = std::min<size_t>((control & 0x7F) + 1u, out.size() - written);
        const size_t valueBytes = large ? 2 : 1;
        if (runValues > (code.size() - in) / valueBytes)
            break;
        for (size_t j = 0; j < runValues; ++j) {
            if (large) {
                out[written++] = static_cast<int16_t>(static_cast<uint16_t>(code[in] | (code[in + 1] << 8)));
                in += 2;
            } else {
                out[written++] = static_cast<int16_t>(code[in++] - 128);
            }
        }
    }
    outConsumed = in;
    return written == out.size();
}

} // namespace sound
