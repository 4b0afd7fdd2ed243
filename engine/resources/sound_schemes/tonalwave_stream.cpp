#include "engine/resources/sound_schemes/tonalwave_stream.h"

#include <algorithm>
#include <array>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "engine/core/type_tag.h"
#include "platform/base/endian.h"

namespace {

constexpr size_t kPcmSamples = kTonalwavePcmBufferBytes / 2;

struct HandleCloser {
    sound::CodecResult (*close)(std::unique_ptr<sound::CodecHandle>*);
    std::unique_ptr<sound::CodecHandle>* handle;
    ~HandleCloser()
    {
        if (*handle)
            close(handle);
    }
};

// Little-endian bytes to samples in place: the buffers are the codec's PCM and must read alike on every host.
void BytesToSamples(const uint8_t* bytes, size_t count, int16_t* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(pf::loadU16le(bytes + 2 * i));
}

bool WriteSamples(WaveFrameSink& sink, const int16_t* samples, size_t count)
{
    std::array<uint8_t, kTonalwavePcmBufferBytes> bytes;
    for (size_t i = 0; i < count; ++i)
        pf::storeU16le(&bytes[2 * i], static_cast<uint16_t>(samples[i]));
    return sink.Write(bytes.data(), 2 * count);
}

} // namespace

std::optional<sound::TonalwaveModel> TonalwaveModelOfScheme(uint32_t schemeId)
{
    static constexpr struct {
        uint32_t id;
        sound::TonalwaveModel model;
    } kModels[] = {
        {MakeTag("7496"), sound::TonalwaveModel::kAcs48}, {MakeTag("7495"), sound::TonalwaveModel::kAc24},
        {MakeTag("7494"), sound::TonalwaveModel::kAcs20}, {MakeTag("7493"), sound::TonalwaveModel::kAc10},
        {MakeTag("7492"), sound::TonalwaveModel::kAc8},
    };
    for (const auto& row : kModels)
        if (row.id == schemeId)
            return row.model;
    return std::nullopt;
}

FrameLoopResult TonalwaveEncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink)
{
    FrameLoopResult result;
    const std::optional<sound::TonalwaveModel> model = TonalwaveModelOfScheme(schemeId);
    if (!model)
        return result;
    const sound::TonalwaveDescriptor& row = sound::DescriptorOf(*model);
    sound::CodecInfo info;
    row.getInfo(&info);
    const size_t frameValues = size_t{info.channels} * row.frameSize();
    if (frameValues == 0 || frameValues > kPcmSamples)
        return result;
    std::unique_ptr<sound::CodecHandle> encoder;
    if (row.openEncoder(&encoder) != sound::kCodecOk)
        return result;
    const HandleCloser closer{row.closeEncoder, &encoder};

    std::array<uint8_t, kTonalwavePcmBufferBytes> bytes;
    std::array<int16_t, kPcmSamples> pcm;
    std::array<uint8_t, kTonalwaveStoredSlotBytes> slot;
    const auto codeFrame = [&] {
        slot.fill(0); // the slot's tail is defined as zeros: the same bytes on every run, and they compress
        sound::CodecIO io;
        io.samples = pcm.data();
        io.coded = slot.data();
        io.codedSize = static_cast<uint16_t>(slot.size());
        if (row.encode(encoder.get(), &io) != sound::kCodecOk)
            ++result.damagedFrames;
        ++result.frames;
        if (!sink.Write(slot.data(), slot.size()))
            result.sinkFailed = true;
    };

    const bool widen = source.HasEightBitSamples();
    for (;;) {
        const size_t got = ReadWhole(source, bytes.data(), 2 * frameValues, widen) / 2; // whole samples
        if (got == 0)
            break;
        BytesToSamples(bytes.data(), got, pcm.data());
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

FrameLoopResult TonalwaveDecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink)
{
    FrameLoopResult result;
    const std::optional<sound::TonalwaveModel> model = TonalwaveModelOfScheme(schemeId);
    if (!model)
        return result;
    const sound::TonalwaveDescriptor& row = sound::DescriptorOf(*model);
    sound::CodecInfo info;
    row.getInfo(&info);
    const size_t channels = info.channels;
    if (channels == 0 || size_t{channels} * row.frameSize() > kPcmSamples)
        return result;
    std::unique_ptr<sound::CodecHandle> decoder;
    if (row.openDecoder(&decoder) != sound::kCodecOk)
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
        sound::CodecIO io;
        io.samples = pcm.data();
        io.coded = slot.data();
        io.codedSize = static_cast<uint16_t>(slot.size());
        if (row.decode(decoder.get(), &io) != sound::kCodecOk)
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
