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

#include "engine/resources/sound_schemes/wave_frame_stream.h"

inline constexpr int kRt24FlushFrames = 3;

// The bits a frame leaves for the next one: the packer belongs to one stream, so two streams pack at once.
struct Rt24BitPacker {
    uint8_t accumulator = 0;
    uint32_t pendingBits = 0; // 0..8
};

// Appends the low bitCount bits of bytes (least significant bit of bytes[0] first) after the pending ones; with
// flush, a last partial byte goes out too. Bits of bytes above bitCount must be zero. False: the sink refused.
bool Rt24PackBits(std::span<const uint8_t> bytes, WaveFrameSink& sink, uint32_t bitCount, bool flush,
                  Rt24BitPacker& packer);

// Not done unless the id is "7491" and the codec opens.
FrameLoopResult Rt24EncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink);
// Decodes while the ring holds a whole frame; bits left over beyond a byte's padding count as a stream cut short.
FrameLoopResult Rt24DecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink);
