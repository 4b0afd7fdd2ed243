#include "engine/resources/sound_schemes/rt24_sound_handler.h"

#include "engine/core/type_tag.h"
#include "engine/resources/sound_schemes/rt24_stream.h"

std::optional<SoundLayout> Rt24SoundHandler::LayoutOf(uint32_t id) const
{
    if (id != MakeTag("7491"))
        return std::nullopt;
    return SoundLayout{1, 8000, "RT24", "speech"};
}

FrameLoopResult Rt24SoundHandler::EncodeFrames(WaveFrameSource& source, WaveFrameSink& sink, uint8_t /*variant*/) const
{
    return Rt24EncodeStream(GetId(), source, sink);
}

FrameLoopResult Rt24SoundHandler::DecodeFrames(WaveFrameSource& source, WaveFrameSink& sink, uint8_t /*variant*/) const
{
    return Rt24DecodeStream(GetId(), source, sink);
}
