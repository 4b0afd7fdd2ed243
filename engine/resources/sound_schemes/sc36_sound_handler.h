#pragma once
// Sc36SoundHandler, row "7490": 8000 Hz mono speech as SC36 frames at the sound's variant (0 "SC3" 3200 bit/s,
// 1 "SC6" 6400 bit/s, 2 "SC3-6" switching every 20 frames), which the record keeps before the layout.
#include "engine/resources/sound_schemes/coded_sound_handler.h"

class Sc36SoundHandler : public CodedSoundHandler {
public:
    explicit Sc36SoundHandler(Description row) : CodedSoundHandler(std::move(row)) {}

protected:
    std::optional<SoundLayout> LayoutOf(uint32_t id) const override;
    bool HasVariantByte() const override { return true; }
    sound::FrameLoopResult EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
    sound::FrameLoopResult DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
};
