// A record-stream wave source driven by the input's first bytes, checked against a plain model of what it must
// deliver: reads of any size, widened or not, a history of any capacity, and steps back and forward within and
// beyond it. Input: u8 history capacity, u8 program length n, n program bytes, then the record's payload.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/resources/mmio_stream.h"

namespace {

// What the source must deliver: every payload byte once, in order, plus the ones a step passes over again.
struct Model {
    std::span<const uint8_t> payload;
    size_t capacity;
    size_t delivered = 0;
    size_t position = 0;

    size_t Oldest() const { return delivered - std::min(delivered, capacity); }
    std::vector<uint8_t> Take(size_t n)
    {
        std::vector<uint8_t> out;
        while (out.size() < n && position < payload.size()) {
            out.push_back(payload[position++]);
            delivered = std::max(delivered, position);
        }
        return out;
    }
    bool Step(int64_t n)
    {
        if (n < 0) {
            const size_t back = static_cast<size_t>(-n);
            if (position - Oldest() < back) {
                position = Oldest();
                return false;
            }
            position -= back;
            return true;
        }
        if (delivered - position < static_cast<size_t>(n)) {
            position = delivered;
            return false;
        }
        position += static_cast<size_t>(n);
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t capacity = data[0];
    const size_t programBytes = std::min<size_t>(data[1], size - 2);
    const std::span<const uint8_t> program(data + 2, programBytes);
    const std::span<const uint8_t> payload(data + 2 + programBytes, size - 2 - programBytes);

    SWchunkstream record(payload);
    uint8_t error = 1;
    MmioStream source(&record, false, error);
    if (error != 0 || !source.SetHistory(static_cast<uint32_t>(capacity)))
        std::abort();
    Model model{payload, capacity};
    std::vector<uint8_t> buffer(2 * 64 + 1);
    for (const uint8_t op : program) {
        const size_t amount = op >> 2; // 0..63
        switch (op & 3) {
        case 0:
        case 1: {
            const bool widen = (op & 3) == 1;
            const size_t ask = widen ? 2 * amount + (op & 4 ? 1 : 0) : amount;
            size_t count = 7;
            const bool read = source.Read(buffer.data(), ask, count, widen);
            const std::vector<uint8_t> expected = model.Take(widen ? ask / 2 : ask);
            if (read != !expected.empty() || count != (widen ? 2 * expected.size() : expected.size()))
                std::abort();
            for (size_t i = 0; i < expected.size(); ++i) {
                const auto sample = static_cast<uint16_t>(257 * expected[i] - 32768);
                const bool same = widen ? buffer[2 * i] == static_cast<uint8_t>(sample) &&
                                              buffer[2 * i + 1] == static_cast<uint8_t>(sample >> 8)
                                        : buffer[i] == expected[i];
                if (!same)
                    std::abort();
            }
            break;
        }
        case 2:
            if (source.StepBack(-static_cast<int64_t>(amount)) != model.Step(-static_cast<int64_t>(amount)))
                std::abort();
            break;
        default:
            if (source.StepBack(static_cast<int64_t>(amount)) != model.Step(static_cast<int64_t>(amount)))
                std::abort();
            break;
        }
        if (source.PendingReplay() != model.delivered - model.position || source.HasFailed())
            std::abort();
    }
    return 0;
}
