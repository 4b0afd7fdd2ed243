#pragma once
// Where sound goes. Players hand their samples to the installed output as voices; the output never decides how
// far a sound has played (the clock does), so a missing or silent device changes nothing a caller can see.
// Tests and headless runs use NullAudio; a live output installs itself with setAudioOut().
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/wave_format.h"

namespace pf {

// The samples of one sound: its format and the whole data chunk, shared so that a voice can keep reading them
// after the player that made it has moved on.
struct PcmView {
    WaveFormat format;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
};

class AudioOut {
public:
    virtual ~AudioOut() = default;
    virtual int addVoice(const PcmView& pcm, uint64_t fromSample, uint64_t toSample) = 0; // voice id > 0; 0 refused
    virtual void removeVoice(int voice) = 0;                                              // unknown ids are ignored
    virtual void beep(uint32_t hz, uint32_t ms) = 0;
};

AudioOut& audioOut();            // the installed output; a process-wide NullAudio unless one was installed
void setAudioOut(AudioOut* out); // not owned, must outlive its installation; null restores the NullAudio

inline constexpr uint32_t kBeepMinHz = 37;
inline constexpr uint32_t kBeepMaxHz = 32767;

bool beep(uint32_t hz, uint32_t ms); // false, and silent, for a frequency outside 37..32767 Hz

} // namespace pf
