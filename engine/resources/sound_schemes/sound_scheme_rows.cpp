// The nine rows of the sound kind, registered in the order the publish dialog lists them. "7499" is the default:
// a sound without a choice is stored as it is.
#include <memory>

#include "engine/core/type_tag.h"
#include "engine/resources/sound_schemes/raw_sound_handler.h"
#include "engine/resources/sound_schemes/rt24_sound_handler.h"
#include "engine/resources/sound_schemes/sc36_sound_handler.h"
#include "engine/resources/sound_schemes/tonalwave_sound_handler.h"
#include "engine/resources/sound_schemes/wave_codec_sound_handler.h"

namespace {

SWcompressionscheme::Description SoundRow(uint32_t id, bool isDefault, const char* shortName, const char* longName)
{
    SWcompressionscheme::Description row;
    row.id = id;
    row.kind = SchemeKind::kSound;
    row.offered = true;
    row.isDefault = isDefault;
    row.shortName = shortName;
    row.longName = longName;
    return row;
}

template <typename Handler>
CompressionSchemeRegistration Register(const char (&id)[5], bool isDefault, const char* shortName, const char* longName)
{
    return CompressionSchemeRegistration(
        std::make_unique<Handler>(SoundRow(MakeTag(id), isDefault, shortName, longName)));
}

const CompressionSchemeRegistration kRows[] = {
    Register<RawSoundHandler>("7499", true, "Raw", "Uncompressed copy of the sound file"),
    Register<WaveCodecSoundHandler>("7498", false, "Wave codec", "Own wave codec at the sound's quality"),
    Register<TonalwaveSoundHandler>("7496", false, "ACS48", "Tonalwave ACS48: 48 kbit/s, 22050 Hz stereo"),
    Register<TonalwaveSoundHandler>("7495", false, "AC24", "Tonalwave AC24: 24 kbit/s, 22050 Hz mono"),
    Register<TonalwaveSoundHandler>("7494", false, "ACS20", "Tonalwave ACS20: 20 kbit/s, 11025 Hz stereo"),
    Register<TonalwaveSoundHandler>("7493", false, "AC10", "Tonalwave AC10: 10 kbit/s, 11025 Hz mono"),
    Register<TonalwaveSoundHandler>("7492", false, "AC8", "Tonalwave AC8: 8 kbit/s, 8000 Hz mono"),
    Register<Rt24SoundHandler>("7491", false, "RT24", "Speakline RT24: 2400 bit/s speech, 8000 Hz mono"),
    Register<Sc36SoundHandler>("7490", false, "SC36", "Speakline SC36: 3200 or 6400 bit/s speech, 8000 Hz mono"),
};

} // namespace
