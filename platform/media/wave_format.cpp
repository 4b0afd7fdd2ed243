#include "platform/media/wave_format.h"

namespace pf {

WaveFormat WaveFormat::pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WaveFormat format;
    format.tag = WAVE_FORMAT_PCM;
    format.channels = channels;
    format.rate = rate;
    format.blockAlign = static_cast<uint16_t>(channels * (bits / 8)); // may wrap: isWritable() then says no
    format.avgBytesPerSec = rate * format.blockAlign;
    format.bits = bits;
    return format;
}

bool WaveFormat::isWritable() const
{
    if (channels == 0 || rate == 0 || rate > kMaxWaveRate)
        return false;
    if (tag != WAVE_FORMAT_PCM)
        return true;
    const uint64_t align = uint64_t{channels} * (bits / 8u);
    return bits != 0 && align == blockAlign && uint64_t{rate} * align == avgBytesPerSec;
}

const char* describeWaveError(WaveError error)
{
    switch (error) {
    case WaveError::kNone:
        return "no error";
    case WaveError::kCannotOpen:
        return "cannot be opened";
    case WaveError::kNotRiffWave:
        return "not a RIFF/WAVE file";
    case WaveError::kMissingFormat:
        return "no \"fmt \" chunk";
    case WaveError::kShortFormat:
        return "the \"fmt \" chunk is shorter than 16 bytes";
    case WaveError::kMissingData:
        return "no \"data\" chunk";
    case WaveError::kUnsupportedFormat:
        return "no channels, or a rate outside 1..1000000 Hz";
    }
    return "unknown wave error";
}

} // namespace pf
