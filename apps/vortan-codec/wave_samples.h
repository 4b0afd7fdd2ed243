#pragma once
// Wave files as the sound commands measure and code them: 8- or 16-bit PCM, read whole into 16-bit samples.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/riff_wave_reader.h"

namespace codectool {

// The reader of an 8- or 16-bit PCM wave file; null, with outError ("cannot VERB PATH: cause"), for a file that is
// missing or anything else. The caller checks the format further before it reads the samples.
std::unique_ptr<pf::RiffWaveReader> OpenWaveSamples(const std::string& path, const char* verb, std::string& outError);

// Every sample, channels interleaved, 8-bit data widened as the wave-file loops do, cut to whole frames.
std::vector<int16_t> ReadWaveSamples(pf::RiffWaveReader& reader);

} // namespace codectool
