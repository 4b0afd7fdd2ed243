#include "platform/live/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pf {

namespace {

constexpr uint16_t kDeviceFrames = 1024;
constexpr double kBeepLevel = 0.5 * 32767;
constexpr double kBeepFadeMs = 2.0; // a burst without fades clicks at both ends
constexpr size_t kReadFrames = 512;

bool openAudioSubsystem(std::string& outError)
{
    static std::once_flag once;
    static std::string error;
    // Opened once and kept, as the video subsystem is: see the backend.
    std::call_once(once, [] {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error = std::string("SDL audio did not open: ") + SDL_GetError();
            return;
        }
        // SDL picks its converters and builds its resampling table on the first stream made, without a lock: two
        // threads making their first voices at once saw "no conversion from source format to float" and a voice
        // was refused. One stream made here, before any voice can be added, does that once.
        SDL_AudioStream* first = SDL_NewAudioStream(AUDIO_U8, 1, kMixRate / 2, AUDIO_S16SYS, kMixChannels, kMixRate);
        if (first == nullptr)
            error = std::string("SDL audio cannot convert: ") + SDL_GetError();
        else
            SDL_FreeAudioStream(first);
    });
    outError = error;
    return error.empty();
}

} // namespace

SdlAudio::SdlAudio()
{
    if (!openAudioSubsystem(m_openError))
        return;
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = kMixChannels;
    want.samples = kDeviceFrames;
    want.callback = &SdlAudio::callback;
    want.userdata = this;
    SDL_AudioSpec got{};
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &got, 0);
    if (m_device == 0) {
        m_openError = std::string("no audio device: ") + SDL_GetError();
        return;
    }
    SDL_PauseAudioDevice(m_device, 0);
}

SdlAudio::~SdlAudio()
{
    if (m_device != 0)
        SDL_CloseAudioDevice(m_device); // waits for a running callback
    for (auto& [id, voice] : m_voices)
        if (voice->stream != nullptr)
            SDL_FreeAudioStream(voice->stream);
}

int SdlAudio::addVoice(const PcmView& pcm, uint64_t fromSample, uint64_t toSample)
{
    if (m_device == 0)
        return 0;
    std::optional<VoiceReader> reader = VoiceReader::open(pcm, fromSample, toSample);
    if (!reader)
        return 0; // silent; the player's position still follows the clock
    auto voice = std::make_unique<Voice>();
    voice->stream = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(reader->channels()),
                                       static_cast<int>(reader->rate()), AUDIO_S16SYS, kMixChannels, kMixRate);
    if (voice->stream == nullptr)
        return 0;
    voice->reader = std::move(reader);
    return addLocked(std::move(voice));
}

void SdlAudio::beep(uint32_t hz, uint32_t ms)
{
    if (m_device == 0 || hz < kBeepMinHz || hz > kBeepMaxHz || ms == 0)
        return;
    auto voice = std::make_unique<Voice>();
    voice->beepHz = hz;
    voice->beepFrames = uint64_t{ms} * kMixRate / 1000;
    addLocked(std::move(voice));
}

int SdlAudio::addLocked(std::unique_ptr<Voice> voice)
{
    const std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_voices.emplace(id, std::move(voice));
    return id;
}

void SdlAudio::removeVoice(int voice)
{
    std::unique_ptr<Voice> gone;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_voices.find(voice);
        if (it == m_voices.end())
            return;
        gone = std::move(it->second);
        m_voices.erase(it);
    }
    if (gone->stream != nullptr)
        SDL_FreeAudioStream(gone->stream);
}

size_t SdlAudio::activeVoiceCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_voices.size();
}

void SdlAudio::callback(void* self, uint8_t* out, int bytes)
{
    const size_t frames = static_cast<size_t>(std::max(bytes, 0)) / (sizeof(int16_t) * kMixChannels);
    static_cast<SdlAudio*>(self)->mix(reinterpret_cast<int16_t*>(out), frames);
}

void SdlAudio::mix(int16_t* out, size_t frames)
{
    m_sum.assign(frames * kMixChannels, 0);
    std::vector<std::unique_ptr<Voice>> finished;
    {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_voices.begin(); it != m_voices.end();) {
            if (mixVoice(*it->second, m_sum, frames)) {
                ++it;
                continue;
            }
            finished.push_back(std::move(it->second));
            it = m_voices.erase(it);
        }
    }
    for (size_t i = 0; i < m_sum.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(m_sum[i], -32768, 32767));
    for (auto& voice : finished)
        if (voice->stream != nullptr)
            SDL_FreeAudioStream(voice->stream);
}

bool SdlAudio::mixVoice(Voice& voice, std::vector<int32_t>& sum, size_t frames)
{
    if (!voice.reader) {
        const double fadeFrames = kBeepFadeMs * kMixRate / 1000;
        for (size_t i = 0; i < frames && voice.beepFrame < voice.beepFrames; ++i, ++voice.beepFrame) {
            const double t = static_cast<double>(voice.beepFrame);
            const double left = static_cast<double>(voice.beepFrames - voice.beepFrame);
            const double gain = std::min({1.0, t / fadeFrames, left / fadeFrames});
            const double s = kBeepLevel * gain * std::sin(2 * std::numbers::pi * voice.beepHz * t / kMixRate);
            sum[2 * i] += static_cast<int32_t>(std::lround(s));
            sum[2 * i + 1] += static_cast<int32_t>(std::lround(s));
        }
        return voice.beepFrame < voice.beepFrames;
    }
    const int wanted = static_cast<int>(frames * kMixChannels * sizeof(int16_t));
    while (SDL_AudioStreamAvailable(voice.stream) < wanted && !voice.flushed) {
        m_frame.resize(kReadFrames * voice.reader->channels());
        const size_t got = voice.reader->read(m_frame.data(), kReadFrames);
        if (got == 0) {
            SDL_AudioStreamFlush(voice.stream);
            voice.flushed = true;
            break;
        }
        SDL_AudioStreamPut(voice.stream, m_frame.data(), static_cast<int>(got * voice.reader->channels() * 2));
    }
    std::vector<int16_t> converted(frames * kMixChannels, 0);
    const int got = SDL_AudioStreamGet(voice.stream, converted.data(), wanted);
    const size_t samples = got > 0 ? static_cast<size_t>(got) / sizeof(int16_t) : 0;
    for (size_t i = 0; i < samples; ++i)
        sum[i] += converted[i];
    return !(voice.flushed && SDL_AudioStreamAvailable(voice.stream) == 0);
}

} // namespace pf
