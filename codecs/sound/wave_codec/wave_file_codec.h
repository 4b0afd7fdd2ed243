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
    virtual bool Write(std::span<const uint8_t> bytes) = 0; // false: the bytes could not be stored
};

// Where the encoded bytes come from.
class WaveByteSource {
public:
    virtual ~WaveByteSource() = default;
    virtual size_t Read(std::span<uint8_t> out) = 0; // up to out.size() bytes; 0 at the end
};

class VectorByteSink final : public WaveByteSink {
public:
    explicit VectorByteSink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool Write(std::span<const uint8_t> bytes) override;

private:
    std::vector<uint8_t>& m_bytes; // the caller's buffer; outlives the sink
};

class SpanByteSource final : public WaveByteSource {
public:
    explicit SpanByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    size_t Read(std::span<uint8_t> out) override;

private:
    std::span<const uint8_t> m_bytes; // the caller's bytes; outlive the source
    size_t m_position = 0;
};

// How a call on a wave file ended. Each cause has its own code, so that a caller never blames the input for a
// fault of the output or the other way round.
enum class WaveFileResult : int {
    kOk = 0,
    kCannotReadInput = 1,   // the wave file is missing, a folder, unreadable, or fails while being read
    kNotCodable = 2,        // not a wave file the codec can carry, or stored data naming a format it cannot write
    kDamagedStream = 3,     // the stored stream is cut or damaged
    kCannotWriteOutput = 4, // the output file (or the encoder's sink) refused the bytes
    kOutOfMemory = 5,       // a buffer could not be allocated
};

// Encodes a PCM wave file (1 or 2 channels, 8 or 16 bits, 1..1,000,000 Hz; 8-bit samples are widened) with the
// system's mode and the quality, clamped to 0..100. Only the bytes of the "data" chunk are coded, whatever follows
// it in the file. On failure outError names the file and the cause; what was written to the sink before a failure
// stays there.
WaveFileResult EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent,
                              std::string& outError);
bool EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent); // true: kOk

struct WaveDecodeOptions {
    // When the stream turns out damaged or cut, keep the whole frames decoded before the damage under the target
    // name (the call still reports kDamagedStream). Off: a damaged stream leaves the target as it was.
    bool keepPartial = false;
};

// Decodes stored data into a 16-bit wave file. The target is replaced only at the end, and only by a complete
// file (see RiffWaveWriter): a stored header that cannot be read or names a format the codec cannot write
// (channels other than 1 or 2, a rate outside 1..1,000,000 Hz), an output that cannot be written, or a damaged
// stream without keepPartial leave whatever was at the path untouched. kOk only when the end block arrived and
// every byte reached the file. On failure outError gives the cause; an output fault names the output file.
WaveFileResult DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath, const WaveDecodeOptions& options,
                                std::string& outError);
bool DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath); // true: kOk; no partial file kept

} // namespace sound
