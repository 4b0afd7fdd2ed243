// The own wave codec's decoder fed arbitrary bytes. The first byte picks how the rest is cut into feeds (0: all
// at once, else pieces of that many bytes), so carried partial blocks are fuzzed along with the blocks.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/sound/wave_codec/wave_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::span<const uint8_t> stream(data + 1, size - 1);
    const size_t piece = data[0] == 0 ? stream.size() : data[0];
    sound::WaveDecoder decoder;
    for (size_t at = 0; at < stream.size(); at += piece) {
        const size_t take = piece < stream.size() - at ? piece : stream.size() - at;
        if (decoder.Feed(stream.subspan(at, take)) != sound::kWaveOk)
            break;
    }
    return 0;
}
