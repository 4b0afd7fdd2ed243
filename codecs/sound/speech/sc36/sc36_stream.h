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
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/wave_frame_stream.h"

namespace sound {

// The variant byte a sound stores before its head.
enum class Sc36StreamVariant : uint8_t {
    k3200 = 0,
    k6400 = 1,
    kSwitched = 2,
};

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

// What a tool or test may change; the sound schemes always decode with the defaults.
struct Sc36DecodeOptions {
    float timeScale = 1.0f;           // 0.5 to 5; another value is refused with the codec's answer
    std::vector<uint32_t> lostFrames; // frame numbers from 0, skipped and decoded as lost
};

// Always done unless the codec will not open.
FrameLoopResult Sc36EncodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant);
// The source must keep a history (SetHistory): a pass steps back over the bytes its frame did not use. A frame
// whose layers do not chain is counted damaged, its base layer skipped and the frame concealed.
FrameLoopResult Sc36DecodeStream(uint32_t schemeId, WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant,
                                 const Sc36DecodeOptions& options = {});

// A stored sound's payload: u8 variant, u16 bits per sample, u16 channels, u32 rate, then the frames.
inline constexpr size_t kSc36StoredHeaderBytes = 9;
std::vector<uint8_t> Sc36StoredData(Sc36StreamVariant variant, std::span<const uint8_t> frames);
// False, with outError, when the head is short, the variant unknown or the sound not 16 bits, mono, 8000 Hz.
bool SplitSc36StoredData(std::span<const uint8_t> stored, Sc36StreamVariant& outVariant,
                         std::span<const uint8_t>& outFrames, std::string& outError);

} // namespace sound
