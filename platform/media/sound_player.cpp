#include "platform/media/sound_player.h"

#include <algorithm>
#include <cctype>
#include <new>

#include <sys/stat.h>

#include "platform/media/audio_out.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/time/clock.h"

namespace pf {

namespace {

bool HasMidiExtension(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot != 4 || path.find('/', dot) != std::string::npos)
        return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "mid";
}

bool IsReadableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

uint32_t LengthMsOf(const WaveFormat& format, uint32_t dataBytes)
{
    if (format.blockAlign == 0 || format.rate == 0)
        return 0;
    const uint64_t samples = dataBytes / format.blockAlign;
    return static_cast<uint32_t>(std::min<uint64_t>(samples * 1000 / format.rate, UINT32_MAX));
}

// Only plain PCM can be handed to an output; anything else still "plays" silently by the clock.
bool CanBeHeard(const WaveFormat& format)
{
    return format.tag == WAVE_FORMAT_PCM && (format.bits == 8 || format.bits == 16) && format.channels > 0 &&
           format.blockAlign > 0;
}

uint64_t SampleAt(uint32_t ms, uint32_t rate)
{
    return static_cast<uint64_t>(ms) * rate / 1000;
}

} // namespace

SoundPlayer::SoundPlayer(AudioOut* out) : m_out(out) {}

SoundPlayer::~SoundPlayer()
{
    close();
}

bool SoundPlayer::open(const std::string& path)
{
    const std::lock_guard lock(m_mutex);
    reset();
    if (HasMidiExtension(path)) {
        m_open = IsReadableFile(path);
        m_path = m_open ? path : std::string();
        return m_open;
    }
    const auto reader = RiffWaveReader::open(path, nullptr);
    if (!reader)
        return false;
    m_open = true;
    m_path = path;
    m_format = reader->format();
    m_dataBytes = reader->dataBytes();
    m_lengthMs = LengthMsOf(m_format, m_dataBytes);
    return true;
}

void SoundPlayer::close()
{
    const std::lock_guard lock(m_mutex);
    reset();
}

bool SoundPlayer::isOpen() const
{
    const std::lock_guard lock(m_mutex);
    return m_open;
}

uint32_t SoundPlayer::lengthMs() const
{
    const std::lock_guard lock(m_mutex);
    return m_lengthMs;
}

uint16_t SoundPlayer::channels() const
{
    const std::lock_guard lock(m_mutex);
    return m_format.channels;
}

uint32_t SoundPlayer::sampleRate() const
{
    const std::lock_guard lock(m_mutex);
    return m_format.rate;
}

uint16_t SoundPlayer::bits() const
{
    const std::lock_guard lock(m_mutex);
    return m_format.bits;
}

void SoundPlayer::play(uint32_t fromMs, uint32_t toMs)
{
    const std::lock_guard lock(m_mutex);
    endVoice();
    m_state = State::kStopped;
    if (!m_open || m_lengthMs == 0)
        return; // a MIDI file or an empty sound never plays
    m_fromMs = std::min(fromMs, m_lengthMs);
    m_toMs = std::max(m_fromMs, toMs == 0 ? m_lengthMs : std::min(toMs, m_lengthMs));
    m_positionMs = m_fromMs;
    if (m_fromMs == m_toMs)
        return;
    m_startClockMs = clock().nowMs();
    m_state = State::kPlaying;
    startVoice(m_fromMs, m_toMs);
}

void SoundPlayer::stop()
{
    const std::lock_guard lock(m_mutex);
    settle();
    if (m_state == State::kPlaying)
        m_positionMs = currentPositionMs();
    m_state = State::kStopped;
    endVoice();
}

void SoundPlayer::pause()
{
    const std::lock_guard lock(m_mutex);
    settle();
    if (m_state != State::kPlaying)
        return;
    m_positionMs = currentPositionMs();
    m_state = State::kPaused;
    endVoice();
}

void SoundPlayer::resume()
{
    const std::lock_guard lock(m_mutex);
    if (m_state != State::kPaused)
        return;
    m_fromMs = m_positionMs;
    m_startClockMs = clock().nowMs();
    m_state = State::kPlaying;
    startVoice(m_fromMs, m_toMs);
}

bool SoundPlayer::isPlaying() const
{
    const std::lock_guard lock(m_mutex);
    settle();
    return m_state == State::kPlaying;
}

bool SoundPlayer::isPaused() const
{
    const std::lock_guard lock(m_mutex);
    return m_state == State::kPaused;
}

uint32_t SoundPlayer::positionMs() const
{
    const std::lock_guard lock(m_mutex);
    settle();
    return m_state == State::kPlaying ? currentPositionMs() : m_positionMs;
}

void SoundPlayer::settle() const
{
    if (m_state != State::kPlaying || currentPositionMs() < m_toMs)
        return;
    m_positionMs = m_toMs;
    m_state = State::kStopped;
    endVoice();
}

// Unsigned subtraction: a play that spans the clock's wrap still measures right.
uint32_t SoundPlayer::currentPositionMs() const
{
    const uint32_t elapsed = clock().nowMs() - m_startClockMs;
    return m_fromMs + std::min(elapsed, m_toMs - m_fromMs);
}

void SoundPlayer::startVoice(uint32_t fromMs, uint32_t toMs)
{
    if (!CanBeHeard(m_format) || !loadSamples())
        return;
    AudioOut& out = m_out != nullptr ? *m_out : audioOut();
    const uint64_t sampleCount = m_samples->size() / m_format.blockAlign;
    const uint64_t toSample = std::min(SampleAt(toMs, m_format.rate), sampleCount);
    m_voice = out.addVoice({m_format, m_samples}, std::min(SampleAt(fromMs, m_format.rate), toSample), toSample);
    m_voiceOut = m_voice != 0 ? &out : nullptr;
}

void SoundPlayer::endVoice() const
{
    if (m_voiceOut != nullptr)
        m_voiceOut->removeVoice(m_voice);
    m_voiceOut = nullptr;
    m_voice = 0;
}

// The file may have changed or vanished since open(); then the play goes on silently.
bool SoundPlayer::loadSamples()
{
    if (m_samples)
        return true;
    try {
        const auto reader = RiffWaveReader::open(m_path, nullptr);
        if (!reader || reader->format() != m_format)
            return false;
        auto bytes = std::make_shared<std::vector<uint8_t>>(std::min(reader->dataBytes(), m_dataBytes));
        bytes->resize(reader->read(bytes->data(), bytes->size()));
        m_samples = std::move(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SoundPlayer::reset()
{
    endVoice();
    m_open = false;
    m_path.clear();
    m_format = {};
    m_dataBytes = 0;
    m_lengthMs = 0;
    m_samples.reset();
    m_state = State::kStopped;
    m_fromMs = m_toMs = m_positionMs = m_startClockMs = 0;
}

} // namespace pf
