#include "codecs/sound/speech/rt24/rt24_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "codecs/sound/fft.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/rt24/rt24_decoder.h"
#include "codecs/sound/speech/rt24/rt24_encoder.h"
#include "codecs/sound/speech/rt24/rt24_format.h"

namespace sound {

namespace {

constexpr char kVersion[] = "RT24.03.01.01";
constexpr uint16_t kDelayFrames = 2;
constexpr uint16_t kDelaySamples = 90;
constexpr uint32_t kBitRate = 2400;
constexpr uint16_t kEnergyUnknown = 0xFFFF;

// The transforms a state will run, built now so that the first frame allocates nothing.
bool PrepareTransforms(CodecKind kind)
{
    float buffer[(1 << 9) + 2] = {};
    if (kind == CodecKind::kEncoder)
        return RealFFT(buffer, 9, FFT_FORWARD);
    return RealFFT(std::span<float>(buffer, (1 << 6) + 2), 6, FFT_FORWARD) &&
           RealInverseFFT(std::span<float>(buffer, (1 << 8) + 2), 8, FFT_NO_SCALE);
}

const CodecFunctionTable kFunctions = {
    Rt24GetInfo, Rt24Encode, Rt24Decode, Rt24EncoderOpen, Rt24DecoderOpen, Rt24EncoderClose, Rt24DecoderClose,
};

// Everything after the bare handle. False when memory runs out; the caller closes the half-built handle.
bool BuildStates(CodecHandle& handle)
{
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    if (!registry)
        return false;
    ProbeRegistry& reg = *registry;
    handle.probeRegistry = std::move(registry);
    if (handle.kind == CodecKind::kEncoder)
        handle.state = Rt24Encoder::Create(reg);
    else
        handle.state = Rt24Decoder::Create(reg);
    if (!handle.state)
        return false;
    handle.secondState = Rt24Quantiser::Create(reg);
    if (!handle.secondState)
        return false;
    handle.functions.reset(new (std::nothrow) CodecFunctionTable(kFunctions));
    return handle.functions != nullptr && PrepareTransforms(handle.kind);
}

CodecResult OpenRt24(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind)
{
    return OpenBuiltCodecHandle(handleVar, kind, kRt24FormatTag, kRt24SecondTag, BuildStates);
}

bool HasRt24Tag(const CodecHandle* handle)
{
    return handle != nullptr && handle->formatTag == kRt24FormatTag;
}

// A frame call's checks, with the RT24 tag counted as part of a good handle.
CodecResult CheckRt24Frame(const CodecHandle* handle, const CodecIO* io, CodecKind kind)
{
    if (handle != nullptr && handle->magic == kCodecHandleMagic && !HasRt24Tag(handle))
        return kCodecBadHandle;
    return CheckFrameCall(handle, io, kind, FrameCheckOrder::kHandleFirst);
}

// The decoder behind a handle that passed CheckHandle(kDecoder), or null for another family's state.
Rt24Decoder* DecoderOf(CodecHandle* handle)
{
    return dynamic_cast<Rt24Decoder*>(handle->state.get());
}

// 54, 67 or 64 bits by the handle's tag; 0 for another tag.
uint32_t FrameBitsOf(const CodecHandle& handle)
{
    switch (handle.formatTag) {
    case kRt24FormatTag:
        return 54;
    case kRt24Variant67Tag:
        return 67;
    case kRt24Variant64Tag:
        return 64;
    default:
        return 0;
    }
}

CodecResult CheckRingCall(CodecHandle* handle, CodecIO* io, uint32_t& outBits)
{
    if (handle == nullptr || handle->magic != kCodecHandleMagic)
        return kCodecBadHandle;
    outBits = FrameBitsOf(*handle);
    if (outBits == 0)
        return kCodecBadHandle;
    return CheckCodecIO(io);
}

} // namespace

CodecResult Rt24GetInfo(CodecInfo* info)
{
    if (info == nullptr)
        return kCodecNullArgument;
    *info = CodecInfo{};
    info->recordKind = 4;
    std::memcpy(info->version, kVersion, sizeof kVersion);
    info->formatTag = kRt24FormatTag;
    info->secondFormatTag = kRt24InfoSecondTag;
    info->sampleRate = kRt24SampleRate;
    info->bitsPerSample = 16;
    info->frameSamples = kRt24FrameSamples;
    info->channels = 1;
    info->secondCount = 1;
    info->bitRate = kBitRate;
    info->bitsPerFrame[0] = info->bitsPerFrame[1] = info->bitsPerFrame[2] = kRt24FrameBits;
    info->delayFrames = kDelayFrames;
    info->delaySamples = kDelaySamples;
    return kCodecOk;
}

CodecResult Rt24EncoderOpen(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenRt24(handleVar, CodecKind::kEncoder);
}

CodecResult Rt24DecoderOpen(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenRt24(handleVar, CodecKind::kDecoder);
}

CodecResult Rt24Encode(CodecHandle* handle, CodecIO* io)
{
    const CodecResult checked = CheckRt24Frame(handle, io, CodecKind::kEncoder);
    if (checked != kCodecOk)
        return checked;
    auto* const encoder = dynamic_cast<Rt24Encoder*>(handle->state.get());
    auto* const quantiser = dynamic_cast<Rt24Quantiser*>(handle->secondState.get());
    if (encoder == nullptr || quantiser == nullptr)
        return kCodecBadHandle;
    handle->currentIO = io;
    encoder->Analyse(io->samples);
    quantiser->Quantise(encoder->params);
    BitRing ring = WriteRingOf(*io);
    PackRt24Frame(quantiser->indices, ring);
    handle->currentIO = nullptr;
    return kCodecOk;
}

CodecResult Rt24Decode(CodecHandle* handle, CodecIO* io)
{
    const CodecResult checked = CheckRt24Frame(handle, io, CodecKind::kDecoder);
    if (checked != kCodecOk)
        return checked;
    Rt24Decoder* const decoder = DecoderOf(handle);
    auto* const quantiser = dynamic_cast<Rt24Quantiser*>(handle->secondState.get());
    if (decoder == nullptr || quantiser == nullptr)
        return kCodecBadHandle;
    handle->currentIO = io;
    decoder->Decode(*quantiser, *io);
    handle->currentIO = nullptr;
    return kCodecOk;
}

CodecResult Rt24EncoderClose(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kEncoder);
}

CodecResult Rt24DecoderClose(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kDecoder);
}

CodecResult Rt24GetNeedFrame(CodecHandle* handle, uint8_t* out)
{
    Rt24Decoder* decoder = nullptr;
    const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder);
    if (checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    *out = decoder->needFrame;
    return kCodecOk;
}

CodecResult Rt24SetTimeScale(CodecHandle* handle, float scale)
{
    Rt24Decoder* decoder = nullptr;
    const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder);
    if (checked != kCodecOk)
        return checked;
    if (!(scale >= kRt24MinTimeScale && scale <= kRt24MaxTimeScale))
        return kCodecBadTimeScale;
    decoder->timeScale = scale;
    return kCodecOk;
}

CodecResult Rt24GetTimeScale(CodecHandle* handle, float* out)
{
    Rt24Decoder* decoder = nullptr;
    const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder);
    if (checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    *out = decoder->timeScale;
    return kCodecOk;
}

CodecResult Rt24MarkFrameLost(CodecHandle* handle)
{
    Rt24Decoder* decoder = nullptr;
    const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder);
    if (checked != kCodecOk)
        return checked;
    decoder->MarkFrameLost();
    return kCodecOk;
}

CodecResult Rt24GetEnergy(CodecHandle* handle, uint16_t* out)
{
    const CodecResult checked = CheckHandleEitherKind(handle);
    if (checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    *out = kEnergyUnknown;
    if (handle->kind == CodecKind::kEncoder) {
        const auto* const encoder = dynamic_cast<const Rt24Encoder*>(handle->state.get());
        if (encoder == nullptr)
            return kCodecBadHandle;
        const float level = std::log10(encoder->autocorrelation[0] + 1.0f) * 28.333334f;
        *out = static_cast<uint16_t>(std::clamp(level, 0.0f, 65535.0f));
        return kCodecOk;
    }
    if (FrameBitsOf(*handle) == 0)
        return kCodecUnsupported;
    const auto* const quantiser = dynamic_cast<const Rt24Quantiser*>(handle->secondState.get());
    if (quantiser == nullptr)
        return kCodecBadHandle;
    *out = quantiser->indices.energy;
    return kCodecOk;
}

CodecResult Rt24CountFrames(CodecHandle* handle, CodecIO* io, uint32_t* outFrames, uint16_t* outByte, uint8_t* outBit)
{
    uint32_t bits = 0;
    const CodecResult checked = CheckRingCall(handle, io, bits);
    if (checked != kCodecOk)
        return checked;
    if (outFrames == nullptr || outByte == nullptr || outBit == nullptr)
        return kCodecNullArgument;
    *outFrames = CountFrames(*io, bits);
    const RingPosition after = AdvanceFrames(io->startByte, io->startBit, io->codedSize, bits, *outFrames);
    *outByte = after.byteIndex;
    *outBit = after.bitOffset;
    return kCodecOk;
}

CodecResult Rt24SkipFrames(CodecHandle* handle, CodecIO* io, uint32_t frames, uint16_t* outByte, uint8_t* outBit)
{
    uint32_t bits = 0;
    const CodecResult checked = CheckRingCall(handle, io, bits);
    if (checked != kCodecOk)
        return checked;
    if (outByte == nullptr || outBit == nullptr)
        return kCodecNullArgument;
    if (CountFrames(*io, bits) < frames)
        return kCodecBufferTooSmall;
    const RingPosition after = AdvanceFrames(io->startByte, io->startBit, io->codedSize, bits, frames);
    *outByte = after.byteIndex;
    *outBit = after.bitOffset;
    return kCodecOk;
}

CodecResult Rt24GetExtensions(CodecHandle* handle, const Rt24Extensions** out)
{
    if (handle == nullptr || handle->magic != kCodecHandleMagic)
        return kCodecBadHandle;
    if (out == nullptr)
        return kCodecNullArgument;
    if (!handle->extensions) {
        handle->extensions.reset(new (std::nothrow) Rt24Extensions);
        if (!handle->extensions)
            return kCodecOutOfMemory;
    }
    *out = static_cast<const Rt24Extensions*>(handle->extensions.get());
    return kCodecOk;
}

SettingRange Rt24TimeScaleRange()
{
    return {0x3B, kRt24MinTimeScale, kRt24MaxTimeScale};
}

uint32_t Rt24QueryCapability(uint32_t feature, uint32_t* outTag)
{
    if (outTag != nullptr)
        *outTag = kRt24Variant64Tag;
    return feature == 1 || feature == 2 || feature == 4 ? 20 : 0;
}

} // namespace sound
