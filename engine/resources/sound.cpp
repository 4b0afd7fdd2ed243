#include "engine/resources/sound.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "platform/media/sound_player.h"

namespace {

const CVTN_TagRegistration kRegistration(MakeTag("7403"), &CreateContainer<SWsound>);

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

uint8_t TypeOfPath(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot) || path.size() - dot != 4)
        return SWsound::kTypeOther;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), LowerAscii);
    if (extension == "wav")
        return SWsound::kTypeWave;
    if (extension == "mid")
        return SWsound::kTypeMidi;
    return SWsound::kTypeOther;
}

} // namespace

SWsound::SWsound()
{
    AddTypeTag(MakeTag("7403"));
}

SWsound::SWsound(std::string name) : SWsound()
{
    m_name = std::move(name);
}

SWsound::~SWsound() = default;

void SWsound::SetFileName(std::string path)
{
    ReleasePlayer();
    m_fileName = std::move(path);
    m_storedFileName.clear();
    m_restored = false;
    std::error_code error;
    const auto size = std::filesystem::file_size(m_fileName, error);
    m_fileSize = error ? 0 : static_cast<uint64_t>(size);
    m_type = TypeOfPath(m_fileName);
}

uint32_t SWsound::GetLength()
{
    pf::SoundPlayer* const player = Player();
    return player != nullptr ? player->lengthMs() : 0;
}

uint32_t SWsound::GetPlayPosition()
{
    return m_player != nullptr ? m_player->positionMs() : 0;
}

int16_t SWsound::GetChannels()
{
    pf::SoundPlayer* const player = Player();
    return player != nullptr ? static_cast<int16_t>(player->channels()) : 0;
}

uint32_t SWsound::GetSampleRate()
{
    pf::SoundPlayer* const player = Player();
    return player != nullptr ? player->sampleRate() : 0;
}

uint16_t SWsound::GetBitsPerSample()
{
    pf::SoundPlayer* const player = Player();
    return player != nullptr ? player->bits() : 0;
}

void SWsound::SetPlayRange(uint32_t startMs, uint32_t endMs)
{
    m_rangeStartMs = m_play.startMs = startMs;
    m_rangeEndMs = m_play.endMs = endMs;
}

void SWsound::SetPlayOption(int index, uint8_t value)
{
    if (index == 0 || index == 1)
        m_playOptions[index] = value;
}

void SWsound::Start()
{
    m_playing = 1; // at once: a motion synchronised to the sound sees it playing in this frame
    m_passesLeft = std::max<uint32_t>(m_play.repeatCount, 1);
    if (pf::SoundPlayer* const player = Player())
        player->play(m_play.startMs, m_play.endMs);
}

void SWsound::Halt()
{
    if (m_player != nullptr)
        m_player->stop();
    m_playing = 0;
}

bool SWsound::Poll()
{
    if (m_playing == 0)
        return false;
    pf::SoundPlayer* const player = Player();
    if (player != nullptr && player->isPlaying())
        return false;
    // A file that cannot play (missing, MIDI, empty) ends at once, so whatever waits for the sound does not
    // wait for ever.
    const bool canPlay = player != nullptr && player->lengthMs() > 0;
    if (canPlay && (m_play.loop != 0 || m_passesLeft > 1)) {
        if (m_play.loop == 0)
            --m_passesLeft;
        player->play(m_play.startMs, m_play.endMs);
        return false;
    }
    m_playing = 0;
    return true;
}

pf::SoundPlayer* SWsound::Player()
{
    if (m_player == nullptr && !m_playerFailed && !m_fileName.empty()) {
        auto player = std::make_unique<pf::SoundPlayer>();
        if (player->open(m_fileName))
            m_player = std::move(player);
        else
            m_playerFailed = true;
    }
    return m_player.get();
}

void SWsound::ReleasePlayer()
{
    m_player.reset();
    m_playerFailed = false;
}
