// Any bytes given to the wave reader: it must refuse or hand out at most what the input holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/media/riff_wave_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pf::WaveError err = pf::WaveError::kNone;
    auto reader = pf::RiffWaveReader::fromBytes(std::vector<uint8_t>(data, data + size), &err);
    if (!reader)
        return 0;
    const pf::WaveFormat& format = reader->format();
    if (format.channels == 0 || format.rate == 0 || format.rate > pf::kMaxWaveRate)
        std::abort(); // a format nothing can frame must never get through
    uint8_t piece[8192];
    uint64_t total = 0;
    while (const size_t got = reader->read(piece, sizeof piece))
        total += got;
    if (total != reader->dataBytes() || total != reader->consumed() || total > size)
        std::abort();
    return 0;
}
