#pragma once
// The committed sound recordings (codecs/sound/tests/data) that the sound codecs' tests and benchmarks code: any of
// them as bytes, and the 8000 Hz mono speech as samples.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace soundtest {

// The path of the recording named name. The source folder comes from VORTAN_SOURCE_DIR (as ctest sets it), else from
// where this header lies, so that a benchmark run by hand finds it too.
inline std::filesystem::path SoundFixturePath(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path base = root != nullptr
                                           ? std::filesystem::path(root)
                                           : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    return base / "codecs/sound/tests/data" / name;
}

// The whole file; empty when it cannot be read.
inline std::vector<uint8_t> SoundFixtureBytes(const char* name)
{
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(SoundFixturePath(name).string().c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

// Empty when the file cannot be read.
inline std::vector<int16_t> SpeechFixture8k()
{
    pf::WaveError error = pf::WaveError::kNone;
    const auto reader = pf::RiffWaveReader::open(SoundFixturePath("speech_8000_mono.wav").string(), &error);
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
