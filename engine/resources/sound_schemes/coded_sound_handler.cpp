#include "engine/resources/sound_schemes/coded_sound_handler.h"

#include <cinttypes>
#include <cstdio>

#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/resources/mmio_stream.h"
#include "engine/resources/sound.h"
#include "engine/resources/wav_file.h"

namespace {

constexpr size_t kDescribeBytes = 1024;

const char* ChannelWord(uint32_t channels)
{
    return channels == 2 ? "Stereo" : "Mono";
}

const char* LayoutWord(uint32_t channels)
{
    return channels == 2 ? "stereo" : "mono";
}

std::string LayoutText(uint32_t channels, uint32_t rate)
{
    return std::to_string(rate) + " Hz " + LayoutWord(channels);
}

struct StoredHeader {
    uint8_t variant = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
};

bool IsStorable(const StoredHeader& header)
{
    return header.bitsPerSample == 16 && (header.channels == 1 || header.channels == 2) && header.sampleRate != 0 &&
           header.sampleRate <= CodedSoundHandler::kMaxStoredSampleRate;
}

} // namespace

bool CodedSoundHandler::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    if (sound == nullptr || !ReadSoundNames(in, *sound))
        return false;
    StoredHeader header;
    if (HasVariantByte()) {
        if (!in.ReadU8(header.variant))
            return false;
        sound->SetSc36Variant(header.variant);
    }
    in.ReadU16(header.bitsPerSample);
    in.ReadU16(header.channels);
    in.ReadU32(header.sampleRate);
    if (in.Status() != SWchunkstream::kStatusGood || !IsStorable(header))
        return false;
    const std::optional<std::string> path = RestoreIntoTemporaryFile(*sound);
    if (!path)
        return false;

    WavFormat format{header.channels, header.sampleRate, 16, 0};
    uint8_t error = 0;
    WavFile output(*path, true, error, format, MmioStream::kModeRiffWave);
    if (error != 0) {
        Report(*sound, "the restored sound cannot be written: " + output.GetRefusal());
        return false;
    }
    MmioStream input(&in, false, error);
    MmioFrameStream source(input);
    MmioFrameStream sink(output);
    const sound::FrameLoopResult result = DecodeFrames(source, sink, header.variant);
    const bool written = output.Close() && !result.sinkFailed;
    if (!result.done)
        return false;
    if (!written) {
        Report(*sound, "the restored sound could not be written to " + *path);
        return false;
    }
    if (result.damagedFrames > 0 || !result.endedCleanly)
        Report(*sound, "the stored sound is damaged (" + std::to_string(result.damagedFrames) + " frames concealed" +
                           (result.endedCleanly ? "" : ", cut short") + ")");
    FinishRestoredSound(*sound, *path);
    return true;
}

bool CodedSoundHandler::Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    const std::optional<SoundLayout> layout = Layout();
    if (sound == nullptr || !layout)
        return false;
    WavFormat format;
    uint8_t error = 0;
    WavFile input(sound->GetFileName(), false, error, format, MmioStream::kModeRiffWave);
    if (error != 0)
        return StoreUncompressed(out, *sound,
                                 "not a wave file " + GetShortName() + " can code (" + input.GetRefusal() + ")");
    if (format.channels != layout->channels || format.sampleRate != layout->sampleRate)
        return StoreUncompressed(out, *sound,
                                 GetShortName() + " codes " + LayoutText(layout->channels, layout->sampleRate) +
                                     " only; the file is " + LayoutText(format.channels, format.sampleRate));
    SWrecordbuilder record(out, GetId());
    SWchunkstream& payload = record.Stream();
    payload.WriteString(sound->GetName());
    payload.WriteString(sound->GetStoredFileName());
    if (HasVariantByte())
        payload.WriteU8(sound->GetSc36Variant());
    payload.WriteU16(16);
    payload.WriteU16(format.channels);
    payload.WriteU32(format.sampleRate);
    MmioStream output(&payload, true, error);
    MmioFrameStream source(input, format.bitsPerSample);
    MmioFrameStream sink(output);
    const sound::FrameLoopResult result = EncodeFrames(source, sink, sound->GetSc36Variant());
    const bool stored = output.Close() && result.done && !result.sinkFailed && result.endedCleanly;
    if (!stored) // unfinished, the record emits nothing
        return StoreUncompressed(out, *sound, GetShortName() + " could not code the file");
    if (payload.Position() > kMaxSoundPayloadBytes) {
        Report(*sound, "the coded sound is too large to store; the sound is left out");
        return false;
    }
    return record.Finish();
}

bool CodedSoundHandler::Accepts(const CVTN_Container* object) const
{
    const SWsound* const sound = SoundOf(object);
    const std::optional<SoundLayout> layout = Layout();
    if (sound == nullptr || !layout)
        return false;
    // The player is opened on first need; asking opens it, which changes nothing a caller sees.
    auto& player = const_cast<SWsound&>(*sound);
    return player.GetChannels() == layout->channels && player.GetSampleRate() == layout->sampleRate;
}

std::optional<std::string> CodedSoundHandler::Describe(const CVTN_Container* object) const
{
    if (Accepts(object))
        return std::nullopt;
    const SWsound* const sound = SoundOf(object);
    const std::optional<SoundLayout> layout = Layout();
    if (sound == nullptr || !layout)
        return std::string();
    auto& player = const_cast<SWsound&>(*sound);
    const uint32_t rate = player.GetSampleRate();
    const char* const channels = ChannelWord(static_cast<uint32_t>(player.GetChannels()));
    char text[kDescribeBytes];
    // A file the player cannot open answers a rate of 0, which is no layout at all.
    if (rate == 0)
        std::snprintf(text, sizeof text, "%s takes %s %s only; this sound's file cannot be read.", layout->name,
                      LayoutText(layout->channels, layout->sampleRate).c_str(), layout->kind);
    else
        std::snprintf(
            text, sizeof text, "%s takes %s %s only; this sound is %" PRIu32 " Hz %s, so it is published uncompressed.",
            layout->name, LayoutText(layout->channels, layout->sampleRate).c_str(), layout->kind, rate, channels);
    return std::string(text);
}
