#pragma once
// The checked reading of a voice's sample bytes for an output device: PCM of 8 or 16 bits, 1 to 8 channels, a rate
// of 1 to 384,000, a block alignment of exactly channels x bits / 8, and a sample range that lies within the bytes.
// Anything else is refused before a byte is read. Frames come out as signed 16-bit interleaved samples at the
// source rate; 8-bit samples are re-centred (128 is silence) and scaled by 256.
#include "platform/media/audio_out.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace pf {

inline constexpr uint16_t kMaxVoiceChannels = 8;
inline constexpr uint32_t kMaxVoiceRate = 384'000;

class VoiceReader {
public:
    // Null when the format or the range is refused; the reader shares the bytes.
    static std::optional<VoiceReader> open(const PcmView& pcm, uint64_t fromSample, uint64_t toSample);

    uint16_t channels() const { return m_channels; }
    uint32_t rate() const { return m_rate; }
    uint64_t framesLeft() const { return m_end - m_next; }
    bool isFinished() const { return m_next >= m_end; }
    // Writes up to maxFrames frames (maxFrames x channels samples) to `out`; returns the frames written.
    size_t read(int16_t* out, size_t maxFrames);

private:
    VoiceReader() = default;

    std::shared_ptr<const std::vector<uint8_t>> m_bytes;
    uint16_t m_channels = 0;
    uint16_t m_bits = 0;
    uint32_t m_rate = 0;
    uint64_t m_next = 0; // frame index
    uint64_t m_end = 0;
};

} // namespace pf
