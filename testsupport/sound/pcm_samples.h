#pragma once
// A wave file's data as 16-bit samples, for the tools that measure, code or train on sounds.
#include <cstdint>
#include <vector>

namespace pf {
class RiffWaveReader;
}

namespace soundtest {

// Every sample left in the reader's data, channels interleaved, 8-bit data widened as the wave-file loops do and
// the end cut to whole frames. The reader's format is 8- or 16-bit PCM; the reader refuses 0 channels.
std::vector<int16_t> ReadPcmSamples(pf::RiffWaveReader& reader);

} // namespace soundtest
