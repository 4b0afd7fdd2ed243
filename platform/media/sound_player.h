#pragma once
// Plays one sound file and answers where it is. The position comes from the process clock, never from the audio
// device: it reads the same whether sound is heard, silent, or running under a test's virtual clock. Nothing calls
// back when a play ends; callers poll isPlaying(). Every method may be called from any thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/wave_format.h"

namespace pf {

class AudioOut;

class SoundPlayer {
public:
    explicit SoundPlayer(AudioOut* out = nullptr); // not owned; null: the process output at each play
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    bool open(const std::string& path); // a wave file; ".mid" opens with length 0 and never plays; false: closed
    void close();
    bool isOpen() const;

    uint32_t lengthMs() const; // samples * 1000 / rate, truncated; 0 when closed
    uint16_t channels() const;
    uint32_t sampleRate() const;
    uint16_t bits() const;

    void play(uint32_t fromMs, uint32_t toMs); // from clamped to [0, length], to to [from, length]; to 0: the end
    void stop();                               // the position stays where the play was
    void pause();
    void resume();          // only after pause(): plays on from the paused position to the same end
    bool isPlaying() const; // false once the play reached its end, or when stopped or paused
    bool isPaused() const;
    uint32_t positionMs() const;

private:
    enum class State { kStopped, kPlaying, kPaused };

    void settle() const; // ends a play whose end the clock has passed
    uint32_t currentPositionMs() const;
    void startVoice(uint32_t fromMs, uint32_t toMs);
    void endVoice() const;
    bool loadSamples();
    void reset();

    mutable std::mutex m_mutex;
    AudioOut* m_out; // not owned; may be null (see the constructor)
    bool m_open = false;
    std::string m_path;
    WaveFormat m_format;
    uint32_t m_dataBytes = 0;
    uint32_t m_lengthMs = 0;
    std::shared_ptr<const std::vector<uint8_t>> m_samples; // loaded at the first play that can be heard

    mutable State m_state = State::kStopped;
    uint32_t m_fromMs = 0;
    uint32_t m_toMs = 0;
    uint32_t m_startClockMs = 0;            // clock reading when the play (or resume) began
    mutable uint32_t m_positionMs = 0;      // while not playing
    mutable AudioOut* m_voiceOut = nullptr; // where the current voice lives; not owned
    mutable int m_voice = 0;
};

} // namespace pf
