#include "testsupport/sound/pcm_samples.h"

#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace soundtest {

std::vector<int16_t> ReadPcmSamples(pf::RiffWaveReader& reader)
{
    const pf::WaveFormat format = reader.format();
    std::vector<uint8_t> bytes(reader.dataBytes());
    bytes.resize(reader.read(bytes));
    std::vector<int16_t> samples;
    if (format.bits == 8) {
        for (const uint8_t b : bytes)
            samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        samples.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    samples.resize(samples.size() / format.channels * format.channels);
    return samples;
}

} // namespace soundtest
