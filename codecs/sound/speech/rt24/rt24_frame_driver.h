#pragma once
// Runs whole sounds through RT24 frame by frame, as the wave-file loops do: the tool and the end-to-end tests use
// it. The stored data is the record payload without its strings: u16 bits per sample, u16 channels, u32 rate,
// then the 54-bit frames back to back, least significant bit first, the last byte filled up with zero bits.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/codec_handle.h"

namespace sound {

inline constexpr size_t kRt24StoredHeaderBytes = 8;
inline constexpr int kRt24TrailingFrames = 3; // zeros after the sound, so the codec's delay does not cut its end

// Frames of 180 samples (the last one short and zero-filled, or silent when the count is a multiple of 180), then
// three frames of zeros; the packed frames and their count.
struct Rt24Encoded {
    CodecResult result = kCodecOk;
    std::vector<uint8_t> frames;
    size_t frameCount = 0;
};
Rt24Encoded Rt24EncodeSamples(std::span<const int16_t> samples);

struct Rt24DecodeOptions {
    float timeScale = 1.0f;
    std::vector<uint32_t> lostFrames; // frame numbers from 0, in any order
};
struct Rt24Decoded {
    CodecResult result = kCodecOk;
    std::vector<int16_t> samples;
    size_t frameCount = 0; // frames taken from the stream, lost ones included
};
// Refills a 9-byte ring from the frames and decodes until, at a frame boundary, fewer than 54 bits are left.
Rt24Decoded Rt24DecodeFrames(std::span<const uint8_t> frames, const Rt24DecodeOptions& options);

// The stored data of an encoded sound, and back: false, with outError, when the header is short or not
// 16 bits, mono, 8000 Hz.
std::vector<uint8_t> Rt24StoredData(std::span<const uint8_t> frames);
bool SplitRt24StoredData(std::span<const uint8_t> stored, std::span<const uint8_t>& outFrames, std::string& outError);

} // namespace sound
