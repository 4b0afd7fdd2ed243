#pragma once
// Wave files through the own wave codec. The stored data: u16 channels, u16 reserved (0), u32 sample rate, then
// the codec's block stream. Both routines stream: they hold one read buffer and one block at a time, whatever the
// sound's length.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sound {

inline constexpr size_t kWaveFileHeaderBytes = 8;

// Where the encoded bytes go: a record stream, a memory buffer.
class WaveByteSink {
public:
    virtual ~WaveByteSink() = default;
    virtual bool Write(std::span<const uint8_t> bytes) = 0;   // false: the bytes could not be stored
};

// Where the encoded bytes come from.
class WaveByteSource {
public:
    virtual ~WaveByteSource() = default;
    virtual size_t Read(std::span<uint8_t> out) = 0;   // up to out.size() bytes; 0 at the end
};

class VectorByteSink final : public WaveByteSink {
public:
    explicit VectorByteSink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool Write(std::span<const uint8_t> bytes) override;

private:
    std::vector<uint8_t>& m_bytes;   // the caller's buffer; outlives the sink
};

class SpanByteSource final : public WaveByteSource {
public:
    explicit SpanByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    size_t Read(std::span<uint8_t> out) override;

private:
    std::span<const uint8_t> m_bytes;   // the caller's bytes; outlive the source
    size_t m_position = 0;
};

// Encodes a PCM wave file (1 or 2 channels, 8 or 16 bits; 8-bit samples are widened) with the system's mode and
// the quality, clamped to 0..100. Only the bytes of the "data" chunk are coded, whatever follows it in the file.
// False for a file that is missing, not RIFF/WAVE, not such PCM, or that fails while being read; what was
// written to the sink before a failure stays there.
bool EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent);

// Decodes stored data into a 16-bit wave file. A header that cannot be read or names other than 1 or 2 channels
// or a zero rate writes no file. A damaged or cut stream leaves the file with the samples decoded before the
// damage, and the call returns false; true only when the end block arrived and every byte reached the file.
bool DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath);

} // namespace sound
