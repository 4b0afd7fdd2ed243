#pragma once
// An MmioStream lent to the sound schemes' frame loops: a mode 0 wave file or a mode 1 record as a loop's source,
// or either as its sink.
#include <cstddef>
#include <cstdint>

#include "codecs/sound/wave_frame_stream.h"

class MmioStream;

// The stream outlives this.
class MmioFrameStream final : public sound::WaveFrameSource, public sound::WaveFrameSink {
public:
    explicit MmioFrameStream(MmioStream& stream, uint16_t bitsPerSample = 16);

    bool Read(void* buffer, size_t n, size_t& outCount, bool widen) override;
    bool SetHistory(uint32_t capacity) override;
    bool StepBack(int64_t n) override;
    bool HasEightBitSamples() const override { return m_bitsPerSample == 8; }
    bool HasFailed() const override;
    bool Write(const void* bytes, size_t n) override;

private:
    MmioStream& m_stream; // the caller's
    uint16_t m_bitsPerSample;
};
