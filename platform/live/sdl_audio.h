#pragma once
// Sound heard: one 44.1 kHz stereo 16-bit device of SDL's, each voice read through VoiceReader and converted in
// rate and channels by its own SDL audio stream, voices mixed with saturation, and beeps as sine bursts with short
// fades. The device's own clock never moves a player: positions follow the clock, as with NullAudio. The audio
// callback holds the voice lock while it mixes; adding and removing voices is safe from any thread.
#include "platform/media/audio_out.h"
#include "platform/media/voice_reader.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct _SDL_AudioStream;

namespace pf {

inline constexpr int32_t kMixRate = 44100;
inline constexpr int32_t kMixChannels = 2;

class SdlAudio final : public AudioOut {
public:
    SdlAudio();           // opens the default device; on failure openError() says why and every voice is refused
    ~SdlAudio() override; // closes the device; uninstall it first
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    bool isOpen() const { return m_device != 0; }
    const std::string& openError() const { return m_openError; }

    int addVoice(const PcmView& pcm, uint64_t fromSample, uint64_t toSample) override;
    void removeVoice(int voice) override;
    void beep(uint32_t hz, uint32_t ms) override;
    size_t activeVoiceCount() const; // beeps included; finished voices leave by themselves

private:
    struct Voice {
        std::optional<VoiceReader> reader; // empty for a beep
        _SDL_AudioStream* stream = nullptr;
        uint32_t beepHz = 0;
        uint64_t beepFrame = 0;
        uint64_t beepFrames = 0;
        bool flushed = false;
    };
    static void callback(void* self, uint8_t* out, int bytes);
    void mix(int16_t* out, size_t frames);
    bool mixVoice(Voice& voice, std::vector<int32_t>& sum, size_t frames); // false when it has finished
    int addLocked(std::unique_ptr<Voice> voice);

    uint32_t m_device = 0;
    std::string m_openError;
    mutable std::mutex m_mutex; // the voices; held by the callback while it mixes
    std::map<int, std::unique_ptr<Voice>> m_voices;
    int m_nextId = 1;
    std::vector<int32_t> m_sum;   // callback only
    std::vector<int16_t> m_frame; // callback only
};

} // namespace pf
