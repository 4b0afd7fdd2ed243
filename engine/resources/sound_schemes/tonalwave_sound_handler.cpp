#include "engine/resources/sound_schemes/tonalwave_sound_handler.h"

#include "codecs/sound/Tonalwave/tonalwave_stream.h"
#include "engine/core/type_tag.h"

std::optional<SoundLayout> TonalwaveSoundHandler::LayoutOf(uint32_t id) const
{
    static constexpr struct {
        uint32_t id;
        SoundLayout layout;
    } kLayouts[] = {
        {MakeTag("7496"), {2, 22050, "ACS48", "sound"}}, {MakeTag("7495"), {1, 22050, "AC24", "sound"}},
        {MakeTag("7494"), {2, 11025, "ACS20", "sound"}}, {MakeTag("7493"), {1, 11025, "AC10", "sound"}},
        {MakeTag("7492"), {1, 8000, "AC8", "sound"}},
    };
    for (const auto& row : kLayouts)
        if (row.id == id)
            return row.layout;
    return std::nullopt;
}

sound::FrameLoopResult TonalwaveSoundHandler::EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                           uint8_t /*variant*/) const
{
    return sound::TonalwaveEncodeStream(GetId(), source, sink);
}

sound::FrameLoopResult TonalwaveSoundHandler::DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                           uint8_t /*variant*/) const
{
    return sound::TonalwaveDecodeStream(GetId(), source, sink);
}
