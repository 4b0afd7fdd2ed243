// One stage reader of the geometry codec per input. Byte 0 picks the stage, byte 1 sizes what the caller
// expects, the rest is a stream body (the header is supplied, so every input reaches the reader):
//   0 topology stream, 1 integer data with preset items, 2 zero runs, 3 flag runs, 4 value runs, 5 int array.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codecs/geometry/bit_reader.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/integer_coder.h"
#include "codecs/geometry/px_result.h"
#include "codecs/geometry/run_length.h"

namespace {

// Items preset from the size byte: a mix of delta items and absolute items of widths 0..32.
std::vector<px::DataItem> PresetItems(uint8_t shape)
{
    std::vector<px::DataItem> items(shape % 48);
    for (size_t i = 0; i < items.size(); ++i)
        if ((shape >> 6) != 0 && i % (shape >> 6) == 0)
            items[i] = {0, px::kModeAbsolute, static_cast<uint8_t>((i * 7) % 33)};
    return items;
}

void RunStage(uint8_t stage, uint8_t shape, std::span<const uint8_t> stream)
{
    if (stage == 0) {
        std::vector<px::DecodedConnectivity> objects;
        px::DecodeConnectivity(stream, objects);
        return;
    }
    px::BitReader reader;
    if (!reader.Open(stream))
        std::abort(); // the header was supplied
    const uint64_t limit = uint64_t{shape} * 17;
    if (stage == 1) {
        std::vector<px::DataItem> items = PresetItems(shape);
        px::DecodeIntegerData(reader, items);
    } else if (stage == 2) {
        std::vector<px::DataItem> items(shape);
        px::DecodeZeroRuns(reader, items);
    } else if (stage == 3) {
        std::vector<uint8_t> flags;
        if (px::DecodeFlagRuns(reader, limit, flags) == px::PX_OK && flags.size() > limit)
            std::abort();
    } else if (stage == 4) {
        std::vector<uint32_t> values;
        if (px::DecodeValueRuns(reader, limit, values) == px::PX_OK && values.size() > limit)
            std::abort();
    } else {
        std::vector<uint32_t> values;
        if (px::ReadIntArray(reader, limit, values) == px::PX_OK && values.size() > limit)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    std::vector<uint8_t> stream = {'P', 'X', 'B', 'i', 'n', 13, 2, 0};
    stream.insert(stream.end(), data + 2, data + size);
    RunStage(static_cast<uint8_t>(data[0] % 6), data[1], stream);
    return 0;
}
