#include "apps/vortan-codec/wave_samples.h"

#include <optional>
#include <utility>
#include <vector>

#include "apps/vortan-codec/tool_io.h"

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

} // namespace codectool
