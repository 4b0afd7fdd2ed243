#include "engine/resources/sound_schemes/sc36_sound_handler.h"

#include "engine/core/type_tag.h"
#include "engine/resources/sound_schemes/sc36_stream.h"

std::optional<SoundLayout> Sc36SoundHandler::LayoutOf(uint32_t id) const
{
    if (id != MakeTag("7490"))
        return std::nullopt;
    return SoundLayout{1, 8000, "SC36", "speech"};
}

FrameLoopResult Sc36SoundHandler::EncodeFrames(WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant) const
{
    return Sc36EncodeStream(GetId(), source, sink, variant);
}

FrameLoopResult Sc36SoundHandler::DecodeFrames(WaveFrameSource& source, WaveFrameSink& sink, uint8_t variant) const
{
    return Sc36DecodeStream(GetId(), source, sink, variant);
}
