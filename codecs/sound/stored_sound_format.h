#pragma once
// The 8 bytes that describe the samples of a stored coded sound, in front of its frames: u16 bits per sample
// (always 16), u16 channels, u32 sample rate, little-endian.
#include <cstddef>
#include <cstdint>
#include <string>

namespace sound {

inline constexpr size_t kStoredSoundFormatBytes = 8;

void WriteStoredSoundFormat(uint8_t* out, uint16_t channels, uint32_t sampleRate);

// True when the format at `at` is 16-bit mono at sampleRate, the only one a speech family stores; otherwise false
// with outError naming the family and what the bytes say instead.
bool CheckStoredSpeechFormat(const uint8_t* at, const char* family, uint32_t sampleRate, std::string& outError);

} // namespace sound
