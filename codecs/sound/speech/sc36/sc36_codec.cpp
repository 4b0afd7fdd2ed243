#include "codecs/sound/speech/sc36/sc36_codec.h"

#include <cmath>
#include <cstring>
#include <new>
#include <span>

#include "codecs/sound/fft.h"
#include "codecs/sound/speech/bit_ring.h"
#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/sc36/sc36_decoder.h"
#include "codecs/sound/speech/sc36/sc36_encoder.h"

namespace sound {

namespace {

constexpr char kVersion[] = "SC.01.08.00";
constexpr float kMinimumTimeScale = 0.5f;
constexpr float kMaximumTimeScale = 5.0f;

constexpr uint32_t TagOf(Sc36Variant v)
{
    return v == Sc36Variant::k6400 ? kSc36Tag6400 : kSc36Tag3200;
}

constexpr uint32_t VariantBit(Sc36Variant v)
{
    return v == Sc36Variant::k6400 ? 2u : 1u;
}

// What a frame call leaves behind for Sc36GetLevel: the record's checked fields (never a pointer to the caller's
// record, which may be gone by then) and, for a decoder, what it wrote.
struct Sc36CallRecord : public CodecPart {
    bool seen = false;
    CodecIO copy;
    uint16_t sampleCount = 0;
    double meanSquare = 0.0;
};

// Clears the handle's current record when the call returns, however it returns.
class CurrentRecord {
public:
    CurrentRecord(CodecHandle& handle, CodecIO* io) : m_handle(handle) { handle.currentIO = io; }
    ~CurrentRecord() { m_handle.currentIO = nullptr; }
    CurrentRecord(const CurrentRecord&) = delete;
    CurrentRecord& operator=(const CurrentRecord&) = delete;

private:
    CodecHandle& m_handle;
};

void KeepRecord(CodecHandle& handle, const CodecIO& io)
{
    if (auto* record = dynamic_cast<Sc36CallRecord*>(handle.secondState.get())) {
        record->seen = true;
        record->copy = io;
        // The copy keeps whether the buffers were there, never where: they are the caller's and may be gone.
        static int16_t presentSamples = 0;
        static uint8_t presentCoded = 0;
        record->copy.samples = io.samples != nullptr ? &presentSamples : nullptr;
        record->copy.coded = io.coded != nullptr ? &presentCoded : nullptr;
        record->sampleCount = io.sampleCount;
    }
}

Sc36Encoder* EncoderOf(CodecHandle* handle)
{
    return dynamic_cast<Sc36Encoder*>(handle->state.get());
}

Sc36Decoder* DecoderOf(CodecHandle* handle)
{
    return dynamic_cast<Sc36Decoder*>(handle->state.get());
}

bool IsGoodHandle(const CodecHandle* handle)
{
    return handle != nullptr && handle->magic == kCodecHandleMagic;
}

const LayerSizeTable& LayerSizesOf(const CodecHandle* handle)
{
    if (handle != nullptr && handle->magic == kCodecHandleMagic) {
        if (const auto* ext = dynamic_cast<const Sc36Extensions*>(handle->extensions.get()))
            if (ext->layerSizes != nullptr)
                return *ext->layerSizes;
    }
    return DefaultLayerSizes();
}

std::span<const uint8_t> RingOf(const CodecIO& io)
{
    return {io.coded, io.codedSize};
}

// Builds the transforms of this kind's orders now, so that no frame allocates.
bool PrepareTransforms(CodecKind kind)
{
    float buffer[(1 << 9) + 2] = {};
    if (kind == CodecKind::kEncoder)
        return RealFFT(buffer, 9, FFT_INIT_ONLY) && RealFFT(std::span<float>(buffer, 66), 6, FFT_INIT_ONLY) &&
               RealFFT(std::span<float>(buffer, 130), 7, FFT_INIT_ONLY);
    return RealFFT(std::span<float>(buffer, 130), 7, FFT_INIT_ONLY) &&
           RealFFT(std::span<float>(buffer, 258), 8, FFT_INIT_ONLY);
}

template <Sc36Variant V> bool BuildEncoder(CodecHandle& handle)
{
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    if (!registry)
        return false;
    ProbeRegistry& reg = *registry;
    handle.probeRegistry = std::move(registry);
    if (RegisterConstant16(reg, kSc36FrameSamples, "frame length") == nullptr ||
        RegisterConstant16(reg, kSc36SampleRate, "rate") == nullptr)
        return false;
    std::unique_ptr<Sc36Encoder> encoder = Sc36Encoder::Create(reg);
    if (!encoder)
        return false;
    if (V == Sc36Variant::k6400) {
        encoder->SetCapability(3);
        encoder->SetCurrentLayers(2);
    }
    handle.state = std::move(encoder);
    handle.secondState = std::make_unique<Sc36CallRecord>();
    handle.functions = std::make_unique<CodecFunctionTable>(Sc36Functions<V>());
    return handle.secondState && handle.functions && PrepareTransforms(CodecKind::kEncoder);
}

template <Sc36Variant V> bool BuildDecoder(CodecHandle& handle)
{
    handle.probeRegistry = CreateProbeRegistry();
    if (!handle.probeRegistry)
        return false;
    handle.state = Sc36Decoder::Create(V == Sc36Variant::k6400);
    handle.secondState = std::make_unique<Sc36CallRecord>();
    handle.functions = std::make_unique<CodecFunctionTable>(Sc36Functions<V>());
    return handle.state && handle.secondState && handle.functions && PrepareTransforms(CodecKind::kDecoder);
}

// The ring bytes of one layer, read through the bit ring at the read position.
void ReadLayer(CodecIO& io, uint8_t* out)
{
    BitRing ring = ReadRingOf(io);
    for (int i = 0; i < kSc36LayerBytes; ++i)
        UnpackBits(ring, out[i], 8);
}

// Reads a frame's layers at a frame boundary: 6155 and 6185 leave the ring as it was.
CodecResult ReadFrame(CodecHandle& handle, Sc36Decoder& decoder, CodecIO& io, bool enhanced)
{
    const LayerSizeTable& sizes = LayerSizesOf(&handle);
    const int32_t end = ScanFrames(RingOf(io), io.startByte, io.endByte, 1, sizes);
    if (end == -1)
        return kCodecBufferTooSmall;
    if (end < 0)
        return kCodecBadFrame;
    uint8_t* bytes = decoder.FrameBytes().data();
    ReadLayer(io, bytes);
    if ((bytes[7] & 0x80u) == 0)
        return kCodecOk;
    if (enhanced)
        ReadLayer(io, bytes + kSc36LayerBytes);
    else
        io.startByte = static_cast<uint16_t>(end); // the enhancement layer is skipped whole
    return kCodecOk;
}

// The frame's values from the frame bytes, as every call of the frame reads them.
CodecResult FrameParamsOf(Sc36Decoder& decoder, bool enhanced, Sc36FrameParams& out)
{
    const uint8_t* bytes = decoder.FrameBytes().data();
    Sc36Indices indices;
    UnpackBaseLayer(std::span<const uint8_t, kSc36LayerBytes>(bytes, kSc36LayerBytes), indices);
    DequantiseBase(indices, decoder.PreviousEnd(), Sc36CodingTables(), out);
    const bool continues = (bytes[7] & 0x80u) != 0;
    if (enhanced && continues) {
        if ((decoder.Capability() & 2u) == 0)
            return kCodecUnsupported;
        decoder.SetCurrentLayers(2);
        UnpackEnhancementLayer(std::span<const uint8_t, kSc36LayerBytes>(bytes + kSc36LayerBytes, kSc36LayerBytes),
                               indices);
        DequantiseEnhancement(indices, Sc36CodingTables(), out);
        return kCodecOk;
    }
    if ((decoder.Capability() & 1u) == 0)
        return kCodecUnsupported;
    decoder.SetCurrentLayers(1);
    return kCodecOk;
}

template <Sc36Variant V> CodecResult DecodeFrame(CodecHandle& handle, Sc36Decoder& decoder, CodecIO* io)
{
    constexpr bool kEnhanced = V == Sc36Variant::k6400;
    Sc36FrameParams params;
    const Sc36FrameParams* frame = nullptr;
    if (decoder.Loss().present != 0) {
        const CodecResult checked = CheckCodecIO(io);
        if (checked != kCodecOk)
            return checked;
        if (decoder.IsFrameNeeded()) {
            const CodecResult read = ReadFrame(handle, decoder, *io, kEnhanced);
            if (read != kCodecOk)
                return read;
        }
        const CodecResult unpacked = FrameParamsOf(decoder, kEnhanced, params);
        if (unpacked != kCodecOk)
            return unpacked;
        frame = &params;
    } else {
        if (io == nullptr)
            return kCodecNullArgument;
        if (io->samples == nullptr)
            return kCodecNoSamples;
        if ((decoder.Capability() & 1u) == 0)
            return kCodecUnsupported;
    }
    io->sampleCount = decoder.DecodeCall(frame, io->samples);
    KeepRecord(handle, *io);
    if (auto* record = dynamic_cast<Sc36CallRecord*>(handle.secondState.get())) {
        double sum = 0.0;
        for (int i = 0; i < io->sampleCount; ++i)
            sum += static_cast<double>(io->samples[i]) * io->samples[i];
        record->meanSquare = io->sampleCount > 0 ? sum / io->sampleCount : 0.0;
    }
    return kCodecOk;
}

} // namespace

template <Sc36Variant V> CodecResult Sc36GetInfo(CodecInfo* info)
{
    if (info == nullptr)
        return kCodecNullArgument;
    constexpr bool kEnhanced = V == Sc36Variant::k6400;
    *info = {};
    info->recordKind = 4;
    std::memcpy(info->version, kVersion, sizeof kVersion);
    info->formatTag = TagOf(V);
    info->secondFormatTag = kSc36BaseLayerTag;
    info->sampleRate = kSc36SampleRate;
    info->bitsPerSample = 16;
    info->frameSamples = kSc36FrameSamples;
    info->channels = 1;
    info->secondCount = 1;
    info->bitRate = kEnhanced ? 6400 : 3200;
    const uint32_t bits = kEnhanced ? 128 : 64;
    info->bitsPerFrame[0] = info->bitsPerFrame[1] = info->bitsPerFrame[2] = bits;
    info->delayFrames = 1;   // the 145-sample look-ahead in whole frames
    info->delaySamples = 15; // 160 - 145
    return kCodecOk;
}

template <Sc36Variant V> CodecResult Sc36EncoderOpen(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenBuiltCodecHandle(handleVar, CodecKind::kEncoder, TagOf(V), kSc36BaseLayerTag, BuildEncoder<V>);
}

template <Sc36Variant V> CodecResult Sc36DecoderOpen(std::unique_ptr<CodecHandle>* handleVar)
{
    return OpenBuiltCodecHandle(handleVar, CodecKind::kDecoder, TagOf(V), kSc36BaseLayerTag, BuildDecoder<V>);
}

template <Sc36Variant V> CodecResult Sc36Encode(CodecHandle* handle, CodecIO* io)
{
    const CodecResult checked = CheckFrameCall(handle, io, CodecKind::kEncoder, FrameCheckOrder::kRecordFirst);
    if (checked != kCodecOk)
        return checked;
    Sc36Encoder* encoder = EncoderOf(handle);
    if (encoder == nullptr)
        return kCodecBadHandle;
    const CurrentRecord current(*handle, io);
    if ((encoder->Capability() & VariantBit(V)) == 0)
        return kCodecUnsupported;
    Sc36FrameParams params;
    if (encoder->AnalyseFrame(io->samples, params) != 0)
        return kCodecUnsupported;
    const Sc36Tables& tables = Sc36CodingTables();
    Sc36Indices indices = QuantiseBase(params, encoder->Previous(), tables);
    const bool enhanced = V == Sc36Variant::k6400 && encoder->CurrentLayers() != 1;
    if (enhanced)
        QuantiseEnhancement(params, indices, tables);
    encoder->Previous() = {params.pitchEnd, params.voicingEnd};
    BitRing ring = WriteRingOf(*io);
    for (const uint8_t byte : PackBaseLayer(indices, enhanced))
        PackBits(ring, byte, 8);
    if (enhanced)
        for (const uint8_t byte : PackEnhancementLayer(indices))
            PackBits(ring, byte, 8);
    KeepRecord(*handle, *io);
    return kCodecOk;
}

template <Sc36Variant V> CodecResult Sc36Decode(CodecHandle* handle, CodecIO* io)
{
    Sc36Decoder* decoder = nullptr;
    const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder);
    if (checked != kCodecOk)
        return checked;
    const CurrentRecord current(*handle, io);
    return DecodeFrame<V>(*handle, *decoder, io);
}

template <Sc36Variant V> CodecResult Sc36EncoderClose(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kEncoder);
}

template <Sc36Variant V> CodecResult Sc36DecoderClose(std::unique_ptr<CodecHandle>* handleVar)
{
    return CloseTransformingCodecHandle(handleVar, CodecKind::kDecoder);
}

template <Sc36Variant V> const CodecFunctionTable& Sc36Functions()
{
    static const CodecFunctionTable table = {Sc36GetInfo<V>,     Sc36Encode<V>,      Sc36Decode<V>,
                                             Sc36EncoderOpen<V>, Sc36DecoderOpen<V>, Sc36EncoderClose<V>,
                                             Sc36DecoderClose<V>};
    return table;
}

template <Sc36Variant V> uint32_t Sc36Query(uint16_t code, uint32_t* out)
{
    if (out != nullptr)
        *out = TagOf(V);
    return code == 1 || code == 2 || code == 4 ? 20 : 0;
}

template <Sc36Variant V> CodecResult Sc36GetQuery(Sc36QueryFunction* out)
{
    if (out == nullptr)
        return kCodecNullArgument;
    *out = Sc36Query<V>;
    return kCodecOk;
}

#define SC36_INSTANTIATE(V)                                                                                            \
    template CodecResult Sc36GetInfo<V>(CodecInfo*);                                                                   \
    template CodecResult Sc36EncoderOpen<V>(std::unique_ptr<CodecHandle>*);                                            \
    template CodecResult Sc36DecoderOpen<V>(std::unique_ptr<CodecHandle>*);                                            \
    template CodecResult Sc36Encode<V>(CodecHandle*, CodecIO*);                                                        \
    template CodecResult Sc36Decode<V>(CodecHandle*, CodecIO*);                                                        \
    template CodecResult Sc36EncoderClose<V>(std::unique_ptr<CodecHandle>*);                                           \
    template CodecResult Sc36DecoderClose<V>(std::unique_ptr<CodecHandle>*);                                           \
    template const CodecFunctionTable& Sc36Functions<V>();                                                             \
    template uint32_t Sc36Query<V>(uint16_t, uint32_t*);                                                               \
    template CodecResult Sc36GetQuery<V>(Sc36QueryFunction*);
SC36_INSTANTIATE(Sc36Variant::k6400)
SC36_INSTANTIATE(Sc36Variant::k3200)
#undef SC36_INSTANTIATE

CodecResult Sc36GetCapabilities(Sc36Capabilities* out)
{
    if (out == nullptr)
        return kCodecNullArgument;
    *out = {};
    return kCodecOk;
}

CodecResult Sc36IsFrameNeeded(CodecHandle* handle, uint8_t* out)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    *out = decoder->IsFrameNeeded() ? 1 : 0;
    return kCodecOk;
}

CodecResult Sc36SetTimeScale(CodecHandle* handle, float factor)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    if (!(factor >= kMinimumTimeScale && factor <= kMaximumTimeScale))
        return kCodecBadTimeScale;
    decoder->RequestTimeScale(factor);
    return kCodecOk;
}

CodecResult Sc36GetTimeScale(CodecHandle* handle, float* out)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    *out = decoder->RequestedTimeScale();
    return kCodecOk;
}

CodecResult Sc36MarkFrameLost(CodecHandle* handle)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    decoder->Loss().present = 0;
    return kCodecOk;
}

CodecResult Sc36GetLevel(CodecHandle* handle, uint16_t* out)
{
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    const auto* record = dynamic_cast<const Sc36CallRecord*>(handle->secondState.get());
    if (record == nullptr || !record->seen)
        return kCodecNullArgument;
    if (const CodecResult checked = CheckCodecIO(&record->copy); checked != kCodecOk)
        return checked;
    if (out == nullptr)
        return kCodecNullArgument;
    double meanSquare = 0.0;
    if (const Sc36Encoder* encoder = EncoderOf(handle))
        meanSquare = encoder->Energy();
    else if (record->sampleCount != 0)
        meanSquare = record->meanSquare;
    *out = static_cast<uint16_t>(28.333334 * std::log10(meanSquare + 1.0));
    return kCodecOk;
}

CodecResult Sc36SetDiscontinuity(CodecHandle* handle, uint32_t value)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    decoder->RequestDiscontinuity(value);
    return kCodecOk;
}

CodecResult Sc36RequestRepeat(CodecHandle* handle)
{
    Sc36Decoder* decoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kDecoder, decoder); checked != kCodecOk)
        return checked;
    decoder->RequestRepeat();
    return kCodecOk;
}

CodecResult Sc36CountFrames(CodecHandle* handle, CodecIO* io, uint32_t* outCount, uint16_t* outEnd, uint8_t* outFlag)
{
    if (const CodecResult checked = CheckCodecIO(io); checked != kCodecOk)
        return checked;
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    if (outCount == nullptr || outEnd == nullptr || outFlag == nullptr)
        return kCodecNullArgument;
    const LayerSizeTable& sizes = LayerSizesOf(handle);
    uint32_t count = 0;
    uint32_t position = io->startByte;
    while (position != io->endByte) {
        const int32_t next = ScanFrames(RingOf(*io), position, io->endByte, 1, sizes);
        if (next < 0)
            break;
        position = static_cast<uint32_t>(next);
        ++count;
    }
    *outCount = count;
    *outEnd = static_cast<uint16_t>(position);
    *outFlag = 0;
    return kCodecOk;
}

CodecResult Sc36FindFrames(CodecHandle* handle, CodecIO* io, uint32_t frames, uint16_t* outPosition, uint8_t* outFlag)
{
    if (const CodecResult checked = CheckCodecIO(io); checked != kCodecOk)
        return checked;
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    if (outPosition == nullptr || outFlag == nullptr)
        return kCodecNullArgument;
    const int32_t end = ScanFrames(RingOf(*io), io->startByte, io->endByte, frames, LayerSizesOf(handle));
    if (end == -1)
        return kCodecBufferTooSmall;
    if (end < 0)
        return kCodecBadFrame;
    *outPosition = static_cast<uint16_t>(end);
    *outFlag = 0;
    return kCodecOk;
}

namespace {

// Appends one byte at the destination's write position; false when the ring would fill up.
bool AppendByte(CodecIO& destination, uint8_t byte)
{
    const uint16_t next = static_cast<uint16_t>((destination.endByte + 1) % destination.codedSize);
    if (next == destination.startByte)
        return false;
    destination.coded[destination.endByte] = byte;
    destination.endByte = next;
    return true;
}

uint32_t HeldBytes(const CodecIO& io)
{
    // Equal positions are an empty ring, as every reader and writer of the ring sees it.
    return (io.endByte + io.codedSize - io.startByte) % io.codedSize;
}

} // namespace

CodecResult Sc36ExtractLayers(CodecHandle* handle, CodecIO* source, CodecIO* destination, uint32_t mask)
{
    if (const CodecResult checked = CheckCodecRing(source); checked != kCodecOk)
        return checked;
    if (const CodecResult checked = CheckCodecRing(destination); checked != kCodecOk)
        return checked;
    const LayerSizeTable& sizes = LayerSizesOf(handle);
    destination->endByte = destination->startByte;
    destination->endBit = destination->startBit;
    uint32_t skip = 0;
    uint32_t take = 0;
    if (IsPrefixLayerMask(mask, sizes)) {
        take = LayerMaskBytes(mask, sizes);
    } else if (IsSingleLayerMask(mask)) {
        skip = LayerMaskBytes(mask - 1, sizes);
        take = LayerMaskBytes(mask, sizes);
    } else {
        return kCodecBadLayers;
    }
    if (take == 0)
        return kCodecBadLayers;
    uint32_t position = source->startByte;
    while (position != source->endByte) {
        const int32_t end = ScanFrames(RingOf(*source), position, source->endByte, 1, sizes);
        if (end < 0)
            return kCodecBadFrame;
        const uint32_t length = (static_cast<uint32_t>(end) + source->codedSize - position) % source->codedSize;
        const uint32_t frameBytes = length == 0 ? source->codedSize : length;
        uint32_t copied = 0;
        for (uint32_t i = skip; i < frameBytes && copied < take; ++i, ++copied) {
            uint8_t byte = source->coded[(position + i) % source->codedSize];
            if (copied + 1 == take || i + 1 == frameBytes)
                byte &= 0x7F; // the last byte taken ends the frame
            if (!AppendByte(*destination, byte))
                return kCodecBadStream;
        }
        position = static_cast<uint32_t>(end);
    }
    return kCodecOk;
}

CodecResult Sc36MergeLayers(CodecHandle* handle, CodecIO* source1, CodecIO* source2, CodecIO* destination,
                            uint32_t mask1, uint32_t mask2)
{
    for (const CodecIO* io : {source1, source2, destination})
        if (const CodecResult checked = CheckCodecRing(io); checked != kCodecOk)
            return checked;
    const LayerSizeTable& sizes = LayerSizesOf(handle);
    if ((mask1 & mask2) != 0 || !IsPrefixLayerMask(mask1 | mask2, sizes))
        return kCodecBadLayers;
    if ((mask1 & 1u) == 0) {
        std::swap(source1, source2);
        std::swap(mask1, mask2);
    }
    const uint32_t bytes1 = LayerMaskBytes(mask1, sizes);
    const uint32_t bytes2 = LayerMaskBytes(mask2, sizes);
    if (bytes1 == 0 || bytes2 == 0)
        return kCodecBadLayers;
    const uint32_t held1 = HeldBytes(*source1);
    const uint32_t held2 = HeldBytes(*source2);
    if (held1 % bytes1 != 0 || held2 % bytes2 != 0)
        return kCodecBadFrame;
    const uint32_t frames = held1 / bytes1;
    if (held2 / bytes2 != frames)
        return kCodecBadStream;
    uint32_t room = (destination->startByte + destination->codedSize - destination->endByte) % destination->codedSize;
    if (room == 0)
        room = destination->codedSize;
    if (room <= frames * (bytes1 + bytes2))
        return kCodecBadStream;
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t i = 0; i < bytes1; ++i) {
            uint8_t byte = source1->coded[(source1->startByte + f * bytes1 + i) % source1->codedSize];
            if (i + 1 == bytes1)
                byte |= 0x80u;
            AppendByte(*destination, byte);
        }
        for (uint32_t i = 0; i < bytes2; ++i)
            AppendByte(*destination, source2->coded[(source2->startByte + f * bytes2 + i) % source2->codedSize]);
    }
    return kCodecOk;
}

CodecResult Sc36GetStreamLayers(CodecHandle* handle, CodecIO* io, uint32_t* outMask)
{
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    if (const CodecResult checked = CheckCodecIO(io); checked != kCodecOk)
        return checked;
    if (outMask == nullptr)
        return kCodecNullArgument;
    *outMask = 0;
    const LayerSizeTable& sizes = LayerSizesOf(handle);
    uint32_t mask = 0;
    uint32_t position = io->startByte;
    while (position != io->endByte) {
        const int32_t end = ScanFrames(RingOf(*io), position, io->endByte, 1, sizes);
        if (end < 0)
            return kCodecBadFrame;
        const uint32_t length = (static_cast<uint32_t>(end) + io->codedSize - position) % io->codedSize;
        mask |= BytesToLayerMask(static_cast<int32_t>(length == 0 ? io->codedSize : length), sizes);
        position = static_cast<uint32_t>(end);
    }
    *outMask = mask;
    return kCodecOk;
}

CodecResult Sc36SetEncoderLayers(CodecHandle* handle, uint32_t mask)
{
    Sc36Encoder* encoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kEncoder, encoder); checked != kCodecOk)
        return checked;
    if (!IsPrefixLayerMask(mask, LayerSizesOf(handle)))
        return kCodecBadLayers;
    const uint32_t capability = encoder->Capability();
    if (mask >= 2) {
        if ((capability & 2u) != 0) {
            encoder->SetCurrentLayers(2);
            return kCodecOk;
        }
        if ((capability & 1u) != 0)
            encoder->SetCurrentLayers(1);
        return kCodecBadLayerMask;
    }
    if ((capability & 1u) == 0)
        return kCodecBadLayerMask;
    encoder->SetCurrentLayers(1);
    return kCodecOk;
}

CodecResult Sc36GetEncoderLayers(CodecHandle* handle, uint32_t* outMask)
{
    Sc36Encoder* encoder = nullptr;
    if (const CodecResult checked = CheckHandleState(handle, CodecKind::kEncoder, encoder); checked != kCodecOk)
        return checked;
    if (outMask == nullptr)
        return kCodecNullArgument;
    *outMask = (1u << encoder->CurrentLayers()) - 1;
    return kCodecOk;
}

CodecResult Sc36GetSupportedLayers(CodecHandle* handle, uint32_t* outMask)
{
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    if (outMask == nullptr)
        return kCodecNullArgument;
    *outMask = 0;
    if (const Sc36Encoder* encoder = EncoderOf(handle); encoder != nullptr && handle->kind == CodecKind::kEncoder)
        *outMask = encoder->Capability();
    else if (const Sc36Decoder* decoder = DecoderOf(handle); decoder != nullptr && handle->kind == CodecKind::kDecoder)
        *outMask = decoder->Capability();
    else
        return kCodecBadKind;
    return kCodecOk;
}

CodecResult Sc36LayersToBitRate(CodecHandle* handle, uint32_t mask, uint16_t* outRate)
{
    if (outRate == nullptr)
        return kCodecNullArgument;
    *outRate =
        static_cast<uint16_t>(LayerMaskBytes(mask, LayerSizesOf(handle)) * 8 * kSc36SampleRate / kSc36FrameSamples);
    return kCodecOk;
}

CodecResult Sc36BitRateToLayers(CodecHandle* handle, uint16_t rate, uint32_t* outMask)
{
    if (outMask == nullptr)
        return kCodecNullArgument;
    *outMask = BytesToLayerMask(static_cast<int32_t>(static_cast<float>(rate) * 0.0025f), LayerSizesOf(handle));
    return kCodecOk;
}

CodecResult Sc36GetExtensions(CodecHandle* handle, Sc36Extensions** out)
{
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    if (out == nullptr)
        return kCodecNullArgument;
    if (!handle->extensions) {
        try {
            handle->extensions = std::make_unique<Sc36Extensions>();
        } catch (const std::bad_alloc&) {
            return kCodecOutOfMemory;
        }
    }
    *out = dynamic_cast<Sc36Extensions*>(handle->extensions.get());
    return *out != nullptr ? kCodecOk : kCodecBadHandle;
}

CodecResult Sc36FreeExtensions(CodecHandle* handle)
{
    if (!IsGoodHandle(handle))
        return kCodecBadHandle;
    handle->extensions.reset();
    return kCodecOk;
}

} // namespace sound
