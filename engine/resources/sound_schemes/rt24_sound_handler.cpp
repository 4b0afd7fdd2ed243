#include "engine/resources/sound_schemes/rt24_sound_handler.h"

#include "codecs/sound/speech/rt24/rt24_stream.h"
#include "engine/core/type_tag.h"

std::optional<SoundLayout> Rt24SoundHandler::LayoutOf(uint32_t id) const
{
    if (id != MakeTag("7491"))
        return std::nullopt;
    return SoundLayout{1, 8000, "RT24", "speech"};
}

sound::FrameLoopResult Rt24SoundHandler::EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                      uint8_t /*variant*/) const
{
    return sound::Rt24EncodeStream(GetId(), source, sink);
}

sound::FrameLoopResult Rt24SoundHandler::DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                      uint8_t /*variant*/) const
{
    return sound::Rt24DecodeStream(GetId(), source, sink);
}
