#pragma once
// The RT24 frame loops: 180-sample frames coded in 54 bits each, stored back to back least significant bit first
// with no gap, the last byte filled up with zero bits; and the stored bits decoded back through a 9-byte ring.
//
// After the sound's frames (the last one short and zero-filled, or silent when the sample count is a multiple of
// 180) come three frames of zeros, so that the codec's delay does not cut the sound's end; the flush of the last
// byte goes with the last of them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/wave_frame_stream.h"

namespace sound {

inline constexpr int kRt24FlushFrames = 3;
// A stored sound's head before its frames: u16 bits per sample, u16 channels, u32 sample rate.
inline constexpr size_t kRt24StoredHeaderBytes = 8;

// The bits a frame leaves for the next one: the packer belongs to one stream, so two streams pack at once.
struct Rt24BitPacker {
    uint8_t accumulator = 0;
    uint32_t pendingBits = 0; // 0..8
};

// Appends the low bitCount bits of bytes (least significant bit of bytes[0] first) after the pending ones; with
// flush, a last partial byte goes out too. Bits of bytes above bitCount must be zero. False: the sink refused.
bool Rt24PackBits(std::span<const uint8_t> bytes, WaveFrameSink& sink, uint32_t bitCount, bool flush,
                  Rt24BitPacker& packer);

// What a tool or test may change; the sound schemes always decode with the defaults.
struct Rt24DecodeOptions {
    float timeScale = 1.0f;           // 0.2 to 5; another value is refused with the codec's answer
    std::vector<uint32_t> lostFrames; // frame numbers from 0, in any order, decoded as lost
};

// Not done unless the id is "7491" and the codec opens.
FrameLoopResult Rt24EncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink);
// Decodes while the ring holds a whole frame; bits left over beyond a byte's padding count as a stream cut short.
FrameLoopResult Rt24DecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                 const Rt24DecodeOptions& options = {});

// A stored sound's payload from its frames, and back: false, with outError, when the head is short or not 16 bits,
// mono, 8000 Hz.
std::vector<uint8_t> Rt24StoredData(std::span<const uint8_t> frames);
bool SplitRt24StoredData(std::span<const uint8_t> stored, std::span<const uint8_t>& outFrames, std::string& outError);

} // namespace sound
