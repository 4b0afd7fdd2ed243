#pragma once
// The SC36 frame loops: 160-sample frames coded as 8-byte (3200 bit/s) or 16-byte (6400 bit/s) frames back to
// back, and decoded back through a 20-byte window over the stored bytes.
//
// The sound's variant byte picks the rate: 0 codes 3200 bit/s frames, 1 codes 6400 bit/s frames, 2 switches the
// 6400 bit/s encoder's layers every 20 frames (frames 0-19 16 bytes, 20-39 8 bytes, and so on). Any other byte
// codes as 2, which is what a first sound of any variant byte always got. The rate is the call's own: two sounds
// code at once on two threads.
//
// After the sound come two frames of zeros: the encoder looks 145 samples ahead and the decoder's first call
// outputs nothing, so without them the sound's end would be cut. Layer switching counts them like any frame.
#include <cstddef>
#include <cstdint>

#include "engine/resources/sound_schemes/wave_frame_stream.h"

inline constexpr int kSc36FlushFrames = 2;
inline constexpr int kSc36SwitchFrames = 20;
inline constexpr size_t kSc36WindowBytes = 20;
inline constexpr size_t kSc36HistoryBytes = 40;

struct Sc36RateFlags {
    bool layerSwitching = true;
    bool fullRate = false;
    bool UsesFullRateCodec() const { return layerSwitching || fullRate; }
};
Sc36RateFlags Sc36RateFlagsOf(uint8_t variant);

// Always done unless the codec will not open.
FrameLoopResult Sc36EncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant);
// The source must keep a history (SetHistory): a pass steps back over the bytes its frame did not use. A frame
// whose layers do not chain is counted damaged, its base layer skipped and the frame concealed.
FrameLoopResult Sc36DecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant);
