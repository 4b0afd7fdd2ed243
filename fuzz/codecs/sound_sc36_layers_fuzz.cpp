// Random rings through the SC36 stream operations. Bytes 0..2 size three rings (1..256 bytes each), bytes 3..8 their
// read and write positions, byte 9 the masks; the rest fills the first two rings. Count, find, extract, merge and
// the stream's layers must stay within the rings and leave every position inside its ring.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/sound/speech/sc36/sc36_codec.h"

namespace {

constexpr size_t kHeaderBytes = 10;

sound::CodecIO RingOf(std::vector<uint8_t>& bytes, uint8_t start, uint8_t end, int16_t* samples)
{
    sound::CodecIO io;
    io.samples = samples;
    io.coded = bytes.data();
    io.codedSize = static_cast<uint16_t>(bytes.size());
    io.startByte = static_cast<uint16_t>(start % bytes.size());
    io.endByte = static_cast<uint16_t>(end % bytes.size());
    return io;
}

void CheckInside(const sound::CodecIO& io)
{
    if (io.startByte >= io.codedSize || io.endByte >= io.codedSize)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    std::vector<uint8_t> rings[3];
    size_t next = kHeaderBytes;
    for (int r = 0; r < 3; ++r) {
        rings[r].assign(size_t{data[r]} + 1, 0);
        for (size_t i = 0; r < 2 && i < rings[r].size() && next < size; ++i)
            rings[r][i] = data[next++];
    }
    int16_t samples[160] = {};
    sound::CodecIO a = RingOf(rings[0], data[3], data[4], samples);
    sound::CodecIO b = RingOf(rings[1], data[5], data[6], samples);
    sound::CodecIO c = RingOf(rings[2], data[7], data[8], samples);
    std::unique_ptr<sound::CodecHandle> handle;
    if (sound::Sc36DecoderOpen<sound::Sc36Variant::k6400>(&handle) != sound::kCodecOk)
        return 0;
    uint32_t count = 0;
    uint16_t end = 0;
    uint8_t flag = 0;
    if (sound::Sc36CountFrames(handle.get(), &a, &count, &end, &flag) == sound::kCodecOk && end >= a.codedSize)
        std::abort();
    if (sound::Sc36FindFrames(handle.get(), &a, count, &end, &flag) == sound::kCodecOk && end >= a.codedSize)
        std::abort();
    uint32_t mask = 0;
    sound::Sc36GetStreamLayers(handle.get(), &a, &mask);
    sound::Sc36ExtractLayers(handle.get(), &a, &c, data[9] & 3u);
    CheckInside(c);
    sound::Sc36MergeLayers(handle.get(), &a, &b, &c, data[9] & 1u, (data[9] >> 2) & 3u);
    CheckInside(c);
    sound::Sc36DecoderClose<sound::Sc36Variant::k6400>(&handle);
    return 0;
}
