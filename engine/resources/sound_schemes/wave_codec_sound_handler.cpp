#include "engine/resources/sound_schemes/wave_codec_sound_handler.h"

#include <filesystem>
#include <system_error>

#include "codecs/sound/wave_codec/wave_file_codec.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/resources/mmio_stream.h"
#include "engine/resources/sound.h"

namespace {

bool HasContent(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

} // namespace

bool WaveCodecSoundHandler::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    if (sound == nullptr || !ReadSoundNames(in, *sound))
        return false;
    if (in.Remaining() < sound::kWaveFileHeaderBytes)
        return false; // the codec's head is missing: no file would be written
    const std::optional<std::string> path = RestoreIntoTemporaryFile(*sound);
    if (!path)
        return false;
    uint8_t error = 0;
    MmioStream source(&in, false, error);
    std::string why;
    const sound::WaveFileResult result = sound::DecodeToWaveFile(source, *path, {.keepPartial = true}, why);
    switch (result) {
    case sound::WaveFileResult::kOk:
        break;
    case sound::WaveFileResult::kDamagedStream:
        if (!HasContent(*path))
            return false;
        Report(*sound, "the stored sound is damaged; what came before the damage is kept (" + why + ")");
        break;
    case sound::WaveFileResult::kCannotWriteOutput:
        Report(*sound, why);
        return false;
    default:
        return false;
    }
    FinishRestoredSound(*sound, *path);
    return true;
}

bool WaveCodecSoundHandler::Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    if (sound == nullptr)
        return false;
    SWrecordbuilder record(out, GetId());
    SWchunkstream& payload = record.Stream();
    payload.WriteString(sound->GetName());
    payload.WriteString(sound->GetStoredFileName());
    uint8_t error = 0;
    MmioStream sink(&payload, true, error);
    std::string why;
    const sound::WaveFileResult result =
        sound::EncodeWaveFile(sound->GetFileName(), sink, sound->GetQualityPercent(), why);
    sound->SetQualityPercent(100);
    const bool stored = sink.Close() && result == sound::WaveFileResult::kOk;
    if (!stored) // the record is left unfinished: a half stream would load as a cut sound
        return StoreUncompressed(out, *sound, why.empty() ? "the wave codec could not store it" : why);
    if (payload.Position() > kMaxSoundPayloadBytes) {
        Report(*sound, "the coded sound is too large to store; the sound is left out");
        return false;
    }
    return record.Finish();
}
