#pragma once
// Wave files as the sound commands measure and code them: 8- or 16-bit PCM, read whole; their samples then come
// from soundtest::ReadPcmSamples.
#include <memory>
#include <string>

#include "platform/media/riff_wave_reader.h"

namespace codectool {

// The reader of an 8- or 16-bit PCM wave file; null, with outError ("cannot VERB PATH: cause"), for a file that is
// missing or anything else. The caller checks the format further before it reads the samples.
std::unique_ptr<pf::RiffWaveReader> OpenWaveSamples(const std::string& path, const char* verb, std::string& outError);

} // namespace codectool
