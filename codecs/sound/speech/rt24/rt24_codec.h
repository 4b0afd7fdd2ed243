#pragma once
// The RT24 speech codec as a caller sees it: 8000 Hz 16-bit mono speech, frames of 180 samples coded in 54 bits
// (2400 bit/s). Open, one encode or decode call per frame, close; the settings table of a decoder (time scale,
// lost frames) and the frame arithmetic on the coded ring. Every call returns a CodecResult (codec_handle.h).
#include <cstdint>
#include <memory>

#include "codecs/sound/codec_handle.h"

namespace sound {

inline constexpr uint32_t kRt24FormatTag = 0x1000001;
inline constexpr uint32_t kRt24SecondTag = 0x1000002; // the handle's; get-info reports 2
inline constexpr uint32_t kRt24InfoSecondTag = 2;
inline constexpr uint32_t kRt24Variant67Tag = 0x1000010; // 67-bit frames
inline constexpr uint32_t kRt24Variant64Tag = 0x1000011; // 64-bit frames

CodecResult Rt24GetInfo(CodecInfo* info);                             // 6170 for null
CodecResult Rt24EncoderOpen(std::unique_ptr<CodecHandle>* handleVar); // 6000 leaves the variable null
CodecResult Rt24DecoderOpen(std::unique_ptr<CodecHandle>* handleVar); // time scale 1, a frame needed
// Checks: 6100 handle (null, magic, tag), 6110 kind, then the record: 6170, 6130, 6125, 6145, 6150, 6135, 6140.
CodecResult Rt24Encode(CodecHandle* handle, CodecIO* io); // 180 samples in, 54 bits at the end position
CodecResult Rt24Decode(CodecHandle* handle, CodecIO* io); // the same with 6115; 180 or 0 samples out
CodecResult Rt24EncoderClose(std::unique_ptr<CodecHandle>* handleVar);
CodecResult Rt24DecoderClose(std::unique_ptr<CodecHandle>* handleVar);

// The settings table. The first four need a decoder: 6100 bad handle, 6115 an encoder, 6170 a null out pointer.
CodecResult Rt24GetNeedFrame(CodecHandle* handle, uint8_t* out); // 1 when the next decode reads a frame
CodecResult Rt24SetTimeScale(CodecHandle* handle, float scale);  // 6165 outside 0.2 .. 5.0
CodecResult Rt24GetTimeScale(CodecHandle* handle, float* out);
CodecResult Rt24MarkFrameLost(CodecHandle* handle); // the next decode synthesises a lost frame
// Either kind; out is 0xFFFF until set. Encoder: log10(energy + 1) x 28.333334; decoder: the last energy index.
CodecResult Rt24GetEnergy(CodecHandle* handle, uint16_t* out);
// Either kind; the frame size follows the handle's tag (54, 67 or 64 bits; 6100 for another), then the record's
// checks and 6170 for a null out pointer.
CodecResult Rt24CountFrames(CodecHandle* handle, CodecIO* io, uint32_t* outFrames, uint16_t* outByte, uint8_t* outBit);
CodecResult Rt24SkipFrames(CodecHandle* handle, CodecIO* io, uint32_t frames, uint16_t* outByte, uint8_t* outBit);

struct Rt24Extensions : public CodecPart {
    CodecResult (*getNeedFrame)(CodecHandle*, uint8_t*) = Rt24GetNeedFrame;
    CodecResult (*setTimeScale)(CodecHandle*, float) = Rt24SetTimeScale;
    CodecResult (*getTimeScale)(CodecHandle*, float*) = Rt24GetTimeScale;
    CodecResult (*markFrameLost)(CodecHandle*) = Rt24MarkFrameLost;
    CodecResult (*getEnergy)(CodecHandle*, uint16_t*) = Rt24GetEnergy;
    CodecResult (*countFrames)(CodecHandle*, CodecIO*, uint32_t*, uint16_t*, uint8_t*) = Rt24CountFrames;
    CodecResult (*skipFrames)(CodecHandle*, CodecIO*, uint32_t, uint16_t*, uint8_t*) = Rt24SkipFrames;
};
// The handle's settings table, made on first request: 6100 bad handle, 6170 null out, 6000 out of memory.
CodecResult Rt24GetExtensions(CodecHandle* handle, const Rt24Extensions** out);

struct SettingRange {
    uint8_t flags = 0;
    float minimum = 0.0f;
    float maximum = 0.0f;
};
SettingRange Rt24TimeScaleRange(); // flags 0x3B, 0.2 .. 5.0
// 20 for the features 1, 2 and 4, else 0; outTag (may be null) is always 0x1000011.
uint32_t Rt24QueryCapability(uint32_t feature, uint32_t* outTag);

} // namespace sound
