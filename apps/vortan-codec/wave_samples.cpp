#include "apps/vortan-codec/wave_samples.h"

#include <optional>
#include <utility>

#include "apps/vortan-codec/tool_io.h"
#include "platform/base/endian.h"

namespace codectool {

std::unique_ptr<pf::RiffWaveReader> OpenWaveSamples(const std::string& path, const char* verb, std::string& outError)
{
    std::optional<std::vector<uint8_t>> file = ReadWholeFile(path, outError);
    if (!file)
        return nullptr;
    pf::WaveError waveError = pf::WaveError::kNone;
    std::unique_ptr<pf::RiffWaveReader> reader = pf::RiffWaveReader::fromBytes(std::move(*file), &waveError);
    if (!reader) {
        outError = "cannot " + std::string(verb) + " " + path + ": " + pf::describeWaveError(waveError);
        return nullptr;
    }
    if (reader->format().bits != 8 && reader->format().bits != 16) {
        outError = "cannot " + std::string(verb) + " " + path + ": not an 8- or 16-bit wave file";
        return nullptr;
    }
    return reader;
}

std::vector<int16_t> ReadWaveSamples(pf::RiffWaveReader& reader)
{
    const pf::WaveFormat format = reader.format();
    std::vector<uint8_t> bytes(reader.dataBytes());
    bytes.resize(reader.read(bytes));
    std::vector<int16_t> samples;
    if (format.bits == 8) {
        for (const uint8_t b : bytes)
            samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    samples.resize(samples.size() / format.channels * format.channels); // the reader refuses 0 channels
    return samples;
}

} // namespace codectool
