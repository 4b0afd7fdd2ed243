#pragma once
// The committed 8000 Hz mono speech recording that the speech codecs' tests and benchmarks code, as samples.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace soundtest {

// Empty when the file cannot be read. The source folder comes from VORTAN_SOURCE_DIR (as ctest sets it), else from
// where this header lies, so that a benchmark run by hand finds it too.
inline std::vector<int16_t> SpeechFixture8k()
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path base = root != nullptr
                                           ? std::filesystem::path(root)
                                           : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader =
        pf::RiffWaveReader::open((base / "codecs/sound/tests/data/speech_8000_mono.wav").string(), &error);
    std::vector<int16_t> samples;
    if (!reader)
        return samples;
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    return samples;
}

} // namespace soundtest
