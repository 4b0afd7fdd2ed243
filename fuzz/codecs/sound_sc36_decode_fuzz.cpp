// The SC36 decoders fed arbitrary rings. Byte 0 picks the variant (bit 0) and the ring size (bits 1-7: 1..128
// bytes); bytes 1..2 the start and end byte; bytes 3..4 the time scale (0.45 .. 5.1, so that both refusals and
// both ends are met); byte 5 which calls find their frame lost; the rest fills the ring. No call may crash, hang,
// read outside the ring, give more than 160 samples, or consume bytes when it answers 6155 or 6185.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codecs/sound/speech/sc36/sc36_codec.h"

namespace {

constexpr size_t kHeaderBytes = 6;
constexpr int kCalls = 48;

template <sound::Sc36Variant V> void Run(const uint8_t* data, size_t size, std::vector<uint8_t>& ring)
{
    std::unique_ptr<sound::CodecHandle> handle;
    if (sound::Sc36DecoderOpen<V>(&handle) != sound::kCodecOk)
        return;
    const float scale = 0.45f + static_cast<float>(data[3] | (data[4] << 8)) * (4.65f / 65535.0f);
    sound::Sc36SetTimeScale(handle.get(), scale);
    int16_t pcm[160] = {};
    sound::CodecIO io;
    io.samples = pcm;
    io.coded = ring.data();
    io.codedSize = static_cast<uint16_t>(ring.size());
    io.startByte = static_cast<uint16_t>(data[1] % (ring.size() + 1));
    io.endByte = static_cast<uint16_t>(data[2] % (ring.size() + 1));
    for (int call = 0; call < kCalls; ++call) {
        if ((data[5] >> (call % 8)) & 1u)
            sound::Sc36MarkFrameLost(handle.get());
        const uint16_t start = io.startByte;
        const sound::CodecResult result = sound::Sc36Decode<V>(handle.get(), &io);
        if ((result == sound::kCodecBufferTooSmall || result == sound::kCodecBadFrame) && io.startByte != start)
            std::abort();
        if (result == sound::kCodecOk && io.sampleCount > 160)
            std::abort();
        if (result != sound::kCodecOk)
            break;
    }
    sound::Sc36DecoderClose<V>(&handle);
    (void)size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const size_t ringBytes = size_t{static_cast<uint8_t>(data[0] >> 1)} + 1;
    std::vector<uint8_t> ring(ringBytes, 0);
    for (size_t i = 0; i < ringBytes && kHeaderBytes + i < size; ++i)
        ring[i] = data[kHeaderBytes + i];
    if ((data[0] & 1u) != 0)
        Run<sound::Sc36Variant::k6400>(data, size, ring);
    else
        Run<sound::Sc36Variant::k3200>(data, size, ring);
    return 0;
}
