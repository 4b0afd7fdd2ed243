#pragma once
// The SC36 speech codec as a caller sees it: 8000 Hz 16-bit mono speech in frames of 160 samples, in two variants
// with parallel entry points: 6400 bit/s (a base and an enhancement layer per frame) and 3200 bit/s (the base layer
// alone). Open, one encode or decode call per frame, close; the extension table of control and layer operations.
// Every call returns a CodecResult (codec_handle.h).
#include <cstdint>
#include <memory>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/sc36/sc36_format.h"

namespace sound {

enum class Sc36Variant {
    k6400,
    k3200,
};

inline constexpr uint32_t kSc36Tag6400 = 0x3000006;
inline constexpr uint32_t kSc36Tag3200 = 0x3000003;
inline constexpr uint32_t kSc36BaseLayerTag = 0x3010003;

template <Sc36Variant V> CodecResult Sc36GetInfo(CodecInfo* info);
template <Sc36Variant V> CodecResult Sc36EncoderOpen(std::unique_ptr<CodecHandle>* handleVar); // 6170, 6000
template <Sc36Variant V> CodecResult Sc36DecoderOpen(std::unique_ptr<CodecHandle>* handleVar);
// The record first (6170, 6130, 6125, 6145, 6150, 6135, 6140), then the handle (6100, 6110), then 6500.
template <Sc36Variant V> CodecResult Sc36Encode(CodecHandle* handle, CodecIO* io);
// The handle first (6100, 6115); 6155 and 6185 consume nothing and leave a frame needed.
template <Sc36Variant V> CodecResult Sc36Decode(CodecHandle* handle, CodecIO* io);
template <Sc36Variant V> CodecResult Sc36EncoderClose(std::unique_ptr<CodecHandle>* handleVar);
template <Sc36Variant V> CodecResult Sc36DecoderClose(std::unique_ptr<CodecHandle>* handleVar);
template <Sc36Variant V> const CodecFunctionTable& Sc36Functions();

struct Sc36Capabilities {
    uint32_t flags = 0xFB;
    float minimumTimeScale = 0.5f;
    float maximumTimeScale = 5.0f;
};
CodecResult Sc36GetCapabilities(Sc36Capabilities* out);
using Sc36QueryFunction = uint32_t (*)(uint16_t code, uint32_t* out);
template <Sc36Variant V> uint32_t Sc36Query(uint16_t code, uint32_t* out); // 20 for codes 1, 2, 4, else 0
template <Sc36Variant V> CodecResult Sc36GetQuery(Sc36QueryFunction* out);

// Control operations: 6100 bad handle, 6115 not a decoder (except Sc36GetLevel), 6170 a null out pointer.
CodecResult Sc36IsFrameNeeded(CodecHandle* handle, uint8_t* out);
CodecResult Sc36SetTimeScale(CodecHandle* handle, float factor); // 6165 outside 0.5 .. 5.0
CodecResult Sc36GetTimeScale(CodecHandle* handle, float* out);
CodecResult Sc36MarkFrameLost(CodecHandle* handle);
// 28.333334 log10(m + 1): m the encoder's energy or the mean square of the decoder's last output. The record's
// checks run on the copy kept from the last frame call, never on the caller's record, which may be gone.
CodecResult Sc36GetLevel(CodecHandle* handle, uint16_t* out);
CodecResult Sc36SetDiscontinuity(CodecHandle* handle, uint32_t value);
CodecResult Sc36RequestRepeat(CodecHandle* handle);

// Stream operations on coded rings; none moves a source's read position.
CodecResult Sc36CountFrames(CodecHandle* handle, CodecIO* io, uint32_t* outCount, uint16_t* outEnd, uint8_t* outFlag);
CodecResult Sc36FindFrames(CodecHandle* handle, CodecIO* io, uint32_t frames, uint16_t* outPosition, uint8_t* outFlag);
CodecResult Sc36ExtractLayers(CodecHandle* handle, CodecIO* source, CodecIO* destination, uint32_t mask);
CodecResult Sc36MergeLayers(CodecHandle* handle, CodecIO* source1, CodecIO* source2, CodecIO* destination,
                            uint32_t mask1, uint32_t mask2);
CodecResult Sc36GetStreamLayers(CodecHandle* handle, CodecIO* io, uint32_t* outMask);
CodecResult Sc36SetEncoderLayers(CodecHandle* handle, uint32_t mask);
CodecResult Sc36GetEncoderLayers(CodecHandle* handle, uint32_t* outMask);
CodecResult Sc36GetSupportedLayers(CodecHandle* handle, uint32_t* outMask);
CodecResult Sc36LayersToBitRate(CodecHandle* handle, uint32_t mask, uint16_t* outRate);
CodecResult Sc36BitRateToLayers(CodecHandle* handle, uint16_t rate, uint32_t* outMask);

struct Sc36Extensions : public CodecPart {
    CodecResult (*isFrameNeeded)(CodecHandle*, uint8_t*) = Sc36IsFrameNeeded;
    CodecResult (*setTimeScale)(CodecHandle*, float) = Sc36SetTimeScale;
    CodecResult (*getTimeScale)(CodecHandle*, float*) = Sc36GetTimeScale;
    CodecResult (*markFrameLost)(CodecHandle*) = Sc36MarkFrameLost;
    CodecResult (*getLevel)(CodecHandle*, uint16_t*) = Sc36GetLevel;
    CodecResult (*countFrames)(CodecHandle*, CodecIO*, uint32_t*, uint16_t*, uint8_t*) = Sc36CountFrames;
    CodecResult (*findFrames)(CodecHandle*, CodecIO*, uint32_t, uint16_t*, uint8_t*) = Sc36FindFrames;
    CodecResult (*setDiscontinuity)(CodecHandle*, uint32_t) = Sc36SetDiscontinuity;
    CodecResult (*requestRepeat)(CodecHandle*) = Sc36RequestRepeat;
    CodecResult (*extractLayers)(CodecHandle*, CodecIO*, CodecIO*, uint32_t) = Sc36ExtractLayers;
    CodecResult (*mergeLayers)(CodecHandle*, CodecIO*, CodecIO*, CodecIO*, uint32_t, uint32_t) = Sc36MergeLayers;
    CodecResult (*getStreamLayers)(CodecHandle*, CodecIO*, uint32_t*) = Sc36GetStreamLayers;
    CodecResult (*setEncoderLayers)(CodecHandle*, uint32_t) = Sc36SetEncoderLayers;
    CodecResult (*getEncoderLayers)(CodecHandle*, uint32_t*) = Sc36GetEncoderLayers;
    CodecResult (*getSupportedLayers)(CodecHandle*, uint32_t*) = Sc36GetSupportedLayers;
    CodecResult (*layersToBitRate)(CodecHandle*, uint32_t, uint16_t*) = Sc36LayersToBitRate;
    CodecResult (*bitRateToLayers)(CodecHandle*, uint16_t, uint32_t*) = Sc36BitRateToLayers;
    const LayerSizeTable* layerSizes = nullptr; // null: the default {8, 8, 0}; not owned, outlives the handle
};
// The handle's extension table, made on first request: 6100 bad handle, 6170 null out, 6000 out of memory.
CodecResult Sc36GetExtensions(CodecHandle* handle, Sc36Extensions** out);
CodecResult Sc36FreeExtensions(CodecHandle* handle);

} // namespace sound
