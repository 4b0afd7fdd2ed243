#pragma once
// WavFile: an MmioStream on a file path, in mode 0 (the "data" bytes of a RIFF/WAVE file) or mode 2 (the file's
// bytes as they are). Mode 0 takes PCM only: format tag 1, or the extensible layout with sub-format 1; 1 or 2
// channels; 8 or 16 bits. Writing in mode 0 makes "RIFF"/"WAVE" with a 16-byte "fmt " and a "data" chunk whose
// sizes Close patches in.
#include <cstdint>
#include <string>

#include "engine/resources/mmio_stream.h"

struct WavFormat {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint32_t samplesPerChannel = 0; // reported when reading mode 0; ignored when writing
    bool operator==(const WavFormat&) const = default;
};

class WavFile : public MmioStream {
public:
    // outError becomes 1 when the file cannot be opened or is refused (GetRefusal says why), else 0. Reading mode
    // 0 fills format; writing mode 0 takes it; mode 2 leaves it alone.
    WavFile(const std::string& path, bool write, uint8_t& outError, WavFormat& format, int mode);

    const std::string& GetRefusal() const { return m_refusal; } // empty when opened
    void PretendWritten(uint64_t bytes);                        // tests: mode-0 sinks count bytes never written

private:
    bool OpenRiffSource(const std::string& path, WavFormat& format);
    bool OpenRiffSink(const std::string& path, const WavFormat& format);
    bool OpenPlainSource(const std::string& path);
    bool OpenPlainSink(const std::string& path);
    bool Refuse(std::string why);

    std::string m_refusal;
};
