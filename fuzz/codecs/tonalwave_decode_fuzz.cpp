// The Tonalwave decode loop fed arbitrary slots. The first byte picks the model (mod 5) and which frames to mark
// lost (its high bits: every 2nd, 3rd or 4th frame, or none); the rest is cut into 558-byte slots. Every frame must
// give N samples per channel, never -32768, and never a failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const auto model = static_cast<sound::TonalwaveModel>(data[0] % sound::kTonalwaveModelCount);
    const int lostEvery = (data[0] >> 6) == 0 ? 0 : (data[0] >> 6) + 1;
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    sound::TonalwaveDecodeOptions options;
    const size_t frames = (size - 1 + sound::kTonalwaveStoredSlotBytes - 1) / sound::kTonalwaveStoredSlotBytes;
    for (size_t frame = 0; lostEvery != 0 && frame < frames; ++frame) {
        if (frame % static_cast<size_t>(lostEvery) == 1)
            options.lostFrames.push_back(frame);
    }
    sound::MemoryFrameSource source(std::span<const uint8_t>(data + 1, size - 1));
    sound::VectorFrameSink sink;
    const sound::FrameLoopResult result =
        sound::TonalwaveDecodeStream(sound::SchemeIdOfTonalwaveModel(model), source, sink, options);
    const std::vector<int16_t> samples = sink.Samples();
    if (!result.done || result.damagedFrames != 0 || result.frames != frames ||
        samples.size() != frames * info.channels * info.frameSamples)
        std::abort();
    for (const int16_t sample : samples) {
        if (sample == -32768)
            std::abort();
    }
    return 0;
}
