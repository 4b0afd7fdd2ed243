#include "platform/media/null_audio.h"

#include <algorithm>

namespace pf {

int NullAudio::addVoice(const PcmView& pcm, uint64_t fromSample, uint64_t toSample)
{
    const std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_voices.push_back({id, pcm.format, pcm.bytes ? pcm.bytes->size() : 0, fromSample, toSample, false});
    return id;
}

void NullAudio::removeVoice(int voice)
{
    const std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.id == voice; });
    if (it != m_voices.end())
        it->removed = true;
}

void NullAudio::beep(uint32_t hz, uint32_t ms)
{
    const std::lock_guard lock(m_mutex);
    m_beeps.push_back({hz, ms});
}

std::vector<NullAudio::Voice> NullAudio::voices() const
{
    const std::lock_guard lock(m_mutex);
    return m_voices;
}

size_t NullAudio::activeVoiceCount() const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<size_t>(
        std::count_if(m_voices.begin(), m_voices.end(), [](const Voice& v) { return !v.removed; }));
}

std::vector<NullAudio::Beep> NullAudio::beeps() const
{
    const std::lock_guard lock(m_mutex);
    return m_beeps;
}

void NullAudio::clear()
{
    const std::lock_guard lock(m_mutex);
    m_voices.clear();
    m_beeps.clear();
}

} // namespace pf
