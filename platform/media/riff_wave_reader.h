#pragma once
// Reads the PCM bytes of a RIFF/WAVE file. Chunks may come in any order; unknown ones are skipped; every stated
// size is checked against the file, so a damaged header never makes us read beyond it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/wave_format.h"

namespace pf {

class RiffWaveReader {
public:
    // Caller owns; null on failure. After CannotOpen errno holds the cause (EISDIR for a folder, EINVAL for a
    // device, FIFO or socket).
    static std::unique_ptr<RiffWaveReader> open(const std::string& path, WaveError* err);
    static std::unique_ptr<RiffWaveReader> fromBytes(std::vector<uint8_t> file, WaveError* err); // the same over memory
    ~RiffWaveReader();

    const WaveFormat& format() const { return m_format; }    // the first 16 bytes of "fmt ", as stored
    uint16_t subFormatTag() const { return m_subFormatTag; } // the extensible layout's sub-format (1 PCM), else 0
    uint32_t dataBytes() const { return m_dataBytes; }       // what the file really holds of "data", stated size capped
    uint64_t consumed() const { return m_consumed; }         // bytes of "data" handed out so far

    size_t read(void* dst, size_t n); // up to n bytes; 0 at the end of "data" or on a read error
    size_t read(std::span<uint8_t> dst) { return read(dst.data(), dst.size()); }

    class Source; // where the bytes come from: a file or a buffer

private:
    explicit RiffWaveReader(std::unique_ptr<Source> source);
    template <typename MakeSource>
    static std::unique_ptr<RiffWaveReader> openWith(MakeSource makeSource, WaveError* err);
    WaveError scanChunks();

    std::unique_ptr<Source> m_source;
    WaveFormat m_format;
    uint16_t m_subFormatTag = 0;
    uint64_t m_dataOffset = 0; // file offset of the first data byte
    uint32_t m_dataBytes = 0;
    uint64_t m_consumed = 0;
};

} // namespace pf
