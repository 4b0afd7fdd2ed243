#pragma once
// CVTND_WaveEnvelope: what the audio waveform control draws of a sound file: the lowest and highest sample of every
// block of frames, all channels together, scaled to 16 bits. A block holds enough frames that no sound makes more
// than kTargetBlocks of them, so any width up to that many pixels is drawn from the blocks alone.
//
// Parsing runs on a scanning thread: it reads the file through the wave reader, touches nothing shared and stops
// early when its stop token is set.
#include <cstdint>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class RiffWaveReader;
}

class CVTND_WaveEnvelope {
public:
    static constexpr uint64_t kTargetBlocks = 32768;

    // The envelope of the file, or an empty one (false) when it cannot be opened, is damaged, holds samples of a
    // kind we do not draw, or the stop token was set.
    static bool Parse(const std::string& path, const std::stop_token& stop, CVTND_WaveEnvelope& out);
    static bool Parse(pf::RiffWaveReader& reader, const std::stop_token& stop, CVTND_WaveEnvelope& out);

    bool IsEmpty() const { return m_low.empty(); }
    uint64_t SampleCount() const { return m_frames; } // frames: one sample of every channel
    uint32_t FramesPerBlock() const { return m_framesPerBlock; }
    size_t BlockCount() const { return m_low.size(); }
    uint32_t Rate() const { return m_rate; }
    // The lowest and highest value of the blocks that fall into each of width columns; empty for width < 1.
    std::vector<std::pair<int16_t, int16_t>> Columns(int32_t width) const;

private:
    uint64_t m_frames = 0;
    uint32_t m_framesPerBlock = 1;
    uint32_t m_rate = 0;
    std::vector<int16_t> m_low;
    std::vector<int16_t> m_high;
};
