#pragma once
// Rt24SoundHandler, row "7491": 8000 Hz mono speech as 54-bit RT24 frames packed back to back.
#include "engine/resources/sound_schemes/coded_sound_handler.h"

class Rt24SoundHandler : public CodedSoundHandler {
public:
    explicit Rt24SoundHandler(Description row) : CodedSoundHandler(std::move(row)) {}

protected:
    std::optional<SoundLayout> LayoutOf(uint32_t id) const override;
    sound::FrameLoopResult EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
    sound::FrameLoopResult DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
};
