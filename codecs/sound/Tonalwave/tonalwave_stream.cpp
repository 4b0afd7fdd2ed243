#include "codecs/sound/Tonalwave/tonalwave_stream.h"

#include <algorithm>
#include <array>
#include <memory>

#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"
#include "codecs/sound/codec_handle.h"
#include "codecs/sound/stored_sound_format.h"

namespace sound {

namespace {

static_assert(kTonalwaveStoredHeaderBytes == kStoredSoundFormatBytes);

constexpr size_t kPcmSamples = kTonalwavePcmBufferBytes / 2;

bool WriteSamples(WaveFrameSink& sink, const int16_t* samples, size_t count)
{
    std::array<uint8_t, kTonalwavePcmBufferBytes> bytes;
    StoreSamples(samples, count, bytes.data());
    return sink.Write(bytes.data(), 2 * count);
}

constexpr struct {
    uint32_t id;
    TonalwaveModel model;
} kModels[] = {
    {SchemeIdOf("7496"), TonalwaveModel::kAcs48}, {SchemeIdOf("7495"), TonalwaveModel::kAc24},
    {SchemeIdOf("7494"), TonalwaveModel::kAcs20}, {SchemeIdOf("7493"), TonalwaveModel::kAc10},
    {SchemeIdOf("7492"), TonalwaveModel::kAc8},
};

// A scheme's model and one frame's values, all channels interleaved.
struct SchemeFrame {
    const TonalwaveDescriptor* row;
    size_t channels;
    size_t values;
};

// None for an id that names no model of the family, or a frame the loops' PCM buffer cannot hold.
std::optional<SchemeFrame> SchemeFrameOf(uint32_t schemeId)
{
    const std::optional<TonalwaveModel> model = TonalwaveModelOfScheme(schemeId);
    if (!model)
        return std::nullopt;
    const TonalwaveDescriptor& row = DescriptorOf(*model);
    CodecInfo info;
    row.getInfo(&info);
    const size_t values = size_t{info.channels} * row.frameSize();
    if (values == 0 || values > kPcmSamples)
        return std::nullopt;
    return SchemeFrame{&row, info.channels, values};
}

} // namespace

std::optional<TonalwaveModel> TonalwaveModelOfScheme(uint32_t schemeId)
{
    for (const auto& row : kModels)
        if (row.id == schemeId)
            return row.model;
    return std::nullopt;
}

uint32_t SchemeIdOfTonalwaveModel(TonalwaveModel model)
{
    for (const auto& row : kModels)
        if (row.model == model)
            return row.id;
    return 0;
}

std::vector<uint8_t> TonalwaveStoredHeader(uint16_t channels, uint32_t sampleRate)
{
    std::vector<uint8_t> bytes(kTonalwaveStoredHeaderBytes);
    WriteStoredSoundFormat(bytes.data(), channels, sampleRate);
    return bytes;
}

FrameLoopResult TonalwaveEncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                      const TonalwaveEncodeOptions& options)
{
    FrameLoopResult result;
    const std::optional<SchemeFrame> frame = SchemeFrameOf(schemeId);
    if (!frame)
        return result;
    const TonalwaveDescriptor& row = *frame->row;
    const size_t frameValues = frame->values;
    std::unique_ptr<CodecHandle> encoder;
    result.codecResult = options.configurationCode != 0 ? OpenTonalwaveEncoder(options.configurationCode, &encoder)
                                                        : row.openEncoder(&encoder);
    if (result.codecResult != kCodecOk)
        return result;
    const HandleCloser closer{row.closeEncoder, &encoder};

    std::array<uint8_t, kTonalwavePcmBufferBytes> bytes;
    std::array<int16_t, kPcmSamples> pcm;
    std::array<uint8_t, kTonalwaveStoredSlotBytes> slot;
    const auto codeFrame = [&] {
        slot.fill(0); // the slot's tail is defined as zeros: the same bytes on every run, and they compress
        CodecIO io;
        io.samples = pcm.data();
        io.coded = slot.data();
        io.codedSize = static_cast<uint16_t>(slot.size());
        if (row.encode(encoder.get(), &io) != kCodecOk)
            ++result.damagedFrames;
        if (options.trace)
            options.trace(result.frames, static_cast<const TonalwaveEncoder&>(*encoder->state));
        ++result.frames;
        if (!sink.Write(slot.data(), slot.size()))
            result.sinkFailed = true;
    };

    const bool widen = source.HasEightBitSamples();
    for (;;) {
        const size_t got = ReadWhole(source, bytes.data(), 2 * frameValues, widen) / 2; // whole samples
        if (got == 0)
            break;
        LoadSamples(bytes.data(), got, pcm.data());
        std::fill(pcm.begin() + static_cast<ptrdiff_t>(got), pcm.begin() + static_cast<ptrdiff_t>(frameValues),
                  int16_t{0});
        codeFrame();
        if (got < frameValues || result.sinkFailed)
            break;
    }
    if (result.frames > 0) {
        pcm.fill(0);
        for (int i = 0; i < kTonalwaveFlushFrames; ++i)
            codeFrame();
    }
    result.endedCleanly = !source.HasFailed();
    result.done = true;
    return result;
}

FrameLoopResult TonalwaveDecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                      const TonalwaveDecodeOptions& options)
{
    FrameLoopResult result;
    const std::optional<SchemeFrame> frame = SchemeFrameOf(schemeId);
    if (!frame)
        return result;
    const TonalwaveDescriptor& row = *frame->row;
    const size_t channels = frame->channels;
    std::unique_ptr<CodecHandle> decoder;
    result.codecResult = row.openDecoder(&decoder);
    if (result.codecResult != kCodecOk)
        return result;
    const HandleCloser closer{row.closeDecoder, &decoder};

    std::array<uint8_t, kTonalwaveStoredSlotBytes> slot;
    std::array<int16_t, kPcmSamples> pcm;
    for (;;) {
        const size_t got = ReadWhole(source, slot.data(), slot.size(), false);
        if (got == 0)
            break;
        if (got < slot.size()) {
            std::fill(slot.begin() + static_cast<ptrdiff_t>(got), slot.end(), uint8_t{0});
            result.endedCleanly = false;
        }
        if (std::find(options.lostFrames.begin(), options.lostFrames.end(), result.frames) != options.lostFrames.end())
            slot[0] = static_cast<uint8_t>((slot[0] & 0xF0) | kTonalwaveLostWindowCode); // the window code's 4 bits
        CodecIO io;
        io.samples = pcm.data();
        io.coded = slot.data();
        io.codedSize = static_cast<uint16_t>(slot.size());
        if (row.decode(decoder.get(), &io) != kCodecOk)
            ++result.damagedFrames;
        ++result.frames;
        const size_t values = std::min<size_t>(size_t{io.sampleCount} * channels, kPcmSamples);
        if (values > 0 && !WriteSamples(sink, pcm.data(), values)) {
            result.sinkFailed = true;
            break;
        }
        if (got < slot.size())
            break;
    }
    if (source.HasFailed())
        result.endedCleanly = false;
    result.done = true;
    return result;
}

} // namespace sound
