#pragma once
// Writes a RIFF/WAVE file: "RIFF", "WAVE", a 16-byte "fmt " and one "data" chunk.
//
// The target is replaced only by finish(), and only whole: until then the data waits in an unnamed scratch file,
// because the header states sizes that are known only at the end; finish() writes header and data through
// AtomicFile (a temporary file beside the target, synced, renamed over it). A writer dropped without finish(), or a
// failed finish(), leaves whatever was at the path untouched. Data goes through an 8192-byte buffer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/wave_format.h"

namespace pf {

class AtomicFile;

class RiffWaveWriter {
public:
    static constexpr size_t kBufferBytes = 8192;
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kWaveHeaderBytes; // the file length must fit 32 bits

    // Caller owns; null, with the reason in *outError ("cannot write PATH: CAUSE"), when the format is not
    // writable (WaveFormat::isWritable) or the path cannot be replaced. Nothing is written to the path yet.
    static std::unique_ptr<RiffWaveWriter> create(const std::string& path, const WaveFormat& format,
                                                  std::string* outError = nullptr);
    ~RiffWaveWriter(); // without a successful finish() the target stays as it was
    RiffWaveWriter(const RiffWaveWriter&) = delete;
    RiffWaveWriter& operator=(const RiffWaveWriter&) = delete;

    uint64_t dataBytes() const { return m_dataBytes; }   // data accepted so far
    bool failed() const { return m_failed; }             // a write was refused or did not reach the scratch file
    const std::string& error() const { return m_error; } // "cannot write PATH: CAUSE"; empty while all is well

    bool write(const void* p, size_t n); // false, writing nothing, when the data would pass kMaxDataBytes or
                                         // the disk refused earlier bytes
    bool write(std::span<const uint8_t> bytes) { return write(bytes.data(), bytes.size()); }
    bool finish();                   // pads, states both sizes, replaces the target; true when it now holds it all
    void pretendWritten(uint64_t n); // tests: counts n data bytes as written without writing them

private:
    RiffWaveWriter(std::string path, const WaveFormat& format, std::unique_ptr<AtomicFile> target, int scratchFd);
    bool flushBuffer();
    bool fail(const std::string& cause);
    bool copyScratchToTarget();

    std::string m_path; // as the caller named it, for messages
    WaveFormat m_format;
    std::unique_ptr<AtomicFile> m_target;
    int m_scratchFd; // unnamed: it vanishes with the descriptor whatever happens
    std::vector<uint8_t> m_buffer;
    uint64_t m_dataBytes = 0;
    bool m_failed = false;
    bool m_finished = false;
    bool m_finishResult = false;
    std::string m_error;
};

} // namespace pf
