#pragma once
// The Tonalwave frame loops: a wave source coded frame by frame into 558-byte slots, one per frame in frame order,
// and slots decoded back into 16-bit samples. A slot holds its frame from bit 0; the rest of the slot is zeros.
//
// The codec's output lags its input by two frames, so after the sound the encoder codes two frames of zeros: the
// stored sound decodes whole, starting 2 x frame size samples late (1024 at AC8). An empty source codes no frame.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "engine/resources/sound_schemes/wave_frame_stream.h"

inline constexpr size_t kTonalwaveStoredSlotBytes = 558;
inline constexpr size_t kTonalwavePcmBufferBytes = 16384;
inline constexpr int kTonalwaveFlushFrames = 2;

// "7496" ACS48, "7495" AC24, "7494" ACS20, "7493" AC10, "7492" AC8; none for another id.
std::optional<sound::TonalwaveModel> TonalwaveModelOfScheme(uint32_t schemeId);

// Reads channels x frame size samples per frame (widened from 8 bits when the source has them), the last frame
// filled up with zeros from its last whole sample. Not done for another id or when the encoder will not open.
FrameLoopResult TonalwaveEncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink);
// Decodes slot after slot into interleaved 16-bit samples; a last slot cut short is filled up with zeros and the
// source counted as not ended cleanly.
FrameLoopResult TonalwaveDecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink);
