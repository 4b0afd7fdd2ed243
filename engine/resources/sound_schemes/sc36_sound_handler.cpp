#include "engine/resources/sound_schemes/sc36_sound_handler.h"

#include "codecs/sound/speech/sc36/sc36_stream.h"
#include "engine/core/type_tag.h"

std::optional<SoundLayout> Sc36SoundHandler::LayoutOf(uint32_t id) const
{
    if (id != MakeTag("7490"))
        return std::nullopt;
    return SoundLayout{1, 8000, "SC36", "speech"};
}

sound::FrameLoopResult Sc36SoundHandler::EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                      uint8_t variant) const
{
    return sound::Sc36EncodeStream(GetId(), source, sink, variant);
}

sound::FrameLoopResult Sc36SoundHandler::DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                      uint8_t variant) const
{
    return sound::Sc36DecodeStream(GetId(), source, sink, variant);
}
