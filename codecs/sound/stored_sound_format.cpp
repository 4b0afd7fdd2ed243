#include "codecs/sound/stored_sound_format.h"

#include "platform/base/endian.h"

namespace sound {

void WriteStoredSoundFormat(uint8_t* out, uint16_t channels, uint32_t sampleRate)
{
    pf::storeU16le(out, 16);
    pf::storeU16le(out + 2, channels);
    pf::storeU32le(out + 4, sampleRate);
}

bool CheckStoredSpeechFormat(const uint8_t* at, const char* family, uint32_t sampleRate, std::string& outError)
{
    const uint16_t bits = pf::loadU16le(at);
    const uint16_t channels = pf::loadU16le(at + 2);
    const uint32_t rate = pf::loadU32le(at + 4);
    if (bits == 16 && channels == 1 && rate == sampleRate)
        return true;
    outError = "not " + std::string(family) + " data: " + std::to_string(bits) + " bits, " + std::to_string(channels) +
               " channels, " + std::to_string(rate) + " Hz (" + family + " carries 16 bits, 1 channel, " +
               std::to_string(sampleRate) + " Hz)";
    return false;
}

} // namespace sound
