#pragma once
// The PCM description carried by a RIFF/WAVE file's "fmt " chunk, and why a wave file failed to open.
#include <cstdint>

namespace pf {

// The first 16 bytes of "fmt ", little-endian on disk in this order.
struct WaveFormat {
    uint16_t tag = 0; // 1 PCM; 0xFFFE the extensible layout; reported as stored
    uint16_t channels = 0;
    uint32_t rate = 0; // samples per second per channel
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0; // bytes of one sample of every channel
    uint16_t bits = 0;       // bits per sample

    static WaveFormat pcm(uint16_t channels, uint32_t rate, uint16_t bits); // tag 1, the derived fields filled
    bool operator==(const WaveFormat&) const = default;

    // A rate in 1..kMaxWaveRate and at least one channel; for PCM also blockAlign and avgBytesPerSec equal to what
    // channels, bits and rate make them, so a value that wrapped in its field is caught.
    bool isWritable() const;
};

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Every rate in use lies far below this; above it a stored rate is damage, and derived fields such as the byte rate
// of a 16-bit stereo sound still fit their 32 bits.
inline constexpr uint32_t kMaxWaveRate = 1'000'000;

inline constexpr uint32_t kWaveFormatBytes = 16; // what "fmt " must hold at least
inline constexpr uint32_t kWaveHeaderBytes = 44; // "RIFF", size, "WAVE", 16-byte "fmt ", "data" and its size

enum class WaveError : int {
    kNone = 0,              // opened
    kCannotOpen = 1,        // the file is missing or unreadable
    kNotRiffWave = 2,       // the first 12 bytes are not "RIFF", size, "WAVE"
    kMissingFormat = 3,     // no "fmt " chunk before the file ends
    kShortFormat = 4,       // "fmt " states or holds fewer than 16 bytes
    kMissingData = 5,       // no "data" chunk header before the file ends
    kUnsupportedFormat = 6, // "fmt " states no channels, or a rate outside 1..kMaxWaveRate
};

// A short phrase for messages ("not a RIFF/WAVE file"); for CannotOpen the cause is in errno instead.
const char* describeWaveError(WaveError error);

} // namespace pf
