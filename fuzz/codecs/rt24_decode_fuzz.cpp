// The RT24 decoder fed arbitrary rings. Bytes 0..7 set the call: ring size (byte 0, 1..256), start byte and bit,
// end byte and bit (bytes 1..4, bits up to 15 so that refusals are fuzzed too), the time scale (bytes 5..6, across
// 0.15 .. 5.25 so that both refusals and both ends are met) and which of the calls find their frame lost (byte 7);
// the rest fills the ring. No call may crash, hang, read outside the ring or give more than 180 samples.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codecs/sound/speech/rt24/rt24_codec.h"

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr int kCalls = 48;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const size_t ringBytes = size_t{data[0]} + 1;
    std::vector<uint8_t> ring(ringBytes, 0);
    for (size_t i = 0; i < ringBytes && kHeaderBytes + i < size; ++i)
        ring[i] = data[kHeaderBytes + i];
    std::unique_ptr<sound::CodecHandle> handle;
    if (sound::Rt24DecoderOpen(&handle) != sound::kCodecOk)
        return 0;
    const float scale = 0.15f + static_cast<float>(data[5] | (data[6] << 8)) * (5.1f / 65535.0f);
    sound::Rt24SetTimeScale(handle.get(), scale);
    int16_t pcm[180] = {};
    sound::CodecIO io;
    io.samples = pcm;
    io.coded = ring.data();
    io.codedSize = static_cast<uint16_t>(ringBytes);
    io.startByte = data[1];
    io.startBit = data[2] & 15;
    io.endByte = data[3];
    io.endBit = data[4] & 15;
    for (int call = 0; call < kCalls; ++call) {
        uint8_t needFrame = 0;
        sound::Rt24GetNeedFrame(handle.get(), &needFrame);
        if (needFrame != 0 && ((data[7] >> (call % 8)) & 1) != 0)
            sound::Rt24MarkFrameLost(handle.get());
        const sound::CodecResult result = sound::Rt24Decode(handle.get(), &io);
        if (result != sound::kCodecOk)
            break;
        if (io.sampleCount > 180 || io.startByte >= io.codedSize || io.startBit > 7)
            std::abort();
        uint32_t frames = 0;
        uint16_t byteIndex = 0;
        uint8_t bit = 0;
        if (sound::Rt24CountFrames(handle.get(), &io, &frames, &byteIndex, &bit) == sound::kCodecOk &&
            (byteIndex >= io.codedSize || bit > 7))
            std::abort();
    }
    sound::Rt24DecoderClose(&handle);
    return 0;
}
