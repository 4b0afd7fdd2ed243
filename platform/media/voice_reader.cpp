#include "platform/media/voice_reader.h"

#include <algorithm>
#include <limits>

namespace pf {

std::optional<VoiceReader> VoiceReader::open(const PcmView& pcm, uint64_t fromSample, uint64_t toSample)
{
    const WaveFormat& f = pcm.format;
    if (pcm.bytes == nullptr || f.tag != WAVE_FORMAT_PCM || (f.bits != 8 && f.bits != 16))
        return std::nullopt;
    if (f.channels < 1 || f.channels > kMaxVoiceChannels || f.rate < 1 || f.rate > kMaxVoiceRate)
        return std::nullopt;
    const uint64_t align = uint64_t{f.channels} * (f.bits / 8);
    if (f.blockAlign != align || fromSample > toSample)
        return std::nullopt;
    // toSample * align in 64 bits cannot wrap once toSample is below the bytes' size: align is at most 16.
    if (toSample > pcm.bytes->size() / align)
        return std::nullopt;
    VoiceReader reader;
    reader.m_bytes = pcm.bytes;
    reader.m_channels = f.channels;
    reader.m_bits = f.bits;
    reader.m_rate = f.rate;
    reader.m_next = fromSample;
    reader.m_end = toSample;
    return reader;
}

size_t VoiceReader::read(int16_t* out, size_t maxFrames)
{
    const size_t frames = static_cast<size_t>(std::min<uint64_t>(maxFrames, framesLeft()));
    const size_t samples = frames * m_channels;
    const uint8_t* in = m_bytes->data() + m_next * m_channels * (m_bits / 8);
    if (m_bits == 8) {
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>((static_cast<int32_t>(in[i]) - 128) * 256);
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
    }
    m_next += frames;
    return frames;
}

} // namespace pf
