#include "platform/media/wave_format.h"

namespace pf {

WaveFormat WaveFormat::pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WaveFormat format;
    format.tag = WAVE_FORMAT_PCM;
    format.channels = channels;
    format.rate = rate;
    format.blockAlign = static_cast<uint16_t>(channels * (bits / 8));
    format.avgBytesPerSec = rate * format.blockAlign;
    format.bits = bits;
    return format;
}

} // namespace pf
