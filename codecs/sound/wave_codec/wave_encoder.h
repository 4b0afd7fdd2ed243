#pragma once
// The own wave codec's encoder: 16-bit samples (channels interleaved) in, blocks of 32768 samples out, and an end
// block of count 0 when finished. Each call replaces Output() with the bytes it completed.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "codecs/sound/wave_codec/wave_codec_format.h"

namespace sound {

class WaveBlockCoder;

class WaveEncoder {
public:
    WaveEncoder();
    ~WaveEncoder();
    WaveEncoder(const WaveEncoder&) = delete;
    WaveEncoder& operator=(const WaveEncoder&) = delete;

    // The mode's low 8 bits are replaced by the quality, clamped to 0..100 so that it can never reach the mode
    // bits. 0; or -1: memory ran out, or the mode holds the pyramid bit or no byte-stream method.
    int Init(uint32_t mode, uint32_t quality);

    // Before Init, or after a failure, both return -1 and Failure() tells why.
    int Feed(std::span<const int16_t> samples); // 0; 17 when already finished; -1
    int Finish();                               // 17 (the pending block and the end block); -1

    std::span<const uint8_t> Output() const { return m_output; }
    uint32_t Mode() const { return m_mode; }
    uint64_t TotalSamples() const { return m_totalSamples; }
    uint64_t TotalBytes() const { return m_totalBytes; }
    bool IsFinished() const { return m_finished; }
    WaveFailure Failure() const { return m_failure; }
    uint64_t ClampedCoefficients() const; // coefficients clamped to 16 bits so far

private:
    int BeginCall(); // kWaveOk, or what Feed and Finish return at once
    int Fail(WaveFailure failure);

    std::unique_ptr<WaveBlockCoder> m_coder;
    std::vector<int16_t> m_block; // the samples of the block being filled
    std::vector<uint8_t> m_output;
    uint32_t m_mode = 0;
    uint64_t m_totalSamples = 0;
    uint64_t m_totalBytes = 0;
    uint64_t m_clampedAtFinish = 0;
    bool m_finished = false;
    WaveFailure m_failure = WaveFailure::kNone;
};

} // namespace sound
