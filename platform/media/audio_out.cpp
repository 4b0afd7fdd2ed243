#include "platform/media/audio_out.h"

#include "platform/base/service_slot.h"
#include "platform/media/null_audio.h"

namespace pf {

namespace {

constinit ServiceSlot<AudioOut, NullAudio> g_audioOut;

} // namespace

AudioOut& audioOut()
{
    return g_audioOut.current();
}

void setAudioOut(AudioOut* out)
{
    g_audioOut.install(out);
}

bool beep(uint32_t hz, uint32_t ms)
{
    if (hz < kBeepMinHz || hz > kBeepMaxHz)
        return false;
    audioOut().beep(hz, ms);
    return true;
}

} // namespace pf
