#pragma once
// Writes a RIFF/WAVE file: "RIFF", "WAVE", a 16-byte "fmt " and one "data" chunk whose sizes are patched in by
// finish(). Data goes through an 8192-byte buffer; a full buffer is written out at once.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/wave_format.h"

namespace pf {

class RiffWaveWriter {
public:
    static constexpr size_t kBufferBytes = 8192;
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kWaveHeaderBytes; // the file length must fit 32 bits

    static std::unique_ptr<RiffWaveWriter> create(const std::string& path, const WaveFormat& format); // caller owns
    ~RiffWaveWriter(); // finishes when finish() was not called
    RiffWaveWriter(const RiffWaveWriter&) = delete;
    RiffWaveWriter& operator=(const RiffWaveWriter&) = delete;

    uint64_t dataBytes() const { return m_dataBytes; } // data accepted so far, buffered or written
    bool failed() const { return m_failed; }           // a write was refused or did not reach the disk

    bool write(const void* p, size_t n); // false, writing nothing, when the data would pass kMaxDataBytes or
                                         // the disk refused earlier bytes
    bool write(std::span<const uint8_t> bytes) { return write(bytes.data(), bytes.size()); }
    bool finish();                   // pads, patches both sizes, closes; true when every byte reached the file
    void pretendWritten(uint64_t n); // tests: counts n data bytes as written without writing them

private:
    explicit RiffWaveWriter(int fd);
    bool flushBuffer();
    bool writeAll(const uint8_t* p, size_t n);
    bool patchSize(uint64_t offset, uint32_t value);

    int m_fd;
    std::vector<uint8_t> m_buffer;
    uint64_t m_dataBytes = 0;
    bool m_failed = false;
    bool m_finished = false;
    bool m_finishResult = false;
};

} // namespace pf
