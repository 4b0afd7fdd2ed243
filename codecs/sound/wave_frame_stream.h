#pragma once
// What the sound schemes' frame loops read samples or coded bytes from and write them to. A loop sees only these
// operations, so it runs alike on a wave file, a record's payload, or bytes in memory; the engine lends them to its
// MmioStream, and MemoryFrameSource and VectorFrameSink hold them in memory for tools, tests and benchmarks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "codecs/sound/codec_handle.h"

namespace sound {

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

// One Read of bytes held in memory, from position on, which moves past what was taken: up to n bytes into buffer,
// or with widen n / 2 unsigned 8-bit samples widened as WaveFrameSource::Read says. Returns the bytes delivered.
size_t ReadFromMemory(std::span<const uint8_t> bytes, size_t& position, void* buffer, size_t n, bool widen);

// Count samples from and to the 16-bit little-endian bytes a loop reads and writes, alike on every host.
void LoadSamples(const uint8_t* bytes, size_t count, int16_t* out);
void StoreSamples(const int16_t* samples, size_t count, uint8_t* out);

// Closes a loop's codec handle on every way out of the loop, unless it was closed already.
struct HandleCloser {
    CodecResult (*close)(std::unique_ptr<CodecHandle>*);
    std::unique_ptr<CodecHandle>* handle;
    ~HandleCloser()
    {
        if (*handle)
            close(handle);
    }
};

// How a loop ended. `done` is the routine's own answer; the rest says what a caller may want to report.
struct FrameLoopResult {
    bool done = false;          // false: the id is not the family's, the codec would not open or refused a setting
    uint32_t frames = 0;        // frames handed to the codec, flush frames and concealed frames included
    uint32_t damagedFrames = 0; // frames the codec refused or the loop skipped and concealed
    bool endedCleanly = true;   // the source ended at a frame's end, without a read error
    bool sinkFailed = false;    // the sink refused bytes
    CodecResult codecResult = kCodecOk; // when not done: what the codec answered
};

// A sound scheme's four-character id ("7491") as the number a record stores.
constexpr uint32_t SchemeIdOf(const char (&id)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

// Bytes in memory as a loop's source. With eightBitSamples the bytes are unsigned 8-bit samples that the encode
// loops read widened. The history is the whole span, so any step back within it succeeds.
class MemoryFrameSource final : public WaveFrameSource {
public:
    explicit MemoryFrameSource(std::span<const uint8_t> bytes, bool eightBitSamples = false);

    bool Read(void* buffer, size_t n, size_t& outCount, bool widen) override;
    bool SetHistory(uint32_t capacity) override;
    bool StepBack(int64_t n) override;
    bool HasEightBitSamples() const override { return m_eightBit; }
    bool HasFailed() const override { return false; }

private:
    std::span<const uint8_t> m_bytes; // the caller's
    size_t m_position = 0;
    bool m_eightBit;
};

// Appends everything written to a vector.
class VectorFrameSink final : public WaveFrameSink {
public:
    bool Write(const void* bytes, size_t n) override;
    std::vector<int16_t> Samples() const; // the bytes read as 16-bit little-endian samples
    std::vector<uint8_t> bytes;
};

// Samples as the 16-bit little-endian bytes a loop reads.
std::vector<uint8_t> SampleBytes(std::span<const int16_t> samples);

} // namespace sound
