#include "platform/media/audio_out.h"

#include <atomic>

#include "platform/media/null_audio.h"

namespace pf {

namespace {

std::atomic<AudioOut*> g_installed{nullptr};

AudioOut& ProcessNullAudio()
{
    static NullAudio silent;
    return silent;
}

} // namespace

AudioOut& audioOut()
{
    AudioOut* const installed = g_installed.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : ProcessNullAudio();
}

void setAudioOut(AudioOut* out)
{
    g_installed.store(out, std::memory_order_release);
}

bool beep(uint32_t hz, uint32_t ms)
{
    if (hz < kBeepMinHz || hz > kBeepMaxHz)
        return false;
    audioOut().beep(hz, ms);
    return true;
}

} // namespace pf
