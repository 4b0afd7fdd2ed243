#include "codecs/sound/Tonalwave/tonalwave_codec.h"

#include <cmath>
#include <cstring>
#include <new>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tonalwave_bits.h"
#include "codecs/sound/Tonalwave/tonalwave_parameters.h"

namespace sound {

namespace {

struct ModelFacts {
    const char* name;
    const char* version;
    uint32_t formatTag;
    uint16_t sampleRate;
    uint16_t frameSamples;
    uint16_t channels;
    uint32_t bitRate;
    uint32_t frameBits;
    uint32_t configuration;
};

constexpr ModelFacts kFacts[kTonalwaveModelCount] = {
    {"acs48", "ACS48.2.0.0.044.G0", 0x4000004, 22050, 1024, 2, 48062, 2232, 0x32224},
    {"ac24", "AC24.2.0.0.044.G0", 0x2000004, 22050, 1024, 1, 24031, 1116, 0x12224},
    {"acs20", "ACS20.2.0.0.044.G0", 0x4000002, 11025, 512, 2, 20000, 928, 0x31110},
    {"ac10", "AC10.2.0.0.044.G0", 0x2000002, 11025, 512, 1, 10000, 464, 0x11110},
    {"ac8", "AC08.2.0.0.044.G0", 0x2000001, 8000, 512, 1, 8000, 512, 0x18080},
};

constexpr float kHalfSqrt2 = 0.70710677f;

// What a decoder handle's state holds.
struct TonalwaveDecoderPart final : CodecPart {
    std::unique_ptr<TonalwaveDecoder> decoder;
    std::unique_ptr<float[]> output; // C x N floats of the frame in progress
};

template <int Row> uint16_t FrameSizeOf()
{
    return kFacts[Row].frameSamples;
}

template <int Row> CodecResult GetInfoOf(CodecInfo* out)
{
    if (out == nullptr)
        return kCodecNullArgument;
    const ModelFacts& facts = kFacts[Row];
    *out = CodecInfo{};
    out->recordKind = 4;
    std::strncpy(out->version, facts.version, sizeof out->version - 1);
    out->formatTag = facts.formatTag;
    out->secondFormatTag = facts.formatTag;
    out->sampleRate = facts.sampleRate;
    out->bitsPerSample = 16;
    out->frameSamples = facts.frameSamples;
    out->channels = facts.channels;
    out->secondCount = 1;
    out->bitRate = facts.bitRate;
    out->bitsPerFrame[0] = out->bitsPerFrame[1] = out->bitsPerFrame[2] = facts.frameBits;
    out->delayFrames = 2;
    out->delaySamples = 0;
    return kCodecOk;
}

template <int Row> CodecResult OpenDecoderOf(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenTonalwaveDecoder(kFacts[Row].configuration, handleVar);
}

template <int Row> CodecResult OpenEncoderOf(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenTonalwaveEncoder(kFacts[Row].configuration, handleVar);
}

template <int Row> constexpr TonalwaveDescriptor DescriptorRow(uint32_t kbps, uint32_t channels)
{
    return TonalwaveDescriptor{kbps,
                               channels,
                               FrameSizeOf<Row>,
                               GetInfoOf<Row>,
                               OpenEncoderOf<Row>,
                               OpenDecoderOf<Row>,
                               EncodeTonalwaveFrame,
                               DecodeTonalwaveFrame,
                               CloseTonalwaveEncoder,
                               CloseTonalwaveDecoder};
}

constexpr std::array<TonalwaveDescriptor, kTonalwaveModelCount> kModels = {
    DescriptorRow<0>(48, 2), DescriptorRow<1>(24, 1), DescriptorRow<2>(20, 2),
    DescriptorRow<3>(10, 1), DescriptorRow<4>(8, 1),
};

int16_t ToSample(float value)
{
    if (!(value == value)) // not a number
        return 0;
    if (value > 32767.0f)
        return 32767;
    if (value < -32767.0f)
        return -32767;
    return static_cast<int16_t>(std::lround(value));
}

} // namespace

const std::array<TonalwaveDescriptor, kTonalwaveModelCount>& TonalwaveModels()
{
    return kModels;
}

const TonalwaveDescriptor& DescriptorOf(TonalwaveModel model)
{
    return kModels[static_cast<size_t>(model)];
}

uint32_t ConfigurationCodeOf(TonalwaveModel model)
{
    return kFacts[static_cast<size_t>(model)].configuration;
}

const char* NameOf(TonalwaveModel model)
{
    return kFacts[static_cast<size_t>(model)].name;
}

CodecResult OpenTonalwaveDecoder(uint32_t configurationCode, std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenBuiltCodecHandle(handleVar, CodecKind::kDecoder, 0, 0, [configurationCode](CodecHandle& handle) {
        const std::optional<TonalwaveConfiguration> config = DecodeConfigurationCode(configurationCode);
        if (!config)
            return false;
        auto part = std::make_unique<TonalwaveDecoderPart>();
        part->decoder = TonalwaveDecoder::Create(*config);
        if (!part->decoder)
            return false;
        part->output = std::make_unique<float[]>(static_cast<size_t>(config->channels) *
                                                 static_cast<size_t>(part->decoder->FrameSamples()));
        handle.state = std::move(part);
        return true;
    });
}

CodecResult OpenTonalwaveEncoder(uint32_t configurationCode, std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenBuiltCodecHandle(handleVar, CodecKind::kEncoder, 0, 0, [configurationCode](CodecHandle& handle) {
        const std::optional<TonalwaveConfiguration> config = DecodeConfigurationCode(configurationCode);
        if (!config)
            return false;
        handle.state = TonalwaveEncoder::Create(*config);
        return handle.state != nullptr;
    });
}

CodecResult CloseTonalwaveEncoder(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kEncoder);
}

CodecResult EncodeTonalwaveFrame(CodecHandle* handle, CodecIO* io)
{
    const CodecResult checked = CheckFrameCall(handle, io, CodecKind::kEncoder, FrameCheckOrder::kHandleFirst);
    if (checked != kCodecOk)
        return checked;
    auto& encoder = static_cast<TonalwaveEncoder&>(*handle->state);
    const size_t values = static_cast<size_t>(encoder.Channels()) * static_cast<size_t>(encoder.FrameSamples());
    RingPosition position{io->endByte, io->endBit};
    if (!encoder.EncodeFrame(std::span<const int16_t>(io->samples, values),
                             std::span<uint8_t>(io->coded, io->codedSize), position))
        return kCodecOutOfMemory;
    io->endByte = static_cast<uint16_t>(position.byte);
    io->endBit = static_cast<uint8_t>(position.bit);
    return kCodecOk;
}

CodecResult CloseTonalwaveDecoder(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kDecoder);
}

CodecResult DecodeTonalwaveFrame(CodecHandle* handle, CodecIO* io)
{
    const CodecResult checked = CheckFrameCall(handle, io, CodecKind::kDecoder, FrameCheckOrder::kHandleFirst);
    if (checked != kCodecOk)
        return checked;
    auto& part = static_cast<TonalwaveDecoderPart&>(*handle->state);
    TonalwaveDecoder& decoder = *part.decoder;
    const int channels = decoder.Channels();
    const int n = decoder.FrameSamples();
    const std::span<const uint8_t> ring(io->coded, io->codedSize);
    RingPosition position{io->startByte, io->startBit};
    TonalwaveFrameRecord frame;
    ReadFrame(ring, position, decoder.Layout(), frame);
    io->startByte = static_cast<uint16_t>(position.byte);
    io->startBit = static_cast<uint8_t>(position.bit);
    const std::span<float> output(part.output.get(), static_cast<size_t>(channels * n));
    const bool decoded = decoder.DecodeFrame(frame, output);
    ConvertToSamples(output, channels, n, std::span<int16_t>(io->samples, static_cast<size_t>(channels * n)));
    io->sampleCount = decoded ? static_cast<uint16_t>(n) : 0;
    return decoded ? kCodecOk : kCodecOutOfMemory;
}

void ConvertToSamples(std::span<const float> output, int channels, int frameSamples, std::span<int16_t> out)
{
    const auto n = static_cast<size_t>(frameSamples);
    if (channels == 1) {
        for (size_t i = 0; i < n; ++i)
            out[i] = ToSample(output[i]);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const float mid = output[i];
        const float side = output[n + i];
        out[2 * i] = ToSample((mid + side) * kHalfSqrt2);
        out[2 * i + 1] = ToSample((mid - side) * kHalfSqrt2);
    }
}

} // namespace sound
