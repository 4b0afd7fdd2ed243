#pragma once
// What the sound schemes' frame loops read samples or coded bytes from and write them to. A loop sees only these
// operations, so it runs alike on a wave file, a record's payload, or a test's memory; MmioFrameStream lends them
// to an MmioStream.
#include <cstddef>
#include <cstdint>

class MmioStream;

class WaveFrameSource {
public:
    virtual ~WaveFrameSource() = default;

    // Up to n bytes into buffer; with widen, n / 2 unsigned 8-bit samples b become the 16-bit little-endian samples
    // 257 x b - 32768, counted as output bytes. False, with outCount 0, at the end or on an error.
    virtual bool Read(void* buffer, size_t n, size_t& outCount, bool widen) = 0;
    virtual bool SetHistory(uint32_t capacity) = 0; // keep the last capacity bytes delivered; false: cannot
    virtual bool StepBack(int64_t n) = 0;           // n < 0: the next reads deliver |n| bytes again
    virtual bool HasEightBitSamples() const = 0;    // the encode loops then read with widen
    virtual bool HasFailed() const = 0;             // a read met an error, not the end
};

class WaveFrameSink {
public:
    virtual ~WaveFrameSink() = default;
    virtual bool Write(const void* bytes, size_t n) = 0; // false: not stored, and from then on
};

// Reads until n bytes arrived or the source has no more; the bytes placed in buffer.
size_t ReadWhole(WaveFrameSource& source, void* buffer, size_t n, bool widen);

// How a loop ended. `done` is the routine's own answer; the rest says what a caller may want to report.
struct FrameLoopResult {
    bool done = false;          // false: the id is not the family's, or the codec would not open
    uint32_t frames = 0;        // frames handed to the codec, flush frames and concealed frames included
    uint32_t damagedFrames = 0; // frames the codec refused or the loop skipped and concealed
    bool endedCleanly = true;   // the source ended at a frame's end, without a read error
    bool sinkFailed = false;    // the sink refused bytes
};

// An MmioStream as a loop's source (mode 0 wave file or mode 1 record) or sink. The stream outlives this.
class MmioFrameStream final : public WaveFrameSource, public WaveFrameSink {
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
