#pragma once
// An output that plays nothing and remembers everything it was asked, for tests and headless runs.
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/media/audio_out.h"

namespace pf {

class NullAudio final : public AudioOut {
public:
    struct Voice {
        int id;
        WaveFormat format;
        uint64_t sampleBytes; // size of the data it was given
        uint64_t fromSample;
        uint64_t toSample;
        bool removed;
    };
    struct Beep {
        uint32_t hz;
        uint32_t ms;
        bool operator==(const Beep&) const = default;
    };

    int addVoice(const PcmView& pcm, uint64_t fromSample, uint64_t toSample) override;
    void removeVoice(int voice) override;
    void beep(uint32_t hz, uint32_t ms) override;

    std::vector<Voice> voices() const; // every voice ever added, in order
    size_t activeVoiceCount() const;
    std::vector<Beep> beeps() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    int m_nextId = 1;
    std::vector<Voice> m_voices;
    std::vector<Beep> m_beeps;
};

} // namespace pf
