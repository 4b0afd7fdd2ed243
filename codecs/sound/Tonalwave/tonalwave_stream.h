#pragma once
// The Tonalwave frame loops: a wave source coded frame by frame into 558-byte slots, one per frame in frame order,
// and slots decoded back into 16-bit samples. A slot holds its frame from bit 0; the rest of the slot is zeros.
//
// The codec's output lags its input by two frames, so after the sound the encoder codes two frames of zeros: the
// stored sound decodes whole, starting 2 x frame size samples late (1024 at AC8). An empty source codes no frame.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/wave_frame_stream.h"

namespace sound {

class TonalwaveEncoder;

inline constexpr size_t kTonalwaveStoredSlotBytes = 558;
inline constexpr size_t kTonalwavePcmBufferBytes = 16384;
inline constexpr int kTonalwaveFlushFrames = 2;
// A stored sound's head before its slots: u16 bits per sample, u16 channels, u32 sample rate.
inline constexpr size_t kTonalwaveStoredHeaderBytes = 8;

// "7496" ACS48, "7495" AC24, "7494" ACS20, "7493" AC10, "7492" AC8; none for another id.
std::optional<TonalwaveModel> TonalwaveModelOfScheme(uint32_t schemeId);
uint32_t SchemeIdOfTonalwaveModel(TonalwaveModel model);

// The stored head of a sound of the given layout, 16 bits per sample.
std::vector<uint8_t> TonalwaveStoredHeader(uint16_t channels, uint32_t sampleRate);

// What a tool or test may change; the sound schemes always code with the defaults.
struct TonalwaveEncodeOptions {
    uint32_t configurationCode = 0; // not 0: opens this configuration instead of the model's (same channels)
    std::function<void(size_t frame, const TonalwaveEncoder& encoder)> trace; // sees the encoder after each frame
};
struct TonalwaveDecodeOptions {
    std::vector<size_t> lostFrames; // frame numbers from 0, decoded as lost (window code 15)
};

// Reads channels x frame size samples per frame (widened from 8 bits when the source has them), the last frame
// filled up with zeros from its last whole sample. Not done for another id or when the encoder will not open.
FrameLoopResult TonalwaveEncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                      const TonalwaveEncodeOptions& options = {});
// Decodes slot after slot into interleaved 16-bit samples; a last slot cut short is filled up with zeros and the
// source counted as not ended cleanly.
FrameLoopResult TonalwaveDecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink,
                                      const TonalwaveDecodeOptions& options = {});

} // namespace sound
