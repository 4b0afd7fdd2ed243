#include "engine/resources/sound_list.h"

#include <algorithm>

#include "engine/resources/sound.h"

SWsoundlist::SWsoundlist() = default;
SWsoundlist::~SWsoundlist() = default;

SWsound* SWsoundlist::Add(std::unique_ptr<SWsound> sound)
{
    if (sound == nullptr)
        return nullptr;
    m_sounds.push_back(std::move(sound));
    return m_sounds.back().get();
}

std::unique_ptr<SWsound> SWsoundlist::Remove(SWsound* sound)
{
    const auto it = std::find_if(m_sounds.begin(), m_sounds.end(), [&](const auto& own) { return own.get() == sound; });
    if (it == m_sounds.end())
        return nullptr;
    std::unique_ptr<SWsound> removed = std::move(*it);
    m_sounds.erase(it);
    return removed;
}

SWsound* SWsoundlist::GetFirst() const
{
    return m_sounds.empty() ? nullptr : m_sounds.front().get();
}

SWsound* SWsoundlist::GetNext(const SWsound* sound) const
{
    const auto it = std::find_if(m_sounds.begin(), m_sounds.end(), [&](const auto& own) { return own.get() == sound; });
    if (it == m_sounds.end() || it + 1 == m_sounds.end())
        return nullptr;
    return (it + 1)->get();
}

SWsound* SWsoundlist::FindByName(std::string_view name) const
{
    for (const auto& sound : m_sounds)
        if (sound->GetName() == name)
            return sound.get();
    return nullptr;
}

void SWsoundlist::Play(SWsound* sound)
{
    if (sound != nullptr)
        sound->Start();
}

void SWsoundlist::Stop(SWsound* sound)
{
    if (sound == nullptr)
        return;
    const bool wasPlaying = sound->IsPlaying();
    sound->Halt();
    if (wasPlaying && m_finished)
        m_finished(*sound);
}

void SWsoundlist::PollAll()
{
    for (size_t i = 0; i < m_sounds.size(); ++i) {
        SWsound& sound = *m_sounds[i];
        if (sound.Poll() && m_finished)
            m_finished(sound);
    }
}
