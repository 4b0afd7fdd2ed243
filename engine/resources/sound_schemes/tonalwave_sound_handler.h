#pragma once
// TonalwaveSoundHandler, rows "7496" ACS48 (22050 Hz stereo), "7495" AC24 (22050 Hz mono), "7494" ACS20 (11025 Hz
// stereo), "7493" AC10 (11025 Hz mono) and "7492" AC8 (8000 Hz mono): one 558-byte slot per frame.
#include "engine/resources/sound_schemes/coded_sound_handler.h"

class TonalwaveSoundHandler : public CodedSoundHandler {
public:
    explicit TonalwaveSoundHandler(Description row) : CodedSoundHandler(std::move(row)) {}

protected:
    std::optional<SoundLayout> LayoutOf(uint32_t id) const override;
    sound::FrameLoopResult EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
    sound::FrameLoopResult DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                        uint8_t variant) const override;
};
