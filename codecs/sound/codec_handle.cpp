#include "codecs/sound/codec_handle.h"

#include <new>

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

CodecResult CheckCodecIO(const CodecIO* io)
{
    if (io == nullptr)
        return kCodecNullArgument;
    if (io->coded == nullptr)
        return kCodecNoCoded;
    if (io->samples == nullptr)
        return kCodecNoSamples;
    if (io->startByte >= io->codedSize)
        return kCodecBadStartByte;
    if (io->endByte >= io->codedSize)
        return kCodecBadEndByte;
    if (io->startBit > 7)
        return kCodecBadStartBit;
    if (io->endBit > 7)
        return kCodecBadEndBit;
    return kCodecOk;
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
