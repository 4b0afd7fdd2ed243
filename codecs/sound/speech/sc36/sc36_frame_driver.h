#pragma once
// Runs whole sounds through SC36 frame by frame, as the wave-file loops do: the tool and the end-to-end tests use
// it. The stored data is the record payload without its strings: u8 variant (0: 3200 bit/s, 1: 6400 bit/s,
// 2: 6400 bit/s entry points with the layers switched every 20 frames), u16 bits per sample, u16 channels,
// u32 rate, then the frames back to back (8 or 16 bytes each).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/codec_handle.h"

namespace sound {

enum class Sc36StreamVariant : uint8_t {
    k3200 = 0,
    k6400 = 1,
    kSwitched = 2,
};

inline constexpr size_t kSc36StoredHeaderBytes = 9;
inline constexpr int kSc36TrailingFrames = 2; // zeros after the sound: the look-ahead and the decoder's delay
inline constexpr int kSc36SwitchFrames = 20;

struct Sc36Encoded {
    CodecResult result = kCodecOk;
    std::vector<uint8_t> frames;
    size_t frameCount = 0;
};
Sc36Encoded Sc36EncodeSamples(std::span<const int16_t> samples, Sc36StreamVariant variant);

struct Sc36DecodeOptions {
    float timeScale = 1.0f;
    std::vector<uint32_t> lostFrames; // frame numbers from 0
};
struct Sc36Decoded {
    CodecResult result = kCodecOk;
    std::vector<int16_t> samples;
    size_t frameCount = 0;
};
// Feeds a 64-byte ring from the frames and decodes until, at a frame boundary, no whole frame is left. The 3200
// bit/s variant uses the 3200 bit/s decoder, the others the 6400 bit/s one.
Sc36Decoded Sc36DecodeFrames(std::span<const uint8_t> frames, Sc36StreamVariant variant,
                             const Sc36DecodeOptions& options);

std::vector<uint8_t> Sc36StoredData(Sc36StreamVariant variant, std::span<const uint8_t> frames);
// False, with outError, when the header is short, the variant unknown or the sound not 16 bits, mono, 8000 Hz.
bool SplitSc36StoredData(std::span<const uint8_t> stored, Sc36StreamVariant& outVariant,
                         std::span<const uint8_t>& outFrames, std::string& outError);

} // namespace sound
