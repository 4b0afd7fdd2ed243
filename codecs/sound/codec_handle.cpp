#include "codecs/sound/codec_handle.h"

#include <new>

#include "codecs/sound/fft_tables.h"

namespace sound {

CodecResult OpenCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind, uint32_t formatTag,
                            uint32_t secondFormatTag)
{
    if (handleVar == nullptr)
        return kCodecNullArgument;
    handleVar->reset();
    try {
        *handleVar = std::make_unique<CodecHandle>();
    } catch (const std::bad_alloc&) {
        return kCodecOutOfMemory;
    }
    CodecHandle& handle = **handleVar;
    handle.kind = kind;
    handle.magic = kCodecHandleMagic;
    handle.formatTag = formatTag;
    handle.secondFormatTag = secondFormatTag;
    return kCodecOk;
}

CodecResult OpenBuiltCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind, uint32_t formatTag,
                                 uint32_t secondFormatTag, const std::function<bool(CodecHandle&)>& build)
{
    const CodecResult opened = OpenCodecHandle(handleVar, kind, formatTag, secondFormatTag);
    if (opened != kCodecOk)
        return opened;
    bool built = false;
    try {
        built = build(**handleVar);
    } catch (const std::bad_alloc&) {
        built = false;
    }
    if (built)
        return kCodecOk;
    // Whatever was made goes with the handle; the caller's variable ends null.
    CloseCodecHandle(handleVar, kind);
    return kCodecOutOfMemory;
}

CodecResult CloseCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind)
{
    if (handleVar == nullptr)
        return kCodecNullArgument;
    const CodecResult checked = CheckHandle(handleVar->get(), kind);
    if (checked != kCodecOk)
        return checked;
    // A stale copy of the pointer that reaches a later call then fails on the magic, not on freed fields.
    (*handleVar)->magic = 0;
    handleVar->reset();
    return kCodecOk;
}

CodecResult CloseTransformingCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind)
{
    const CodecResult closed = CloseCodecHandle(handleVar, kind);
    if (closed == kCodecOk)
        FreeTransformTables();
    return closed;
}

CodecResult CheckHandle(const CodecHandle* handle, CodecKind kind)
{
    if (handle == nullptr || handle->magic != kCodecHandleMagic)
        return kCodecBadHandle;
    if (handle->kind != kind)
        return kind == CodecKind::kEncoder ? kCodecNotEncoder : kCodecNotDecoder;
    return kCodecOk;
}

CodecResult CheckHandleEitherKind(const CodecHandle* handle)
{
    if (handle == nullptr || handle->magic != kCodecHandleMagic)
        return kCodecBadHandle;
    if (handle->kind != CodecKind::kEncoder && handle->kind != CodecKind::kDecoder)
        return kCodecBadKind;
    return kCodecOk;
}

namespace {

// The record's positions against its ring, checked after its buffers.
CodecResult CheckRingPositions(const CodecIO& io)
{
    if (io.startByte >= io.codedSize)
        return kCodecBadStartByte;
    if (io.endByte >= io.codedSize)
        return kCodecBadEndByte;
    if (io.startBit > 7)
        return kCodecBadStartBit;
    if (io.endBit > 7)
        return kCodecBadEndBit;
    return kCodecOk;
}

} // namespace

CodecResult CheckCodecIO(const CodecIO* io)
{
    if (io == nullptr)
        return kCodecNullArgument;
    if (io->coded == nullptr)
        return kCodecNoCoded;
    if (io->samples == nullptr)
        return kCodecNoSamples;
    return CheckRingPositions(*io);
}

CodecResult CheckCodecRing(const CodecIO* io)
{
    if (io == nullptr)
        return kCodecNullArgument;
    if (io->coded == nullptr)
        return kCodecNoCoded;
    return CheckRingPositions(*io);
}

CodecResult CheckFrameCall(const CodecHandle* handle, const CodecIO* io, CodecKind kind, FrameCheckOrder order)
{
    if (order == FrameCheckOrder::kHandleFirst) {
        const CodecResult handleResult = CheckHandle(handle, kind);
        return handleResult != kCodecOk ? handleResult : CheckCodecIO(io);
    }
    const CodecResult ioResult = CheckCodecIO(io);
    return ioResult != kCodecOk ? ioResult : CheckHandle(handle, kind);
}

} // namespace sound
